// Body lines of outgoing messages and the Date header line.
#pragma once

namespace vok {

struct Channel;

// "Date: Mon, 7 Dec 2026 5:01:52 +0100" from the local clock and zone.
// out needs 64 bytes.
void FormatDateLine(char* out);

// Sign and four digits of a zone offset given in minutes east of UTC
// ("+0530"); out needs 6 bytes.
void FormatZone(int offsetMinutes, char* out);

// Resets the body reader before a new body (TextEnd, TextPos, TextLimit).
void ResetTextReader(Channel* ch);

// Next byte of the body source (1..255); 0 at its end.
int ReadTextByte(Channel* ch);

// Builds the next line to send (no line end, NUL-terminated) into out (which
// has kLineChars + 2 bytes). Returns its length, or -1 when the body is over.
int ReadTextLine(Channel* ch, char* out);

}  // namespace vok
