// Shared helpers of the test suite.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "vok32.h"

namespace vok_test {

// A private folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Processor time used by this process so far, in seconds, for checks that a
// wait sleeps instead of spinning. Not std::clock(): the Windows C library
// answers it with wall-clock time.
double CpuSeconds();

// Attaches n channels for one test and releases them afterwards.
class Attached : public ::testing::Test {
protected:
    void Attach(int n) { ASSERT_EQ(vokAttach(n), 1); }
    void SetUp() override { Attach(2); }
    void TearDown() override { vokRelease(); }
};

}  // namespace vok_test
