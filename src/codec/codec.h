/* SPDX-License-Identifier: MIT */
// Base64 and quoted-printable, line by line, on caller storage.
#pragma once

#include <cstdint>

namespace vok {

// "0123456789ABCDEF": the digits of quoted-printable escapes, which RFC 2045
// section 6.7 wants in upper case.
extern const char kHexUpper[17];

// Encodes n input bytes (1 to 57) as one base64 line followed by CR LF (no
// NUL). Returns the number of base64 characters, CR LF not counted.
int EncodeBase64Line(const unsigned char* input, char* output, int n);

// Decodes the first len characters of text. The output needs
// 3 * (len / 4) + 4 bytes: the four bytes behind the data are cleared (none
// at all when len <= 2). Characters outside the alphabet, '=' included, count
// as 0; 1 to 3 characters after the last whole group are ignored. Returns the
// number of bytes produced, less one for each '=' among the last two
// characters of the last group.
int DecodeBase64Line(const char* text, unsigned char* output, int len);

// Decodes one NUL-terminated quoted-printable line and terminates the output
// (which needs strlen(text) + 1 bytes). "=" before CR is a soft line break
// that ends the output; "=?" and "=\"" stay as they are; a CR LF without "="
// is kept. Returns the bytes produced, the NUL not counted.
int DecodeQuotedLine(const char* text, char* output);

// Copies one line of source, through its LF, into buffer (size bytes, the
// NUL included) and returns its length. A last line without LF is copied up
// to the NUL. 0 when the line does not fit; the buffer then holds its first
// size - 1 characters, terminated.
int CopyOneLine(const char* source, char* buffer, int size);

}  // namespace vok
