// SPDX-License-Identifier: MIT
// Runs a piece of a test in a forked child process: for limits that must not reach the test
// process (file size limits, a dropped identity) and for measuring the child's own peak
// memory. The body's int result becomes the exit code; an escaping exception gives 70.
#pragma once

#include "os/process.hpp"

namespace varnelo::testing {

using TChildOutcome = os::TChildOutcome;
using os::RunInChild;
inline constexpr int kChildThrew = os::kChildRaised;

}  // namespace varnelo::testing
