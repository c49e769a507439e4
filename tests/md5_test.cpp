// SPDX-License-Identifier: MIT
// MD5, HMAC-MD5 and the CRAM-MD5 and APOP answers.
#include <cstring>
#include <memory>
#include <string>

#include "codec/md5.h"
#include "frame/channel.h"
#include "helpers.h"
#include "pop3/pop3.h"
#include "smtp/smtp.h"

using namespace vok;

namespace {

std::string Hex(const uint8_t digest[16]) {
    char out[33];
    DigestToHex(digest, out);
    return out;
}

std::string Md5Hex(const std::string& data) {
    Md5 md;
    md.Update(data.data(), data.size());
    uint8_t digest[16];
    md.Final(digest);
    return Hex(digest);
}

std::string HmacHex(const std::string& text, const std::string& key) {
    uint8_t digest[16];
    HmacMd5(text.c_str(), key.c_str(), digest);
    return Hex(digest);
}

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890"
                     "1234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecewiseUpdatesAcrossBlockEdges) {
    // A million 'a's fed in uneven pieces crosses every buffer position.
    Md5 md;
    std::string chunk(997, 'a');
    size_t left = 1000000;
    for (size_t piece = 1; left > 0; piece = piece % 997 + 1) {
        size_t n = piece < left ? piece : left;
        md.Update(chunk.data(), n);
        left -= n;
    }
    uint8_t digest[16];
    md.Final(digest);
    EXPECT_EQ(Hex(digest), "7707d6ae4e027c70eea2a935c2296f21");
    // Final starts afresh.
    md.Final(digest);
    EXPECT_EQ(Hex(digest), "d41d8cd98f00b204e9800998ecf8427e");
    // 55, 56 and 64 bytes put the length into the same or the next block.
    EXPECT_EQ(Md5Hex(std::string(55, 'x')), "04364420e25c512fd958a70738aa8f72");
    EXPECT_EQ(Md5Hex(std::string(56, 'x')), "668a72d5ba17f08e62dabcafad6db14b");
    EXPECT_EQ(Md5Hex(std::string(64, 'x')), "c1bb4f81d892b2d57947682aeb252456");
}

TEST(HmacMd5, Rfc2104Vectors) {
    EXPECT_EQ(HmacHex("Hi There", std::string(16, '\x0b')), "9294727a3638bb1c13f48ef8158bfc9d");
    EXPECT_EQ(HmacHex("what do ya want for nothing?", "Jefe"), "750c783e6ab0b503eaa86e310a5db738");
    EXPECT_EQ(HmacHex(std::string(50, '\xdd'), std::string(16, '\xaa')),
              "56be34521d144c88dbb8c733f0e8b3f6");
    // RFC 2202: keys longer than a block.
    EXPECT_EQ(
        HmacHex("Test Using Larger Than Block-Size Key - Hash Key First", std::string(80, '\xaa')),
        "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
}

TEST(HmacMd5, KeyOf64BytesIsUsedAsItIsAndOf65IsHashed) {
    EXPECT_EQ(HmacHex("data", std::string(64, 'k')), "e0525f930df7e5415f8beed9da4e1f3c");
    EXPECT_EQ(HmacHex("data", std::string(65, 'k')), "b7d1158ae12147f7faa37bc828cc7321");
    EXPECT_EQ(HmacHex("data", std::string(65, 'k')),
              HmacHex("data",
                      "\xae\xdb\xc3"
                      "0\xec\x13[\xf7\x9f\x8a\x19\x88\xa8\xcf\x95"
                      "1"));
}

TEST(HmacMd5, ChallengeEndsAtItsFirstCr) {
    char text[] = "<1896.697170952@postoffice.reston.mci.net>\r\nrest";
    uint8_t digest[16];
    HmacMd5(text, "tanstaaftanstaaf", digest);
    EXPECT_EQ(Hex(digest), "b913a602c7eda7a495b4e6e7334d3890");
    EXPECT_STREQ(text, "<1896.697170952@postoffice.reston.mci.net>\r\nrest");
    EXPECT_EQ(HmacHex("\rabc", "k"), HmacHex("", "k"));
    // Null text and key count as empty.
    HmacMd5(nullptr, nullptr, digest);
    EXPECT_EQ(Hex(digest), HmacHex("", ""));
}

TEST(DigestToHex, LowerCaseForEveryByte) {
    for (int base = 0; base < 256; base += 16) {
        uint8_t digest[16];
        for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(base + i);
        char out[34];
        memset(out, '#', sizeof out);
        DigestToHex(digest, out);
        EXPECT_EQ(out[32], '\0');
        EXPECT_EQ(out[33], '#');
        for (int i = 0; i < 16; ++i) {
            char want[8];
            snprintf(want, sizeof want, "%02x", base + i);
            EXPECT_EQ(std::string(out + 2 * i, 2), want);
        }
    }
}

class Answers : public ::testing::Test {
  protected:
    std::unique_ptr<Channel> ch = std::make_unique<Channel>();
};

TEST_F(Answers, CramMd5Rfc2195Example) {
    strcpy(ch->UserName, "tim");
    strcpy(ch->SmtpPassword, "tanstaaftanstaaf");
    strcpy(ch->AuthBuffer, "<1896.697170952@postoffice.reston.mci.net>\r\ngarbage");
    BuildCramMd5Response(ch.get());
    EXPECT_STREQ(ch->AuthBuffer, "tim b913a602c7eda7a495b4e6e7334d3890");
}

TEST_F(Answers, CramMd5WithEmptyUserAndFullBuffers) {
    strcpy(ch->SmtpPassword, "secret");
    memset(ch->AuthBuffer, 'x', sizeof ch->AuthBuffer);  // no terminator at all
    BuildCramMd5Response(ch.get());
    EXPECT_EQ(std::string(ch->AuthBuffer),
              " " + HmacHex(std::string(sizeof ch->AuthBuffer, 'x'), "secret"));

    // Longest user name and password the fields hold.
    memset(ch->UserName, 'u', kUserChars);
    memset(ch->SmtpPassword, 'p', kUserChars);
    strcpy(ch->AuthBuffer, "<a@b>");
    BuildCramMd5Response(ch.get());
    EXPECT_EQ(std::string(ch->AuthBuffer),
              std::string(kUserChars, 'u') + " 2b96d91358674f6fcc299ff40b35b365");
}

TEST_F(Answers, ApopRfc1939Example) {
    strcpy(ch->UserName, "mrose");
    strcpy(ch->AuthBuffer, "<1896.697170952@dbc.mtview.ca.us>tanstaaf");
    BuildApopResponse(ch.get());
    EXPECT_STREQ(ch->AuthBuffer, "mrose c4c9334bac560ecc979e58001b3e22fb");

    // The whole string counts, a 64-character password included.
    strcpy(ch->UserName, "u");
    strcpy(ch->AuthBuffer, ("<t>" + std::string(64, 'q')).c_str());
    BuildApopResponse(ch.get());
    EXPECT_STREQ(ch->AuthBuffer, "u fb79139ce628ca363567f57257ce5061");
}

}  // namespace
