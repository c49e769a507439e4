/* SPDX-License-Identifier: MIT */
// Shared helpers of the test suite.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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

// How many descriptors this process has open (Linux; 0 elsewhere), for
// checks that nothing leaks.
int OpenDescriptors();

// A plain reference encoder (RFC 4648) for building expected wire text.
inline std::string Base64(const std::string& in) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(in[i])) << 16;
        if (i + 1 < in.size()) v |= static_cast<uint32_t>(static_cast<uint8_t>(in[i + 1])) << 8;
        if (i + 2 < in.size()) v |= static_cast<uint8_t>(in[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

// Attaches n channels for one test and releases them afterwards.
class Attached : public ::testing::Test {
  protected:
    void Attach(int n) { ASSERT_EQ(vokAttach(n), 1); }
    void SetUp() override { Attach(2); }
    void TearDown() override { vokRelease(); }
};

}  // namespace vok_test
