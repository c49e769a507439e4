// SPDX-License-Identifier: MIT
// The POP3 client against a real server: Dovecot, started in the foreground
// on 127.0.0.1 with a private configuration and mailbox
// (mail_server.h). Login by USER/PASS and APOP, STAT, LIST,
// UIDL, TOP, RETR with attachments saved byte for byte, raw download, and
// DELE taking effect at QUIT.
//
// The server must be there: without it these tests fail, unless
// VOK_SKIP_INTEGRATION=1 says to skip them.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "mail_server.h"
#include "platform/platform.h"
#include "pop3_wire.h"

using vok_test::Base64Lines;
using vok_test::Binary;
using vok_test::Contains;
using vok_test::MailServer;
using vok_test::ReadFile;
using vok_test::Stuffed;
using vok_test::TempDir;
using vok_test::WriteFile;

namespace {

// The messages of the mailbox, in delivery order.
std::string PlainMessage() {
    return "From: Bob <bob@example.org>\r\n"
           "To: Ann <ann@example.com>\r\n"
           "Subject: Plain\r\n"
           "\r\n"
           "Hello Ann.\r\n"
           ".a line that begins with a dot\r\n"
           ".\r\n"
           "..\r\n"
           "Bye.\r\n";
}

std::string Pdf() {
    return Binary(40000, 11);
}
std::string Png() {
    return Binary(7000, 12);
}

std::string MultipartMessage() {
    return "From: Bob <bob@example.org>\r\n"
           "To: Ann <ann@example.com>\r\n"
           "Subject: =?iso-8859-1?q?Rapport_trimestriel_=E9t=E9?=\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed;\r\n"
           "\tboundary=\"----=_Part_7_1.2\"\r\n"
           "\r\n"
           "------=_Part_7_1.2\r\n"
           "Content-Type: text/plain; charset=iso-8859-1\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n"
           "\r\n"
           "Voil=E0 le rapport.\r\n"
           "\r\n"
           "------=_Part_7_1.2\r\n"
           "Content-Type: application/pdf; name=\"rapport.pdf\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"rapport.pdf\"\r\n"
           "\r\n" +
           Base64Lines(Pdf()) +
           "------=_Part_7_1.2\r\n"
           "Content-Type: image/png; name=\"chart.png\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"chart.png\"\r\n"
           "\r\n" +
           Base64Lines(Png()) + "------=_Part_7_1.2--\r\n";
}

class Dovecot : public ::testing::Test {
  protected:
    static MailServer* server_;

    static void SetUpTestSuite() {
        const char* skip = std::getenv("VOK_SKIP_INTEGRATION");
        if (skip && std::string(skip) == "1") return;
        server_ = new MailServer("pop3");
        server_->Put("1", PlainMessage());
        server_->Put("2", MultipartMessage());
        server_->Start();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    TempDir dir;
    vok::Settings saved;

    void SetUp() override {
        if (!server_) GTEST_SKIP() << "VOK_SKIP_INTEGRATION=1";
        ASSERT_GT(server_->Port(), 0) << server_->Failure();
        saved = vok::LibrarySettings;
        vok::LibrarySettings.MinResponseWait = 1;
        vok::LibrarySettings.MaxResponseWait = 10000;
        vok::LibrarySettings.ReadWait = 5000;
        vok::LibrarySettings.PollSleep = 5;
        ASSERT_EQ(vokAttach(1), 1);
        ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, dir.file("chan0.log").c_str()), 0);
    }
    void TearDown() override {
        if (!server_) return;
        vokRelease();
        vok::LibrarySettings = saved;
        if (HasFailure()) {
            std::string log = ReadFile(dir.file("chan0.log"));
            if (log.size() > 4000) log = "..." + log.substr(log.size() - 4000);
            std::cerr << "channel log:\n" << log << "\n";
        }
    }

    int Login(bool apop = false, const char* password = "secret") {
        vokIntegerParam(0, VOK_POP3_PORT, server_->Port());
        vokIntegerParam(0, VOK_USE_APOP, apop ? 1 : 0);
        int rc = vokPop3Connect(0, "127.0.0.1", "ann", password);
        EXPECT_TRUE(Contains(ReadFile(dir.file("chan0.log")), server_->Token()))
            << "not greeted by our own server";
        return rc;
    }
    std::string Uid(int message) {
        char buf[200];
        EXPECT_GT(vokGetEmailUID(0, message, buf, sizeof buf), 0);
        return buf;
    }
};

MailServer* Dovecot::server_ = nullptr;

TEST_F(Dovecot, MailboxCommandsAfterUserPass) {
    ASSERT_EQ(Login(), 0);
    ASSERT_EQ(vokGetEmailCount(0), 2);
    // Sizes count CRLF line ends, as the files have them.
    EXPECT_EQ(vokGetEmailSize(0, 1), static_cast<int>(PlainMessage().size()));
    EXPECT_EQ(vokGetEmailSize(0, 2), static_cast<int>(MultipartMessage().size()));
    EXPECT_EQ(vokGetEmailSize(0, 3), VOK_POP3_ERROR);  // -ERR: no such message

    std::string one = Uid(1);
    std::string two = Uid(2);
    ASSERT_TRUE(Contains(one, "+OK 1 ")) << one;
    char list[1000];
    ASSERT_GT(vokGetEmailUID(0, -1, list, sizeof list), 0);
    EXPECT_EQ(std::string(list), "+OK\r\n" + one.substr(4) + two.substr(4)) << list;

    char top[2000];
    int n = vokGetEmailLines(0, 1, 2, top, sizeof top);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(top, n),
              "+OK\r\nFrom: Bob <bob@example.org>\r\nTo: Ann <ann@example.com>\r\n"
              "Subject: Plain\r\n\r\nHello Ann.\r\n.a line that begins with a dot\r\n");
    EXPECT_EQ(vokClose(0), 0);
}

