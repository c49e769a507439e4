// SPDX-License-Identifier: MIT
// The incoming decoder: encoded words, attachment names and paths on their
// own, then downloads of messages shaped the way real mailers write them
// (nested multiparts, quoted-printable, inline parts, enclosed messages,
// folded parameters, hostile names), checked file by file.
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "codec/text.h"
#include "engine/engine.h"
#include "platform/platform.h"
#include "codec/mime.h"
#include "pop3/decoder.h"
#include "pop3_wire.h"

using namespace vok;
using vok_test::Base64Lines;
using vok_test::Binary;
using vok_test::Contains;
using vok_test::Pop3Wire;
using vok_test::ReadFile;
using vok_test::ScriptServer;
using vok_test::Stuffed;
using vok_test::TempDir;
using vok_test::WriteFile;

namespace {

std::string Note(const std::string& path) {
    return "[Attachment saved to \"" + path + "\"]\r\n";
}

// --- Pieces on plain text ----------------------------------------------------------

TEST(DecoderText, EncodedWordsAreDecodedToUtf8) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"=?iso-8859-1?q?Caf=E9?=", "Caf\xC3\xA9"},
        {"=?iso-8859-1?b?SGVsbG8=?= world", "Hello world"},
        // '_' is a space in a Q word; "=5F" is a real underscore.
        {"=?ISO-8859-1?Q?Gr=FC=DFe_aus=5FBerlin?=",
         "Gr\xC3\xBC\xC3\x9F"
         "e aus_Berlin"},
        // Adjacent words join; text between words and other text stays.
        {"=?UTF-8?B?csOp?= =?UTF-8?Q?sum=C3=A9?=", "r\xC3\xA9sum\xC3\xA9"},
        {"=?utf-8?q?a?= und =?utf-8?q?b?=", "a und b"},
        {"=?windows-1252?Q?=80?=", "\xE2\x82\xAC"},
        // Unpadded B words keep their last bytes; broken words stay as written.
        {"=?utf-8?b?YWJjZA?=", "abcd"},
        {"=?iso-8859-1?q?open", "=?iso-8859-1?q?open"},
        {"=?x?y?z?=", "=?x?y?z?="},
    };
    for (const Case& c : cases) {
        char out[256];
        int n = DecodeEncodedWords(c.in, out, sizeof out);
        EXPECT_STREQ(out, c.out) << c.in;
        EXPECT_EQ(n, static_cast<int>(strlen(c.out)));
    }
    char small[4];
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?q?abcdef?=", small, sizeof small), 3);
}

TEST(DecoderText, ContentFieldsAreParsedAsTheRfcsSay) {
    struct Case {
        const char* field;
        const char* fileName;
        const char* typeName;
        const char* boundary;
    } cases[] = {
        {"Content-Type: multipart/mixed; x-boundary-hint=1; boundary=\"B\"", "", "", "B"},
        {"content-type:multipart/mixed;boundary=plain", "", "", "plain"},
        {"Content-Type : multipart/mixed ; boundary = \"sp\" ", "", "", "sp"},
        {"Content-Type: multipart/mixed; boundary=----=_Part_1", "", "", "----=_Part_1"},
        {"Content-Type: a/b; x-username=joe; name = \"a.bin\"", "", "a.bin", ""},
        {"Content-Type: a/b (comment; name=no); name=yes", "", "yes", ""},
        {"Content-Disposition: attachment; filename=\"a \\\"q\\\" b\"", "a \"q\" b", "", ""},
        {"Content-Disposition: attachment; filename*0*=UTF-8''r%C3%A9; filename*1=\"sum\"",
         "r\xC3\xA9sum", "", ""},
        {"Content-Disposition: attachment; filename*=iso-8859-1'en'%E9t%E9", "\xC3\xA9t\xC3\xA9",
         "", ""},
        {"Content-Disposition: attachment; filename*1=\"b\"; filename*0=\"a\"", "ab", "", ""},
    };
    for (const Case& c : cases) {
        MimeHeader h{};
        ParseMimeField(c.field, &h);
        EXPECT_STREQ(h.FileName, c.fileName) << c.field;
        EXPECT_STREQ(h.TypeName, c.typeName) << c.field;
        EXPECT_STREQ(h.Boundary, c.boundary) << c.field;
    }
}

TEST(DecoderText, AttachmentNamesNeverLeaveTheFolder) {
    struct Case {
        const char* in;
        const char* out;  // null: no usable name
    } cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../x", "x"},
        {"C:\\evil", "evil"},
        {"/etc/passwd", "passwd"},
        {"..\\tmp\\x.txt", "x.txt"},
        {"C:x.txt", "x.txt"},
        {"\\x", "x"},
        {"a\r\nb.txt", "a__b.txt"},
        {"..", nullptr},
        {".", nullptr},
        {"dir/", nullptr},
        {"a/..", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        char name[64];
        strcpy(name, c.in);
        int ok = CleanAttachName(name);
        if (c.out) {
            EXPECT_EQ(ok, 1) << c.in;
            EXPECT_STREQ(name, c.out) << c.in;
        } else {
            EXPECT_EQ(ok, 0) << c.in;
        }
    }
}

