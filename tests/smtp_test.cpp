// SPDX-License-Identifier: MIT
// The SMTP client on the wire: session and AUTH answers, the recipient walk,
// the exact DATA of representative messages, VRFY, manual driving, and a
// server that dies mid-message. A scripted loopback server plays the other
// side and records every byte.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif
#include <regex>
#include <string>
#include <vector>

#include "codec/text.h"
#include "engine/engine.h"
#include "frame/channel.h"
#include "frame/settings.h"
#include "helpers.h"
#include "platform/platform.h"
#include "script_server.h"
#include "codec/md5.h"
#include "vok32.h"

using namespace vok;
using vok_test::Base64;
using vok_test::ReadFile;
using vok_test::ScriptServer;
using vok_test::TempDir;
using vok_test::WriteFile;

namespace {

const char kFrom[] = "Ann <ann@example.com>";

// An attachment as it must appear: 57 bytes per line of 76 characters.
std::string Base64Lines(const std::string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); i += 57) out += Base64(in.substr(i, 57)) + "\r\n";
    return out;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Smtp : public ::testing::Test {
  protected:
    TempDir dir;
    std::string logPath;
    Settings saved;
    std::string boundary;

    void SetUp() override {
        saved = LibrarySettings;
        LibrarySettings.MinResponseWait = 1;
        LibrarySettings.MaxResponseWait = 5000;
        LibrarySettings.WriteWait = 5000;
        LibrarySettings.PollSleep = 10;
        plat::LocalTime clock{2026, 12, 7, 1, 5, 1, 52, 60};
        plat::SetLocalTimeOverride(&clock);
        ASSERT_EQ(vokAttach(2), 1);
        // The default differs on Windows (the ANSI code page).
        ASSERT_EQ(vokStringParam(0, VOK_CHARSET, "utf-8"), 5);
        boundary = Boundary;
        logPath = dir.file("chan0.log");
        ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, logPath.c_str()), 0);
    }
    void TearDown() override {
        vokRelease();
        plat::SetLocalTimeOverride(nullptr);
        LibrarySettings = saved;
    }

    Channel* Ch() { return ChannelTable[0].Record; }
    std::string Log() { return ReadFile(logPath); }

    // The greeting and HELO the default sender leads to.
    static ScriptServer& Greet(ScriptServer& srv, const char* hello = "HELO example.com\r\n") {
        return srv.Send("220 ready\r\n").Expect(hello).Send("250 hi\r\n");
    }

    // MAIL FROM, the RCPT TO lines, DATA; the data is kept as Block(0).
    static ScriptServer& Envelope(ScriptServer& srv, const std::vector<std::string>& rcpts) {
        srv.Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
        for (const auto& r : rcpts) srv.Expect("RCPT TO:" + r + "\r\n").Send("250 ok\r\n");
        return srv.Expect("DATA\r\n")
            .Send("354 go\r\n")
            .ReadUntil("\r\n.\r\n")
            .Send("250 queued\r\n");
    }

    int Connect(ScriptServer& srv, const char* from = kFrom) {
        srv.Start();
        vokIntegerParam(0, VOK_SMTP_PORT, srv.Port());
        return vokSmtpConnect(0, "127.0.0.1", from, nullptr);
    }

    std::string Head() const {
        return "X-Mailer: Quorwick Mailvane Version 3.4\r\n"
               "Date: Mon, 7 Dec 2026 05:01:52 +0100\r\n";
    }

    // Message i's data after its Message-ID line, which every message
    // begins with and no two share.
    std::vector<std::string> ids;
    std::string Data(const ScriptServer& srv, size_t i) {
        static const std::regex id("^Message-ID: <message-root\\.[0-9]+\\.0\\.[0-9]+@[a-z.]+>\r\n");
        std::string data = srv.Block(i);
        std::smatch m;
        if (!std::regex_search(data, m, id)) {
            ADD_FAILURE() << "no Message-ID: " << data.substr(0, 100);
            return data;
        }
        for (const auto& seen : ids) EXPECT_NE(seen, m.str(0));
        ids.push_back(m.str(0));
        return data.substr(static_cast<size_t>(m.length(0)));
    }
    std::string Delim() const { return "--" + boundary + "\r\n"; }
    std::string Closing() const { return "--" + boundary + "--\r\n\r\n\r\n.\r\n"; }
};

// --- Messages ---------------------------------------------------------------------

TEST_F(Smtp, PlainMessageWithListsAndDots) {
    ScriptServer srv;
    Greet(srv);
    Envelope(srv,
             {"<bob@example.org>", "<cy@example.net>", "<dee@example.com>", "<eve@example.com>"});
    ASSERT_EQ(Connect(srv), 0);
    const char body[] = "Line one\r\n.\r\n.hidden\r\nend";
    EXPECT_EQ(vokSendEmail(0, "Bob <bob@example.org>, Cy <cy@example.net>", "<dee@example.com>",
                           "<eve@example.com>", "Hello", body, nullptr),
              0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(Data(srv, 0), Head() +
                                "To: Bob <bob@example.org>, Cy <cy@example.net>\r\n"
                                "From: Ann <ann@example.com>\r\n"
                                "Subject: Hello\r\n"
                                "CC: <dee@example.com>\r\n"
                                "\r\n"
                                "Line one\r\n..\r\n..hidden\r\nend\r\n"
                                "\r\n.\r\n");
    EXPECT_STREQ(Ch()->LastRecipient, "<eve@example.com>");
    EXPECT_EQ(Ch()->BodyBytesRead, static_cast<int>(strlen(body)));
    EXPECT_EQ(Ch()->BodyBytesSent, 10 + 4 + 10 + 5);
    EXPECT_EQ(Ch()->AttachBytesSent, 0);
}

TEST_F(Smtp, QuotedPrintableWithReplyToAndExtraHeaders) {
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<bob@example.org>"});
    ASSERT_EQ(Connect(srv), 0);
    ASSERT_EQ(vokStringParam(0, VOK_REPLY_TO, "<r@example.com>"), 15);
    ASSERT_EQ(vokStringParam(0, VOK_USER_HEADERS, "X-One: 1\r\n.X-Two: 2"), 4);
    vokIntegerParam(0, VOK_BODY_FORMAT, 1);
    ASSERT_EQ(vokStringParam(0, VOK_CHARSET, "iso-8859-1"), 10);
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", "", "", "QP", "caf\xe9 = ok", ""), 0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(Data(srv, 0), Head() +
                                "To: <bob@example.org>\r\n"
                                "From: Ann <ann@example.com>\r\n"
                                "Reply-To: <r@example.com>\r\n"
                                "Subject: QP\r\n"
                                "X-One: 1\r\n..X-Two: 2\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: multipart/mixed; boundary=\"" +
                                boundary + "\"\r\n\r\n" + Delim() +
                                "Content-Type: text/plain; charset=iso-8859-1\r\n"
                                "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                "caf=E9 =3D ok\r\n" +
                                Closing());
}

