// SPDX-License-Identifier: MIT
// The words a user reads for an error the operating system reports.
#pragma once

#include <string>

namespace varnelo {

// The Japanese description of a system error code (an errno value): the errors a user meets
// with files have their own words, any other reads "システムエラー N". Safe to call from any
// thread, and never depends on the locale.
std::string SystemErrorText(int errorCode);

}  // namespace varnelo