TEST(DecoderText, PathsAreJoinedOrRefused) {
    const std::string sep(1, plat::PathSeparator());
    char out[300];
    EXPECT_EQ(JoinPath(out, 128, "att", "", "a.pdf"), 9);
    EXPECT_EQ(std::string(out), "att" + sep + "a.pdf");
    EXPECT_EQ(JoinPath(out, 128, "att/", "3-", "a.pdf"), 11);
    EXPECT_STREQ(out, "att/3-a.pdf");
    // An empty folder still gets its separator.
    EXPECT_EQ(JoinPath(out, 128, "", "", "1.txt"), 6);
    EXPECT_EQ(std::string(out), sep + "1.txt");
    // 128 characters fit, 129 do not.
    std::string dir(122, 'd');
    EXPECT_EQ(JoinPath(out, 128, dir.c_str(), "", "a.pdf"), 128);
    EXPECT_EQ(JoinPath(out, 128, dir.c_str(), "", "ab.pdf"), -1);
    EXPECT_STREQ(out, "");
}

// --- Message cases (tests/data/mime) ----------------------------------------------
// Each case folder holds message.eml (the message as the server sends it,
// before dot-stuffing), mail.txt (the message file expected, "@ATT@" standing
// for the attachment folder and its separator) and parts/ (every attachment
// expected, and nothing else). The message file lies in the attachment
// folder, so that a part named like it must find another name. The same
// cases feed the fuzz target and the comparison with Python's decoding.

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The lines of a message the way the download hands them on: split after
// each LF, a line longer than one read in pieces of 1,023 bytes.
std::vector<std::string> Pieces(const std::string& message) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < message.size()) {
        size_t end = message.find('\n', at);
        end = end == std::string::npos ? message.size() : end + 1;
        for (size_t p = at; p < end; p += 1023)
            out.push_back(message.substr(p, std::min<size_t>(1023, end - p)));
        at = end;
    }
    return out;
}

std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder,
                                           const std::string& except = "") {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != except)
            files[e.path().filename().string()] = std::string(
                std::istreambuf_iterator<char>(std::ifstream(e.path(), std::ios::binary).rdbuf()),
                std::istreambuf_iterator<char>());
    return files;
}

// The message file is the expected one, "@ATT@" standing for the folder.
void ExpectSameMail(const std::string& mail, const std::filesystem::path& expectedFile,
                    const std::string& folder) {
    std::string expected = Replace(ReadFile(expectedFile.string()), "@ATT@",
                                   folder + std::string(1, plat::PathSeparator()));
#ifdef _WIN32
    // Names are spelt in the ANSI code page here: the text before the
    // first note, and the number of notes.
    const std::string note = "[Attachment saved to ";
    auto notes = [&](const std::string& t) {
        size_t count = 0;
        for (size_t at = t.find(note); at != std::string::npos; at = t.find(note, at + 1)) ++count;
        return count;
    };
    EXPECT_EQ(mail.substr(0, mail.find(note)), expected.substr(0, expected.find(note)));
    EXPECT_EQ(notes(mail), notes(expected));
#else
    EXPECT_EQ(mail, expected);
#endif
}

// The files saved in folder (the message file aside) are the expected ones.
void ExpectSameParts(const std::string& folder, const std::filesystem::path& expected) {
#ifdef _WIN32
    // Names are spelt in the ANSI code page here, and some expected names
    // cannot be opened at all: the number of files.
    EXPECT_EQ(FilesIn(folder, "mail.txt").size(), FilesIn(expected).size());
#else
    EXPECT_EQ(FilesIn(folder, "mail.txt"), FilesIn(expected));
#endif
}

class MessageCases : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(vokAttach(1), 1); }
    void TearDown() override { vokRelease(); }
};

TEST_F(MessageCases, SavedAsExpected) {
    const std::filesystem::path root = VOK_TEST_DATA "/mime";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string att = dir.file("att");
        std::filesystem::create_directory(att);
        Channel* ch = ChannelTable[0].Record;
        CopyText(ch->AttachDir, att.c_str(), kPathChars + 1);
        CopyText(ch->EmailName, "mail.txt", kNameChars);
        ch->MailHandle = plat::FileCreate((att + "/mail.txt").c_str());
        ASSERT_GT(ch->MailHandle, 0);
        ASSERT_EQ(StartDownload(ch), 0);
        for (const std::string& piece : Pieces(ReadFile((entry.path() / "message.eml").string())))
            ASSERT_EQ(DownloadPiece(ch, piece.data(), static_cast<int32_t>(piece.size())), 0);
        ASSERT_EQ(EndDownload(ch, true), 0);
        ExpectSameMail(ReadFile(att + "/mail.txt"), entry.path() / "mail.txt", att);
        ExpectSameParts(att, entry.path() / "parts");
        ++count;
    }
    EXPECT_GE(count, 12);
}

// --- Messages over the wire ---------------------------------------------------------

class Decoder : public Pop3Wire {
  protected:
    std::string att;
    std::string sep = std::string(1, plat::PathSeparator());