TEST_F(Smtp, HtmlWithAlternativeTextInlineImagesAndAnAttachment) {
    std::string gif = "GIF89a";
    std::string jpg(60, '\xff');
    std::string bin = "\x01\x02\x03\x04";
    WriteFile(dir.file("logo.gif"), gif);
    WriteFile(dir.file("photo.dat"), jpg);
    WriteFile(dir.file("data.bin"), bin);
    std::string list = dir.file("logo.gif") + "," + dir.file("photo.dat") + "|Photo.JPG," +
                       dir.file("data.bin") + "|report.bin";
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<bob@example.org>"});
    Envelope(srv, {"<bob@example.org>"});
    ASSERT_EQ(Connect(srv), 0);
    vokIntegerParam(0, VOK_BODY_FORMAT, 2);
    ASSERT_EQ(vokStringParam(0, VOK_ALTERNATE_TEXT, "Plain words\r\n.\r\nbye"), 19);
    const char html[] = "<p>Hi <img src=\"cid:message-root.1\"></p>";
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", "", "", "Pics", html, list.c_str()), 0);
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", "", "", "Pics", html, list.c_str()), 0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();

    // The alternative and the HTML in multipart/alternative, the HTML with
    // its images in multipart/related, the attachment beside them.
    const std::string alt = "A" + boundary, rel = "R" + boundary;
    std::string image = "\r\n\r\n--" + rel + "\r\n";
    std::string expected =
        Head() + "To: <bob@example.org>\r\nFrom: Ann <ann@example.com>\r\nSubject: Pics\r\n" +
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + boundary +
        "\"\r\n\r\n" + Delim() + "Content-Type: multipart/alternative; boundary=\"" + alt +
        "\"\r\n\r\n--" + alt +
        "\r\nContent-Type: text/plain\r\n\r\nPlain words\r\n..\r\nbye\r\n--" + alt +
        "\r\nContent-Type: multipart/related; boundary=\"" + rel + "\"\r\n\r\n--" + rel +
        "\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n" + image +
        "Content-Type: Image/GIF; name=\"logo.gif\"\r\nContent-ID: <message-root.1>\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: inline; filename=\"logo.gif\"\r\n\r\n" +
        Base64Lines(gif) + image +
        "Content-Type: Image/JPEG; name=\"Photo.JPG\"\r\nContent-ID: <message-root.2>\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: inline; filename=\"Photo.JPG\"\r\n\r\n" +
        Base64Lines(jpg) + "\r\n\r\n--" + rel + "--\r\n--" + alt + "--\r\n" + Delim() +
        "Content-Type: application/octet-stream; name=\"report.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"report.bin\"\r\n\r\n" +
        Base64Lines(bin) + Closing();
    // The Content-IDs restart at 1 in each message.
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(Data(srv, i), expected);
    EXPECT_EQ(Ch()->AttachBytesRead, static_cast<int>(gif.size() + jpg.size() + bin.size()));
    EXPECT_EQ(Ch()->AttachBytesSent,
              static_cast<int>(Base64Lines(gif).size() + Base64Lines(jpg).size() +
                               Base64Lines(bin).size()));
}

TEST_F(Smtp, BodyFromFileEmptyAttachmentAndPathNames) {
    WriteFile(dir.file("body.txt"), "file line 1\r\nfile line 2\r\n");
    WriteFile(dir.file("empty.dat"), "");
    WriteFile(dir.file("notes.txt"), "notes");
    std::string list = dir.file("empty.dat") + "," + dir.file("notes.txt");
    std::string body = "@" + dir.file("body.txt");
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<bob@example.org>"});
    ASSERT_EQ(Connect(srv), 0);
    // Extra headers follow the subject; without a subject there are none.
    ASSERT_GT(vokStringParam(0, VOK_USER_HEADERS, "X-Never: sent"), 0);
    EXPECT_EQ(
        vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, nullptr, body.c_str(), list.c_str()),
        0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    std::string part = "\r\n\r\n" + Delim() + "Content-Type: ";
    EXPECT_EQ(Data(srv, 0), Head() + "To: <bob@example.org>\r\nFrom: Ann <ann@example.com>\r\n" +
                                "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" +
                                boundary + "\"\r\n\r\n" + Delim() +
                                "Content-Type: text/plain\r\n\r\nfile line 1\r\nfile line 2\r\n" +
                                part +
                                "application/octet-stream; name=\"empty.dat\"\r\n"
                                "Content-Transfer-Encoding: base64\r\n"
                                "Content-Disposition: attachment; filename=\"empty.dat\"\r\n\r\n" +
                                part +
                                "text/plain; name=\"notes.txt\"\r\n"
                                "Content-Transfer-Encoding: base64\r\n"
                                "Content-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n" +
                                Base64Lines("notes") + Closing());
    std::string log = Log();
    EXPECT_TRUE(Contains(log, "Opening message file [" + dir.file("body.txt") + "]\r\n"));
    EXPECT_TRUE(Contains(log, "Opening attachment [" + dir.file("empty.dat") + "]\r\n"));
    EXPECT_EQ(Ch()->FileHandle, 0);
    EXPECT_EQ(Ch()->BodyBytesRead, 26);
}

// The header of the body part for the other formats, and a hidden To line.
TEST_F(Smtp, BodyPartHeaders) {
    LibrarySettings.HideToHeader = 1;
    strcpy(LibrarySettings.CustomContentType, "Content-Type: text/x-vok");
    const struct {
        int format;
        const char* custom;  // CustomEncoding
        const char* header;
    } cases[] = {
        {3, "", "Content-Type: text/enriched\r\nContent-Transfer-Encoding: quoted-printable\r\n"},
        {4, "",
         "Content-Type: text/plain; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n"},
        {9, "X-Encoding: custom", "Content-Type: text/x-vok\r\nX-Encoding: custom\r\n"},
        // No meaning of its own: the body is quoted-printable, and says so.
        {7, "", "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n"},
    };
    ScriptServer srv;
    Greet(srv);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) Envelope(srv, {"<a@x.com>"});
    ASSERT_EQ(Connect(srv), 0);
    for (const auto& c : cases) {
        vokIntegerParam(0, VOK_BODY_FORMAT, c.format);
        vokStringParam(0, VOK_CUSTOM_ENCODING, c.custom);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "a=b", ""), 0);
    }
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(Data(srv, i), Head() + "From: Ann <ann@example.com>\r\nMIME-Version: 1.0\r\n" +
                                    "Content-Type: multipart/mixed; boundary=\"" + boundary +
                                    "\"\r\n\r\n" + Delim() + cases[i].header + "\r\na=3Db\r\n" +
                                    Closing())
            << cases[i].format;
    }
}

