// SPDX-License-Identifier: MIT
// The line writer of message data and the text of header fields.
#include "smtp/header_text.h"

#include <cstdio>

#include "codec/codec.h"
#include "codec/text.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "smtp/smtp.h"

namespace vok {

namespace {

// RFC 2047 section 2: an encoded word is at most 75 characters long.
constexpr int kMaxWordChars = 75;
// Longer charset names are cut in encoded words, which must stay short.
constexpr int kMaxCharsetChars = 40;
// A run of text without a blank that cannot be folded: longer runs are
// encoded, so that no line of the field passes 998 characters.
constexpr int kLongestRun = 900;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsAlnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The characters that stand for themselves in a "Q" word anywhere, a phrase
// included (RFC 2047 section 5 (3)).
bool IsQSafe(unsigned char c) {
    return IsAlnum(c) || c == '!' || c == '*' || c == '+' || c == '-' || c == '/';
}

int QLength(unsigned char c) {
    return (IsQSafe(c) || c == ' ') ? 1 : 3;
}

// RFC 2231 section 7 attribute-char: a token character but '*', '\'' and
// '%'.
bool IsAttributeChar(unsigned char c) {
    if (IsAlnum(c)) return true;
    switch (c) {
        case '!':
        case '#':
        case '$':
        case '&':
        case '+':
        case '-':
        case '.':
        case '^':
        case '_':
        case '`':
        case '|':
        case '~':
            return true;
        default:
            return false;
    }
}

// Bytes in the character that begins at text (at most n): one, or a UTF-8
// lead byte and the continuation bytes that follow it.
int UnitLength(const unsigned char* text, int n, bool utf8) {
    if (!utf8 || text[0] < 0xC0) return 1;
    const int want = text[0] >= 0xF0 ? 4 : (text[0] >= 0xE0 ? 3 : 2);
    int len = 1;
    while (len < want && len < n && (text[len] & 0xC0) == 0x80) ++len;
    return len;
}

// What a header field cannot carry as it is: bytes of 128 or more, control
// characters but the tab, and runs too long to fold.
bool NeedsEncoding(const char* text) {
    int run = 0;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 127 || (c < 32 && c != '\t')) return true;
        run = IsBlank(*p) ? 0 : run + 1;
        if (run > kLongestRun) return true;
    }
    return false;
}

}  // namespace

// --- LineSender -----------------------------------------------------------------

void LineSender::Put(const char* text, int maxChars) {
    if (!text) return;
    for (int i = 0; text[i] && (maxChars < 0 || i < maxChars); ++i) {
        if (used_ + 2 > kLineChars + 2) Flush();
        char c = text[i];
        if (stuff_ && lineStart_ && c == '.') ch_->CommandLine[used_++] = '.';
        ch_->CommandLine[used_++] = c;
        lineStart_ = c == '\n' || (c == '\r' && text[i + 1] != '\n');
    }
}

int LineSender::End() {
    if (used_ + 2 > kLineChars + 2) Flush();
    ch_->CommandLine[used_++] = '\r';
    ch_->CommandLine[used_++] = '\n';
    Flush();
    return result_;
}

void LineSender::Flush() {
    if (used_ > 0 && result_ >= 0) {
        int rc = SendData(ch_, ch_->CommandLine, used_);
        result_ = rc < 0 ? rc : result_ + rc;
    }
    used_ = 0;
}

bool HasHighBytes(const char* text, int n) {
    if (!text) return false;
    for (int i = 0; (n < 0 || i < n) && text[i]; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 128) return true;
    }
    return false;
}

bool IsUtf8(const char* charset) {
    return SameText(charset, "utf-8", 6) || SameText(charset, "utf8", 5);
}

// --- HeaderWriter -----------------------------------------------------------------

HeaderWriter::HeaderWriter(Channel* ch, const char* name) : line_(ch, true) {
    line_.Put(name);
    column_ = TextLength(name);
}

void HeaderWriter::Piece(const char* blank, int blankLen, const char* text, int textLen,
                         bool insertBlank) {
    if (hasPiece_ && column_ + blankLen + textLen > kFoldAt && (blankLen > 0 || insertBlank)) {
        // RFC 5322 section 2.2.3: the fold goes in front of white space.
        line_.Put("\r\n");
        column_ = 0;
        if (blankLen == 0) {
            line_.Put(" ");
            column_ = 1;
        }
    }
    line_.Put(blank, blankLen);
    line_.Put(text, textLen);
    column_ += blankLen + textLen;
    hasPiece_ = true;
}

void HeaderWriter::Unstructured(const char* text, const char* charset) {
    if (!text) return;
    if (NeedsEncoding(text)) {
        EncodedWords("", 0, text, TextLength(text), charset);
        return;
    }
    const char* p = text;
    while (*p) {
        const char* blank = p;
        while (IsBlank(*p)) ++p;
        const char* word = p;
        while (*p && !IsBlank(*p)) ++p;
        Piece(blank, static_cast<int>(word - blank), word, static_cast<int>(p - word));
    }
}

