// SPDX-License-Identifier: MIT
// Body lines of outgoing messages and the Date line.
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "codec/date.h"
#include "frame/channel.h"
#include "frame/settings.h"
#include "helpers.h"
#include "platform/platform.h"
#include "smtp/bodylines.h"

using namespace vok;
using vok_test::TempDir;
using vok_test::WriteFile;

namespace {

class BodyLines : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = LibrarySettings; }
    void TearDown() override {
        LibrarySettings = saved_;
        if (file_ > 0) plat::FileClose(file_);
    }

    // Starts a body held in memory, as the sender does before its first line.
    void FromMemory(const std::string& text, int format) {
        body_ = text;
        ResetTextReader(ch_.get());
        ch_->BodyFormat = format;
        ch_->TextFromMemory = 1;
        ch_->MessageText = body_.c_str();
    }

    void FromFile(const std::string& bytes, int format) {
        // Windows cannot rewrite a file that is still open.
        if (file_ > 0) plat::FileClose(file_);
        WriteFile(dir_.file("body.txt"), bytes);
        file_ = plat::FileOpenRead(dir_.file("body.txt").c_str());
        ASSERT_GT(file_, 0);
        ResetTextReader(ch_.get());
        ch_->BodyFormat = format;
        ch_->TextFromMemory = 0;
        ch_->FileHandle = file_;
    }

    // Every line up to the end mark, checking that each returned length is
    // the length of the text built.
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        for (int guard = 0; guard < 100000; ++guard) {
            memset(out_, '#', sizeof out_);
            int n = ReadTextLine(ch_.get(), out_);
            if (n < 0) return lines;
            EXPECT_EQ(static_cast<size_t>(n), strlen(out_));
            EXPECT_LE(n, 1000);
            lines.emplace_back(out_, static_cast<size_t>(n));
        }
        ADD_FAILURE() << "body never ended";
        return lines;
    }

    using L = std::vector<std::string>;
    std::unique_ptr<Channel> ch_ = std::make_unique<Channel>();
    std::string body_;
    char out_[kLineChars + 2];
    Settings saved_;
    TempDir dir_;
    plat::FileHandle file_ = 0;
};

// --- Dots -----------------------------------------------------------------------

TEST_F(BodyLines, EveryLeadingDotIsDoubled) {
    for (int format : {0, 1, 2}) {
        FromMemory(".\r\n.profile\r\na.b\r\n..\r\n", format);
        EXPECT_EQ(Lines(), (L{"..", "..profile", "a.b", "..."})) << format;
    }
}

// --- Plain text -----------------------------------------------------------------

TEST_F(BodyLines, PlainWrapsAtTheHardLimit) {
    std::string x78(78, 'x');
    FromMemory(x78 + "\r\nnext\r\n", 0);
    EXPECT_EQ(Lines(), (L{x78, "", "next"}));

    std::string word(100, 'w');
    FromMemory(word, 0);
    EXPECT_EQ(Lines(), (L{word.substr(0, 78), word.substr(78)}));
}

TEST_F(BodyLines, PlainBreaksAtABlankFromTheSoftLimitOn) {
    std::string x60(60, 'x');
    // A blank that is the 61st character keeps its place at the line end.
    FromMemory(x60 + " \r\n", 0);
    EXPECT_EQ(Lines(), (L{x60 + " ", ""}));
    FromMemory(x60 + " rest of it\r\n", 0);
    EXPECT_EQ(Lines(), (L{x60 + " ", "rest of it"}));
    // Blanks before column 61 do not break.
    FromMemory(std::string(59, 'y') + " z\r\n", 0);
    EXPECT_EQ(Lines(), (L{std::string(59, 'y') + " z"}));
    // Nor does a tab, which is masked anyway.
    FromMemory(x60 + "\tz\r\n", 0);
    EXPECT_EQ(Lines(), (L{x60 + "~z"}));
}

TEST_F(BodyLines, PlainMasksUnprintablesUnlessPass8Bit) {
    const std::string text =
        "a\tb\xE9"
        "c\x7f"
        "d\x01\r\n";
    FromMemory(text, 0);
    EXPECT_EQ(Lines(), (L{"a~b~c~d~"}));
    FromMemory(text, 2);
    EXPECT_EQ(Lines(), (L{"a~b~c~d~"}));
    LibrarySettings.Pass8Bit = 1;
    FromMemory(text, 0);
    EXPECT_EQ(Lines(), (L{"a\tb\xE9"
                          "c\x7f"
                          "d\x01"}));
}

TEST_F(BodyLines, HtmlIsNotWrappedBelow998) {
    std::string line = std::string(70, 'h') + " " + std::string(200, 'h');
    FromMemory(line + "\n<p>\n", 2);
    EXPECT_EQ(Lines(), (L{line, "<p>"}));
}

