// SPDX-License-Identifier: MIT
// Address checks: the offline form check vokVerifyFormat, the light check
// the SMTP calls apply to senders and recipient lists, and VRFY (RFC 5321
// section 3.5) through vokVerifyUser.
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok {

namespace {

bool IsAlnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// RFC 5321 section 4.1.2 atext: what an atom of a local part is made of.
bool IsAtext(unsigned char c) {
    return IsAlnum(c) || (c && FindChar("!#$%&'*+-/=?^_`{|}~", static_cast<char>(c)));
}

// What a domain name may hold here: letters, digits, '-', '.', and the few
// others ('_', '/', '$', '&', '\'') that hosts of private networks use.
bool IsDomainChar(unsigned char c) {
    return IsAlnum(c) || (c && FindChar(".-_/$&'", static_cast<char>(c)));
}

// RFC 5321 section 4.1.3: "[" IPv4 "]", "[IPv6:" ... "]" or a tag and
// its content. p and end span the text between the brackets.
bool IsAddressLiteral(const char* p, const char* end) {
    if (p >= end) return false;
    const char* colon = nullptr;
    for (const char* q = p; q < end; ++q) {
        if (*q == ':') {
            colon = q;
            break;
        }
    }
    if (!colon) {
        // Four decimal numbers of 0 to 255 joined by dots.
        int parts = 0;
        for (const char* q = p; q <= end; ++q) {
            int value = 0, digits = 0;
            while (q < end && *q >= '0' && *q <= '9' && digits < 4) {
                value = value * 10 + (*q++ - '0');
                ++digits;
            }
            if (digits == 0 || digits > 3 || value > 255) return false;
            ++parts;
            if (q == end) break;
            if (*q != '.') return false;
        }
        return parts == 4;
    }
    if (colon == p) return false;
    for (const char* q = p; q < colon; ++q) {
        if (!IsAlnum(static_cast<unsigned char>(*q)) && *q != '-') return false;
    }
    if (colon + 1 >= end) return false;
    const bool ipv6 = colon - p == 4 && SameText(p, "IPv6", 4);
    for (const char* q = colon + 1; q < end; ++q) {
        const auto c = static_cast<unsigned char>(*q);
        if (ipv6) {
            const bool hex =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!hex && c != ':' && c != '.') return false;
        } else if (c < 33 || c > 126 || c == '[' || c == '\\' || c == ']') {
            return false;
        }
    }
    return true;
}

// The address between the brackets (open and close excluded): a local part
// of dot-separated atoms or a quoted string (RFC 5321 section 4.1.2), '@',
// and a domain or an address literal. 1, or the first fault's code.
int CheckMailbox(const char* open, const char* close) {
    const char* p = open + 1;
    if (*p == '@') return VOK_EMPTY_ADDRESS;
    if (close[-1] == '@') return VOK_EMPTY_ADDRESS;
    // The '@' that ends the local part; the count of all of them outside
    // the quotes comes first, as bad characters only count once it is right.
    const char* at = nullptr;
    int atCount = 0;
    bool quoted = false;
    for (const char* q = p; q < close; ++q) {
        if (quoted) {
            if (*q == '\\' && q + 1 < close) {
                ++q;
            } else if (*q == '"') {
                quoted = false;
            }
        } else if (*q == '"') {
            quoted = true;
        } else if (*q == '@') {
            if (!at) at = q;
            if (++atCount == 2) return VOK_TOO_MANY_AT;
        }
    }
    if (!at) {
        for (const char* q = p; q < close; ++q) {
            const auto c = static_cast<unsigned char>(*q);
            if (!IsAtext(c) && c != '.' && c != '"') return VOK_BAD_ADDRESS_CHAR;
        }
        return VOK_MISSING_AT;
    }
    if (*p == '"') {
        const char* q = p + 1;
        for (; q < at && *q != '"'; ++q) {
            auto c = static_cast<unsigned char>(*q);
            if (c == '\\') c = static_cast<unsigned char>(*++q);
            if (c < 32 || c > 126) return VOK_BAD_ADDRESS_CHAR;
        }
        if (q + 1 != at) return VOK_BAD_ADDRESS_CHAR;
    } else {
        for (const char* q = p; q < at; ++q) {
            const auto c = static_cast<unsigned char>(*q);
            if (c == '.') {
                // Dots only between atoms.
                if (q == p || q + 1 == at || q[1] == '.') return VOK_BAD_ADDRESS_CHAR;
            } else if (!IsAtext(c)) {
                return VOK_BAD_ADDRESS_CHAR;
            }
        }
    }
    const char* domain = at + 1;
    if (*domain == '[') {
        return close[-1] == ']' && IsAddressLiteral(domain + 1, close - 1) ? 1
                                                                           : VOK_BAD_ADDRESS_CHAR;
    }
    for (const char* q = domain; q < close; ++q) {
        if (!IsDomainChar(static_cast<unsigned char>(*q))) return VOK_BAD_ADDRESS_CHAR;
    }
    return 1;
}

}  // namespace