void HeaderWriter::EncodedWords(const char* blank, int blankLen0, const char* text, int n,
                                const char* charset, const char* prefix, int follow) {
    char cs[kMaxCharsetChars + 2];
    CopyText(cs, charset && *charset ? charset : "utf-8", kMaxCharsetChars);
    const bool utf8 = IsUtf8(cs);
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    // RFC 2047 leaves the choice to the encoder: the shorter of the two.
    int qTotal = 0;
    for (int i = 0; i < n; ++i) qTotal += QLength(in[i]);
    const bool useQ = qTotal <= 4 * ((n + 2) / 3);
    const int overhead = 7 + TextLength(cs);  // =?cs?X?...?=

    bool first = true;
    for (int pos = 0; pos < n;) {
        const int blankLen = first ? blankLen0 : 1;
        const int prefixLen = first ? TextLength(prefix) : 0;
        int budget = kMaxWordChars;
        // On a line of its own the word must fit too, and a word that fits
        // the rest of this line saves a fold.
        const int fresh = kFoldAt - blankLen - prefixLen - follow;
        if (fresh < budget && fresh >= overhead + 12) budget = fresh;
        const int room = Room() - blankLen - prefixLen - follow;
        if (room < budget && room >= overhead + 12) budget = room;
        const int payload = budget - overhead;

        char word[kMaxWordChars + kMaxCharsetChars + 40];
        int len = first ? CopyText(word, prefix, 24) : 0;
        word[len++] = '=';
        word[len++] = '?';
        len += CopyText(word + len, cs, kMaxCharsetChars);
        word[len++] = '?';
        word[len++] = useQ ? 'Q' : 'B';
        word[len++] = '?';
        int take = 0, cost = 0;
        while (pos + take < n) {
            const int unit = UnitLength(in + pos + take, n - pos - take, utf8);
            int next;
            if (useQ) {
                next = cost;
                for (int k = 0; k < unit; ++k) next += QLength(in[pos + take + k]);
            } else {
                next = 4 * ((take + unit + 2) / 3);
            }
            if (take > 0 && next > payload) break;
            take += unit;
            cost = next;
        }
        if (useQ) {
            for (int k = 0; k < take; ++k) {
                const unsigned char c = in[pos + k];
                if (c == ' ') {
                    word[len++] = '_';
                } else if (IsQSafe(c)) {
                    word[len++] = static_cast<char>(c);
                } else {
                    word[len++] = '=';
                    word[len++] = kHexUpper[c >> 4];
                    word[len++] = kHexUpper[c & 15];
                }
            }
        } else {
            // Whole groups of three, then the rest: one base64 text.
            char group[8];
            for (int k = 0; k < take; k += 3) {
                const int m = take - k < 3 ? take - k : 3;
                EncodeBase64Line(in + pos + k, group, m);
                for (int j = 0; j < 4; ++j) word[len++] = group[j];
            }
        }
        word[len++] = '?';
        word[len++] = '=';
        Piece(first ? blank : " ", blankLen, word, len, true);
        pos += take;
        first = false;
    }
}

void HeaderWriter::AddressList(const char* list, char delimiter, const char* charset) {
    if (!list) return;
    const char* p = list;
    bool firstItem = true;
    while (*p) {
        const char* end = ListItemEnd(p, delimiter);
        // The delimiter stays with its item, so that a fold comes after it.
        const char* stop = *end ? end + 1 : end;
        const char* lead = p;
        while (lead < stop && IsBlank(*lead)) ++lead;
        const char* angle = FindUnquoted(lead, end, '<');
        const char* rest = lead;
        if (angle && HasHighBytes(lead, static_cast<int>(angle - lead))) {
            // The display name becomes encoded words (RFC 2047 section 5
            // (3)), taken out of its quotes if it stood in any.
            const char* nameEnd = angle;
            while (nameEnd > lead && IsBlank(nameEnd[-1])) --nameEnd;
            char name[512];
            int n = 0;
            if (nameEnd - lead >= 2 && *lead == '"' && nameEnd[-1] == '"' &&
                nameEnd - lead < static_cast<int>(sizeof name)) {
                for (const char* q = lead + 1; q < nameEnd - 1; ++q) {
                    if (*q == '\\' && q + 1 < nameEnd - 1) ++q;
                    name[n++] = *q;
                }
                EncodedWords(p, static_cast<int>(lead - p), name, n, charset);
            } else {
                EncodedWords(p, static_cast<int>(lead - p), lead, static_cast<int>(nameEnd - lead),
                             charset);
            }
            // An encoded word ends at white space (RFC 2047 section 5).
            rest = angle;
            const char* blank = nameEnd < angle ? nameEnd : " ";
            const int blankLen = nameEnd < angle ? static_cast<int>(angle - nameEnd) : 1;
            const char* word = rest;
            while (rest < stop && !IsBlank(*rest)) ++rest;
            Piece(blank, blankLen, word, static_cast<int>(rest - word));
        } else {
            rest = p;
        }
        bool firstPiece = rest == p;
        while (rest < stop) {
            const char* blank = rest;
            while (rest < stop && IsBlank(*rest)) ++rest;
            const char* word = rest;
            while (rest < stop && !IsBlank(*rest)) ++rest;
            Piece(blank, static_cast<int>(word - blank), word, static_cast<int>(rest - word),
                  firstPiece && !firstItem);
            firstPiece = false;
        }
        firstItem = false;
        p = stop;
    }
}

