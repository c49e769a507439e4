/* SPDX-License-Identifier: MIT */
// MD5 (RFC 1321), HMAC-MD5 (RFC 2104) and the two challenge-response answers
// built on them: AUTH CRAM-MD5 (RFC 2195) and POP3 APOP (RFC 1939).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vok {

struct Channel;

// Final writes the digest and starts the context afresh.
class Md5 {
  public:
    Md5();
    void Update(const void* data, size_t length);
    void Final(uint8_t digest[16]);

  private:
    uint32_t state_[4];
    uint32_t count_[2];  // bit count, low word first
    uint8_t buffer_[64];
};

// HMAC-MD5 of text (up to its first CR, or its NUL) under key; a key longer
// than 64 bytes is replaced by its MD5 digest. Null counts as empty.
void HmacMd5(const char* text, const char* key, uint8_t digest[16]);

// 32 lower-case hex digits and a NUL (out needs 33 bytes).
void DigestToHex(const uint8_t digest[16], char* out);

// Replace the challenge / timestamp+password in AuthBuffer by the answer
// "user hexdigest". The CRAM-MD5 challenge is digested up to its first CR and
// keyed with SmtpPassword; the APOP string is digested whole. Neither reads
// or writes past AuthBuffer, whatever it holds.
void BuildCramMd5Response(Channel* ch);
void BuildApopResponse(Channel* ch);

}  // namespace vok