    void SetUp() override {
        Pop3Wire::SetUp();
        att = dir.file("att");
        std::filesystem::create_directory(att);
    }
    std::string Saved(const std::string& name) { return ReadFile(att + "/" + name); }
    bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    std::string SavedNames() {
        char names[1100];
        vokDebug(0, 29, names, 1024);
        return names;
    }
    std::string AttPath(const std::string& name) { return att + sep + name; }
};

const char kHeader[] =
    "Return-Path: <bob@example.org>\r\n"
    "From: Bob <bob@example.org>\r\n"
    "To: Ann <ann@example.com>\r\n"
    "Subject: Quarterly report\r\n"
    "MIME-Version: 1.0\r\n";
const char kHeaderOut[] =
    "Return-Path: <bob@example.org>\r\n"
    "From: Bob <bob@example.org>\r\n"
    "To: Ann <ann@example.com>\r\n"
    "Subject: Quarterly report\r\n"
    "MIME-Version: 1.0\r\n"
    "\r\n";

// The message cases once more, served over POP3 (dot-stuffed, read by the
// download's own line reader).
TEST_F(Decoder, MessageCasesOverTheWire) {
    for (const auto& entry : std::filesystem::directory_iterator(VOK_TEST_DATA "/mime")) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string folder = dir.file("case-" + entry.path().filename().string());
        std::filesystem::create_directory(folder);
        WriteFile(folder + "/mail.txt", "");  // the name the message file has
        ASSERT_EQ(Fetch(ReadFile((entry.path() / "message.eml").string()), folder), 0);
        ExpectSameMail(Mail(), entry.path() / "mail.txt", folder);
        ExpectSameParts(folder, entry.path() / "parts");
    }
}

TEST_F(Decoder, MixedTextAndPdf) {
    const std::string pdf = Binary(5000);
    const std::string b64 = Base64Lines(pdf);
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed;\r\n"
                            "\tboundary=\"----=_Part_0_1234.5678\"\r\n"
                            "Date: Mon, 7 Dec 2026 09:00:00 +0100\r\n"
                            "\r\n"
                            "This is a multi-part message in MIME format.\r\n"
                            "------=_Part_0_1234.5678\r\n"
                            "Content-Type: text/plain; charset=us-ascii\r\n"
                            "Content-Transfer-Encoding: 7bit\r\n"
                            "\r\n"
                            "Hello Ann,\r\n"
                            ".the report is attached.\r\n"
                            "\r\n"
                            "------=_Part_0_1234.5678\r\n"
                            "Content-Type: application/pdf; name=\"report.pdf\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
                            "\r\n" +
                            b64 +
                            "------=_Part_0_1234.5678--\r\n"
                            "\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("report.pdf"), pdf);
    const std::string text = "Hello Ann,\r\n.the report is attached.\r\n\r\n";
    EXPECT_EQ(Mail(), kHeaderOut + text + Note(AttPath("report.pdf")));
    EXPECT_EQ(SavedNames(), "report.pdf");
    EXPECT_EQ(vokStatistics(0, 22), 1);
    EXPECT_EQ(vokStatistics(0, 11), static_cast<int>(b64.size()));
    // Message text taken in: the status line and every line written.
    const std::string status = "+OK " + std::to_string(msg.size()) + " octets\r\n";
    EXPECT_EQ(vokStatistics(0, 10),
              static_cast<int>(status.size() + strlen(kHeaderOut) + text.size()));
    std::string log = Log();
    for (const char* note :
         {"[MIME version found]\r\n", "[MIME boundary defined 24 (------=_Part_0_1234.5678)]\r\n",
          "[Boundary line found]\r\n", "[Encoding is 7-bit]\r\n", "[Encoding is BASE64]\r\n",
          "[Filename='report.pdf']\r\n", "[CLOSE]\r\n"})
        EXPECT_TRUE(Contains(log, note)) << note;
    EXPECT_TRUE(Contains(log, Note(AttPath("report.pdf"))));
}

TEST_F(Decoder, AlternativeInsideMixed) {
    const std::string data = Binary(300, 3);
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"------------mixed123\"\r\n"
                            "\r\n"
                            "--------------mixed123\r\n"
                            "Content-Type: multipart/alternative;\r\n"
                            " boundary=\"------------alt456\"\r\n"
                            "\r\n"
                            "--------------alt456\r\n"
                            "Content-Type: text/plain; charset=UTF-8; format=flowed\r\n"
                            "Content-Transfer-Encoding: 7bit\r\n"
                            "\r\n"
                            "Plain text.\r\n"
                            "--------------alt456\r\n"
                            "Content-Type: text/html; charset=UTF-8\r\n"
                            "Content-Transfer-Encoding: quoted-printable\r\n"
                            "\r\n"
                            "<p>HTML =3D text, soft=\r\n"
                            " break</p>\r\n"
                            "--------------alt456--\r\n"
                            "\r\n"
                            "--------------mixed123\r\n"
                            "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
                            "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "\r\n" +
                            Base64Lines(data) + "--------------mixed123--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("data.bin"), data);
    EXPECT_EQ(Mail(), kHeaderOut +
                          std::string("Plain text.\r\n<p>HTML = text, soft break</p>\r\n") +
                          Note(AttPath("data.bin")));
    EXPECT_TRUE(Contains(Log(), "[Alternate MIME boundary defined 20 (--------------alt456)]\r\n"));
}

