// SPDX-License-Identifier: MIT
// vokStatistics and vokDebug.
#include <cstring>
#include <string>

#include "frame/channel.h"
#include "frame/memory.h"
#include "helpers.h"
#include "platform/platform.h"

using namespace vok;
using vok_test::Attached;

namespace {

class Inspect : public Attached {};

TEST_F(Inspect, VersionAndUnknownIndexes) {
    EXPECT_EQ(vokStatistics(0, 16), 834);
    EXPECT_EQ(vokStatistics(0, 26), 11);
    for (int index : {0, 1, 5, 21, 23, 25, 28, 100, -1})
        EXPECT_EQ(vokStatistics(0, index), -1) << index;
    EXPECT_EQ(vokStatistics(0, 20), 0);  // no connection
    EXPECT_EQ(vokStatistics(2, 16), VOK_CHANNEL_RANGE);
}

TEST_F(Inspect, SumsNeverOverflow) {
    Channel* ch = ChannelTable[0].Record;
    ch->BodyBytesRead = 7;
    ch->AttachBytesRead = 5;
    ch->BodyBytesSent = INT32_MAX;
    ch->AttachBytesSent = 10;
    EXPECT_EQ(vokStatistics(0, 12), 12);
    EXPECT_EQ(vokStatistics(0, 15), INT32_MAX);
}

TEST_F(Inspect, DebugTextsStayInsideTheBuffer) {
    Channel* ch = ChannelTable[0].Record;
    strcpy(ch->LastReply, "250 OK\r\n");
    char buf[64];
    EXPECT_EQ(vokDebug(0, 23, buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "250 OK\r\n");
    // `size` characters and then a NUL: the buffer holds size + 1 bytes.
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(vokDebug(0, 23, buf, 4), 4);
    EXPECT_STREQ(buf, "250 ");
    EXPECT_EQ(buf[5], 'x');

    strcpy(ch->SavedNames, "a.pdf,b.png");
    EXPECT_EQ(vokDebug(0, 29, buf, sizeof buf), 11);
    EXPECT_STREQ(buf, "a.pdf,b.png");
    strcpy(ch->LastRecipient, "<ann@example.org>");
    EXPECT_EQ(vokDebug(0, 30, buf, 6), 6);
    EXPECT_STREQ(buf, "<ann@e");
    // The whole 32-character field with size 32.
    strcpy(ch->LastRecipient, "<abcdefghijklmnopqrstuvw@xyz.io>");
    EXPECT_EQ(vokDebug(0, 30, buf, 32), 32);
    EXPECT_STREQ(buf, "<abcdefghijklmnopqrstuvw@xyz.io>");

    EXPECT_EQ(vokDebug(0, 99, buf, 10), 0);
    EXPECT_STREQ(buf, "?");
}

TEST_F(Inspect, ServerAddressNeedsRoom) {
    ChannelTable[0].Record->ServerIP = 0xC0A80001u;
    char buf[32] = "keep";
    EXPECT_EQ(vokDebug(0, 25, buf, 16), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(vokDebug(0, 25, buf, 17), 11);
    EXPECT_STREQ(buf, "192.168.0.1");
    EXPECT_EQ(vokDebug(0, 28, buf, 32), 0);  // no socket, no local address
}

TEST_F(Inspect, MessageBufferIsBoundedBySize) {
    char buf[16];
    EXPECT_EQ(vokDebug(0, 40, buf, sizeof buf), VOK_NULL_POINTER);
    char* block = AllocateMemory(0, kSlotMessageBuffer, 200);
    ASSERT_NE(block, nullptr);
    memset(block, 'm', 150);
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(vokDebug(0, 40, buf, 10), 10);
    EXPECT_EQ(std::string(buf), std::string(10, 'm'));
    EXPECT_EQ(buf[11], 'x');
    char big[300];
    EXPECT_EQ(vokDebug(0, 40, big, sizeof big), 150);
}

TEST_F(Inspect, DateLineFromTheClock) {
    plat::LocalTime t{2026, 12, 7, 1, 5, 1, 52, 60};
    plat::SetLocalTimeOverride(&t);
    char buf[64];
    EXPECT_EQ(vokDebug(0, -12, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Date: Mon, 7 Dec 2026 05:01:52 +0100");
    EXPECT_EQ(vokDebug(0, -12, buf, 6), 0);
    EXPECT_STREQ(buf, "Date: ");
    plat::SetLocalTimeOverride(nullptr);
}

TEST(InspectUnattached, NullBufferAndScanNeedNoAttach) {
    EXPECT_EQ(vokDebug(0, 23, nullptr, 10), 0);
    char buf[8] = "keep";
    EXPECT_EQ(vokDebug(0, 23, buf, sizeof buf), VOK_NOT_ATTACHED);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(vokDebug(-2, 0, nullptr, 0), 0);
    EXPECT_EQ(vokStatistics(0, 16), VOK_NOT_ATTACHED);
}

}  // namespace
