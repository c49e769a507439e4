// SPDX-License-Identifier: MIT
#include "helpers.h"

#include <time.h>
#if defined(__linux__)
#include <dirent.h>
#endif

#include <filesystem>
#include <random>

namespace vok_test {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 100; ++i) {
        auto p = base / ("vok_test_" + std::to_string(rd()));
        if (std::filesystem::create_directory(p)) {
            path_ = p.string();
            return;
        }
    }
    ADD_FAILURE() << "cannot make a temporary folder";
}

double CpuSeconds() {
    // The Windows build's threads library supplies the process clock too.
    timespec ts{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int OpenDescriptors() {
#if defined(__linux__)
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
#else
    return 0;
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace vok_test
