// SPDX-License-Identifier: MIT
// The SMTP client against a real server: Debian's python3-aiosmtpd on
// 127.0.0.1 (mail_server.h). Each AUTH
// mechanism sends a message with a 5 MB attachment, an inline image and a
// quoted-printable body, and one session pipelines its envelope; what the
// server filed is then parsed by Python's email package and compared with
// what was sent.
//
// A machine without python3-aiosmtpd fails these tests; set
// VOK_SKIP_INTEGRATION=1 to skip them instead.
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "frame/settings.h"
#include "helpers.h"
#include "mail_server.h"
#include "vok32.h"

using vok_test::MailServer;
using vok_test::ReadFile;
using vok_test::TempDir;
using vok_test::WriteFile;

namespace {

const char kPython[] = "/usr/bin/python3";
const char kUser[] = "vok-user";
const char kPassword[] = "s3cret-pass";

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

std::string Bytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

class SmtpIntegration : public ::testing::TestWithParam<const char*> {
  protected:
    TempDir dir;
    vok::Settings saved;

    void SetUp() override {
        if (Shell(std::string(kPython) + " -c 'import aiosmtpd' >/dev/null 2>&1") != 0) {
            const char* skip = std::getenv("VOK_SKIP_INTEGRATION");
            if (skip && std::strcmp(skip, "1") == 0) GTEST_SKIP() << "python3-aiosmtpd missing";
            FAIL() << kPython << " with aiosmtpd is needed (Debian package python3-aiosmtpd); "
                   << "set VOK_SKIP_INTEGRATION=1 to skip these tests";
        }
        saved = vok::LibrarySettings;
        vok::LibrarySettings.MinResponseWait = 5;
        ASSERT_EQ(vokAttach(1), 1);
        vokStringParam(0, VOK_LOG_FILE, dir.file("client.log").c_str());
    }
    void TearDown() override {
        vokRelease();
        vok::LibrarySettings = saved;
    }