// A body is never altered to fit: bytes 7-bit text cannot carry make it
// quoted-printable (or 8bit, with Pass8Bit), and text beyond US-ASCII names
// its charset.
TEST_F(Smtp, BodiesBeyondAsciiDeclareTheirCharset) {
    const std::string mime = "MIME-Version: 1.0\r\n";
    const std::string single = mime + "Content-Type: text/plain; charset=";
    const struct {
        int format;
        int pass8;
        const char* charset;
        std::string body;
        std::string rest;  // after the From line; "part" stands for the multipart
    } cases[] = {
        {0, 0, "utf-8",
         "Gr\xc3\xbc\xc3\x9f"
         "e\tdu",
         single +
             "utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\nGr=C3=BC=C3=9Fe=09du"},
        {0, 0, "utf-8", "tab\tonly",
         single + "utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\ntab=09only"},
        {0, 1, "utf-8",
         "Gr\xc3\xbc\xc3\x9f"
         "e",
         single + "utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\nGr\xc3\xbc\xc3\x9f"
                  "e"},
        {0, 1, "utf-8", "tab\tonly", "\r\ntab\tonly"},
        {0, 0, "windows-1252", "caf\xe9",
         single + "windows-1252\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\ncaf=E9"},
        {2, 0, "utf-8", "<p>caf\xc3\xa9</p>",
         "part\r\nContent-Type: text/html; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n<p>caf=C3=A9</p>"},
        {2, 1, "utf-8", "<p>caf\xc3\xa9</p>",
         "part\r\nContent-Type: text/html; charset=utf-8\r\n"
         "Content-Transfer-Encoding: 8bit\r\n\r\n<p>caf\xc3\xa9</p>"},
        {3, 0, "utf-8", "caf\xc3\xa9",
         "part\r\nContent-Type: text/enriched; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\ncaf=C3=A9"},
        {4, 0, "utf-8", "caf\xe9",
         "part\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\ncaf=E9"},
    };
    ScriptServer srv;
    Greet(srv);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) Envelope(srv, {"<a@x.com>"});
    ASSERT_EQ(Connect(srv), 0);
    for (const auto& c : cases) {
        vokIntegerParam(0, VOK_BODY_FORMAT, c.format);
        vokIntegerParam(0, VOK_PASS_8BIT, c.pass8);
        EXPECT_GT(vokStringParam(0, VOK_CHARSET, c.charset), 0);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", c.body.c_str(), ""), 0);
    }
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const auto& c = cases[i];
        std::string want = c.rest + "\r\n\r\n.\r\n";
        if (c.rest.compare(0, 4, "part") == 0) {
            const char* type = c.format == 2 ? "related" : "mixed";
            want = mime + "Content-Type: multipart/" + type + "; boundary=\"" + boundary +
                   "\"\r\n\r\n--" + boundary + c.rest.substr(4) + "\r\n" + Closing();
        }
        EXPECT_EQ(Data(srv, i), Head() + "To: <a@x.com>\r\nFrom: Ann <ann@example.com>\r\n" + want)
            << i;
    }
    EXPECT_EQ(vokStringParam(0, VOK_CHARSET, "utf-8\r\nX: y"), VOK_BAD_ADDRESS_CHAR);
}

// Header text beyond US-ASCII goes out as RFC 2047 encoded words (B or Q,
// whichever is shorter), none over 75 characters, none splitting a UTF-8
// character; display names keep their commas in quotes, both in the header
// and in the recipient walk.
TEST_F(Smtp, HeaderTextBeyondAsciiIsEncoded) {
    std::string euros;
    for (int i = 0; i < 100; ++i) euros += "\xe2\x82\xac";
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<j@x.com>", "<d@x.com>"});
    Envelope(srv, {"<j@x.com>"});
    ASSERT_EQ(Connect(srv), 0);
    const char to[] = "J\xc3\xb6rg M\xc3\xbcller <j@x.com>, \"Doe, John\" <d@x.com>";
    EXPECT_EQ(vokSendEmail(0, to, "", "",
                           "Gr\xc3\xbc\xc3\x9f"
                           "e \xe2\x98\x95",
                           "x", ""),
              0);
    EXPECT_EQ(vokSendEmail(0, "<j@x.com>", "", "", euros.c_str(), "x", ""), 0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    std::string data = Data(srv, 0);
    EXPECT_TRUE(Contains(data,
                         "\r\nTo: =?utf-8?B?SsO2cmcgTcO8bGxlcg==?= <j@x.com>, "
                         "\"Doe, John\" <d@x.com>\r\n"))
        << data;
    EXPECT_TRUE(Contains(data, "\r\nSubject: =?utf-8?B?R3LDvMOfZSDimJU=?=\r\n")) << data;

    data = Data(srv, 1);
    std::string subject = data.substr(data.find("Subject: ") + 9);
    subject =
        subject.substr(0, subject.find("\r\nMIME") == std::string::npos ? subject.find("\r\n\r\n")
                                                                        : subject.find("\r\nMIME"));
    std::regex word("=\\?utf-8\\?B\\?([A-Za-z0-9+/=]+)\\?=");
    std::string decoded;
    int words = 0;
    for (std::sregex_iterator it(subject.begin(), subject.end(), word), end; it != end; ++it) {
        ++words;
        EXPECT_LE(it->length(0), 75);
        std::string b64 = (*it)[1];
        std::vector<char> out(b64.size());
        int n = vokDecodeBuffer(b64.c_str(), out.data(), static_cast<int>(b64.size()));
        EXPECT_EQ(n % 3, 0) << b64;  // whole characters in each word
        decoded.append(out.data(), static_cast<size_t>(n));
    }
    EXPECT_GT(words, 5);
    EXPECT_EQ(decoded, euros);
}

// Header fields longer than a line are folded before a blank (RFC 5322
// section 2.2.3), one added after a list delimiter written without; unfolded
// they are what the caller wrote. A run too long for any line becomes
// encoded words.
TEST_F(Smtp, LongHeaderFieldsAreFolded) {
    std::string spaced, packed, words;
    std::vector<std::string> each;
    for (int i = 0; i < 120; ++i) {
        std::string a = "<user" + std::to_string(i) + "@example.org>";
        spaced += (i ? ", " : "") + a;
        packed += (i ? "," : "") + a;
        words += "word" + std::to_string(i) + (i % 7 ? " " : "  ");
        each.push_back(a);
    }
    const std::string run(3000, 's');
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, each);
    Envelope(srv, each);
    Envelope(srv, {"<a@x.com>"});
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokSendEmail(0, spaced.c_str(), "", "", words.c_str(), "x", ""), 0);
    EXPECT_EQ(vokSendEmail(0, packed.c_str(), "", "", run.c_str(), "x", ""), 0);
    // Attachment names in a charset with a long name of its own, folded in
    // the part headers too.
    WriteFile(dir.file("a.bin"), "a");
    std::string names;
    for (const char* ext : {".docx", ".pdf"}) {
        names += (names.empty() ? "" : ",") + dir.file("a.bin") + "|" + std::string(5, '\xdc') +
                 " berweisung f\xfcr die Buchhaltung im M\xe4rz" + ext;
    }
    ASSERT_GT(vokStringParam(0, VOK_CHARSET, "x-windows-extended-charset-name-1252"), 0);
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "x", names.c_str()), 0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    const std::string parts = Data(srv, 2);
    for (size_t at = 0, end; at < parts.size(); at = end + 2) {
        end = parts.find("\r\n", at);
        EXPECT_LE(end - at, 78u) << parts.substr(at, end - at);
    }
    EXPECT_TRUE(Contains(parts, "filename*1*=")) << parts;

    for (size_t m = 0; m < 2; ++m) {
        std::string head = Data(srv, m);
        head = head.substr(0, head.find("\r\n\r\n") + 2);
        std::map<std::string, std::string> fields;
        std::string last;
        for (size_t at = 0, end; at < head.size(); at = end + 2) {
            end = head.find("\r\n", at);
            std::string line = head.substr(at, end - at);
            EXPECT_LE(line.size(), 78u) << line;
            if (line[0] == ' ') {
                fields[last] += line;
            } else {
                last = line.substr(0, line.find(": "));
                fields[last] = line.substr(last.size() + 2);
            }
        }
        if (m == 0) {
            EXPECT_EQ(fields["To"], spaced);
            EXPECT_EQ(fields["Subject"], words);
        } else {
            std::string to = fields["To"];
            to.erase(std::remove(to.begin(), to.end(), ' '), to.end());
            EXPECT_EQ(to, packed);
            std::string subject = std::regex_replace(
                fields["Subject"], std::regex(" ?=\\?utf-8\\?Q\\?(s+)\\?="), "$1");
            EXPECT_EQ(subject, run);
        }
    }
}