TEST_F(BodyLines, LongLinesBreakAt998) {
    std::string html(3000, 'h');
    FromMemory(html + "\r\nend\r\n", 2);
    L lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].size(), 998u);
    EXPECT_EQ(lines[2].size(), 998u);
    EXPECT_EQ(lines[3], std::string(6, 'h'));
    EXPECT_EQ(lines[4], "end");

    // A huge LineLength with Pass8Bit set is held to the same limit.
    LibrarySettings.Pass8Bit = 1;
    LibrarySettings.LineHard = 5000;
    LibrarySettings.LineSoft = 4982;
    FromMemory(std::string(2000, '\xff'), 0);
    EXPECT_EQ(Lines(), (L{std::string(998, '\xff'), std::string(998, '\xff'), "\xff\xff\xff\xff"}));
}

TEST_F(BodyLines, OddLineLengthSettingsStayInBounds) {
    const std::string text = "ab cd\r\n.e";
    for (int hard : {0, -1, INT_MIN}) {
        LibrarySettings.LineHard = hard;
        LibrarySettings.LineSoft = hard < -100 ? INT_MIN : hard - 18;
        FromMemory(text, 0);
        EXPECT_EQ(Lines(), (L{"a", "b", " ", "c", "d", "", "..", "e"})) << hard;
        FromMemory(text, 1);
        EXPECT_EQ(Lines(), (L{"a=", "b=", " =", "c=", "d=", "", "..=", "e="})) << hard;
    }
    for (int hard : {999, 100000, INT_MAX}) {
        LibrarySettings.LineHard = hard;
        LibrarySettings.LineSoft = hard - 18;
        FromMemory(std::string(5000, '\x01') + "\n" + std::string(5000, '.'), 1);
        for (const std::string& line : Lines()) EXPECT_LE(line.size(), 999u) << hard;
    }
}

// --- Quoted-printable -----------------------------------------------------------

TEST_F(BodyLines, QuotedEscapes) {
    FromMemory("a\tb\xE9=c ~\r\n", 1);
    EXPECT_EQ(Lines(), (L{"a=09b=E9=3Dc ~"}));
}

TEST_F(BodyLines, QuotedBlankAtTheLineEndIsEncoded) {
    FromMemory("end \r\nmid dle \t\nlast ", 1);
    EXPECT_EQ(Lines(), (L{"end=20", "mid dle =09", "last=20"}));
    // Next to the limit it still ends up encoded, the soft break behind it.
    std::string x75(75, 'x');
    FromMemory(x75 + " \r\n" + x75 + "y \r\n", 1);
    EXPECT_EQ(Lines(), (L{x75 + "=20=", "", x75 + "y =", ""}));
}

TEST_F(BodyLines, QuotedSoftBreaks) {
    std::string x77(77, 'x');
    FromMemory(x77 + "\r\nz\r\n", 4);
    EXPECT_EQ(Lines(), (L{x77 + "=", "", "z"}));

    // A '.' as the 78th character stays on the line, the break behind it.
    FromMemory(x77 + ".yyy\r\n", 3);
    EXPECT_EQ(Lines(), (L{x77 + ".=", "yyy"}));

    // An escape that starts at column 77 passes the limit: 80 in all.
    std::string x76(76, 'x');
    FromMemory(x76 +
                   "\xE9"
                   "tail\r\n",
               9);
    EXPECT_EQ(Lines(), (L{x76 + "=E9=", "tail"}));
}

TEST_F(BodyLines, QuotedRoundTripThroughTheDecoder) {
    // Every byte but NUL and CR, in lines of many lengths, across refills.
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        unsigned char c = static_cast<unsigned char>(1 + (i * 37 + i / 7) % 255);
        if (c == '\r') c = '.';
        body += static_cast<char>(c);
    }
    body += '\n';
    std::string expect;
    for (char c : body) expect += c == '\n' ? std::string("\r\n") : std::string(1, c);

    FromMemory(body, 1);
    std::string got;
    for (std::string line : Lines()) {
        EXPECT_LE(line.size(), 81u);
        if (line[0] == '.') line.erase(0, 1);  // as the server does
        line += "\r\n";
        std::vector<char> dec(line.size() + 1);
        int n = DecodeQuotedLine(line.c_str(), dec.data());
        got.append(dec.data(), static_cast<size_t>(n));
    }
    EXPECT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect);
    EXPECT_EQ(ch_->BodyBytesRead, 20001);
}

// --- Sources --------------------------------------------------------------------

