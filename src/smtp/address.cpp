// Address checks: the offline form check vokVerifyFormat, the light check
// the SMTP calls apply to senders and recipient lists, and VRFY (RFC 5321
// section 3.5) through vokVerifyUser.
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok {

namespace {

// What may stand between the brackets: letters, digits and . - _ / @ $ & '.
bool IsAddressChar(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '.':
        case '-':
        case '_':
        case '/':
        case '@':
        case '$':
        case '&':
        case '\'':
            return true;
        default:
            return false;
    }
}

// Walks the characters strictly between open and close.
int CheckAddressChars(const char* open, const char* close) {
    int atCount = 0;
    for (const char* p = open + 1; p < close; ++p) {
        if (*p == '@' && ++atCount == 2) return VOK_TOO_MANY_AT;
        if (!IsAddressChar(static_cast<unsigned char>(*p))) return VOK_BAD_ADDRESS_CHAR;
    }
    return atCount == 1 ? 1 : VOK_MISSING_AT;
}

}  // namespace

const char* FindInItem(const char* text, char c) {
    const char delimiter = LibrarySettings.AddressDelimiter;
    for (const char* p = text; *p && *p != delimiter; ++p) {
        if (*p == c) return p;
    }
    return nullptr;
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
        ch->NextState = 0;
        return 0;
    }
    char* cut = FindChar(ch->CurrentAddress, LibrarySettings.AddressDelimiter);
    if (cut) {
        *cut = '\0';
        ch->ListCut = cut;
        ch->ListCursor = cut + 1;
    } else {
        ch->ListCut = nullptr;
        ch->ListCursor = ch->CurrentAddress + TextLength(ch->CurrentAddress);
    }
    ch->NeedWritable = 1;
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
    ch->NextState = 271;
    return 0;
}

// 271: the item goes out just as the caller wrote it.
int SendVrfy(Channel* ch, uint32_t now) {
    int rc = SendWhole(ch, false, "VRFY ", ch->CurrentAddress);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    ch->NextState = 272;
    return 0;
}

// 272: any answer but 250 (252 "cannot verify", 550, 502 ...) is a plain
// "no" here, not a failure of the session. A reply that cannot be read
// (closed, stalled, too long) ends the call: a late reply must never be
// taken for the answer to the next VRFY.
int ReadVrfyReply(Channel* ch, uint32_t now) {
    (void)now;
    if (!WaitReadable(ch, 0)) return 0;
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
    ch->NextState = 270;
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
    if (open[1] == '@' || close[-1] == '@') return VOK_EMPTY_ADDRESS;
    return CheckAddressChars(open, close);
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
    int rc = StartOperation(ch, 270, false);
    if (!autoCall || rc < 0) return rc;
    return ch->VerifyResult;
}