// Whatever bytes the caller's header texts hold (line breaks aside), no
// line of the message passes 998 characters.
TEST_F(Smtp, HostileHeaderTextKeepsLinesShort) {
    std::mt19937 gen(11);
    auto text = [&gen](size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) {
            char c = static_cast<char>(1 + gen() % 255);
            s += (c == '\r' || c == '\n') ? ' ' : c;
        }
        return s;
    };
    WriteFile(dir.file("a.bin"), "a");
    ScriptServer srv;
    Greet(srv);
    const int kMessages = 6;
    for (int i = 0; i < kMessages; ++i) Envelope(srv, {"<a@x.com>", "<b@x.com>"});
    ASSERT_EQ(Connect(srv), 0);
    for (int i = 0; i < kMessages; ++i) {
        const size_t n = i % 2 ? 3000 : 200;
        std::string name = text(n), to;
        name.erase(std::remove_if(name.begin(), name.end(),
                                  [](char c) { return c == '<' || c == '"' || c == ','; }),
                   name.end());
        to = name + " <a@x.com>, \"" + name.substr(0, 50) + "\" <b@x.com>";
        std::string attach = dir.file("a.bin") + "|" + text(n);
        attach.erase(std::remove(attach.begin(), attach.end(), ','), attach.end());
        vokIntegerParam(0, VOK_BODY_FORMAT, i % 3);
        EXPECT_EQ(
            vokSendEmail(0, to.c_str(), "", "", text(n).c_str(), text(n).c_str(), attach.c_str()),
            0);
    }
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    for (int i = 0; i < kMessages; ++i) {
        const std::string data = srv.Block(static_cast<size_t>(i));
        for (size_t at = 0, end; at < data.size(); at = end + 2) {
            end = data.find("\r\n", at);
            ASSERT_NE(end, std::string::npos);
            EXPECT_LE(end - at, 998u) << i;
        }
    }
}

// --- Recipients and failures ----------------------------------------------------

// LogDetail 1 keeps commands, replies and states in the log but not the
// message's lines; the final "." line still shows where the data ended.
TEST_F(Smtp, LogDetailLeavesOutTheMessageData) {
    EXPECT_EQ(vokIntegerParam(0, VOK_LOG_DETAIL, 2), -1);
    ASSERT_EQ(vokIntegerParam(0, VOK_LOG_DETAIL, 1), 1);
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<bob@example.org>"});
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", "", "", "Hello", "body text", nullptr), 0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    std::string log = Log();
    for (const char* kept : {"S: RCPT TO:<bob@example.org>\r\n", "S: DATA\r\n", "r: 354 go\r\n",
                             "S: \r\n.\r\n", "r: 250 queued\r\n", "<252:"})
        EXPECT_TRUE(Contains(log, kept)) << kept << "\n" << log;
    for (const char* left : {"Subject: Hello", "body text"})
        EXPECT_FALSE(Contains(log, left)) << left << "\n" << log;
    EXPECT_TRUE(Contains(srv.Block(0), "body text"));
}

TEST_F(Smtp, RecipientWalk) {
    {  // A trailing delimiter ends the list; the walk goes on to CC.
        ScriptServer srv;
        Greet(srv);
        Envelope(srv, {"<a@x.com>", "<c@x.com>"});
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokSendEmail(0, "A <a@x.com>,", "<c@x.com>", "", "", "hi", ""), 0);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        vokAbort(0);
    }
    {  // A delimiter and a blank leave an item without '<': -37 at 206.
        ScriptServer srv;
        Greet(srv);
        srv.Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
        srv.Expect("RCPT TO:<a@x.com>\r\n").Send("250 ok\r\n").AwaitClose();
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com>, ", "", "", "", "hi", ""), VOK_EMPTY_ADDRESS);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        EXPECT_TRUE(Contains(Log(), "VokCode=-37 PrevState=208 ThisState=206")) << Log();
        EXPECT_EQ(Ch()->Socket, plat::kNoSocket);
    }
    {  // The call checks the first item only; a bad second CC item fails later.
        ScriptServer srv;
        Greet(srv);
        srv.Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
        srv.Expect("RCPT TO:<a@x.com>\r\n").Send("250 ok\r\n");
        srv.Expect("RCPT TO:<c@x.com>\r\n").Send("250 ok\r\n").AwaitClose();
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "<c@x.com>, junk", "", "", "hi", ""),
                  VOK_EMPTY_ADDRESS);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
    }
    {  // A delimiter inside the first display name: -41 through the error exit.
        ScriptServer srv;
        Greet(srv).AwaitClose();
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com", "", "", "", "", ""), VOK_MISSING_GT);
        EXPECT_NE(Ch()->Socket, plat::kNoSocket);  // a plain return: the session stays
        EXPECT_EQ(vokSendEmail(0, "Doe, John <j@x.com>", "", "", "", "", ""), VOK_MISSING_LT);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        EXPECT_EQ(Ch()->Socket, plat::kNoSocket);
        EXPECT_EQ(vokSendEmail(0, "<j@x.com>", "", "", "", "", ""), VOK_NOT_CONNECTED);
    }
}

// A line break in an address would end the command early and smuggle the
// rest in as a command of its own; in a header's text it would make a header
// line of the caller's. Either is refused before anything goes out.
TEST_F(Smtp, LineBreaksAreRefusedBeforeSending) {
    EXPECT_EQ(vokSmtpConnect(0, "127.0.0.1", "<a@b.com>\r\nRSET", nullptr), VOK_BAD_ADDRESS_CHAR);
    EXPECT_EQ(vokSmtpConnect(0, "127.0.0.1", "<a@b.com>", "<r@b.com>\nX-Injected: yes"),
              VOK_BAD_ADDRESS_CHAR);
    WriteFile(dir.file("a.txt"), "a");
    const std::string badName = dir.file("a.txt") + "|x\r\nX-Injected: yes";
    ScriptServer srv;
    Greet(srv).AwaitClose();
    ASSERT_EQ(Connect(srv), 0);
    const struct {
        const char *to, *cc, *subject, *attachments;
    } calls[] = {
        {"<a@x.com>\r\nRSET", "", "", ""},
        {"<a@x.com>", "<b@x.com>,<c@x.com>\nDATA", "", ""},
        {"Ann\r\nX-Injected: yes <a@x.com>", "", "", ""},
        {"<a@x.com>", "", "inject\r\nX-Injected: yes", ""},
        {"<a@x.com>", "", "lone\rCR", ""},
        {"<a@x.com>", "", "", badName.c_str()},
    };
    for (const auto& c : calls) {
        EXPECT_EQ(vokSendEmail(0, c.to, c.cc, "", c.subject, "hi", c.attachments),
                  VOK_BAD_ADDRESS_CHAR)
            << c.to << c.subject;
    }
    EXPECT_EQ(vokVerifyUser(0, "joe\r\nRSET"), VOK_BAD_ADDRESS_CHAR);
    vokStringParam(0, VOK_REPLY_TO, "Ann\nX-Injected: yes <r@x.com>");
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "hi", ""), VOK_BAD_ADDRESS_CHAR);
    vokStringParam(0, VOK_REPLY_TO, "");
    vokStringParam(0, VOK_FROM_ADDRESS, "Ann\r\nX-Injected: yes <a@b.com>");
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "hi", ""), VOK_BAD_ADDRESS_CHAR);
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(srv.Received(), "HELO example.com\r\n");
}