TEST_F(Decoder, ThreeNestingLevels) {
    // mixed > alternative > related (HTML with an inline image), then a PDF.
    // Each closing boundary ends its own level only.
    const std::string png = Binary(2000, 1);
    const std::string pdf = Binary(3000, 2);
    const std::string msg =
        std::string(kHeader) +
        "Content-Type: multipart/mixed; boundary=\"A\"\r\n"
        "\r\n"
        "--A\r\n"
        "Content-Type: multipart/alternative; boundary=\"B\"\r\n"
        "\r\n"
        "--B\r\n"
        "Content-Type: text/plain\r\n"
        "\r\n"
        "See the logo.\r\n"
        "--B\r\n"
        "Content-Type: multipart/related; type=\"text/html\"; boundary=\"C\"\r\n"
        "\r\n"
        "--C\r\n"
        "Content-Type: text/html\r\n"
        "\r\n"
        "<img src=\"cid:logo\">\r\n"
        "--C\r\n"
        "Content-Type: image/png; name=\"logo.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-ID: <logo>\r\n"
        "\r\n" +
        Base64Lines(png) +
        "--C--\r\n"
        "--B--\r\n"
        "--A\r\n"
        "Content-Type: application/pdf; name=\"doc.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n" +
        Base64Lines(pdf) + "--A--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("logo.png"), png);
    EXPECT_EQ(Saved("doc.pdf"), pdf);
    EXPECT_EQ(SavedNames(), "logo.png,doc.pdf");
    EXPECT_EQ(Mail(), kHeaderOut + std::string("See the logo.\r\n<img src=\"cid:logo\">\r\n") +
                          Note(AttPath("logo.png")) + Note(AttPath("doc.pdf")));
}

TEST_F(Decoder, QuotedPrintableSinglePart) {
    const std::string msg =
        "From: x@example.org\r\n"
        "Subject: =?iso-8859-1?q?Caf=E9?=\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=iso-8859-1\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "X-Mailer: something\r\n"
        "To: y@example.org\r\n"
        "\r\n"
        "caf=E9 cr=C3=A8me soft=\r\n"
        " break\r\n"
        "last=3D line\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Mail(),
              "From: x@example.org\r\n"
              "Subject: Caf\xC3\xA9\r\n"
              "MIME-Version: 1.0\r\n"
              "To: y@example.org\r\n"
              "\r\n"
              "caf\xE9 cr\xC3\xA8me soft break\r\n"
              "last= line\r\n");
}

TEST_F(Decoder, InlinePartsGoIntoTheMessage) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
                            "\r\n"
                            "--b\r\n"
                            "Content-Type: text/plain\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "Content-Disposition: inline\r\n"
                            "\r\n" +
                            Base64Lines("Shown in the message.\r\n+OK even this line.\r\n") +
                            "--b\r\n"
                            "Content-Type: text/plain\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "Content-Disposition: inline; filename=\"x.txt\"\r\n"
                            "\r\n" +
                            Base64Lines("Saved to a file.\r\n") +
                            "--b\r\n"
                            "Content-Type: text/plain\r\n"
                            "Content-Disposition: attachment; filename=\"inline.txt\"\r\n"
                            "\r\n"
                            "not inline at all\r\n"
                            "--b--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("x.txt"), "Saved to a file.\r\n");
    EXPECT_EQ(Saved("inline.txt"), "not inline at all");
    EXPECT_EQ(Mail(), kHeaderOut + std::string("Shown in the message.\r\n+OK even this line.\r\n") +
                          Note(AttPath("x.txt")) + Note(AttPath("inline.txt")));
}

TEST_F(Decoder, EnclosedMessage) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
                            "\r\n"
                            "--outer\r\n"
                            "Content-Type: text/plain\r\n"
                            "\r\n"
                            "Forwarded below.\r\n"
                            "--outer\r\n"
                            "Content-Type: message/rfc822\r\n"
                            "\r\n"
                            "From: carl@example.net\r\n"
                            "Subject: inner\r\n"
                            "MIME-Version: 1.0\r\n"
                            "Content-Type: multipart/mixed; boundary=\"inner\"\r\n"
                            "\r\n"
                            "--inner\r\n"
                            "Content-Type: text/plain\r\n"
                            "\r\n"
                            "inner text\r\n"
                            "--inner\r\n"
                            "Content-Type: text/plain; name=\"note.txt\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "\r\n" +
                            Base64Lines("a note\r\n") +
                            "--inner--\r\n"
                            "\r\n"
                            "--outer--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("note.txt"), "a note\r\n");
    EXPECT_EQ(Mail(), kHeaderOut + std::string("Forwarded below.\r\n\r\ninner text\r\n") +
                          Note(AttPath("note.txt")));
    EXPECT_TRUE(Contains(Log(), "[Ignoring blank line]\r\n"));
}

