// SPDX-License-Identifier: MIT
#include "../test_system.hpp"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "../sanitizer.hpp"

namespace varnelo::testing {

bool HavePosixFacilities() noexcept {
    return true;
}

bool LimitFileSize(std::uint64_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{bytes, bytes};
    return setrlimit(RLIMIT_FSIZE, &fileSize) == 0;
}

bool DropRootRights() {
    return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
}

bool MakeNamedPipe(const std::string& path) {
    return ::mkfifo(path.c_str(), 0644) == 0;
}

void SetEnvironment(const std::string& name, const char* value) {
    if (value != nullptr) {
        ::setenv(name.c_str(), value, 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

TAddressSpaceCap::TAddressSpaceCap(std::uint64_t headroom) {
#ifndef VARNELO_SANITIZED
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit saved{};
    if (getrlimit(RLIMIT_AS, &saved) == 0 && pages > 0) {
        savedSoft_ = saved.rlim_cur;
        savedHard_ = saved.rlim_max;
        rlimit capped = saved;
        capped.rlim_cur = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + headroom;
        active_ = setrlimit(RLIMIT_AS, &capped) == 0;
    }
#else
    (void)headroom;
#endif
}

TAddressSpaceCap::~TAddressSpaceCap() {
    if (active_) {
        const rlimit saved{savedSoft_, savedHard_};
        setrlimit(RLIMIT_AS, &saved);
    }
}

}  // namespace varnelo::testing
