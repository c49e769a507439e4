/* SPDX-License-Identifier: MIT */
// Body lines of outgoing messages.
#pragma once

namespace vok {

struct Channel;

// Resets the body reader before a new body (TextEnd, TextPos, TextLimit and
// the read-ahead byte Lookahead).
void ResetTextReader(Channel* ch);

// Next byte of the body source (0..255; a NUL byte in a body file is a byte
// like any other), -1 at its end. Reads MessageText (TextFromMemory 1) or FileHandle in blocks
// of up to 2048 bytes and counts them in BodyBytesRead.
int ReadTextByte(Channel* ch);

// Builds the next line to send (no line end, NUL-terminated) into out (which
// has kLineChars + 2 bytes; a line never takes more than 1000 of them).
// BodyFormat 0 wraps plain text at the LineLength limits, 2 (HTML) only at
// 998 characters, every other format (and any format while BodyQuoted is
// set) writes quoted-printable with soft breaks. A line that begins with '.' comes out with one
// more '.' in front (SMTP transparency), and the length returned counts it: it is always the number
// of characters in out. -1 when the body is over.
int ReadTextLine(Channel* ch, char* out);

}  // namespace vok