// Any 4yz or 5yz reply means the message was not taken (RFC 5321 section
// 4.2.1): to a recipient, to DATA, after the final dot, or as a 421 that
// ends the session in the middle of the data.
TEST_F(Smtp, FourHundredsAndFiveHundredsFailTheSend) {
    struct Case {
        const char* name;
        std::vector<std::string> script;  // expected line, reply, ...
        const char* body;
    } cases[] = {
        {"rcpt 450", {"RCPT TO:<a@x.com>", "450 mailbox busy"}, "hi"},
        {"rcpt 550", {"RCPT TO:<a@x.com>", "550 no such user"}, "hi"},
        {"data 451", {"RCPT TO:<a@x.com>", "250 ok", "DATA", "451 later"}, "hi"},
        {"dot 451",
         {"RCPT TO:<a@x.com>", "250 ok", "DATA", "354 go", "", "451 not accepted"},
         "hi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer srv;
        Greet(srv);
        srv.Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
        for (size_t i = 0; i < c.script.size(); i += 2) {
            if (c.script[i].empty())
                srv.ReadUntil("\r\n.\r\n");
            else
                srv.Expect(c.script[i] + "\r\n");
            srv.Send(c.script[i + 1] + "\r\n");
        }
        srv.AwaitClose();
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", c.body, ""), VOK_SMTP_ERROR);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        EXPECT_EQ(std::string(Ch()->LastReply), c.script.back() + "\r\n");
        EXPECT_EQ(vokStatistics(0, 3), atoi(c.script.back().c_str()));
        EXPECT_EQ(Ch()->Socket, plat::kNoSocket);
    }
}

// With pipelining the envelope goes out before any reply is read (the
// server here answers only once it has DATA); replies are matched in order.
// A refused recipient fails the call with its reply as one at a time; the
// session stays open when nothing is left in flight, and after a 354 for no
// recipient at all the "." line ends the empty transaction (RFC 2920 3.1).
TEST_F(Smtp, PipelinedEnvelope) {
    struct Case {
        const char* name;
        const char* replies;  // to MAIL, the three RCPTs and DATA
        const char* after;    // the client's next line ("" for the message)
        const char* answer;   // and the reply to it
        int result;
        const char* lastReply;
        const char* lastRecipient;
        bool open;
    } cases[] = {
        {"all accepted", "250 ok\r\n250 a\r\n250 b\r\n250 c\r\n354 go\r\n", "", "250 queued", 0,
         "250 queued\r\n", "<c@x.com>", true},
        {"second refused", "250 ok\r\n250 a\r\n550 no b\r\n250 c\r\n354 go\r\n", nullptr, nullptr,
         VOK_SMTP_ERROR, "550 no b\r\n", "<a@x.com>", false},
        {"all refused, DATA refused",
         "250 ok\r\n550 no a\r\n550 no b\r\n450 no c\r\n554 no recipients\r\n", nullptr, nullptr,
         VOK_SMTP_ERROR, "550 no a\r\n", "", true},
        {"refusals of several lines",
         "250 ok\r\n550-no a\r\n550-really\r\n550 no a\r\n550 no b\r\n450-no c\r\n450 later\r\n"
         "554 no recipients\r\n",
         nullptr, nullptr, VOK_SMTP_ERROR, "550-no a\r\n", "", true},
        {"all refused, DATA accepted", "250 ok\r\n550 no a\r\n550 no b\r\n550 no c\r\n354 go\r\n",
         ".", "554 no valid recipients", VOK_SMTP_ERROR, "550 no a\r\n", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer srv;
        srv.Send("220 ready\r\n")
            .Expect("EHLO example.com\r\n")
            .Send("250-hi\r\n250-8BITMIME\r\n250 pipelining\r\n");
        srv.Expect("MAIL FROM:<ann@example.com>\r\n");
        for (const char* r : {"<a@x.com>", "<b@x.com>", "<c@x.com>"})
            srv.Expect(std::string("RCPT TO:") + r + "\r\n");
        srv.Expect("DATA\r\n").Send(c.replies);
        if (c.after && !*c.after) srv.ReadUntil("\r\n.\r\n").Send(std::string(c.answer) + "\r\n");
        if (c.after && *c.after)
            srv.Expect(std::string(c.after) + "\r\n").Send(std::string(c.answer) + "\r\n");
        if (c.open) srv.Expect("QUIT\r\n").Send("221 bye\r\n");
        srv.AwaitClose();
        ASSERT_EQ(vokIntegerParam(0, VOK_PIPELINING, 1), 1);
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "<b@x.com>", "<c@x.com>", "", "hi", ""), c.result);
        EXPECT_STREQ(Ch()->LastReply, c.lastReply);
        EXPECT_EQ(vokStatistics(0, 3), atoi(c.lastReply));
        EXPECT_STREQ(Ch()->LastRecipient, c.lastRecipient);
        EXPECT_EQ(Ch()->Socket != plat::kNoSocket, c.open);
        if (c.open) {
            EXPECT_EQ(vokClose(0), 0);
        }
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        Ch()->LastRecipient[0] = '\0';
    }
    // The whole envelope was one write, so the log shows it as one.
    EXPECT_TRUE(Contains(Log(),
                         "S: MAIL FROM:<ann@example.com>\r\nRCPT TO:<a@x.com>\r\n"
                         "RCPT TO:<b@x.com>\r\nRCPT TO:<c@x.com>\r\nDATA\r\n"));
}

// Without PIPELINING in the EHLO reply, one command per reply as always.
TEST_F(Smtp, PipeliningNeedsTheServersKeyword) {
    ScriptServer srv;
    Greet(srv, "EHLO example.com\r\n");
    Envelope(srv, {"<a@x.com>"});
    ASSERT_EQ(vokIntegerParam(0, VOK_PIPELINING, 1), 1);
    EXPECT_EQ(vokIntegerParam(0, VOK_PIPELINING, 2), -1);
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "hi", ""), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Smtp, CallArguments) {
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "", ""), VOK_SMTP_ONLY);
    EXPECT_EQ(vokVerifyUser(0, "joe"), VOK_SMTP_ONLY);
    EXPECT_EQ(vokSmtpConnect(0, nullptr, kFrom, nullptr), VOK_SERVER_NOT_SPECIFIED);
    EXPECT_EQ(vokSmtpConnect(0, "host", nullptr, nullptr), VOK_FROM_NULL);
    EXPECT_EQ(vokSmtpConnect(0, "a@host", kFrom, nullptr), VOK_BAD_SERVER_NAME);
    EXPECT_EQ(vokSmtpConnect(0, "host", "", nullptr), VOK_EMPTY_ADDRESS);
    EXPECT_EQ(vokSmtpConnect(0, "host", "<joe@example.com", nullptr), VOK_MISSING_GT);
    EXPECT_EQ(vokSmtpConnect(0, "host", "joe@example.com", nullptr), VOK_MISSING_LT);
    EXPECT_TRUE(Contains(Log(), "VokCode=-41")) << Log();
    EXPECT_EQ(Ch()->NextState, 0);
    // Not connected, but an SMTP channel now.
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "", ""), VOK_NOT_CONNECTED);
    EXPECT_EQ(vokSmtpConnect(5, "host", kFrom, nullptr), VOK_CHANNEL_RANGE);
    vokRelease();
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "", "", ""), VOK_NOT_ATTACHED);
}

