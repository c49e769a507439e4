// SPDX-License-Identifier: MIT
// The body reader that turns a message body, held in memory or in a file,
// into lines ready to go out after DATA.
#include "smtp/bodylines.h"

#include <cstring>

#include "codec/codec.h"
#include "frame/channel.h"
#include "frame/settings.h"
#include "platform/platform.h"

namespace vok {

namespace {

// RFC 5322 section 2.1.1: a line holds at most 998 characters before its
// CR LF, whatever the LineLength setting says.
constexpr int kMaxLineChars = 998;
// A quoted-printable line can pass its limit by two (an escape that starts
// one short of it, then the soft break), so its limit stays two lower.
constexpr int kMaxQuotedLimit = kMaxLineChars - 2;
constexpr int kBlockBytes = kLineChars;  // TextBuffer holds kLineChars + 2

inline int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// The LineLength setting is stored unchecked; 0, negative or huge values
// still give lines of 1 to 998 characters.
int HardLimit() {
    return Clamp(LibrarySettings.LineHard, 1, kMaxLineChars);
}

}  // namespace

void ResetTextReader(Channel* ch) {
    if (!ch) return;
    ch->TextEnd = 0;
    ch->TextPos = 0;
    ch->TextLimit = 0;
    // A body abandoned half way must not hand its read-ahead byte to the next.
    ch->Lookahead = 0;
}

namespace {

// The body reader proper; refillMark is the hard line limit, read once per
// line by the line builder. -1 at the end of the source.
int NextByte(Channel* ch, int refillMark) {
    char* const buffer = ch->TextBuffer;
    int pos = ch->TextPos;
    int limit = ch->TextLimit;
    // Fast path: plenty left in the block.
    if (pos >= 0 && pos < limit && limit <= kBlockBytes && limit - pos > refillMark) {
        ch->TextPos = pos + 1;
        return static_cast<unsigned char>(buffer[pos]);
    }
    limit = Clamp(limit, 0, kBlockBytes);
    pos = Clamp(pos, 0, limit);

    // Refill while a whole line's worth is still unread, so that the line
    // builder never runs dry in the middle of a line.
    if (!ch->TextEnd && limit - pos <= refillMark) {
        const int unread = limit - pos;
        memmove(buffer, buffer + pos, static_cast<size_t>(unread));
        pos = 0;
        const int room = kBlockBytes - unread;
        int got = 0;
        if (ch->TextFromMemory) {
            if (const char* text = ch->MessageText) {
                // The text's NUL ends the supply.
                const void* nul = memchr(text, '\0', static_cast<size_t>(room));
                got = nul ? static_cast<int>(static_cast<const char*>(nul) - text) : room;
                memcpy(buffer + unread, text, static_cast<size_t>(got));
                ch->MessageText = text + got;
            }
        } else {
            got = plat::FileRead(ch->FileHandle, buffer + unread, static_cast<uint32_t>(room));
            if (got < 0) got = 0;  // a read error ends the body like its end
        }
        if (got <= 0) ch->TextEnd = 1;
        ch->BodyBytesRead = static_cast<int32_t>(static_cast<uint32_t>(ch->BodyBytesRead) +
                                                 static_cast<uint32_t>(got));
        limit = unread + got;
    }

    int result = -1;
    if (pos < limit) result = static_cast<unsigned char>(buffer[pos++]);
    ch->TextPos = pos;
    ch->TextLimit = limit;
    return result;
}

}  // namespace

int ReadTextByte(Channel* ch) {
    return ch ? NextByte(ch, HardLimit()) : -1;
}

int ReadTextLine(Channel* ch, char* out) {
    if (!ch || !out) return -1;
    const bool quoted = ch->BodyQuoted || (ch->BodyFormat != 0 && ch->BodyFormat != 2);
    const bool wrap = ch->BodyFormat == 0 && !quoted;
    const bool pass8 = LibrarySettings.Pass8Bit != 0;
    // HTML is never wrapped, but it still breaks at the 998-character limit.
    const int hard = quoted ? (HardLimit() < kMaxQuotedLimit ? HardLimit() : kMaxQuotedLimit)
                            : (wrap ? HardLimit() : kMaxLineChars);
    const int soft = LibrarySettings.LineSoft;
    const int refillMark = HardLimit();

    int taken = 0;
    int len = 0;
    for (;;) {
        int c;
        if (ch->Lookahead) {
            c = ch->Lookahead - 1;
            ch->Lookahead = 0;
        } else {
            c = NextByte(ch, refillMark);
        }
        if (c < 0) break;
        ++taken;
        if (c == '\r') continue;
        if (c == '\n') break;

        if (!quoted) {
            // A NUL never goes out, not even with Pass8Bit: SMTP data may
            // not hold one (RFC 5321 section 4.5.2).
            out[len++] = ((pass8 && c != 0) || (c >= 32 && c <= 126)) ? static_cast<char>(c) : '~';
            if (len >= hard) break;
            if (wrap && c == ' ' && len >= soft) break;  // the blank ends the line
            continue;
        }

        // Quoted-printable, RFC 2045 section 6.7: printable characters but
        // '=' stand for themselves, everything else is "=XX".
        if (c >= 32 && c <= 126 && c != '=') {
            out[len++] = static_cast<char>(c);
        } else {
            out[len++] = '=';
            out[len++] = kHexUpper[c >> 4];
            out[len++] = kHexUpper[c & 15];
        }
        const int next = NextByte(ch, refillMark);
        ch->Lookahead = static_cast<int16_t>(next + 1);
        // A soft break one short of the limit waits for a '.', so that the
        // dot stays on this line rather than opening the next.
        bool softBreak = len >= hard || (len == hard - 1 && next != '.');
        if (c == ' ' && !softBreak && (next == '\r' || next == '\n' || next < 0)) {
            // Rule (3) of the same section: a blank that ends a line may be
            // stripped on the way, and decoders must strip it, so it goes
            // out encoded.
            out[len - 1] = '=';
            out[len++] = '2';
            out[len++] = '0';
            softBreak = len >= hard - 1;
        }
        if (softBreak) {
            out[len++] = '=';
            break;
        }
    }
    if (taken == 0) return -1;

    // RFC 5321 section 4.5.2: the server strips one leading dot from every
    // line, so every line that starts with one gets another in front; a lone
    // "." would otherwise end the data. The length counts the added dot.
    if (len > 0 && out[0] == '.') {
        memmove(out + 1, out, static_cast<size_t>(len));
        ++len;
    }
    out[len] = '\0';
    return len;
}

}  // namespace vok