    // Runs the checker on message n; its findings become the failure text.
    void Check(const MailServer& srv, int n, const std::string& args) {
        std::string base = srv.Mail() + "/" + std::to_string(n);
        std::string out = dir.file("check.out");
        int rc = Shell(std::string(kPython) + " " + Quote(VOK_TEST_SERVERS "/check_message.py") +
                       " --eml " + Quote(base + ".eml") + " --meta " + Quote(base + ".json") + " " +
                       args + " > " + Quote(out) + " 2>&1");
        EXPECT_EQ(rc, 0) << "message " << n << ":\n"
                         << ReadFile(out) << ReadFile(base + ".eml").substr(0, 4000);
    }
};

TEST_P(SmtpIntegration, MessagesRoundTrip) {
    const std::string mechanism = GetParam();
    MailServer srv("smtp");
    ASSERT_TRUE(srv.Start(std::string("--user ") + kUser + " --password " + kPassword + " --only " +
                          mechanism + " --lifetime 240"))
        << srv.Failure();

    const std::string body =
        "Gr\xfc\xdf"
        "e aus K\xf6ln, caf\xe9 = 100%\r\n.\r\n.leading dot\r\n" +
        std::string(40, 'w') + " " + std::string(150, 'x') + " end of a long line\r\nlast line";
    WriteFile(dir.file("body.txt"), body);
    const std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9", 19);
    WriteFile(dir.file("pixel.gif"), gif);
    WriteFile(dir.file("big.bin"), Bytes(5 * 1024 * 1024, 7));
    const std::string attachments =
        dir.file("pixel.gif") + "," + dir.file("big.bin") + "|payload.bin";

    vokIntegerParam(0, VOK_SMTP_PORT, srv.Port());
    vokIntegerParam(0, VOK_ESMTP_MODE, 1);
    vokStringParam(0, VOK_USER_NAME, kUser);
    vokStringParam(0, VOK_SMTP_PASSWORD, kPassword);
    vokIntegerParam(0, VOK_BODY_FORMAT, 4);  // quoted-printable, iso-8859-1
    ASSERT_EQ(vokSmtpConnect(0, "127.0.0.1", "Ann Example <ann@example.com>", nullptr), 0)
        << srv.Log();
    ASSERT_NE(ReadFile(dir.file("client.log")).find(srv.Token()), std::string::npos)
        << "not greeted by our own server";
    EXPECT_EQ(vokSendEmail(0, "Bob <bob@example.org>", "<carol@example.net>", "<dave@example.com>",
                           "Integration test", body.c_str(), attachments.c_str()),
              0)
        << srv.Log();
    EXPECT_EQ(vokStatistics(0, 11), static_cast<int>(gif.size() + 5 * 1024 * 1024));

    // An HTML message with its alternative text and the image it shows.
    const std::string html = "<p>Hello <img src=\"cid:message-root.1\"></p>\r\n.\r\n<p>bye</p>";
    WriteFile(dir.file("page.html"), html);
    WriteFile(dir.file("alt.txt"), "Hello in plain words\r\nbye");
    vokIntegerParam(0, VOK_BODY_FORMAT, 2);
    vokStringParam(0, VOK_ALTERNATE_TEXT, "Hello in plain words\r\nbye");
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "Page", html.c_str(),
                           dir.file("pixel.gif").c_str()),
              0);

    // Text in UTF-8 everywhere a caller may put it, and a CC list of 60
    // addresses written without a blank.
    const std::string plain =
        "H\xc3\xa4llo W\xc3\xb6rld \xe2\x80\x93 na\xc3\xafve caf\xc3\xa9 "
        "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\r\n\ttabbed =\r\n";
    WriteFile(dir.file("plain.txt"), plain);
    WriteFile(dir.file("doc.pdf"), Bytes(3000, 9));
    WriteFile(dir.file("table.csv"), "a,b\r\n1,2\r\n");
    const std::string longName =
        "\xc3\x9c"
        "berweisung M\xc3\xa4rz 2026 \xe2\x80\x93 ein sehr langer Dateiname f\xc3\xbc"
        "r die Buchhaltung.pdf";
    std::string cc, ccArgs;
    for (int i = 0; i < 60; ++i) {
        cc += (i ? "," : "") + std::string("<r") + std::to_string(i) + "@example.net>";
        ccArgs += " --rcpt r" + std::to_string(i) + "@example.net";
    }
    const std::string subject =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x98\x95 and a subject long enough to need a fold or two "
        "before it ends";
    vokIntegerParam(0, VOK_BODY_FORMAT, 0);
    vokClose(0);  // the stored alternative text goes with the session
    // This session pipelines its envelope (the server lists PIPELINING):
    // the 62 recipients go out with MAIL FROM and DATA in one batch.
    vokIntegerParam(0, VOK_PIPELINING, 1);
    ASSERT_EQ(vokSmtpConnect(0, "127.0.0.1", "Ann Example <ann@example.com>", nullptr), 0);
    vokStringParam(0, VOK_FROM_ADDRESS, "J\xc3\xb6rg M\xc3\xbcller <ann@example.com>");
    EXPECT_EQ(
        vokSendEmail(0, "\"Doe, John\" <bob@example.org>, Zo\xc3\xab <zoe@example.org>", cc.c_str(),
                     nullptr, subject.c_str(), plain.c_str(),
                     (dir.file("doc.pdf") + "|" + longName + "," + dir.file("table.csv")).c_str()),
        0);

    EXPECT_NE(ReadFile(dir.file("client.log"))
                  .find("S: MAIL FROM:<ann@example.com>\r\nRCPT TO:<bob@example.org>\r\n"
                        "RCPT TO:<zoe@example.org>\r\nRCPT TO:<r0@example.net>\r\n"),
              std::string::npos);

    // 8-bit HTML with its alternative, an inline image and an attachment.
    const std::string page8 =
        "<p>Gr\xc3\xbc\xc3\x9f"
        "e <img src=\"cid:message-root.1\"></p>";
    const std::string alt8 =
        "Gr\xc3\xbc\xc3\x9f"
        "e in plain words";
    WriteFile(dir.file("page8.html"), page8);
    WriteFile(dir.file("alt8.txt"), alt8);
    vokIntegerParam(0, VOK_PASS_8BIT, 1);
    vokIntegerParam(0, VOK_BODY_FORMAT, 2);
    vokStringParam(0, VOK_FROM_ADDRESS, "Ann Example <ann@example.com>");
    vokStringParam(0, VOK_ALTERNATE_TEXT, alt8.c_str());
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "8bit", page8.c_str(),
                           (dir.file("pixel.gif") + "," + dir.file("doc.pdf")).c_str()),
              0);
    EXPECT_EQ(vokClose(0), 0);

    const std::string common = " --mechanism " + mechanism +
                               " --mail-from ann@example.com"
                               " --header 'From: Ann Example <ann@example.com>'";
    const std::string image =
        "image/gif|inline|pixel.gif|<message-root.1>|" + dir.file("pixel.gif");
    Check(srv, 1,
          common +
              " --rcpt bob@example.org --rcpt carol@example.net --rcpt dave@example.com"
              " --header 'To: Bob <bob@example.org>' --header 'CC: carol@example.net'"
              " --header 'Subject: Integration test' --hidden dave --type multipart/mixed"
              " --part " +
              Quote("text/plain||||" + dir.file("body.txt")) + " --part " + Quote(image) +
              " --part " +
              Quote("application/octet-stream|attachment|payload.bin||" + dir.file("big.bin")));
    Check(srv, 2,
          common +
              " --rcpt bob@example.org --header 'Subject: Page' --type multipart/alternative"
              " --structure "
              "'multipart/alternative(text/plain,multipart/related(text/html,image/gif))'"
              " --attachments '' --plain " +
              Quote(dir.file("alt.txt")) + " --html " + Quote(dir.file("page.html")) + " --part " +
              Quote("text/plain||||" + dir.file("alt.txt")) + " --part " +
              Quote("text/html||||" + dir.file("page.html")) + " --part " + Quote(image));
    Check(srv, 3,
          " --mechanism " + mechanism + " --mail-from ann@example.com --rcpt bob@example.org" +
              " --rcpt zoe@example.org" + ccArgs + " --header " +
              Quote("From: J\xc3\xb6rg M\xc3\xbcller <ann@example.com>") + " --header " +
              Quote("To: \"Doe, John\" <bob@example.org>, Zo\xc3\xab <zoe@example.org>") +
              " --header " + Quote("Subject: " + subject) +
              " --type multipart/mixed --attachments " + Quote(longName + "/table.csv") +
              " --plain " + Quote(dir.file("plain.txt")) + " --part " +
              Quote("text/plain||||" + dir.file("plain.txt")) + " --part " +
              Quote("application/pdf|attachment|" + longName + "||" + dir.file("doc.pdf")) +
              " --part " + Quote("text/csv|attachment|table.csv||" + dir.file("table.csv")));
    Check(srv, 4,
          common +
              " --rcpt bob@example.org --header 'Subject: 8bit' --type multipart/mixed"
              " --structure 'multipart/mixed(multipart/alternative(text/plain,"
              "multipart/related(text/html,image/gif)),application/pdf)'"
              " --attachments doc.pdf --plain " +
              Quote(dir.file("alt8.txt")) + " --html " + Quote(dir.file("page8.html")) +
              " --part " + Quote("text/plain||||" + dir.file("alt8.txt")) + " --part " +
              Quote("text/html||||" + dir.file("page8.html")) + " --part " + Quote(image) +
              " --part " + Quote("application/pdf|attachment|doc.pdf||" + dir.file("doc.pdf")));
}

INSTANTIATE_TEST_SUITE_P(Auth, SmtpIntegration, ::testing::Values("CRAM-MD5", "LOGIN", "PLAIN"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name == "CRAM-MD5" ? std::string("CramMd5") : name;
                         });

}  // namespace