TEST_F(Smtp, ServerDyingMidMessage) {
    // A pause per line keeps the client mid-message when the server goes.
    // Whether the dead socket makes the next send fail (-52) or never polls
    // writable again (-8 once the line's wait is over) is the platform's.
    LibrarySettings.SendLineDelay = 1;
    LibrarySettings.WriteWait = LibrarySettings.MaxResponseWait = 600;
    WriteFile(dir.file("big.bin"), std::string(100000, 'z'));
    WriteFile(dir.file("body.txt"), std::string(50000, 'b'));
    for (int round = 0; round < 2; ++round) {
        ScriptServer srv;
        Greet(srv);
        srv.Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
        srv.Expect("RCPT TO:<a@x.com>\r\n").Send("250 ok\r\n");
        srv.Expect("DATA\r\n").Send("354 go\r\n").ReadBytes(20000).Reset();
        ASSERT_EQ(Connect(srv), 0);
        std::string body = round == 0 ? "short" : "@" + dir.file("body.txt");
        int rc =
            vokSendEmail(0, "<a@x.com>", "", "", "", body.c_str(), dir.file("big.bin").c_str());
        EXPECT_TRUE(rc == VOK_SOCKET_WRITE_ERROR || rc == VOK_SOCKET_TIMEOUT) << rc;
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        EXPECT_EQ(Ch()->FileHandle, 0);  // a failed send keeps no file open
        vokClose(0);
        EXPECT_EQ(Ch()->Protocol, 0);
    }
}

// --- Session and AUTH -------------------------------------------------------------

TEST_F(Smtp, GreetingDomainAndHelo) {
    ScriptServer srv;
    // EsmtpMode 0: HELO and no AUTH, whatever the server offers.
    srv.Send("220 hi\r\n").Expect("HELO localhost\r\n").Send("250-x\r\n250 AUTH PLAIN\r\n");
    srv.AwaitClose();
    ASSERT_EQ(Connect(srv, "<joe>"), 0);
    EXPECT_EQ(Ch()->Protocol, 'S');
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    std::string log = Log();
    EXPECT_TRUE(Contains(log, "*** vokSmtpConnect\r\n<200:")) << log;
    EXPECT_TRUE(Contains(log, "VOK Win32 Version 3.4.2 Build 11\r\n"));
}

TEST_F(Smtp, EnvelopeSenderAndHeloNameOfTheirOwn) {
    struct {
        int index;
        const char* text;
        int result;
    } cases[] = {
        {VOK_PARAM_ENVELOPE_FROM, "bounce@example.net", 20},
        {VOK_PARAM_ENVELOPE_FROM, "Lists <bounce@example.net>", 20},
        {VOK_PARAM_ENVELOPE_FROM, "<>", 2},
        {VOK_PARAM_ENVELOPE_FROM, "", 0},
        {VOK_PARAM_ENVELOPE_FROM, "a@b\r\nRSET", VOK_BAD_ADDRESS_CHAR},
        {VOK_PARAM_ENVELOPE_FROM, "a b@c", VOK_BAD_ADDRESS_CHAR},
        {VOK_PARAM_ENVELOPE_FROM, "<a@b", VOK_BAD_ADDRESS_CHAR},
        {VOK_PARAM_ENVELOPE_FROM, "a@b>", VOK_BAD_ADDRESS_CHAR},
        {VOK_PARAM_HELO_NAME, "[192.0.2.1]", 11},
        {VOK_PARAM_HELO_NAME, "mx one", VOK_BAD_ADDRESS_CHAR},
        {VOK_PARAM_HELO_NAME, "mx\r\n", VOK_BAD_ADDRESS_CHAR},
    };
    for (const auto& c : cases) EXPECT_EQ(vokStringParam(0, c.index, c.text), c.result) << c.text;
    ASSERT_EQ(vokStringParam(0, VOK_PARAM_HELO_NAME, "client.example.org"), 18);
    ASSERT_EQ(vokStringParam(0, VOK_PARAM_ENVELOPE_FROM, "<bounce@example.net>"), 20);
    ScriptServer srv;
    Greet(srv, "HELO client.example.org\r\n")
        .Expect("MAIL FROM:<bounce@example.net>\r\n")
        .Send("250 ok\r\n")
        .Expect("RCPT TO:<bob@example.org>\r\n")
        .Send("250 ok\r\n")
        .Expect("DATA\r\n")
        .Send("354 go\r\n")
        .ReadUntil("\r\n.\r\n")
        .Send("250 queued\r\n");
    ASSERT_EQ(Connect(srv), 0);
    ASSERT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "Hi", "x", nullptr), 0);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_TRUE(Contains(Data(srv, 0), "From: Ann <ann@example.com>\r\n")) << Data(srv, 0);
}

TEST_F(Smtp, PreparedMessagesGoOutAsTheyAre) {
    const std::string longLine(5000, 'x');
    const std::string file = dir.file("prepared.eml");
    WriteFile(file, "Subject: from a file\r\n\r\nCRLF\r\nLF\n.\r\n");
    struct {
        std::string message;
        std::string wire;
    } cases[] = {
        {"Subject: s\nFrom: <a@b.c>\n\n.dot\nline\n",
         "Subject: s\r\nFrom: <a@b.c>\r\n\r\n..dot\r\nline\r\n.\r\n"},
        {"a\r\nb", "a\r\nb\r\n.\r\n"},
        {"bare\rCR\n", "bare\rCR\r\n.\r\n"},
        {longLine + "\n.z\n", longLine + "\r\n..z\r\n.\r\n"},
        {"@" + file, "Subject: from a file\r\n\r\nCRLF\r\nLF\r\n..\r\n.\r\n"},
    };
    ScriptServer srv;
    Greet(srv);
    for (size_t i = 0; i < std::size(cases); ++i) Envelope(srv, {"<bob@example.org>"});
    srv.Expect("MAIL FROM:<ann@example.com>\r\n")
        .Send("250 ok\r\n")
        .Expect("RCPT TO:<bob@example.org>\r\n")
        .Send("250 ok\r\n")
        .Expect("DATA\r\n")
        .Send("354 go\r\n")
        .AwaitClose();
    ASSERT_EQ(Connect(srv), 0);
    ASSERT_EQ(vokIntegerParam(0, VOK_PARAM_RAW_MESSAGE, 1), 1);
    for (const auto& c : cases)
        EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "unused",
                               c.message.c_str(), nullptr),
                  0);
    EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, nullptr,
                           ("@" + dir.file("missing.eml")).c_str(), nullptr),
              VOK_CANNOT_OPEN_FILE);
    ASSERT_TRUE(srv.Finish()) << srv.Failures();
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(srv.Block(i), cases[i].wire) << i;
}