TEST_F(BodyLines, EndsOfTheSource) {
    FromMemory("one\r\ntwo", 0);
    EXPECT_EQ(Lines(), (L{"one", "two"}));
    FromMemory("", 0);
    EXPECT_EQ(Lines(), L{});
    FromMemory("", 1);
    ch_->MessageText = nullptr;
    EXPECT_EQ(Lines(), L{});
    FromMemory("\r\n\r\n", 1);
    EXPECT_EQ(Lines(), (L{"", ""}));
}

// A NUL in a body file is a byte like any other: masked in plain text, the
// rest of the file still goes out.
TEST_F(BodyLines, FileBodyWithNul) {
    const std::string nul(1, '\0'), big(5000, 'b');
    FromFile("ab" + nul + "cd\r\n" + big + "\r\n" + nul + "ef\r\n", 2);
    L lines = Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "ab~cd");
    EXPECT_EQ(lines[1] + lines[2] + lines[3] + lines[4] + lines[5] + lines[6], big);
    EXPECT_EQ(lines[7], "~ef");
    EXPECT_EQ(ch_->BodyBytesRead, 5014);
    FromFile(nul + "x" + nul + "\r\n" + nul, 1);
    EXPECT_EQ(Lines(), (L{"=00x=00", "=00"}));
}

TEST_F(BodyLines, FileBodyMatchesTheMemoryBody) {
    std::string body;
    for (int i = 0; i < 300; ++i)
        body += std::string(static_cast<size_t>(i % 97), 'a' + i % 26) + "\r\n";
    FromMemory(body, 0);
    L fromMemory = Lines();
    FromFile(body, 0);
    EXPECT_EQ(Lines(), fromMemory);
    EXPECT_EQ(ch_->BodyBytesRead, static_cast<int32_t>(body.size()) * 2);
}

TEST_F(BodyLines, ResetDropsTheReadAheadByte) {
    FromMemory(std::string(77, 'x') + "Q", 1);
    ASSERT_EQ(ReadTextLine(ch_.get(), out_), 78);  // 'Q' was read ahead
    FromMemory("new\r\n", 1);
    EXPECT_EQ(Lines(), (L{"new"}));
}

// --- Date line ------------------------------------------------------------------

class DateLine : public ::testing::Test {
  protected:
    void TearDown() override { plat::SetLocalTimeOverride(nullptr); }
    std::string At(int offsetMinutes, int hour = 5, int minute = 1, int second = 52) {
        plat::LocalTime t{2026, 12, 7, 1, hour, minute, second, offsetMinutes};
        plat::SetLocalTimeOverride(&t);
        char out[64];
        memset(out, '#', sizeof out);
        FormatDateLine(out);
        return out;
    }
};

TEST_F(DateLine, Layout) {
    EXPECT_EQ(At(60), "Date: Mon, 7 Dec 2026 05:01:52 +0100");
    EXPECT_EQ(At(0, 23, 5, 7), "Date: Mon, 7 Dec 2026 23:05:07 +0000");
    EXPECT_EQ(At(0, 0, 0, 0), "Date: Mon, 7 Dec 2026 00:00:00 +0000");
    plat::LocalTime t{1999, 1, 31, 0, 12, 30, 59, -300};
    plat::SetLocalTimeOverride(&t);
    char out[64];
    FormatDateLine(out);
    EXPECT_STREQ(out, "Date: Sun, 31 Jan 1999 12:30:59 -0500");
}

TEST_F(DateLine, ZoneKeepsItsMinutes) {
    EXPECT_EQ(At(330).substr(31), "+0530");
    EXPECT_EQ(At(-210).substr(31), "-0330");
    EXPECT_EQ(At(345).substr(31), "+0545");
    EXPECT_EQ(At(-240).substr(31), "-0400");  // UTC-5 in daylight time
    EXPECT_EQ(At(780).substr(31), "+1300");
    EXPECT_EQ(At(-30).substr(31), "-0030");
}

TEST_F(DateLine, ZoneAndTablesNeverOverflow) {
    char zone[8];
    memset(zone, '#', sizeof zone);
    FormatZone(INT_MIN, zone);
    EXPECT_STREQ(zone, "-9959");
    EXPECT_EQ(zone[6], '#');
    FormatZone(INT_MAX, zone);
    EXPECT_STREQ(zone, "+9959");
    FormatZone(-1, zone);
    EXPECT_STREQ(zone, "-0001");

    plat::LocalTime t{INT_MIN, 13, INT_MAX, -1, INT_MIN, INT_MAX, -1, INT_MIN};
    plat::SetLocalTimeOverride(&t);
    char out[80];
    memset(out, '#', sizeof out);
    FormatDateLine(out);
    EXPECT_LT(strlen(out), 64u);
    EXPECT_EQ(out[64], '#');
}

}  // namespace
