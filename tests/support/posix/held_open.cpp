// SPDX-License-Identifier: MIT
// POSIX lets a file that is open elsewhere be renamed over: nothing is held.
#include "../held_open.hpp"

namespace varnelo::testing {

THeldOpen::THeldOpen(const std::string&) {}

THeldOpen::~THeldOpen() = default;

}  // namespace varnelo::testing