struct AuthCase {
    const char* name;
    const char* ehlo;  // the capability lines of the EHLO reply
    const char* user;
    const char* password;
    std::vector<std::string> exchange;  // client line, server reply, ...
    int result;
    const char* logLine;
};

TEST_F(Smtp, AuthMechanismsAndAnswers) {
    // RFC 2195's own example.
    const std::string challenge = "<1896.697170952@postoffice.reston.mci.net>";
    // A user of 40 characters makes every answer longer than 57 bytes: each
    // must still go out as one line.
    const std::string longUser(40, 'u');
    uint8_t digest[16];
    char hex[33];
    std::string challengeText = challenge;
    HmacMd5(&challengeText[0], "pw", digest);
    DigestToHex(digest, hex);
    const std::string longCram = Base64(longUser + " " + hex);
    ASSERT_GT(longCram.size(), 76u);
    // A challenge far longer than the answer buffer is cut, not overrun.
    std::string huge(300, 'c');
    std::string cut = huge.substr(0, sizeof(Channel::AuthBuffer) - 1);
    HmacMd5(&cut[0], "pw", digest);
    DigestToHex(digest, hex);
    const std::string hugeCram = Base64(std::string("tim ") + hex);

    const AuthCase cases[] = {
        {"cram",
         "250-AUTH PLAIN CRAM-MD5\r\n250 OK\r\n",
         "tim",
         "tanstaaftanstaaf",
         {"AUTH CRAM-MD5", "334 " + Base64(challenge),
          "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw", "235 ok"},
         0,
         "Challenge '<1896.697170952@postoffice.reston.mci.net>'\r\n"},
        {"cram long user",
         "250 AUTH CRAM-MD5\r\n",
         longUser.c_str(),
         "pw",
         {"AUTH CRAM-MD5", "334 " + Base64(challenge), longCram, "235 ok"},
         0,
         nullptr},
        {"cram huge challenge",
         "250 AUTH CRAM-MD5\r\n",
         "tim",
         "pw",
         {"AUTH CRAM-MD5", "334 " + Base64(huge), hugeCram, "235 ok"},
         0,
         nullptr},
        {"login lower case",
         "250-x\r\n250 auth login\r\n",
         longUser.c_str(),
         "secret",
         {"AUTH LOGIN", "334 VXNlcm5hbWU6", Base64(longUser), "334 UGFzc3dvcmQ6", Base64("secret"),
          "235 ok"},
         0,
         "AUTH LOGIN ok\r\n"},
        {"login empty password",
         "250 AUTH LOGIN\r\n",
         "ann",
         "",
         {"AUTH LOGIN", "334 x", Base64("ann"), "334 y", "", "535 bad"},
         VOK_SMTP_ERROR,
         nullptr},
        {"plain",
         "250 AUTH PLAIN\r\n",
         longUser.c_str(),
         "secret",
         {"AUTH PLAIN " + Base64(longUser + '\0' + longUser + '\0' + "secret"), "235 ok"},
         0,
         "AUTH PLAIN ok\r\n"},
        {"4xx is a failure too",
         "250 AUTH PLAIN\r\n",
         "a",
         "b",
         {"AUTH PLAIN " + Base64(std::string("a\0a\0b", 5)), "454 later"},
         VOK_SMTP_ERROR,
         nullptr},
        {"refused",
         "250 AUTH PLAIN\r\n",
         "a",
         "b",
         {"AUTH PLAIN " + Base64(std::string("a\0a\0b", 5)), "535 no"},
         VOK_SMTP_ERROR,
         nullptr},
        // "AUTH" in an earlier line: the mechanisms are looked for after it.
        {"auth word earlier",
         "250-HELP AUTH here\r\n250 AUTH LOGIN\r\n",
         "a",
         "b",
         {"AUTH LOGIN", "334 x", Base64("a"), "334 y", Base64("b"), "235 ok"},
         0,
         nullptr},
        {"auth= only", "250 AUTH=LOGIN\r\n", "a", "b", {}, 0, nullptr},
        // No user name, no AUTH: empty credentials can only be refused.
        {"no user name", "250 AUTH PLAIN LOGIN\r\n", "", "b", {}, 0, nullptr},
    };
    for (const AuthCase& c : cases) {
        SCOPED_TRACE(c.name);
        vokIntegerParam(0, VOK_ESMTP_MODE, 1);
        vokStringParam(0, VOK_USER_NAME, c.user);
        vokStringParam(0, VOK_SMTP_PASSWORD, c.password);
        ScriptServer srv;
        srv.Send("220 hi\r\n").Expect("EHLO example.com\r\n");
        srv.Send(std::string("250-mail.example.com\r\n") + c.ehlo);
        for (size_t i = 0; i < c.exchange.size(); i += 2)
            srv.Expect(c.exchange[i] + "\r\n").Send(c.exchange[i + 1] + "\r\n");
        srv.AwaitClose();
        EXPECT_EQ(Connect(srv), c.result);
        vokAbort(0);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        if (c.logLine) {
            EXPECT_TRUE(Contains(Log(), c.logLine)) << Log();
        }
    }
    // No password reaches the log, in the clear or in base64, and only the
    // owner may read the log.
    const std::string log = Log();
    EXPECT_FALSE(Contains(log, "secret")) << log;
    EXPECT_FALSE(Contains(log, Base64("secret"))) << log;
    EXPECT_FALSE(Contains(log, Base64(longUser + '\0' + longUser + '\0' + "secret"))) << log;
    EXPECT_TRUE(Contains(log, "S: AUTH PLAIN ****\r\n")) << log;
#if !defined(_WIN32)
    struct stat st {};
    ASSERT_EQ(stat(logPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

// A reply line counts only with its CR LF: a "250 ok" whose line end comes
// late is waited for, never taken early, so the next reply is not misread.
// A NUL inside a line is an ordinary byte.
TEST_F(Smtp, ReplyLinesEndAtTheirLineFeed) {
    using namespace std::string_literals;
    ScriptServer srv;
    srv.Send("220 ready\r\n").Expect("EHLO example.com\r\n").Send("250-a\0b\r\n250 ok\r\n"s);
    srv.Expect("NOOP\r\n").Send("250 ok").Stall(150).Send("\r\n550 no\r\n");
    srv.Expect("RSET\r\n").AwaitClose();
    vokIntegerParam(0, VOK_ESMTP_MODE, 1);
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokCommand(0, "NOOP"), 0);
    EXPECT_STREQ(Ch()->LastReply, "250 ok\r\n");
    EXPECT_EQ(vokCommand(0, "RSET"), VOK_SMTP_ERROR);
    EXPECT_STREQ(Ch()->LastReply, "550 no\r\n");
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- VRFY ---------------------------------------------------------------------------

TEST_F(Smtp, VerifyUsers) {
    ScriptServer srv;
    Greet(srv);
    srv.Expect("VRFY joe\r\n").Send("250 Joe <joe@x.com>\r\n");
    srv.Expect("VRFY Ann <ann@x.com>\r\n").Send("550-no\r\n550 such user\r\n");
    srv.Expect("VRFY x\r\n").Send("550-multi\r\n550-line\r\n550 refusal\r\n");
    srv.Expect("VRFY y\r\n").Send("250 y\r\n");
    srv.Expect("VRFY ann\r\n").Send("250 ok\r\n");
    srv.Expect("VRFY  \r\n").Send("252 cannot verify\r\n");
    srv.AwaitClose();
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokVerifyUser(0, "joe,Ann <ann@x.com>"), 0);
    // The rest of a refusal is not taken for the next answer.
    EXPECT_EQ(vokVerifyUser(0, "x,y"), 1);
    EXPECT_EQ(vokVerifyUser(0, "ann, "), 0);
    EXPECT_EQ(vokVerifyUser(0, ""), VOK_NO_RECIPIENT);
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- Driving by hand -----------------------------------------------------------------

TEST_F(Smtp, ManualDriving) {
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<a@x.com>"});
    srv.Start();
    vokIntegerParam(0, VOK_SMTP_PORT, srv.Port());
    vokIntegerParam(0, VOK_AUTO_CALL, 0);
    auto drive = [] {
        std::vector<int> seen;
        uint32_t start = plat::TickCount();
        for (int i = 0; i < 100000 && plat::TickCount() - start < 10000; ++i) {
            int rc = vokDriver(0);
            if (rc != VOK_DRIVER_WAIT && (seen.empty() || seen.back() != rc)) seen.push_back(rc);
            if (rc <= 0) break;
            plat::SleepMs(1);
        }
        return seen;
    };
    EXPECT_EQ(vokSmtpConnect(0, "127.0.0.1", kFrom, nullptr), 0);
    EXPECT_EQ(drive(), (std::vector<int>{101, 104, 105, 106, 201, 202, 203, 0}));
    EXPECT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "S", "hi", ""), 0);
    EXPECT_EQ(drive(), (std::vector<int>{205, 206, 207, 208, 209, 210, 220, 221, 223, 224, 225, 227,
                                         233, 238, 240, 241, 251, 252, 0}));
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(Data(srv, 0), Head() +
                                "To: <a@x.com>\r\nFrom: Ann <ann@example.com>\r\n"
                                "Subject: S\r\n\r\nhi\r\n\r\n.\r\n");
}

// With AutoCall 0 one vokDriver call takes every line the socket accepts,
// up to 64 KB of them: a 120 KB attachment (some 2200 base64 lines) takes a
// handful of calls, and the counters are exact when it is done.
TEST_F(Smtp, ManualDrivingSendsManyLinesPerCall) {
    std::string bytes(120000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 >> 3);
    WriteFile(dir.file("big.bin"), bytes);
    ScriptServer srv;
    Greet(srv);
    Envelope(srv, {"<a@x.com>"});
    ASSERT_EQ(Connect(srv), 0);
    vokIntegerParam(0, VOK_AUTO_CALL, 0);
    ASSERT_EQ(vokSendEmail(0, "<a@x.com>", "", "", "S", "hi", dir.file("big.bin").c_str()), 0);
    int attachCalls = 0, rc = VOK_DRIVER_WAIT;
    for (int i = 0; i < 100000 && rc > 0; ++i) {
        rc = vokDriver(0);
        if (rc == 265) ++attachCalls;
        if (rc == VOK_DRIVER_WAIT) plat::SleepMs(1);
    }
    EXPECT_EQ(rc, 0);
    EXPECT_GT(attachCalls, 0);
    EXPECT_LT(attachCalls, 20);
    EXPECT_EQ(vokStatistics(0, VOK_STAT_ATTACH_BYTES_READ), 120000);
    // 2105 base64 lines of 57 bytes (76 characters and CR LF), one of 15.
    EXPECT_EQ(vokStatistics(0, VOK_STAT_ATTACH_BYTES_SENT), 2105 * 78 + 20 + 2);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- Offline form check ---------------------------------------------------------------

TEST(VerifyFormat, Results) {
    const struct {
        const char* address;
        int result;
    } cases[] = {
        {"Joe Bloggs <joe@example.com>", 1},
        {"<a@b>", 1},
        {"<o'neil$&/_-.x@host>", 1},
        {"<ann@example.com>,junk", 1},
        {nullptr, VOK_NULL_POINTER},
        {"", VOK_EMPTY_ADDRESS},
        {"joe@example.com", VOK_MISSING_LT},
        {"Doe, John <john@example.org>", VOK_MISSING_LT},
        {"<joe@example.com", VOK_MISSING_GT},
        {">x<", VOK_MISSING_GT},
        {"<>", VOK_NULL_POINTER},
        {"<@example.com>", VOK_EMPTY_ADDRESS},
        {"<joe@>", VOK_EMPTY_ADDRESS},
        {"<joe@host@example.com>", VOK_TOO_MANY_AT},
        {"<joe@exa mple.com>", VOK_BAD_ADDRESS_CHAR},
        // RFC 5321 local parts: every atext character, dots between atoms,
        // quoted strings; address literals for the domain.
        {"<tester+tag@example.com>", 1},
        {"<!#$%&'*+/=?^_`{|}~-@example.com>", 1},
        {"<first.last@example.com>", 1},
        {"<\"john doe\"@example.com>", 1},
        {"<\"a@b,\\\"c>\"@example.com>", 1},
        {"\"Doe, John\" <j@example.com>", 1},
        {"<joe@[127.0.0.1]>", 1},
        {"<joe@[IPv6:::1]>", 1},
        {"<joe@[IPv6:2001:db8::1]>", 1},
        {"<.joe@example.com>", VOK_BAD_ADDRESS_CHAR},
        {"<joe.@example.com>", VOK_BAD_ADDRESS_CHAR},
        {"<jo..e@example.com>", VOK_BAD_ADDRESS_CHAR},
        {"<\"jo\"e@example.com>", VOK_BAD_ADDRESS_CHAR},
        {"<jo(e@example.com>", VOK_BAD_ADDRESS_CHAR},
        {"<joe@[127.0.0.256]>", VOK_BAD_ADDRESS_CHAR},
        {"<joe@[1.2.3]>", VOK_BAD_ADDRESS_CHAR},
        {"<joe@[IPv6:12g::1]>", VOK_BAD_ADDRESS_CHAR},
        {"<joe@example.com\r\n>", VOK_BAD_ADDRESS_CHAR},
        {"<j\xe9@example.com>", VOK_BAD_ADDRESS_CHAR},
        {"<joe.example.com>", VOK_MISSING_AT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vokVerifyFormat(c.address), c.result) << (c.address ? c.address : "(null)");
    Settings saved = LibrarySettings;
    LibrarySettings.AddressDelimiter = ';';
    EXPECT_EQ(vokVerifyFormat("Doe, John <john@example.org>;junk"), 1);
    // Only a delimiter outside the brackets ends an item.
    EXPECT_EQ(vokVerifyFormat("<ann@example.com;>"), VOK_BAD_ADDRESS_CHAR);
    LibrarySettings = saved;
}

}  // namespace
