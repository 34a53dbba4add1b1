// SPDX-License-Identifier: MIT
// The local calendar time, as the system's time zone has it.
#pragma once

#include <ctime>

namespace varnelo::os {

// The broken-down local time of `time`; safe to call from any thread.
std::tm LocalTime(std::time_t time) noexcept;

}  // namespace varnelo::os