const char* ListItemEnd(const char* text, char delimiter) {
    bool quoted = false;
    int angle = 0;
    for (const char* p = text; *p; ++p) {
        if (quoted) {
            if (*p == '\\' && p[1]) {
                ++p;
            } else if (*p == '"') {
                quoted = false;
            }
        } else if (*p == '"') {
            quoted = true;
        } else if (*p == '<') {
            ++angle;
        } else if (*p == '>') {
            if (angle > 0) --angle;
        } else if (*p == delimiter && delimiter && angle == 0) {
            return p;
        }
    }
    return text + TextLength(text);
}

const char* FindUnquoted(const char* text, const char* stop, char c) {
    bool quoted = false;
    for (const char* p = text; p < stop; ++p) {
        if (quoted) {
            if (*p == '\\' && p + 1 < stop) {
                ++p;
            } else if (*p == '"') {
                quoted = false;
            }
        } else if (*p == '"') {
            quoted = true;
        } else if (*p == c) {
            return p;
        }
    }
    return nullptr;
}

const char* FindInItem(const char* text, char c) {
    const char* stop = ListItemEnd(text, LibrarySettings.AddressDelimiter);
    if (c != '>') return FindUnquoted(text, stop, c);
    // The '>' that closes the item's first '<'.
    const char* open = FindUnquoted(text, stop, '<');
    return open ? FindUnquoted(open + 1, stop, '>') : nullptr;
}

bool HasLineBreak(const char* text) {
    for (const char* p = text; *p; ++p) {
        if (*p == '\r' || *p == '\n') return true;
    }
    return false;
}

void SenderDomain(const char* from, char* out, int size) {
    out[0] = '\0';
    const char* at = FindChar(from, '@');
    int n = 0;
    if (at) {
        for (const char* p = at + 1; *p && *p != '>' && *p != ' ' && *p != '\r' && *p != '\n';
             ++p) {
            if (n < size - 1) out[n++] = *p;
        }
        out[n] = '\0';
    }
    if (n == 0) CopyText(out, "localhost", size - 1);
}

int CheckAddressForm(Channel* ch, const char* text, bool listMode) {
    if (!text || !*text) return VOK_EMPTY_ADDRESS;
    const char* open = listMode ? FindInItem(text, '<') : FindChar(text, '<');
    const char* close = listMode ? FindInItem(text, '>') : FindChar(text, '>');
    if (!open) return DriverError(ch, 0, VOK_MISSING_LT);
    if (!close || close < open) return VOK_MISSING_GT;
    return 0;
}

