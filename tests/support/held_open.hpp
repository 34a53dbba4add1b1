// SPDX-License-Identifier: MIT
// A file held open the way another program may hold it: on Windows without letting it be
// deleted or renamed over (no FILE_SHARE_DELETE), as spreadsheet and GIS programs do. POSIX
// has no such hold; there Held() is false and a test that needs one skips.
#pragma once

#include <cstdint>
#include <string>

namespace varnelo::testing {

class THeldOpen {
  public:
    explicit THeldOpen(const std::string& path);
    ~THeldOpen();
    THeldOpen(const THeldOpen&) = delete;
    THeldOpen& operator=(const THeldOpen&) = delete;

    bool Held() const noexcept { return handle_ != 0; }

  private:
    std::intptr_t handle_ = 0;
};

}  // namespace varnelo::testing