TEST_F(Decoder, UnquotedBoundariesMatchInTheirOwnLetterCase) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=simple\r\n"
                            "\r\n"
                            "--simple\r\n"
                            "Content-Type: multipart/alternative; boundary=inner42; x=\"y\"\r\n"
                            "\r\n"
                            "--inner42\r\n"
                            "Content-Type: text/plain\r\n"
                            "\r\n"
                            "one\r\n"
                            "--inner42--\r\n"
                            "--simple\r\n"
                            "Content-Type: text/plain; name=two.txt; x=\"decoy\"\r\n"
                            "\r\n"
                            "two\r\n"
                            "--Simple--\r\n"
                            "--simple--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("two.txt"), "two\r\n--Simple--");
    EXPECT_EQ(Mail(), kHeaderOut + std::string("one\r\n") + Note(AttPath("two.txt")));
}

TEST_F(Decoder, FoldedParametersAndEncodedNames) {
    const std::string msg =
        std::string(kHeader) +
        "Content-Type: multipart/mixed;\r\n"
        " charset=\"us-ascii\";\r\n"
        " boundary=\"folded\"\r\n"
        "\r\n"
        "--folded\r\n"
        "Content-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment;\r\n"
        "\tfilename=\"a long folded name.txt\"\r\n"
        "\r\n"
        "first\r\n"
        "--folded\r\n"
        "Content-Type: text/plain;\r\n"
        " name=\"=?iso-8859-1?q?r=E9sum=E9.txt?=\"\r\n"
        "\r\n"
        "second\r\n"
        "--folded\r\n"
        "Content-Type: text/plain\r\n"
        "Content-Disposition: attachment; filename=\"=?ISO-8859-1?B?ZGF0YS5iaW4=?=\"\r\n"
        "\r\n"
        "third\r\n"
        "--folded--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("a long folded name.txt"), "first");
#ifdef _WIN32
    const std::string resume = "r\xE9sum\xE9.txt";  // the ANSI code page
#else
    const std::string resume = "r\xC3\xA9sum\xC3\xA9.txt";
#endif
    EXPECT_EQ(Saved(resume), "second");
    EXPECT_EQ(Saved("data.bin"), "third");
    EXPECT_EQ(SavedNames(), "a long folded name.txt," + resume + ",data.bin");
}

TEST_F(Decoder, EncodedSubjectsAreWrittenDecoded) {
    const std::string msg =
        "From: =?iso-8859-1?q?J=F6rg?= <j@example.org>\r\n"
        "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?=\r\n"
        " =?ISO-8859-1?Q?_aus_Berlin?=\r\n"
        "X-Other: =?iso-8859-1?q?left_alone?=\r\n"
        "\r\n"
        "body\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Mail(),
              "From: J\xC3\xB6rg <j@example.org>\r\n"
              "Subject: Gr\xC3\xBC\xC3\x9F"
              "e aus Berlin\r\n"
              "X-Other: =?iso-8859-1?q?left_alone?=\r\n"
              "\r\n"
              "body\r\n");
    // After MIME-Version too, with the text after a B word kept.
    ASSERT_EQ(
        Fetch("MIME-Version: 1.0\r\nSubject: =?iso-8859-1?b?SGVsbG8=?= world\r\n\r\nbody\r\n", att),
        0);
    EXPECT_EQ(Mail(), "MIME-Version: 1.0\r\nSubject: Hello world\r\n\r\nbody\r\n");
}

TEST_F(Decoder, HostileNamesStayInTheAttachmentFolder) {
    std::string msg =
        std::string(kHeader) + "Content-Type: multipart/mixed; boundary=\"h\"\r\n\r\n";
    for (const char* name :
         {"../../x.txt", "C:\\\\evil.txt", "/etc/passwd", "=?iso-8859-1?b?Li4vLi4veS50eHQ=?="}) {
        msg += std::string("--h\r\nContent-Type: text/plain; name=\"") + name + "\"\r\n" +
               "Content-Transfer-Encoding: base64\r\n\r\n" +
               Base64Lines(std::string("from ") + name);
    }
    msg +=
        "--h\r\nContent-Type: text/plain; name=\"..\"\r\nContent-Transfer-Encoding: "
        "base64\r\n\r\n" +
        Base64Lines("dots") + "--h--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("x.txt"), "from ../../x.txt");
    EXPECT_EQ(Saved("evil.txt"), "from C:\\\\evil.txt");
    EXPECT_EQ(Saved("passwd"), "from /etc/passwd");
    EXPECT_EQ(Saved("y.txt"), "from =?iso-8859-1?b?Li4vLi4veS50eHQ=?=");
    EXPECT_FALSE(Exists(dir.file("x.txt")));
    EXPECT_FALSE(Exists(dir.file("y.txt")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(att),
                            std::filesystem::directory_iterator()),
              4);
    // ".." is no name: the part stays in the message, undecoded.
    EXPECT_TRUE(Contains(Mail(), Base64Lines("dots")));
}

