// SPDX-License-Identifier: MIT
// Attach and release, error texts, parameters and the diagnostic log, all
// through the exported calls.
#include <cstring>
#include <string>

#include "frame/channel.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "helpers.h"

using namespace vok;
using vok_test::Attached;
using vok_test::ReadFile;
using vok_test::TempDir;

namespace {

// --- Attach and release -----------------------------------------------------

TEST(Lifecycle, AttachCounts) {
    EXPECT_EQ(vokAttach(0), 1);  // accepted, but nothing is attached
    EXPECT_EQ(vokIntegerParam(0, 1, 25), VOK_NOT_ATTACHED);
    EXPECT_EQ(vokAttach(129), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokAttach(-1), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokIntegerParam(0, 1, 25), VOK_NOT_ATTACHED);

    ASSERT_EQ(vokAttach(128), 1);
    EXPECT_EQ(vokAttach(2), VOK_ALREADY_ATTACHED);
    EXPECT_EQ(vokIntegerParam(127, 1, 25), 1);
    EXPECT_EQ(vokIntegerParam(128, 1, 25), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokRelease(), 1);
    EXPECT_EQ(vokRelease(), 1);

    ASSERT_EQ(vokAttach(2), 1);
    char buf[64] = "untouched";
    EXPECT_EQ(vokErrorText(1, -52, buf, sizeof buf), 19);
    EXPECT_EQ(vokErrorText(2, -52, buf, sizeof buf), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokErrorText(-1, -52, buf, sizeof buf), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokErrorText(65536, -52, buf, sizeof buf), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokRelease(), 1);
    strcpy(buf, "untouched");
    EXPECT_EQ(vokErrorText(0, -52, buf, sizeof buf), VOK_NOT_ATTACHED);
    EXPECT_STREQ(buf, "untouched");
}

TEST(Lifecycle, ChannelsStartWithTheirDefaults) {
    ASSERT_EQ(vokAttach(3), 1);
    for (int chan = 0; chan < 3; ++chan) {
        Channel* ch = ChannelTable[chan].Record;
        ASSERT_NE(ch, nullptr);
        EXPECT_EQ(ch->Chan, chan);
        EXPECT_EQ(ch->PrevState, -2);
        EXPECT_EQ(ch->ThisState, -1);
        EXPECT_EQ(ch->NextState, 0);
        EXPECT_EQ(ch->AutoCall, 1);
        EXPECT_EQ(ch->NonBlockingConnect, 1);
        EXPECT_EQ(ch->SmtpPort, 25);
        EXPECT_EQ(ch->Pop3Port, 110);
        EXPECT_EQ(ch->InlineImages, 1);
        EXPECT_EQ(ch->LogFile, 0);
        EXPECT_EQ(ch->Protocol, 0);
    }
    EXPECT_EQ(ChannelTable[3].Record, nullptr);
    vokRelease();
}

TEST(Lifecycle, BoundaryCarriesTheTickCount) {
    ASSERT_EQ(vokAttach(1), 1);
    std::string b = Boundary;
    vokRelease();
    EXPECT_EQ(b.rfind("=====_VOK", 0), 0u);
    EXPECT_EQ(b.substr(b.size() - 6), "_=====");
    std::string digits = b.substr(9, b.size() - 15);
    ASSERT_FALSE(digits.empty());
    EXPECT_EQ(digits.find_first_not_of("-0123456789"), std::string::npos);
}

TEST(Lifecycle, ChecksComeBeforeTheCallLine) {
    TempDir dir;
    ASSERT_EQ(vokAttach(1), 1);
    std::string log = dir.file("order.log");
    ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, log.c_str()), 0);
    EXPECT_EQ(vokIntegerParam(1, 1, 5), VOK_CHANNEL_RANGE);
    EXPECT_EQ(vokStringParam(0, 52, nullptr), VOK_NULL_POINTER);
    EXPECT_EQ(vokAttach(1), VOK_ALREADY_ATTACHED);
    vokRelease();
    EXPECT_EQ(ReadFile(log), "Releasing channel 0\r\n");
}

