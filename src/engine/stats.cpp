// SPDX-License-Identifier: MIT
// vokStatistics and vokDebug: read-only views of a channel, its connection
// included (which is why they live with the engine).
#include <cstdint>

#include "codec/date.h"
#include "codec/text.h"
#include "engine/connect.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/memory.h"
#include "platform/sockets.h"
#include "vok32.h"

namespace vok {

namespace {

int32_t Sum(int32_t a, int32_t b) {
    int64_t s = static_cast<int64_t>(a) + b;
    return s > INT32_MAX ? INT32_MAX : s < INT32_MIN ? INT32_MIN : static_cast<int32_t>(s);
}

int ConnectionState(Channel* ch) {
    if (ch->Socket == plat::kNoSocket) return 0;
    if (PollSocket(ch, kPollFailed) == 1) return VOK_CONNECT_ERROR;
    return PollSocket(ch, kPollWritable) == 1 ? 1 : 0;
}

// Copies at most `size` characters and then a NUL: the caller's buffer
// holds size + 1 bytes, as vokDebug has always documented.
int CopyOut(char* buffer, int size, const char* text, int limit) {
    int n = size < limit ? size : limit;
    return CopyText(buffer, text, n < 0 ? 0 : n);
}

}  // namespace

}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokStatistics(int channel, int index) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    switch (index) {
        case VOK_STAT_STEP_COUNT:
            return ch->StepCount;
        case VOK_STAT_REPLY_CODE:
            return ch->ReplyCode;
        case VOK_STAT_SOCK_CODE:
            return ch->SockCode;
        case VOK_STAT_BODY_BYTES_READ:
            return ch->BodyBytesRead;
        case VOK_STAT_ATTACH_BYTES_READ:
            return ch->AttachBytesRead;
        case VOK_STAT_BYTES_READ:
            return Sum(ch->BodyBytesRead, ch->AttachBytesRead);
        case VOK_STAT_BODY_BYTES_SENT:
            return ch->BodyBytesSent;
        case VOK_STAT_ATTACH_BYTES_SENT:
            return ch->AttachBytesSent;
        case VOK_STAT_BYTES_SENT:
            return Sum(ch->BodyBytesSent, ch->AttachBytesSent);
        case VOK_STAT_VERSION:
            return VOK_VERSION;
        case VOK_STAT_MESSAGE_COUNT:
            return ch->MessageCount;
        case VOK_STAT_MESSAGE_SIZE:
            return ch->MessageSize;
        case VOK_STAT_BUFFER_LENGTH:
            return ch->UserBufferLen;
        case VOK_STAT_CONNECTED:
            return ConnectionState(ch);
        case VOK_STAT_ATTACH_COUNT:
            return ch->AttachCount;
        case VOK_STAT_VERIFY_RESULT:
            return ch->VerifyResult;
        case VOK_STAT_BUILD:
            return VOK_BUILD;
        case VOK_STAT_SOCKET:
            return static_cast<int>(ch->Socket);
        case VOK_STAT_TLS_ACTIVE:
            return ch->Tls ? 1 : 0;
        case VOK_STAT_TLS_VERSION:
            return ch->Tls ? ch->TlsVersion : 0;
        case VOK_STAT_WAIT_FOR:
            return WaitingFor(ch);
        case VOK_STAT_TIMER_MS:
            return TimerMs(ch, plat::TickCount());
        default:
            return -1;
    }
}

extern "C" VOK_EXPORT int VOKAPI vokDebug(int channel, int code, char* buffer, int size) {
    CallScope scope;
    if (channel == VOK_MEMORY_SCAN_CHANNEL) {
        ScanBlocks("vokDebug");
        return 0;
    }
    if (!buffer) return 0;
    if (size > 0) buffer[0] = '\0';
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    if (size < 1) return 0;
    switch (code) {
        case VOK_DEBUG_DATE_LINE: {
            char date[96];
            FormatDateLine(date);
            CopyOut(buffer, size, date, 95);
            return 0;
        }
        case VOK_DEBUG_LAST_REPLY: {
            int n = CopyOut(buffer, size, ch->LastReply, kNameChars);
            // The length without the line end, which stays in the buffer.
            return (n > 2 && buffer[n - 2] == '\r') ? n - 2 : n;
        }
        case VOK_DEBUG_SERVER_IP:
            return FormatServerAddress(ch, buffer, size);
        case VOK_DEBUG_LOCAL_IP: {
            if (ch->Socket == plat::kNoSocket) return 0;
            if (ServerFamily(ch) == 6) {
                plat::NetAddress local;
                if (plat::SocketLocalNetAddress(ch->Socket, &local) != 0) return 0;
                return plat::FormatNetAddress(&local, buffer, size);
            }
            if (size <= 16) return 0;
            plat::SockAddrIn& local = ChannelTable[ch->Chan].RemoteAddr;
            if (plat::SocketLocalAddress(ch->Socket, &local) != 0) return 0;
            return FormatDottedQuad(plat::NetToHost32(local.Address), buffer, size);
        }
        case VOK_DEBUG_SAVED_NAMES:
            return CopyOut(buffer, size, ch->SavedNames, kSavedNamesChars);
        case VOK_DEBUG_LAST_RECIPIENT:
            return CopyOut(buffer, size, ch->LastRecipient, kRecipientChars);
        case VOK_DEBUG_MESSAGE_BUFFER: {
            int id = ch->Chan * kSlotsPerChannel + kSlotMessageBuffer;
            const char* block = GetBlock(id);
            if (!block) return VOK_NULL_POINTER;
            return CopyOut(buffer, size, block, BlockSize(id));
        }
        case VOK_DEBUG_TLS_SESSION:
            return CopyOut(buffer, size, ch->TlsSession, kNameChars);
        case VOK_DEBUG_TLS_SUBJECT:
            return CopyOut(buffer, size, ch->TlsSubject, kNameChars * 2);
        case VOK_DEBUG_SERVER_ADDRESS:
            return FormatServerAddress(ch, buffer, size);
        default:
            CopyOut(buffer, size, "?", 1);
            return 0;
    }
}