TEST_F(Decoder, AttachmentThatCannotBeSavedFailsTheDownload) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"p\"\r\n"
                            "\r\n"
                            "--p\r\n"
                            "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "\r\n" +
                            Base64Lines("payload bytes") + "--p--\r\n";
    std::string missing = dir.file("missing");
    EXPECT_EQ(Fetch(msg, missing), VOK_CANNOT_CREATE_FILE);
    EXPECT_TRUE(Contains(Log(), "[Cannot open '" + missing + sep + "a.bin']\r\n"));
    EXPECT_EQ(vokStatistics(0, 22), 0);
    char text[300];
    vokErrorText(0, VOK_CANNOT_CREATE_FILE, text, sizeof text);
    EXPECT_EQ(std::string(text), "Cannot create file. '" + missing + sep + "a.bin'");
    // A long folder and name are no reason to lose the part: the name is
    // shortened (its extension kept) to fit a path.
    std::string deep = att + "/" + std::string(100, 'd');
    std::filesystem::create_directory(deep);
    const std::string longName = std::string(200, 'n') + ".bin";
    ASSERT_EQ(Fetch(Replace(msg, "a.bin", longName), deep), 0);
    ASSERT_EQ(vokStatistics(0, 22), 1);
    const auto saved = FilesIn(deep);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.begin()->second, "payload bytes");
    EXPECT_EQ(saved.begin()->first.substr(saved.begin()->first.size() - 4), ".bin");
}

TEST_F(Decoder, ExistingFilesAndLinksAreNeverWrittenThrough) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"e\"\r\n"
                            "\r\n"
                            "--e\r\n"
                            "Content-Type: text/plain; name=\"old.txt\"\r\n"
                            "\r\n"
                            "new\r\n"
                            "--e\r\n"
                            "Content-Type: text/plain; name=\"link.txt\"\r\n"
                            "\r\n"
                            "through the link?\r\n"
                            "--e--\r\n";
    WriteFile(att + "/old.txt", "old");
    const std::string outside = dir.file("outside.txt");
    WriteFile(outside, "outside");
#ifndef _WIN32
    std::filesystem::create_symlink(outside, att + "/link.txt");
#endif
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("old.txt"), "old");
    EXPECT_EQ(Saved("old (2).txt"), "new");
    EXPECT_EQ(ReadFile(outside), "outside");
#ifndef _WIN32
    EXPECT_EQ(Saved("link (2).txt"), "through the link?");
    EXPECT_EQ(SavedNames(), "old (2).txt,link (2).txt");
#endif
}

// A download cut off inside an attachment keeps what arrived under the
// temporary name only, reports the failure, and the next download starts
// clean (nothing of the old part counted again).
TEST_F(Decoder, DownloadCutOffInsideAnAttachment) {
    const std::string data = Binary(3000, 4);
    const std::string part = std::string(kHeader) +
                             "Content-Type: multipart/mixed; boundary=\"c\"\r\n"
                             "\r\n"
                             "--c\r\n"
                             "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                             "Content-Transfer-Encoding: base64\r\n"
                             "\r\n" +
                             Base64Lines(data);
    ScriptServer srv;
    Login(srv).Expect("RETR 1\r\n").Send("+OK\r\n" + part);
    ASSERT_EQ(Connect(srv), 0);
    vok::LibrarySettings.MaxResponseWait = 300;
    vok::LibrarySettings.ReadWait = 50;
    EXPECT_EQ(vokGetEmailFile(0, 1, "mail.txt", dir.path().c_str(), att.c_str()),
              VOK_SOCKET_TIMEOUT);
    EXPECT_FALSE(Exists(att + "/a.bin"));
    EXPECT_EQ(Saved("a.bin.part"), data);
    EXPECT_EQ(vokStatistics(0, 22), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    vok::LibrarySettings.MaxResponseWait = 5000;
    ASSERT_EQ(Fetch("Subject: next\r\n\r\nplain\r\n", att), 0);
    EXPECT_EQ(vokStatistics(0, 22), 0);
    EXPECT_EQ(SavedNames(), "");
    EXPECT_EQ(Mail(), "Subject: next\r\n\r\nplain\r\n");
}

TEST_F(Decoder, RawCopyOfTheMessageAsSent) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"r\"\r\n"
                            "\r\n"
                            "--r\r\n"
                            "Content-Type: text/plain; name=\"a.txt\"\r\n"
                            "\r\n"
                            ".dotted line\r\n"
                            "--r--\r\n";
    const std::string raw = dir.file("raw");
    std::filesystem::create_directory(raw);
    ASSERT_EQ(vokStringParam(0, VOK_RAW_COPY_DIR, raw.c_str()), static_cast<int>(raw.size()));
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(ReadFile(raw + "/mail.txt.eml"), msg);
    EXPECT_EQ(Saved("a.txt"), ".dotted line");
    // A second download never overwrites the first copy.
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(ReadFile(raw + "/mail.txt (2).eml"), msg);
    EXPECT_EQ(FilesIn(raw).size(), 2u);
}