// --- Attachment names ----------------------------------------------------------------

int SendNameField(Channel* ch, const char* head, const char* param, const char* name,
                  const char* charset, const char* tail) {
    // The field's name, then its value, which may go on a line of its own.
    HeaderWriter field(ch, "");
    const char* colon = FindChar(head, ':');
    const int nameLen = colon ? static_cast<int>(colon - head) + 1 : 0;
    field.Piece("", 0, head, nameLen);
    const char* value = head + nameLen;
    const int blank = *value == ' ' ? 1 : 0;
    field.Piece(value, blank, value + blank, TextLength(value + blank));
    const bool extended = NeedsEncoding(name);
    if (!extended) {
        // A quoted string (RFC 2045 section 5.1), '"' and '\' escaped.
        char value[kNameChars * 2 + 16];
        int len = CopyText(value, param, 16);
        value[len++] = '=';
        value[len++] = '"';
        const char* p = name;
        for (; *p && len < static_cast<int>(sizeof value) - 4; ++p) {
            if (*p == '"' || *p == '\\') value[len++] = '\\';
            value[len++] = *p;
        }
        if (!*p) {
            value[len++] = '"';
            field.Piece(" ", 1, value, len);
        } else {
            // A name too long for the buffer goes out in pieces, unbroken.
            field.Piece(" ", 1, value, len);
            for (; *p; ++p) {
                char one[3] = {'\\', *p, '\0'};
                const bool escape = *p == '"' || *p == '\\';
                field.Piece("", 0, escape ? one : one + 1, escape ? 2 : 1);
            }
            field.Piece("", 0, "\"", 1);
        }
    } else if (param[0] == 'n') {
        // name="=?cs?B?...?=": RFC 2047 encoded words, which readers of
        // Content-Type look for in the quotes.
        char prefix[24];
        int len = CopyText(prefix, param, 16);
        prefix[len++] = '=';
        prefix[len++] = '"';
        prefix[len] = '\0';
        field.EncodedWords(" ", 1, name, TextLength(name), charset, prefix, 1);
        field.Piece("", 0, "\"", 1);
    } else {
        // RFC 2231 sections 3 and 4: filename*=cs''%XX..., in sections of
        // one line each when long, none splitting a character.
        char cs[kMaxCharsetChars + 2];
        CopyText(cs, charset && *charset ? charset : "utf-8", kMaxCharsetChars);
        const bool utf8 = IsUtf8(cs);
        const auto* in = reinterpret_cast<const unsigned char*>(name);
        const int n = TextLength(name);
        int total = 0;
        for (int i = 0; i < n; ++i) total += IsAttributeChar(in[i]) ? 1 : 3;
        const int chunk = 60;
        const bool single = total + TextLength(cs) + 2 <= chunk;
        int section = 0;
        for (int pos = 0; pos < n || section == 0;) {
            char piece[kMaxCharsetChars + 96];
            int len = CopyText(piece, param, 16);
            if (single) {
                len += CopyText(piece + len, "*=", 2);
            } else {
                len += snprintf(piece + len, 16, "*%d*=", section);
            }
            if (section == 0) {
                len += CopyText(piece + len, cs, kMaxCharsetChars);
                piece[len++] = '\'';
                piece[len++] = '\'';
            }
            // The first section carries the charset too.
            int used = section == 0 ? TextLength(cs) + 2 : 0;
            bool took = false;
            while (pos < n) {
                const int unit = UnitLength(in + pos, n - pos, utf8);
                int cost = 0;
                for (int k = 0; k < unit; ++k) cost += IsAttributeChar(in[pos + k]) ? 1 : 3;
                if (!single && took && used + cost > chunk) break;
                took = true;
                for (int k = 0; k < unit; ++k) {
                    const unsigned char c = in[pos + k];
                    if (IsAttributeChar(c)) {
                        piece[len++] = static_cast<char>(c);
                    } else {
                        piece[len++] = '%';
                        piece[len++] = kHexUpper[c >> 4];
                        piece[len++] = kHexUpper[c & 15];
                    }
                }
                used += cost;
                pos += unit;
            }
            if (pos < n) piece[len++] = ';';
            field.Piece(" ", 1, piece, len);
            ++section;
        }
    }
    if (tail) field.Piece("", 0, tail, TextLength(tail));
    return field.End();
}

}  // namespace vok
