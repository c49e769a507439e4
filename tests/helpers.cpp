#include "helpers.h"

#include <filesystem>
#include <random>

#include "engine/transport.h"

namespace vok_test {

namespace {
// Every wire test closes sockets; the half-second pause after each close
// only slows the suite down.
const bool kFastClose = (vok::ClosePauseMs = 0, true);
}  // namespace

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

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace vok_test
