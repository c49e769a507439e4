// SPDX-License-Identifier: MIT
// Base64 and quoted-printable codecs, text extraction and the number parser.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "codec/text.h"
#include "helpers.h"

using namespace vok;

namespace {

std::string Encode(const std::string& in) {
    std::vector<char> out(4 * (in.size() / 3 + 1) + 2 * (in.size() / 57 + 1) + 1, '#');
    int n = vokEncodeBuffer(in.data(), out.data(), static_cast<int>(in.size()));
    return std::string(out.data(), static_cast<size_t>(n));
}

std::string Decode(const std::string& text) {
    std::vector<char> out(3 * (text.size() / 4) + 4, '#');
    int n = vokDecodeBuffer(text.data(), out.data(), static_cast<int>(text.size()));
    return std::string(out.data(), static_cast<size_t>(n));
}

// --- Base64 -------------------------------------------------------------------

TEST(Base64, Rfc4648Vectors) {
    const char* plain[] = {"f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* coded[] = {"Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Encode(plain[i]), std::string(coded[i]) + "\r\n") << plain[i];
        EXPECT_EQ(Decode(coded[i]), plain[i]) << coded[i];
    }
    EXPECT_EQ(Encode("abc"), "YWJj\r\n");
    EXPECT_EQ(Encode(std::string("\xfb\xff\xbf", 3)), "+/+/\r\n");
}

TEST(Base64, EncoderBreaksLinesAfter57Bytes) {
    char out[8] = "#######";
    EXPECT_EQ(vokEncodeBuffer("abc", out, 0), 0);
    EXPECT_EQ(vokEncodeBuffer("abc", out, -5), 0);
    EXPECT_STREQ(out, "#######");

    std::string in57(57, 'x');
    std::string line = Encode(in57);
    ASSERT_EQ(line.size(), 78u);
    EXPECT_EQ(line.substr(76), "\r\n");

    std::string two = Encode(in57 + "y");
    ASSERT_EQ(two.size(), 78u + 6u);
    EXPECT_EQ(two.substr(78), "eQ==\r\n");

    std::string in114(114, '\x80');
    std::string both = Encode(in114);
    EXPECT_EQ(both.size(), 156u);
    EXPECT_EQ(both.substr(0, 78), both.substr(78));
}

TEST(Base64, EncodeLineWritesNoNul) {
    char out[16];
    memset(out, '#', sizeof out);
    auto in = reinterpret_cast<const unsigned char*>("ab");
    EXPECT_EQ(EncodeBase64Line(in, out, 2), 4);
    EXPECT_EQ(std::string(out, 7), "YWI=\r\n#");
}

TEST(Base64, RoundTripOfEveryByteValueAndLength) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (size_t len = 0; len <= all.size(); len += 7) {
        std::string part = all.substr(0, len);
        EXPECT_EQ(Decode(Encode(part)), part) << len;
    }
}

TEST(Base64, DecoderClearsBytesBehindTheData) {
    char out[8];
    memset(out, '#', sizeof out);
    EXPECT_EQ(vokDecodeBuffer("YQ==", out, 4), 1);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(std::string(out + 1, 6), std::string(6, '\0'));
    EXPECT_EQ(out[7], '#');  // 3 * (4 / 4) + 4 bytes at most

    // Three characters: no whole group, four bytes cleared, nothing decoded.
    memset(out, '#', sizeof out);
    EXPECT_EQ(DecodeBase64Line("YWJ", reinterpret_cast<unsigned char*>(out), 3), 0);
    EXPECT_EQ(std::string(out, 5), std::string(4, '\0') + "#");
    // Two or fewer: untouched.
    memset(out, '#', sizeof out);
    EXPECT_EQ(DecodeBase64Line("YW", reinterpret_cast<unsigned char*>(out), 2), 0);
    EXPECT_EQ(out[0], '#');
}

