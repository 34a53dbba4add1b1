// SPDX-License-Identifier: MIT
// Removing the files of unfinished work when the program is interrupted (Ctrl+C, a closed
// console or terminal, a termination request), before it ends as the interruption ends it.
#pragma once

#include <string>
#include <vector>

namespace varnelo::os {

// While this object lives, an interruption removes `files` (what is there of them) and then
// ends the program. One object at a time; the files' paths are taken at construction.
class TInterruptCleanup {
  public:
    explicit TInterruptCleanup(const std::vector<std::string>& files);
    ~TInterruptCleanup();
    TInterruptCleanup(const TInterruptCleanup&) = delete;
    TInterruptCleanup& operator=(const TInterruptCleanup&) = delete;
};

}  // namespace varnelo::os