namespace smtp {

// 270: cuts the next item off the list.
int NextVerifyItem(Channel* ch, uint32_t now) {
    ch->CurrentAddress = ch->ListCursor;
    if (!ch->CurrentAddress || !*ch->CurrentAddress) {
        GoTo(ch, kStIdle);
        return 0;
    }
    char* cut =
        const_cast<char*>(ListItemEnd(ch->CurrentAddress, LibrarySettings.AddressDelimiter));
    if (*cut) {
        *cut = '\0';
        ch->ListCut = cut;
        ch->ListCursor = cut + 1;
    } else {
        ch->ListCut = nullptr;
        ch->ListCursor = ch->CurrentAddress + TextLength(ch->CurrentAddress);
    }
    ch->NeedWritable = 1;
    AnswerDeadline(ch, now);
    GoTo(ch, kStVrfy);
    return 0;
}

// 271: the item goes out just as the caller wrote it.
int SendVrfy(Channel* ch, uint32_t now) {
    int rc = SendWhole(ch, false, "VRFY ", ch->CurrentAddress);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kStVrfyReply);
    return 0;
}

// 272: any answer but 250 (252 "cannot verify", 550, 502 ...) is a plain
// "no" here, not a failure of the session. A reply that cannot be read
// (closed, stalled, too long) ends the call: a late reply must never be
// taken for the answer to the next VRFY.
int ReadVrfyReply(Channel* ch, uint32_t now) {
    (void)now;
    if (!ReplyReady(ch, kSmtpReply)) return 0;
    int rc = ReadSmtpReply(ch);
    if (rc < 0 && rc != VOK_SMTP_ERROR) return DriverError(ch, 0, rc);
    // The reader stops at the first line of a refusal; the rest of a
    // multi-line refusal is read here, each line whole.
    char* line = ch->ReplyBuffer;
    for (int lines = 0; rc == VOK_SMTP_ERROR; ++lines) {
        int n = TextLength(line);
        if (n == 0 || line[n - 1] != '\n')
            return DriverError(ch, 0,
                               n >= kReplyRoom - 1 ? VOK_RESPONSE_OVERFLOW : VOK_SOCKET_TIMEOUT);
        if (n < 4 || line[3] != '-') break;
        if (lines >= 64) return DriverError(ch, 0, VOK_RESPONSE_OVERFLOW);
        n = ReadLine(ch, line, kReplyRoom, LibrarySettings.MaxResponseWait,
                     LibrarySettings.MaxResponseWait);
        if (n <= 0) return DriverError(ch, 0, n < 0 ? VOK_SOCKET_CLOSED : VOK_SOCKET_TIMEOUT);
        CopyText(ch->LastReply, line, kNameChars - 1);
    }
    ch->VerifyResult = (rc == 0 && ch->ReplyCode == 250) ? 1 : 0;
    GoTo(ch, kStNextVerify);
    return 0;
}

}  // namespace smtp
}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokVerifyFormat(const char* address) {
    if (!address) return VOK_NULL_POINTER;
    if (!*address) return VOK_EMPTY_ADDRESS;
    const char* open = FindInItem(address, '<');
    if (!open) return VOK_MISSING_LT;
    const char* close = FindInItem(address, '>');
    if (!close || close < open) return VOK_MISSING_GT;
    if (close == open + 1) return VOK_NULL_POINTER;
    return CheckMailbox(open, close);
}

extern "C" VOK_EXPORT int VOKAPI vokVerifyUser(int channel, const char* userList) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    if (ch->Protocol != 'S') return VOK_SMTP_ONLY;
    LogCall(ch, "vokVerifyUser");
    if (!userList || !*userList) return VOK_NO_RECIPIENT;
    if (HasLineBreak(userList)) return VOK_BAD_ADDRESS_CHAR;
    AbandonMessage(ch);
    char* copy = AllocAndCopy(ch->Chan, kSlotTo, userList);
    if (!copy) return VOK_NO_MEMORY;
    // The To list of vokSendEmail shares the slot, and it is gone now.
    ch->ToList = copy;
    ch->ListCursor = copy;
    ch->ListCut = nullptr;
    const bool autoCall = ch->AutoCall != 0;
    int rc = StartOperation(ch, kStNextVerify, false);
    if (!autoCall || rc < 0) return rc;
    return ch->VerifyResult;
}
