// SPDX-License-Identifier: MIT
// The platform layer, the same checks for every implementation: the suite
// runs natively and, cross-built, under Wine against the Win32 one.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "helpers.h"
#include "platform/platform.h"

namespace plat = vok::plat;
using vok_test::ReadFile;
using vok_test::TempDir;
using vok_test::WriteFile;

namespace {

// --- Simple files -------------------------------------------------------------

TEST(PlatformFiles, BytesRoundTripExactly) {
    TempDir dir;
    // CR, LF, NUL and Ctrl-Z must pass untouched: no text-mode translation.
    const std::string bytes("a\r\nb\nc\0d\x1a\xff\r", 12);
    plat::FileHandle out = plat::FileCreate(dir.file("f.bin").c_str());
    ASSERT_GT(out, 0);
    EXPECT_EQ(plat::FileWrite(out, bytes.data(), 5), 5);
    EXPECT_EQ(plat::FileWrite(out, bytes.data() + 5, static_cast<uint32_t>(bytes.size() - 5)), 7);
    EXPECT_EQ(plat::FileWrite(out, bytes.data(), 0), 0);
    plat::FileClose(out);
    EXPECT_EQ(ReadFile(dir.file("f.bin")), bytes);

    plat::FileHandle in = plat::FileOpenRead(dir.file("f.bin").c_str());
    ASSERT_GT(in, 0);
    char buf[64];
    EXPECT_EQ(plat::FileRead(in, buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), bytes.substr(0, 4));
    EXPECT_EQ(plat::FileRead(in, buf, sizeof buf), 8);
    EXPECT_EQ(std::string(buf, 8), bytes.substr(4));
    EXPECT_EQ(plat::FileRead(in, buf, sizeof buf), 0);  // end of file
    plat::FileClose(in);
}

TEST(PlatformFiles, CreateTruncatesAndHandlesStayPositive) {
    TempDir dir;
    WriteFile(dir.file("old.txt"), "a much longer earlier content");
    plat::FileHandle a = plat::FileCreate(dir.file("old.txt").c_str());
    plat::FileHandle b = plat::FileCreate(dir.file("other.txt").c_str());
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(plat::FileWrite(a, "new", 3), 3);
    plat::FileClose(a);
    plat::FileClose(b);
    EXPECT_EQ(ReadFile(dir.file("old.txt")), "new");
    EXPECT_EQ(ReadFile(dir.file("other.txt")), "");
}

TEST(PlatformFiles, FailuresAreMinusOne) {
    TempDir dir;
    EXPECT_EQ(plat::FileOpenRead(dir.file("missing.txt").c_str()), plat::kBadFile);
    EXPECT_EQ(plat::FileOpenRead(nullptr), plat::kBadFile);
    EXPECT_EQ(plat::FileCreate(nullptr), plat::kBadFile);
    EXPECT_EQ(plat::FileCreate(dir.file("no/such/folder/x.txt").c_str()), plat::kBadFile);
    char buf[8];
    EXPECT_EQ(plat::FileRead(0, buf, sizeof buf), -1);
    EXPECT_EQ(plat::FileRead(plat::kBadFile, buf, sizeof buf), -1);
    EXPECT_EQ(plat::FileWrite(0, "x", 1), -1);
    EXPECT_EQ(plat::FileWrite(plat::kBadFile, "x", 1), -1);
    plat::FileClose(0);  // harmless
    plat::FileClose(plat::kBadFile);
}

TEST(PlatformFiles, WritingAReadOnlyHandleFails) {
    TempDir dir;
    WriteFile(dir.file("r.txt"), "keep");
    plat::FileHandle in = plat::FileOpenRead(dir.file("r.txt").c_str());
    ASSERT_GT(in, 0);
    EXPECT_EQ(plat::FileWrite(in, "xx", 2), -1);
    plat::FileClose(in);
    EXPECT_EQ(ReadFile(dir.file("r.txt")), "keep");
}

TEST(PlatformFiles, PathSeparators) {
    EXPECT_TRUE(plat::IsPathSeparator(plat::PathSeparator()));
    EXPECT_TRUE(plat::IsPathSeparator('/'));
    EXPECT_FALSE(plat::IsPathSeparator('a'));
    EXPECT_FALSE(plat::IsPathSeparator('\0'));
}

// --- Text --------------------------------------------------------------------

TEST(PlatformText, DefaultCharsetIsNamedAndBounded) {
    char name[48];
    plat::DefaultCharset(name, sizeof name);
#ifdef _WIN32
    // The ANSI code page: "windows-1252" on most systems, Wine's included.
    EXPECT_GT(strlen(name), 2u) << name;
    EXPECT_EQ(std::string(name).find(' '), std::string::npos);
#else
    EXPECT_STREQ(name, "utf-8");
#endif
    char small[4] = {'#', '#', '#', '#'};
    plat::DefaultCharset(small, 3);
    EXPECT_EQ(strlen(small), 2u);
    EXPECT_EQ(small[3], '#');
}

// --- Time -------------------------------------------------------------------

TEST(PlatformTime, TicksAdvanceAcrossASleep) {
    uint32_t start = plat::TickCount();
    plat::SleepMs(0);  // only yields
    plat::SleepMs(60);
    // Unsigned difference, as the driver compares; the tick may be as coarse
    // as 16 ms, so only a clear lower bound is asked for.
    uint32_t elapsed = plat::TickCount() - start;
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 60000u);
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long MinutesOf(long y, long mon, long d, long h, long min) {
    return (DaysFromCivil(y, mon, d) * 24 + h) * 60 + min;
}

TEST(PlatformTime, LocalTimeAgreesWithTheClockAndItsOffset) {
    plat::SetLocalTimeOverride(nullptr);
    // The minute may turn between the readings; a few tries settle it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::time_t before = std::time(nullptr);
        plat::LocalTime lt{};
        plat::GetLocalTime(&lt);
        std::time_t after = std::time(nullptr);
        if (before / 60 != after / 60) continue;

        ASSERT_GE(lt.month, 1);
        ASSERT_LE(lt.month, 12);
        ASSERT_GE(lt.day, 1);
        ASSERT_LE(lt.day, 31);
        ASSERT_GE(lt.dayOfWeek, 0);
        ASSERT_LE(lt.dayOfWeek, 6);
        ASSERT_LE(lt.hour, 23);
        ASSERT_LE(lt.minute, 59);
        ASSERT_LE(lt.second, 60);
        EXPECT_GT(lt.utcOffsetMinutes, -15 * 60);
        EXPECT_LT(lt.utcOffsetMinutes, 15 * 60);

        // Local wall clock minus the offset is UTC, to the minute.
        std::tm utc = *std::gmtime(&before);
        long utcMinutes =
            MinutesOf(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min);
        long localMinutes = MinutesOf(lt.year, lt.month, lt.day, lt.hour, lt.minute);
        EXPECT_EQ(localMinutes - lt.utcOffsetMinutes, utcMinutes)
            << "offset " << lt.utcOffsetMinutes << " has the wrong size or sign";
        // 1970-01-01 was a Thursday.
        EXPECT_EQ(lt.dayOfWeek, (DaysFromCivil(lt.year, lt.month, lt.day) % 7 + 11) % 7);
        return;
    }
    FAIL() << "the clock did not hold still for a minute";
}