TEST(Base64, DecoderSplitsAtCrOnly) {
    EXPECT_EQ(Decode("YWJj\r\nZGVm\r\n"), "abcdef");
    EXPECT_EQ(Decode("YWJj\rZGVm"), "abcdef");
    EXPECT_EQ(Decode("YWJj\r\n\r\n\n\rZGVm"), "abcdef");
    // A lone LF is part of the line: "YWJj\nZGVm" is two groups and one
    // character left over, the LF inside the second group.
    std::string odd = Decode("YWJj\nZGVm");
    ASSERT_EQ(odd.size(), 6u);
    EXPECT_EQ(odd.substr(0, 3), "abc");
    EXPECT_EQ(odd.substr(3), Decode("AZGV"));
    // '=' inside the text is value 0; only the last group's pads count.
    EXPECT_EQ(Decode("YQ==YWJj"), std::string("a\0\0abc", 6));
    EXPECT_EQ(Decode("YWJj\r\nYQ==\r\n"), "abca");
}

TEST(Base64, DecoderNulEndsTheCrSearch) {
    // A NUL before the first CR makes the whole rest one line.
    std::string text("YW\0j\r\nZGVm", 10);
    std::vector<char> out(3 * (10 / 4) + 4, '#');
    int n = vokDecodeBuffer(text.data(), out.data(), 10);
    EXPECT_EQ(n, 6);
}

TEST(Base64, DecoderStaysInsideItsBound) {
    // Hostile input: runs of CR between odd-length lines, junk bytes, pads.
    const char* texts[] = {"a\rb\rc\rd\re\rf\rg\rh\r",
                           "abc\rabc\rabc\rabc\r",
                           "====\r====\r==",
                           "\x80\xff\x01\x7f\r\n\xfe",
                           "ABC",
                           "ABCDE\r\nABCDEFG\rAB"};
    for (const char* t : texts) {
        int n = static_cast<int>(strlen(t));
        size_t bound = 3 * static_cast<size_t>(n / 4) + 4;
        std::vector<char> out(bound + 16, '#');
        int got = vokDecodeBuffer(t, out.data(), n);
        EXPECT_LE(static_cast<size_t>(got), 3 * static_cast<size_t>(n / 4)) << t;
        for (size_t i = bound; i < out.size(); ++i) ASSERT_EQ(out[i], '#') << t;
    }
    char out[4] = "##";
    EXPECT_EQ(vokDecodeBuffer(nullptr, out, 4), 0);
    EXPECT_EQ(vokDecodeBuffer("YWJj", out, 0), 0);
    EXPECT_EQ(vokDecodeBuffer("YWJj", out, -1), 0);
    EXPECT_STREQ(out, "##");
}

// --- Quoted-printable ---------------------------------------------------------

std::string Qp(const std::string& in) {
    std::vector<char> out(in.size() + 1 + 8, '#');
    int n = DecodeQuotedLine(in.c_str(), out.data());
    EXPECT_EQ(out[static_cast<size_t>(n)], '\0') << in;
    for (size_t i = in.size() + 1; i < out.size(); ++i) EXPECT_EQ(out[i], '#') << in;
    return std::string(out.data(), static_cast<size_t>(n));
}

TEST(QuotedPrintable, EscapesAndLineEnds) {
    EXPECT_EQ(Qp("caf=E9\r\n"), "caf\xE9\r\n");
    EXPECT_EQ(Qp("soft=\r\n"), "soft");
    EXPECT_EQ(Qp("soft=\r\nnever seen"), "soft");
    EXPECT_EQ(Qp("a=3Db=20c\tz_y"), "a=b c\tz_y");
    EXPECT_EQ(Qp("=00x"), std::string("\0x", 2));
    // Upper-case hex only: lower-case digits and junk count as 0.
    EXPECT_EQ(Qp("=3d"), "0");
    EXPECT_EQ(Qp("=zz"), std::string(1, '\0'));
}

TEST(QuotedPrintable, EncodedWordsAndQuotesStay) {
    EXPECT_EQ(Qp("a=?b"), "a=?b");
    EXPECT_EQ(Qp("x =?ISO-8859-1?Q?caf=E9?=?x"), "x =?ISO-8859-1?Q?caf\xE9?=?x");
    EXPECT_EQ(Qp("name=\"x=41.txt\""), "name=\"xA.txt\"");
}