TEST_F(Decoder, UnnamedPartsNumbersAndNotes) {
    const std::string unnamedBody = Base64Lines("no name here");
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"u\"\r\n"
                            "\r\n"
                            "--u\r\n"
                            "Content-Type: application/octet-stream\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "\r\n" +
                            unnamedBody +
                            "--u\r\n"
                            "Content-Type: text/plain; name=\"a.txt\"\r\n"
                            "\r\n"
                            "first a\r\n"
                            "--u\r\n"
                            "Content-Type: text/plain; name=\"a.txt\"\r\n"
                            "\r\n"
                            "second a\r\n"
                            "--u--\r\n";
    // Unnamed base64 stays in the message; a second part of one name gets
    // a name of its own.
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Mail(),
              kHeaderOut + unnamedBody + Note(AttPath("a.txt")) + Note(AttPath("a (2).txt")));
    EXPECT_EQ(Saved("a.txt"), "first a");
    EXPECT_EQ(Saved("a (2).txt"), "second a");
    EXPECT_EQ(SavedNames(), "a.txt,a (2).txt");
    EXPECT_EQ(vokStatistics(0, 22), 2);

    // Saved unnamed, numbered from the channel's count, notes hidden, and
    // the names joined by another delimiter.
    vokIntegerParam(0, VOK_SAVE_UNNAMED, 1);
    vokIntegerParam(0, VOK_NUMBER_ATTACHMENTS, 1);
    vokIntegerParam(0, VOK_HIDE_ATTACH_NOTE, 1);
    vokIntegerParam(0, VOK_ATTACH_DELIMITER, ';');
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("3-incoming.mai"), "no name here");
    EXPECT_EQ(Saved("4-a.txt"), "first a");
    EXPECT_EQ(Saved("5-a.txt"), "second a");
    EXPECT_EQ(SavedNames(), "3-incoming.mai;4-a.txt;5-a.txt");
    EXPECT_EQ(Mail(), kHeaderOut);
    EXPECT_TRUE(Contains(Log(), Note(AttPath("5-a.txt"))));

    // A single-part base64 body is "noname".
    ASSERT_EQ(
        Fetch("MIME-Version: 1.0\r\nContent-Transfer-Encoding: base64\r\n\r\n" + unnamedBody, att),
        0);
    EXPECT_EQ(Saved("6-noname"), "no name here");
}

TEST_F(Decoder, Base64OfAnyLineLength) {
    // Lines that split the 4-character groups, and stray white space.
    const std::string data = Binary(1000, 5);
    std::string lines = Base64Lines(data, 70);
    lines.insert(lines.find("\r\n") + 2, " \t");
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"z\"\r\n"
                            "\r\n"
                            "--z\r\n"
                            "Content-Type: application/octet-stream; name=\"odd.bin\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "\r\n" +
                            lines + "--z--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Saved("odd.bin"), data);
}

TEST_F(Decoder, LinesLongerThanOneReadKeepTheirDots) {
    // A line longer than one read arrives in pieces; a piece that does not
    // start a line is neither the end of the message nor byte-stuffed.
    const std::string msg =
        "Subject: long lines\r\n"
        "X-Long: " +
        std::string(1500, 'h') +
        "\r\n"
        "\r\n" +
        std::string(1023, 'a') + ".\r\n" + std::string(1023, 'b') + ".c..\r\n" +
        std::string(2046, 'd') + "..\r\n" + "end\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    EXPECT_EQ(Mail(), msg);
}

TEST_F(Decoder, NestingBeyondTheStackStaysInTheMessage) {
    std::string msg =
        std::string(kHeader) + "Content-Type: multipart/mixed; boundary=\"L0\"\r\n\r\n";
    const int depth = kMimeDepth + 2;
    for (int i = 0; i < depth; ++i) {
        msg += "--L" + std::to_string(i) + "\r\n";
        msg += "Content-Type: multipart/mixed; boundary=\"L" + std::to_string(i + 1) + "\"\r\n\r\n";
    }
    msg += "--L" + std::to_string(depth) +
           "\r\nContent-Type: text/plain; name=\"deep.txt\"\r\n\r\ndeep\r\n";
    for (int i = depth; i >= 1; --i) msg += "--L" + std::to_string(i) + "--\r\n";
    msg += "--L0\r\nContent-Type: text/plain; name=\"last.txt\"\r\n\r\nlast\r\n--L0--\r\n";
    ASSERT_EQ(Fetch(msg, att), 0);
    // The parts of the multipart too deep to follow are text of the message.
    EXPECT_FALSE(Exists(att + "/deep.txt"));
    EXPECT_TRUE(Contains(Mail(), "name=\"deep.txt\"\r\n\r\ndeep\r\n"));
    EXPECT_EQ(Saved("last.txt"), "last");
}