TEST(PlatformTime, OverrideIsReturnedUntilCleared) {
    plat::LocalTime fixed{2004, 2, 29, 0, 23, 59, 58, -330};
    plat::SetLocalTimeOverride(&fixed);
    fixed.year = 1999;  // the override is a copy
    plat::LocalTime got{};
    plat::GetLocalTime(&got);
    EXPECT_EQ(got.year, 2004);
    EXPECT_EQ(got.day, 29);
    EXPECT_EQ(got.second, 58);
    EXPECT_EQ(got.utcOffsetMinutes, -330);
    plat::SetLocalTimeOverride(nullptr);
    plat::GetLocalTime(&got);
    EXPECT_GT(got.year, 2004);
}

// --- Lock, memory and socket layer ------------------------------------------------

TEST(PlatformLock, SerialisesTwoThreads) {
    plat::LockInit();
    plat::LockInit();  // a second init keeps the lock usable
    int counter = 0;   // deliberately not atomic: only the lock protects it
    std::atomic<bool> go{false};
    auto work = [&] {
        while (!go) plat::SleepMs(0);
        for (int i = 0; i < 20000; ++i) {
            plat::LockEnter();
            int seen = counter;
            if (i % 1000 == 0) plat::SleepMs(0);  // invite the other thread in
            counter = seen + 1;
            plat::LockLeave();
        }
    };
    std::thread a(work);
    std::thread b(work);
    go = true;
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
    plat::LockDelete();
    plat::LockDelete();  // harmless
    // A fresh init after delete works, as attach after release needs.
    plat::LockInit();
    plat::LockEnter();
    plat::LockLeave();
    plat::LockDelete();
}

TEST(PlatformMemory, BlocksAreZeroFilledAndWritable) {
    for (size_t size : {size_t{1}, size_t{3}, size_t{2051}, size_t{1} << 20}) {
        auto* p = static_cast<unsigned char*>(plat::AllocZeroed(size));
        ASSERT_NE(p, nullptr) << size;
        size_t nonzero = 0;
        for (size_t i = 0; i < size; ++i) nonzero += p[i] != 0;
        EXPECT_EQ(nonzero, 0u) << size;
        memset(p, 0xA5, size);
        plat::FreeZeroed(p);
    }
    plat::FreeZeroed(nullptr);  // harmless
}

TEST(PlatformSockets, StartupAndCleanupPair) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(plat::SocketStartup(), 0);
        plat::SocketCleanup();
    }
}

}  // namespace