TEST(QuotedPrintable, TruncatedEscapeEndsTheLine) {
    EXPECT_EQ(Qp("end="), "end");
    EXPECT_EQ(Qp("end=4"), "end");
    EXPECT_EQ(Qp("="), "");
    EXPECT_EQ(Qp(""), "");
    EXPECT_EQ(Qp("=\r"), "");
}

// --- Text extraction ----------------------------------------------------------

TEST(Extract, TextFromTheMatchToTheLineEnd) {
    const char* head = "From: a@b.c\r\nSubject: Hello!\r\nTo: d@e.f\r\n";
    char buf[64];
    EXPECT_EQ(vokExtractText(head, "subject:", buf, sizeof buf), 17);
    EXPECT_STREQ(buf, "Subject: Hello!\r\n");
    EXPECT_EQ(vokExtractText(head, "llo", buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "llo!\r\n");
    // The last character of the search text is not compared.
    EXPECT_EQ(vokExtractText(head, "SUBJECT#", buf, sizeof buf), 17);
    EXPECT_EQ(vokExtractText(head, "S", buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractText(head, "Cc:", buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractText(nullptr, "To:", buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractText(head, nullptr, buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractText(head, "To:", nullptr, 64), 0);
    EXPECT_EQ(vokExtractText("ab", "abc", buf, sizeof buf), 0);
    // Last line without LF: up to the NUL, the NUL copied.
    EXPECT_EQ(vokExtractText("x\nKey: v", "key:", buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "Key: v");
}

TEST(Extract, LineByNumber) {
    const char* text = "one\r\ntwo\nthree";
    char buf[64];
    EXPECT_EQ(vokExtractLine(text, 1, buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "one\r\n");
    EXPECT_EQ(vokExtractLine(text, 0, buf, sizeof buf), 5);
    EXPECT_EQ(vokExtractLine(text, -7, buf, sizeof buf), 5);
    EXPECT_EQ(vokExtractLine(text, 2, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "two\n");
    EXPECT_EQ(vokExtractLine(text, 3, buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "three");
    EXPECT_EQ(vokExtractLine(text, 4, buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractLine("a\nb\nc\n", 4, buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractLine(text, 0x7fffffff, buf, sizeof buf), 0);
    EXPECT_EQ(vokExtractLine(nullptr, 1, buf, sizeof buf), 0);
}

TEST(Extract, LineThatDoesNotFit) {
    const std::string twenty(20, 'x');
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(vokExtractLine((twenty + "\n").c_str(), 1, buf, 10), 0);
    EXPECT_EQ(vokExtractText(("ab" + twenty).c_str(), "abx", buf, 10), 0);
    // Never left unterminated, never written past size.
    EXPECT_EQ(strlen(buf), 9u);
    EXPECT_EQ(buf[10], '#');

    // Exactly fitting: "abc\n" needs 5 bytes, "abc" at the end of the text 4.
    EXPECT_EQ(vokExtractLine("abc\nz", 1, buf, 5), 4);
    EXPECT_EQ(vokExtractLine("abc\nz", 1, buf, 4), 0);
    EXPECT_EQ(vokExtractLine("abc", 1, buf, 4), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(vokExtractLine("abc", 1, buf, 3), 0);
    EXPECT_STREQ(buf, "ab");

    memset(buf, '#', sizeof buf);
    EXPECT_EQ(vokExtractLine("abc", 1, buf, 0), 0);
    EXPECT_EQ(vokExtractLine("abc", 1, buf, -3), 0);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(vokExtractLine("abc", 1, buf, 1), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], '#');
}

// --- Number parsing -----------------------------------------------------------

TEST(ParseDecimal, SaturatesOnTenDigits) {
    EXPECT_EQ(ParseDecimal("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseDecimal("2147483648"), INT32_MAX);
    EXPECT_EQ(ParseDecimal("9999999999"), INT32_MAX);
    // At most ten digits are read.
    EXPECT_EQ(ParseDecimal("12345678901"), 1234567890);
    EXPECT_EQ(ParseDecimal("00000000012"), 1);
    EXPECT_EQ(ParseDecimal("1234567890"), 1234567890);
    EXPECT_EQ(ParseDecimal("42 rest"), 42);
    EXPECT_EQ(ParseDecimal("-5"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal(nullptr), 0);
}

}  // namespace
