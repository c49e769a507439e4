// MD5 (RFC 1321), HMAC-MD5 (RFC 2104) and the two challenge-response answers
// built on them: AUTH CRAM-MD5 (RFC 2195) and POP3 APOP (RFC 1939).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vok {

struct Channel;

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

// HMAC-MD5 of text (up to its first CR, the caller's buffer left unchanged)
// under key.
void HmacMd5(char* text, const char* key, uint8_t digest[16]);

// 32 lower-case hex digits and a NUL (out needs 33 bytes).
void DigestToHex(const uint8_t digest[16], char* out);

// Replace the challenge / timestamp+password in AuthBuffer by the answer
// "user hexdigest".
void BuildCramMd5Response(Channel* ch);
void BuildApopResponse(Channel* ch);

}  // namespace vok
