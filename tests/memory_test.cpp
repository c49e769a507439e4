// SPDX-License-Identifier: MIT
// Tracked memory: the registry, its guard bytes and the channel-level calls.
#include <cstring>

#include "frame/channel.h"
#include "frame/memory.h"
#include "helpers.h"

using namespace vok;
using vok_test::Attached;
using vok_test::ReadFile;
using vok_test::TempDir;

namespace {

class Memory : public Attached {
  protected:
    TempDir dir;
    std::string log;
    void SetUp() override {
        Attached::SetUp();
        log = dir.file("mem.log");
        ASSERT_GT(vokStringParam(1, VOK_LOG_FILE, log.c_str()), 0);
    }
};

TEST_F(Memory, GuardBytesSurroundTheCallersArea) {
    char* p = AllocateMemory(1, 3, 10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<uint8_t>(p[-1]), kGuardFront);
    EXPECT_EQ(static_cast<uint8_t>(p[10]), kGuardBack);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0);
    EXPECT_EQ(BlockSize(13), 10);
    EXPECT_EQ(CheckBlock(13), 1);
}

TEST_F(Memory, ALiveSlotIsNotAllocatedTwice) {
    char* p = AllocateMemory(1, 4, 8);
    ASSERT_NE(p, nullptr);
    strcpy(p, "keep");
    EXPECT_EQ(AllocateMemory(1, 4, 8), nullptr);
    EXPECT_STREQ(GetBlock(14), "keep");
    EXPECT_EQ(ReadFile(log), "AllocateMemory Error: Chan=1, Index=4, Code=-103\r\n");
}

TEST_F(Memory, DamagedBlockIsNeitherFreedNorAreTheSlotsAfterIt) {
    char* a = AllocateMemory(1, 2, 5);
    char* b = AllocateMemory(1, 3, 5);
    char* c = AllocateMemory(1, 4, 5);
    ASSERT_TRUE(a && b && c);
    b[5] = 'X';  // one byte past the caller's area
    EXPECT_EQ(CheckBlock(13), kMemCorrupted);
    FreeMemory(1, 1, 9);
    EXPECT_EQ(BlockInUse(12), 0);
    EXPECT_EQ(BlockInUse(13), 1);
    EXPECT_EQ(BlockInUse(14), 1);
    EXPECT_EQ(ReadFile(log), "FreeMemory Error: Chan=1, Index=3, Code=-106\r\n");
    b[5] = static_cast<char>(kGuardBack);  // mend it so release can free it
}

TEST_F(Memory, FrontGuardIsCheckedToo) {
    char* a = AllocateMemory(1, 5, 4);
    ASSERT_NE(a, nullptr);
    a[-1] = 0;
    EXPECT_EQ(CheckBlock(15), kMemCorrupted);
    a[-1] = static_cast<char>(kGuardFront);
    EXPECT_EQ(CheckBlock(15), 1);
}

TEST_F(Memory, FreeingEmptySlotsIsSilent) {
    FreeMemory(1, 1, 9);
    EXPECT_EQ(ReadFile(log), "");
}

TEST_F(Memory, IdentifiersPastTheRegistryAreRefused) {
    EXPECT_EQ(AllocateBlock(kRegistrySize, 4), kMemBadId);
    EXPECT_EQ(AllocateBlock(-1, 4), kMemBadId);
    EXPECT_EQ(GetBlock(kRegistrySize), nullptr);
    EXPECT_EQ(CheckBlock(kRegistrySize + 20), kMemBadId);
    EXPECT_EQ(ReleaseBlock(kRegistrySize), kMemBadId);
    EXPECT_EQ(BlockInUse(2000), kMemBadId);
    EXPECT_EQ(BlockSize(kRegistrySize), kMemBadId);
    EXPECT_EQ(CheckBlock(19), kMemNotInUse);
    EXPECT_EQ(ReleaseBlock(19), kMemNotInUse);
}

TEST_F(Memory, AllocAndCopyReplacesAndKeepsOnEmptyText) {
    char* first = AllocAndCopy(1, 6, "first text");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(BlockSize(16), 12);  // length + 2
    char* second = AllocAndCopy(1, 6, "second");
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(GetBlock(16), "second");
    EXPECT_EQ(BlockSize(16), 8);
    EXPECT_EQ(AllocAndCopy(1, 6, ""), nullptr);
    EXPECT_STREQ(GetBlock(16), "second");
    EXPECT_EQ(ReadFile(log), "AllocAndCopy Error 1: Chan=1, Index=6, Code=0\r\n");
}

TEST_F(Memory, ReleaseFreesEverySlotOfEveryChannel) {
    ASSERT_NE(AllocAndCopy(0, 1, "a"), nullptr);
    ASSERT_NE(AllocAndCopy(1, 9, "b"), nullptr);
    vokRelease();
    ASSERT_EQ(vokAttach(2), 1);
    EXPECT_EQ(BlockInUse(1), 0);
    EXPECT_EQ(BlockInUse(19), 0);
    EXPECT_EQ(BlockInUse(0), 1);  // the fresh records
    EXPECT_EQ(BlockInUse(10), 1);
    EXPECT_EQ(BlockSize(0), static_cast<int32_t>(sizeof(Channel)));
}

}  // namespace