// Hostile input, offline: random lines built from the pieces real messages
// are made of (boundaries, folded parameters, encoded words, names with
// separators, stray bytes and NULs, overlong lines) go straight into the
// decoder. The sanitizer build checks every access; here the fields must
// stay terminated inside their bounds.
TEST_F(Decoder, RandomLinesStayInBounds) {
    Channel* ch = Ch();
    std::mt19937 rng(20261208);
    auto pick = [&](std::initializer_list<std::string> list) {
        return list.begin()[rng() % list.size()];
    };
    auto noise = [&](size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i) out += static_cast<char>(rng() % 256);
        return out;
    };
    CopyText(ch->AttachDir, att.c_str(), kPathChars + 1);
    for (int message = 0; message < 200; ++message) {
        ch->MailHandle = plat::FileCreate(dir.file("fuzz.txt").c_str());
        ASSERT_GT(ch->MailHandle, 0);
        ASSERT_EQ(StartDownload(ch), 0);
        ch->SaveUnnamed = static_cast<int32_t>(rng() % 2);
        ch->NumberAttachments = static_cast<int32_t>(rng() % 2);
        for (int i = 0; i < 80; ++i) {
            std::string line;
            switch (rng() % 12) {
                case 0:
                    line = "MIME-Version: 1.0";
                    break;
                case 1:
                    line = "Content-Type: multipart/" + pick({"mixed", "alternative", "related"}) +
                           "; boundary=" +
                           pick({"\"b\"", "b", "\"\"", "\"b", "=", "\"" + noise(3) + "\""});
                    break;
                case 2:
                    line = "--" + pick({"b", "B--", "b-", "c", ""});
                    break;
                case 3:
                    line = pick({"Content-Disposition: ", "Content-Type: x/y; "}) +
                           pick({"inline", "attachment;", "inline;"}) + " filename=" +
                           pick({"\"a.txt\"", "..", "\"../", "\"=?iso-8859-1?b?Li4=?=\"",
                                 "=?iso-8859-1?q?", "\"" + std::string(300, 'n') + "\"",
                                 "\"C:\\\\x\""});
                    break;
                case 4:
                    line = "Content-Transfer-Encoding: " +
                           pick({"base64", "quoted-printable", "7bit", "8bit"});
                    break;
                case 5:
                    line = pick({"Subject: ", "From: "}) +
                           pick({"=?iso-8859-1?q?", "=?iso-8859-1?b?", "=?ISO-8859-1?X?"}) +
                           noise(rng() % 40) + pick({"?=", "", "?"}) + noise(rng() % 5);
                    break;
                case 6:
                    line = "Content-Type: message/rfc822";
                    break;
                case 7:
                    line = "";
                    break;
                case 8:
                    line = noise(rng() % 1100);
                    break;
                case 9:
                    line = std::string(rng() % 1100, pick({"A", "=", "-", "."})[0]);
                    break;
                case 10:
                    line = "YWJj" + noise(rng() % 8) + "==";
                    break;
                default:
                    line = "\t" + noise(rng() % 30) + ";";
                    break;
            }
            if (rng() % 8) line += "\r\n";
            if (line.size() > 1023) line.resize(1023);
            int rc = DownloadPiece(ch, line.data(), static_cast<int32_t>(line.size()));
            ASSERT_TRUE(rc == 0 || rc == VOK_CANNOT_CREATE_FILE) << rc;
            ASSERT_LE(ch->Mime.Stack.Depth, kMimeDepth);
            ASSERT_LT(strlen(ch->SavedNames), static_cast<size_t>(kSavedNamesChars));
        }
        EndDownload(ch, rng() % 2 == 0);
    }
    // Nothing was written outside the attachment folder.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "att" || entry.path().filename() == "fuzz.txt" ||
                    entry.path().filename() == "chan0.log")
            << entry.path();
}

TEST_F(Decoder, CloseCutsOffAnAttachmentBeingWritten) {
    const std::string msg = std::string(kHeader) +
                            "Content-Type: multipart/mixed; boundary=\"c\"\r\n"
                            "\r\n"
                            "--c\r\n"
                            "Content-Type: text/plain; name=\"half.txt\"\r\n"
                            "\r\n"
                            "first half\r\n";
    ScriptServer srv;
    Login(srv).Expect("RETR 1\r\n").Send("+OK\r\n" + msg).Expect("QUIT\r\n").Send("+OK bye\r\n");
    ASSERT_EQ(Connect(srv), 0);
    vokIntegerParam(0, VOK_AUTO_CALL, 0);
    ASSERT_EQ(vokGetEmailFile(0, 1, "mail.txt", dir.path().c_str(), att.c_str()), 0);
    vok::LibrarySettings.ReadWait = 20;
    for (int i = 0; i < 2000 && vokStatistics(0, 11) == 0; ++i) {
        ASSERT_GT(vokDriver(0), 0);
        plat::SleepMs(1);
    }
    vokIntegerParam(0, VOK_AUTO_CALL, 1);
    EXPECT_EQ(vokClose(0), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    // Cut off: kept under the temporary name, not noted, not counted.
    EXPECT_FALSE(Exists(att + "/half.txt"));
    EXPECT_EQ(Saved("half.txt.part"), "first half\r\n");
    EXPECT_EQ(Mail(), kHeaderOut);
    EXPECT_EQ(vokStatistics(0, 22), 0);
}

}  // namespace
