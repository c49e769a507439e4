/* SPDX-License-Identifier: MIT */
// MD5 (RFC 1321) and HMAC-MD5 (RFC 2104), pure routines on caller storage.
// The login answers built on them (CRAM-MD5, APOP) live with their protocols.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vok {

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

// "user hexdigest", the answer of CRAM-MD5 (RFC 2195) and APOP (RFC 1939):
// at most userMax characters of user, a space and the 32 digits, then a NUL
// (out needs userMax + 34 bytes).
void FormatDigestAnswer(const char* user, int userMax, const uint8_t digest[16], char* out);

}  // namespace vok
