// SPDX-License-Identifier: MIT
// The POP3 exports: login and the mailbox calls. Each checks its arguments,
// stores them in the channel's record and starts its first driver state.
#include <cstdint>
#include <cstring>

#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "pop3/decoder.h"
#include "pop3/pop3.h"
#include "vok32.h"

namespace vok {

namespace {

// The lookup, the call line, and the check that the channel speaks POP3.
int Pop3Channel(int channel, const char* callName, Channel** out) {
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    LogCall(ch, callName);
    if (ch->Protocol != 'P') return VOK_POP3_ONLY;
    *out = ch;
    return 0;
}

// Runs the operation; once it has run to its end (auto-call) the call
// delivers `value`.
int Run(Channel* ch, State firstState, const int32_t* value) {
    int rc = StartOperation(ch, firstState, true);
    if (rc < 0 || !ch->AutoCall || !value) return rc;
    return *value;
}

bool IsInternalBufferRequest(const char* buffer) {
    return !buffer || (buffer[0] == '*' && buffer[1] == '\0');
}

}  // namespace

}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokPop3Connect(int channel, const char* server, const char* user,
                                                const char* password) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    LogCall(ch, "vokPop3Connect");
    // The channel is POP3 from here on, even when an argument is refused.
    ch->Protocol = 'P';
    if (!server) return VOK_SERVER_NOT_SPECIFIED;
    if (!user) return VOK_NO_USER;
    if (!password) return VOK_NO_PASSWORD;
    if (!CheckServerName(server)) return VOK_BAD_SERVER_NAME;
    CopyText(ch->Server, server, kNameChars);
    CopyText(ch->UserName, user, kUserChars);
    CopyText(ch->Pop3Password, password, kUserChars);
    ch->RemotePort = ch->Pop3Port;
    ch->MessageCount = 0;
    ch->AttachCount = 0;
    DropListing(ch);
    EmptyRing(ch);
    return StartOperation(ch, kPop3Connect, false);
}

extern "C" VOK_EXPORT int VOKAPI vokGetEmailCount(int channel) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = Pop3Channel(channel, "vokGetEmailCount", &ch)) return rc;
    return Run(ch, kPop3Stat, &ch->MessageCount);
}

extern "C" VOK_EXPORT int VOKAPI vokGetEmailSize(int channel, int message) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = Pop3Channel(channel, "vokGetEmailSize", &ch)) return rc;
    if (message < 1) return VOK_NO_SUCH_MESSAGE;
    ch->MessageNumber = message;
    if (ch->ListAll) {
        int32_t size = 0;
        if (ListedSize(ch, message, &size)) {
            ch->MessageSize = size;
            return ch->AutoCall ? size : 0;
        }
        if (!ch->ListSizes) {
            ch->ListWant = 'L';
            return Run(ch, kPop3Listing, &ch->MessageSize);
        }
    }
    return Run(ch, kPop3List, &ch->MessageSize);
}

extern "C" VOK_EXPORT int VOKAPI vokDeleteEmail(int channel, int message) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = Pop3Channel(channel, "vokDelete", &ch)) return rc;
    if (message < 1) return VOK_NO_SUCH_MESSAGE;
    ch->MessageNumber = message;
    DropListing(ch);
    return Run(ch, kPop3Dele, nullptr);
}

extern "C" VOK_EXPORT int VOKAPI vokGetEmailUID(int channel, int message, char* buffer, int size) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = Pop3Channel(channel, "vokGetEmailUID", &ch)) return rc;
    if (!buffer) return VOK_BUFFER_NULL;
    if (size < 128) return VOK_BUFFER_TOO_SMALL;
    ch->MessageNumber = message;
    ch->UserBuffer = buffer;
    ch->UserBufferSize = size - 1;  // one byte stays for the NUL
    ch->UserBufferLen = 0;
    buffer[0] = '\0';
    if (ch->ListAll && message >= 1) {
        const char* uid = nullptr;
        if (ListedUid(ch, message, &uid)) {
            AnswerUidFromListing(ch, message, uid);
            return ch->AutoCall ? ch->UserBufferLen : 0;
        }
        if (!ch->ListUids) {
            ch->ListWant = 'U';
            return Run(ch, kPop3Listing, &ch->UserBufferLen);
        }
    }
    return Run(ch, kPop3Uidl, &ch->UserBufferLen);
}

extern "C" VOK_EXPORT int VOKAPI vokGetEmailLines(int channel, int message, int lines, char* buffer,
                                                  int size) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = Pop3Channel(channel, "vokGetEmailLines", &ch)) return rc;
    if (message < 1) return VOK_NO_SUCH_MESSAGE;
    if (IsInternalBufferRequest(buffer)) {
        // The library's own buffer (slot 8), zero-filled and two bytes
        // longer than asked, so that its text is always terminated.
        if (size < 0) size = 0;
        if (size > INT32_MAX - 3) return VOK_NO_MEMORY;
        FreeMemory(ch->Chan, kSlotMessageBuffer, kSlotMessageBuffer);
        buffer = AllocateMemory(ch->Chan, kSlotMessageBuffer, size + 2);
        if (!buffer) return VOK_NO_MEMORY;
    } else if (size < 128) {
        return VOK_BUFFER_TOO_SMALL;
    }
    ch->MessageNumber = message;
    ch->LineCount = lines < 0 ? 0 : lines;
    ch->UserBuffer = buffer;
    ch->UserBufferSize = size;
    ch->UserBufferLen = 0;
    ch->BodyBytesRead = 0;
    ch->AttachBytesRead = 0;
    return Run(ch, kPop3Top, &ch->UserBufferLen);
}

extern "C" VOK_EXPORT int VOKAPI vokGetEmailFile(int channel, int message, const char* fileName,
                                                 const char* emailDir, const char* attachDir) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = Pop3Channel(channel, "vokGetEmailFile", &ch)) return rc;
    if (message < 1) return VOK_NO_SUCH_MESSAGE;
    if (!fileName) return VOK_MISSING_FILENAME;
    if (!emailDir) return VOK_MISSING_EMAIL_PATH;
    if (!attachDir) return VOK_MISSING_ATTACH_PATH;
    ch->MessageNumber = message;
    // One character more than a path may hold is kept, so that a name too
    // long for a path is seen and refused instead of being cut.
    CopyText(ch->EmailName, fileName, kNameChars + 1);
    CopyText(ch->EmailDir, emailDir, kNameChars + 1);
    CopyText(ch->AttachDir, attachDir, kPathChars + 1);
    ch->UserBuffer = nullptr;
    ch->UserBufferSize = 0;
    ch->UserBufferLen = 0;
    ch->BodyBytesRead = 0;
    ch->AttachBytesRead = 0;
    ch->AttachCount = 0;
    memset(ch->SavedNames, 0, sizeof ch->SavedNames);
    ch->FailedFile[0] = '\0';
    if (ch->DecoderState != kDecodeRaw) ch->DecoderState = kDecodeHeader;
    return Run(ch, kPop3Retr, nullptr);
}