TEST(Lifecycle, ReleaseWritesTheLastLineOfEachLogHighestChannelFirst) {
    TempDir dir;
    ASSERT_EQ(vokAttach(2), 1);
    std::string shared = dir.file("both.log");
    ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, shared.c_str()), 0);
    // Channel 1 appends to its own copy of the same file name: give it its own.
    std::string one = dir.file("one.log");
    ASSERT_GT(vokStringParam(1, VOK_LOG_FILE, one.c_str()), 0);
    vokRelease();
    EXPECT_EQ(ReadFile(shared), "Releasing channel 0\r\n");
    EXPECT_EQ(ReadFile(one), "Releasing channel 1\r\n");
}

TEST(Lifecycle, ReleaseClosesFilesAChannelStillHolds) {
    TempDir dir;
    ASSERT_EQ(vokAttach(1), 1);
    std::string path = dir.file("held.txt");
    plat::FileHandle f = plat::FileCreate(path.c_str());
    ASSERT_GT(f, 0);
    ChannelTable[0].Record->FileHandle = f;
    std::string mail = dir.file("mail.txt");
    plat::FileHandle m = plat::FileCreate(mail.c_str());
    ASSERT_GT(m, 0);
    ChannelTable[0].Record->MailHandle = m;
    vokRelease();
    // Both descriptors are free again: the next two files get them back.
    plat::FileHandle again = plat::FileCreate(path.c_str());
    plat::FileHandle again2 = plat::FileCreate(mail.c_str());
    EXPECT_TRUE((again == f && again2 == m) || (again == m && again2 == f));
    plat::FileClose(again);
    plat::FileClose(again2);
}

TEST(Lifecycle, ManyAttachCyclesLeaveNothingBehind) {
    TempDir dir;
    std::string log = dir.file("cycle.log");
    plat::FileHandle probe = plat::FileCreate(dir.file("probe").c_str());
    plat::FileClose(probe);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(vokAttach(4), 1);
        ASSERT_GT(vokStringParam(3, VOK_LOG_FILE, log.c_str()), 0);
        ASSERT_GT(vokStringParam(3, VOK_ALTERNATE_TEXT, "alt"), 0);
        ASSERT_EQ(vokRelease(), 1);
    }
    plat::FileHandle after = plat::FileCreate(dir.file("probe").c_str());
    EXPECT_EQ(after, probe);  // no descriptor leaked
    plat::FileClose(after);
}

// --- Error texts --------------------------------------------------------------

class ErrorText : public Attached {};