TEST_F(Dovecot, ListAllGivesWhatTheOneMessageCommandsGive) {
    ASSERT_EQ(Login(), 0);
    std::string one = Uid(1), two = Uid(2);
    ASSERT_EQ(vokIntegerParam(0, VOK_LIST_ALL, 1), 1);
    EXPECT_EQ(vokGetEmailSize(0, 2), static_cast<int>(MultipartMessage().size()));
    EXPECT_EQ(vokGetEmailSize(0, 1), static_cast<int>(PlainMessage().size()));
    EXPECT_EQ(vokGetEmailSize(0, 3), VOK_POP3_ERROR);  // not listed: LIST 3, -ERR
    EXPECT_EQ(Uid(2), two);
    EXPECT_EQ(Uid(1), one);
    std::string log = ReadFile(dir.file("chan0.log"));
    for (const char* once : {"S: LIST\r\n", "S: UIDL\r\n"}) {
        size_t at = log.find(once);
        EXPECT_NE(at, std::string::npos) << once;
        EXPECT_EQ(log.find(once, at + 1), std::string::npos) << once;
    }
    EXPECT_FALSE(Contains(log, "S: LIST 1")) << log;
    EXPECT_EQ(vokClose(0), 0);
}

TEST_F(Dovecot, ApopLogin) {
    ASSERT_EQ(Login(true), 0);
    EXPECT_EQ(vokGetEmailCount(0), 2);
    EXPECT_EQ(vokClose(0), 0);
}

TEST_F(Dovecot, RetrSavesAttachmentsByteForByte) {
    ASSERT_EQ(Login(), 0);
    std::string att = dir.file("att");
    std::filesystem::create_directory(att);
    ASSERT_EQ(vokGetEmailFile(0, 1, "1.txt", dir.path().c_str(), att.c_str()), 0);
    EXPECT_EQ(ReadFile(dir.file("1.txt")), PlainMessage());
    ASSERT_EQ(vokGetEmailFile(0, 2, "2.txt", dir.path().c_str(), att.c_str()), 0);
    EXPECT_EQ(ReadFile(att + "/rapport.pdf"), Pdf());
    EXPECT_EQ(ReadFile(att + "/chart.png"), Png());
    EXPECT_EQ(vokStatistics(0, 22), 2);
    char names[200];
    vokDebug(0, 29, names, sizeof names);
    EXPECT_STREQ(names, "rapport.pdf,chart.png");
    const std::string sep(1, vok::plat::PathSeparator());
    EXPECT_EQ(ReadFile(dir.file("2.txt")),
              "From: Bob <bob@example.org>\r\n"
              "To: Ann <ann@example.com>\r\n"
              "Subject: Rapport trimestriel \xC3\xA9t\xC3\xA9\r\n"  // decoded to UTF-8
              "MIME-Version: 1.0\r\n"
              "\r\n"
              "Voil\xE0 le rapport.\r\n"
              "\r\n"
              "[Attachment saved to \"" +
                  att + sep +
                  "rapport.pdf\"]\r\n"
                  "[Attachment saved to \"" +
                  att + sep + "chart.png\"]\r\n");
    EXPECT_EQ(vokClose(0), 0);
}

TEST_F(Dovecot, RawDownloadIsTheServersReply) {
    vok::LibrarySettings.ReadWait = 300;
    ASSERT_EQ(Login(), 0);
    vokIntegerParam(0, VOK_RAW_DOWNLOAD, 1);
    ASSERT_EQ(vokGetEmailFile(0, 1, "raw.txt", dir.path().c_str(), dir.path().c_str()), 0);
    std::string reply =
        "+OK " + std::to_string(PlainMessage().size()) + " octets\r\n" + Stuffed(PlainMessage());
    EXPECT_EQ(ReadFile(dir.file("raw.txt")), reply);
    EXPECT_EQ(vokClose(0), 0);
}

TEST_F(Dovecot, DeleteTakesEffectAtQuit) {
    ASSERT_EQ(Login(), 0);
    int before = vokGetEmailCount(0);
    ASSERT_GE(before, 1);
    EXPECT_EQ(vokClose(0), 0);

    // Mail delivered now is seen at the next login.
    std::string extra = dir.file("extra.eml");
    WriteFile(extra, "From: c@example.net\r\nSubject: delete me\r\n\r\nbody\r\n");
    ASSERT_TRUE(server_->Deliver(extra));
    ASSERT_EQ(Login(), 0);
    ASSERT_EQ(vokGetEmailCount(0), before + 1);
    std::string uid = Uid(before + 1);
    EXPECT_EQ(vokDeleteEmail(0, before + 1), 0);
    vokAbort(0);  // no QUIT: the deletion is not carried out

    ASSERT_EQ(Login(), 0);
    ASSERT_EQ(vokGetEmailCount(0), before + 1);
    EXPECT_EQ(Uid(before + 1), uid);
    EXPECT_EQ(vokDeleteEmail(0, before + 1), 0);
    EXPECT_EQ(vokClose(0), 0);

    ASSERT_EQ(Login(), 0);
    EXPECT_EQ(vokGetEmailCount(0), before);
    EXPECT_EQ(vokClose(0), 0);
}

// Last: the server slows every login from this address down for a while
// after a failed one.
TEST_F(Dovecot, WrongPasswordIsRefused) {
    EXPECT_EQ(Login(true, "wrong"), VOK_POP3_ERROR);
    char text[300];
    vokErrorText(0, VOK_POP3_ERROR, text, sizeof text);
    EXPECT_TRUE(Contains(text, "-ERR")) << text;
}

}  // namespace
