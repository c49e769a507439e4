// Base64 and quoted-printable, line by line, on caller storage.
#pragma once

#include <cstdint>

namespace vok {

// Encodes n input bytes (1 to 57) as one base64 line followed by CR LF (no
// NUL). Returns the number of base64 characters, CR LF not counted.
int EncodeBase64Line(const unsigned char* input, char* output, int n);

// Decodes the first len characters of text. The output needs
// 3 * (len / 4) + 4 bytes. Returns the number of bytes produced.
int DecodeBase64Line(const char* text, unsigned char* output, int len);

// Decodes one NUL-terminated quoted-printable line and terminates the output
// (which needs strlen(text) + 1 bytes). Returns the bytes produced.
int DecodeQuotedLine(const char* text, char* output);

// Copies one line (through its LF) of source into buffer; see vokExtractLine.
int CopyOneLine(const char* source, char* buffer, int size);

}  // namespace vok