TEST_F(ErrorText, KnownAndUnknownCodes) {
    char buf[128];
    EXPECT_EQ(vokErrorText(0, -52, buf, 128), 19);
    EXPECT_STREQ(buf, "Socket write error.");
    EXPECT_EQ(vokErrorText(0, -10054, buf, 128), 32);
    EXPECT_STREQ(buf, "Connection reset by remote host.");
    EXPECT_EQ(vokErrorText(0, 0, buf, 128), 13);
    EXPECT_STREQ(buf, "Cannot comply");
    EXPECT_EQ(vokErrorText(0, -2, buf, 128), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(vokErrorText(0, -10059, buf, 128), 0);
    EXPECT_EQ(vokErrorText(0, 999, buf, 128), 0);  // the sentinel is no entry
    EXPECT_EQ(vokErrorText(0, -1, buf, 128), 23);
    EXPECT_STREQ(buf, "Socket has been closed.");
    EXPECT_EQ(vokErrorText(0, -11004, buf, 128), 21);
    EXPECT_STREQ(buf, "No data is available.");
    EXPECT_EQ(vokErrorText(0, -54, buf, 128), 48);
    EXPECT_STREQ(buf, "Found unexpected '>' character in email address.");
}

TEST_F(ErrorText, SmallBuffersTruncate) {
    char buf[8];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(vokErrorText(0, -52, buf, 6), 5);
    EXPECT_STREQ(buf, "Socke");
    EXPECT_EQ(buf[6], 'x');
    EXPECT_EQ(vokErrorText(0, -52, buf, 1), 0);
    EXPECT_STREQ(buf, "");
}

TEST_F(ErrorText, RefusalsCarryTheServersReply) {
    Channel* ch = ChannelTable[0].Record;
    strcpy(ch->ReplyBuffer, "550 No such user\r\n");
    char buf[128];
    EXPECT_EQ(vokErrorText(0, -49, buf, 128), 20 + 1 + 18);
    EXPECT_STREQ(buf, "SMTP returned error. 550 No such user\r\n");
    strcpy(ch->ReplyBuffer, "-ERR no\r\n");
    EXPECT_EQ(vokErrorText(0, -63, buf, 128), 20 + 1 + 9);
    EXPECT_STREQ(buf, "POP3 returned error. -ERR no\r\n");
    EXPECT_EQ(vokErrorText(0, -36, buf, 128), 28 + 1 + 9);
    // Exactly room for the message: neither the space nor the reply.
    EXPECT_EQ(vokErrorText(0, -49, buf, 21), 20);
    EXPECT_STREQ(buf, "SMTP returned error.");
    // Room for the space and part of the reply.
    EXPECT_EQ(vokErrorText(0, -49, buf, 25), 24);
    EXPECT_STREQ(buf, "SMTP returned error. -ER");
    // Other codes never take the reply.
    EXPECT_EQ(vokErrorText(0, -52, buf, 128), 19);
}

// --- Parameters ---------------------------------------------------------------

class Params : public Attached {
  protected:
    void SetUp() override {
        saved = LibrarySettings;
        Attached::SetUp();
    }
    void TearDown() override {
        Attached::TearDown();
        LibrarySettings = saved;
    }
    Settings saved;
};

TEST_F(Params, UnknownIndexesChangeNothing) {
    Settings before = LibrarySettings;
    for (int index : {0, 4, 7, 20, 39, 40, 1000, -5})
        EXPECT_EQ(vokIntegerParam(0, index, 1), -1) << index;
    EXPECT_EQ(memcmp(&before, &LibrarySettings, sizeof before), 0);
    for (int index : {0, 19, 21, 40, 42, 49, 66})
        EXPECT_EQ(vokStringParam(0, index, "x"), -1) << index;
    EXPECT_EQ(vokStringParam(0, 50, nullptr), VOK_NULL_POINTER);
}

TEST_F(Params, GlobalTimesAndTransferWait) {
    EXPECT_EQ(LibrarySettings.MinResponseWait, 25);
    EXPECT_EQ(LibrarySettings.MaxResponseWait, 25000);
    EXPECT_EQ(LibrarySettings.ConnectWait, 60000);
    EXPECT_EQ(LibrarySettings.PollSleep, 100);
    EXPECT_EQ(vokIntegerParam(0, 6, 5000), 1);
    EXPECT_EQ(LibrarySettings.WriteWait, 5000);
    EXPECT_EQ(LibrarySettings.ReadWait, 5000);
    EXPECT_EQ(vokIntegerParam(1, 11, 7000), 1);  // any channel sets a global
    EXPECT_EQ(LibrarySettings.WriteWait, 7000);
    EXPECT_EQ(LibrarySettings.ReadWait, 5000);
    EXPECT_EQ(vokIntegerParam(0, 1, -3), 1);  // no range test
    EXPECT_EQ(LibrarySettings.MinResponseWait, -3);
}

TEST_F(Params, GlobalsSurviveReleaseAndAttach) {
    EXPECT_EQ(vokIntegerParam(0, 13, 7), 1);
    vokRelease();
    ASSERT_EQ(vokAttach(1), 1);
    EXPECT_EQ(LibrarySettings.PollSleep, 7);
}

TEST_F(Params, LineLengthSetsBothLimits) {
    EXPECT_EQ(LibrarySettings.LineHard, 78);
    EXPECT_EQ(LibrarySettings.LineSoft, 61);
    EXPECT_EQ(vokIntegerParam(0, 17, 100), 1);
    EXPECT_EQ(LibrarySettings.LineHard, 100);
    EXPECT_EQ(LibrarySettings.LineSoft, 82);
    EXPECT_EQ(vokIntegerParam(0, 17, INT32_MIN), 1);  // stored, never overflowing
    EXPECT_EQ(LibrarySettings.LineSoft, INT32_MIN);
}

TEST_F(Params, ChannelFieldsKeepTheirWidth) {
    Channel* ch = ChannelTable[0].Record;
    EXPECT_EQ(vokIntegerParam(0, 8, 17), 1);
    EXPECT_EQ(ch->BodyFormat, 1);
    ch->NextTime = 5;
    ch->Deadline = 6;
    EXPECT_EQ(vokIntegerParam(0, 9, 2), 1);
    EXPECT_EQ(ch->AutoCall, 0);
    EXPECT_EQ(ch->NextTime, 0u);
    EXPECT_EQ(ch->Deadline, 0u);
    EXPECT_EQ(vokIntegerParam(0, 18, 1), 1);
    EXPECT_EQ(ch->NonBlockingConnect, 0);
    EXPECT_EQ(vokIntegerParam(0, 18, 0), 1);
    EXPECT_EQ(ch->NonBlockingConnect, 1);
    EXPECT_EQ(vokIntegerParam(0, 28, 65537), 1);
    EXPECT_EQ(ch->DecoderState, 1);
    EXPECT_EQ(vokIntegerParam(0, 28, 0xFFFF), 1);
    EXPECT_EQ(ch->DecoderState, -1);  // sign-extended from 16 bits
    EXPECT_EQ(vokIntegerParam(0, 15, 0x10019), 1);
    EXPECT_EQ(ch->SmtpPort, 25);
    EXPECT_EQ(vokIntegerParam(0, 16, 995), 1);
    EXPECT_EQ(ch->Pop3Port, 995);
    EXPECT_EQ(vokIntegerParam(0, 27, 0x100), 1);
    EXPECT_EQ(ch->InlineImages, 0);
    EXPECT_EQ(vokIntegerParam(0, 29, 1), 1);
    EXPECT_EQ(ch->EsmtpMode, 1);
    EXPECT_EQ(vokIntegerParam(0, 30, 0x201), 1);
    EXPECT_EQ(ch->UseApop, 1);
    EXPECT_EQ(vokIntegerParam(0, 23, ';' + 0x100), 1);
    EXPECT_EQ(LibrarySettings.AddressDelimiter, ';');
    EXPECT_EQ(vokIntegerParam(0, 19, 0x100), 1);
    EXPECT_EQ(LibrarySettings.Pass8Bit, 0);
    // Channel settings belong to their channel alone.
    EXPECT_EQ(ChannelTable[1].Record->BodyFormat, 0);
    EXPECT_EQ(ChannelTable[1].Record->AutoCall, 1);
}

TEST_F(Params, StringFieldsAreCutAtTheirSize) {
    Channel* ch = ChannelTable[0].Record;
    std::string longText(300, 'a');
    EXPECT_EQ(vokStringParam(0, 53, longText.c_str()), 128);
    EXPECT_EQ(strlen(ch->FromAddress), 128u);
    EXPECT_EQ(vokStringParam(0, 50, "reply@example.org"), 17);
    EXPECT_STREQ(ch->ReplyTo, "reply@example.org");
    EXPECT_EQ(vokStringParam(0, 57, longText.c_str()), 64);
    EXPECT_EQ(vokStringParam(0, 58, longText.c_str()), 64);
    EXPECT_EQ(vokStringParam(0, 54, longText.c_str()), 64);
    EXPECT_EQ(vokStringParam(0, 55, longText.c_str()), 128);
    EXPECT_EQ(LibrarySettings.UseCustomEncoding, 1);
    EXPECT_EQ(vokStringParam(0, 55, ""), 0);
    EXPECT_EQ(LibrarySettings.UseCustomEncoding, 0);
}

TEST_F(Params, UserHeadersResultAndTrim) {
    const int id = 0 * kSlotsPerChannel + kSlotUserHeaders;
    EXPECT_EQ(vokStringParam(0, 51, "X-One: 1\r\n"), 2);
    EXPECT_STREQ(GetBlock(id), "X-One: 1");
    EXPECT_EQ(vokStringParam(0, 51, "X-Two: abc"), 4);
    EXPECT_STREQ(GetBlock(id), "X-Two: abc");
    EXPECT_EQ(vokStringParam(0, 51, "ab"), 3);
    EXPECT_STREQ(GetBlock(id), "ab");
    EXPECT_EQ(vokStringParam(0, 51, ""), 0);
    EXPECT_EQ(GetBlock(id), nullptr);
}

TEST_F(Params, AddHeaderAppendsLines) {
    const int id = kSlotUserHeaders;
    EXPECT_EQ(vokStringParam(0, 56, "X-A: 1"), 4);
    EXPECT_STREQ(GetBlock(id), "X-A: 1");
    EXPECT_EQ(vokStringParam(0, 56, "X-B: 2\r\n"), 2);
    EXPECT_STREQ(GetBlock(id), "X-A: 1\r\nX-B: 2");
    // Never more than 2048 characters in all.
    std::string huge(5000, 'h');
    vokStringParam(0, 56, huge.c_str());
    EXPECT_EQ(strlen(GetBlock(id)), 2048u);
}

TEST_F(Params, AlternateTextIsSetOnce) {
    EXPECT_EQ(vokStringParam(0, 59, "plain words"), 11);
    EXPECT_EQ(vokStringParam(0, 59, "other"), 0);
    EXPECT_STREQ(GetBlock(kSlotAlternateText), "plain words");
}

TEST_F(Params, SaveBufferNeedsAMessageBuffer) {
    TempDir dir;
    std::string out = dir.file("saved.txt");
    EXPECT_EQ(vokStringParam(0, 41, out.c_str()), VOK_NULL_POINTER);
    char* block = AllocateMemory(0, kSlotMessageBuffer, 64);
    ASSERT_NE(block, nullptr);
    strcpy(block, "Subject: hi\r\n\r\n");
    EXPECT_EQ(vokStringParam(0, 41, out.c_str()), 15);
    EXPECT_EQ(ReadFile(out), "Subject: hi\r\n\r\n");
    EXPECT_EQ(vokStringParam(0, 41, (dir.path() + "/no/such/dir/x").c_str()),
              VOK_CANNOT_CREATE_FILE);
}

// --- The log ------------------------------------------------------------------

class Log : public Attached {
  protected:
    TempDir dir;
};

TEST_F(Log, CallLinesAndTextLinesByteForByte) {
    std::string log = dir.file("a.log");
    EXPECT_EQ(vokStringParam(0, 52, "nothing open"), 0);
    int handle = vokStringParam(0, VOK_LOG_FILE, log.c_str());
    ASSERT_GT(handle, 0);
    EXPECT_EQ(vokIntegerParam(0, 4, 1), -1);
    EXPECT_EQ(vokIntegerParam(0, 2, -7), 1);
    EXPECT_EQ(vokStringParam(0, 52, "hello log"), handle);
    EXPECT_EQ(vokStringParam(0, 53, "me@here"), 7);
    EXPECT_EQ(vokIntegerParam(0, 2, 25000), 1);
    vokRelease();
    EXPECT_EQ(ReadFile(log),
              "*** vokIntegerParam(0,4,1)\r\n"
              "*** vokIntegerParam(0,2,-7)\r\n"
              "*** vokStringParam(0,52,hello log)\r\n"
              "hello log\r\n"
              "*** vokStringParam(0,53,me@here)\r\n"
              "*** vokIntegerParam(0,2,25000)\r\n"
              "Releasing channel 0\r\n");
}

TEST_F(Log, AFailedOpenLeavesNoLog) {
    EXPECT_EQ(vokStringParam(0, VOK_LOG_FILE, (dir.path() + "/missing/x.log").c_str()), -1);
    EXPECT_EQ(ChannelTable[0].Record->LogFile, 0);
    EXPECT_EQ(vokStringParam(0, 52, "x"), 0);
}

TEST_F(Log, ReopeningTruncatesAndMovesOn) {
    std::string first = dir.file("1.log");
    std::string second = dir.file("2.log");
    vok_test::WriteFile(first, "old contents\r\n");
    ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, first.c_str()), 0);
    EXPECT_EQ(ReadFile(first), "");
    ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, second.c_str()), 0);
    vokStringParam(0, 52, "two");
    vokRelease();
    EXPECT_EQ(ReadFile(first), "*** vokStringParam(0,20," + second + ")\r\n");
    EXPECT_EQ(ReadFile(second), "*** vokStringParam(0,52,two)\r\ntwo\r\nReleasing channel 0\r\n");
}

TEST_F(Log, MemoryErrorsGoToTheirChannel) {
    std::string log = dir.file("m.log");
    ASSERT_GT(vokStringParam(1, VOK_LOG_FILE, log.c_str()), 0);
    AllocAndCopy(1, 7, "");
    AllocAndCopy(0, 7, "");  // channel 0 has no log: nothing anywhere
    vokRelease();
    EXPECT_EQ(ReadFile(log),
              "AllocAndCopy Error 1: Chan=1, Index=7, Code=0\r\nReleasing channel 1\r\n");
}

}  // namespace
