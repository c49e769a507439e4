// vokStatistics and vokDebug: read-only views of a channel.
#include <cstdint>

#include "codec/text.h"
#include "engine/connect.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/memory.h"
#include "platform/sockets.h"
#include "smtp/bodylines.h"
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
        case 2:
            return ch->StepCount;
        case 3:
            return ch->ReplyCode;
        case 4:
            return ch->SockCode;
        case 10:
            return ch->BodyBytesRead;
        case 11:
            return ch->AttachBytesRead;
        case 12:
            return Sum(ch->BodyBytesRead, ch->AttachBytesRead);
        case 13:
            return ch->BodyBytesSent;
        case 14:
            return ch->AttachBytesSent;
        case 15:
            return Sum(ch->BodyBytesSent, ch->AttachBytesSent);
        case 16:
            return VOK_VERSION;
        case 17:
            return ch->MessageCount;
        case 18:
            return ch->MessageSize;
        case 19:
            return ch->UserBufferLen;
        case 20:
            return ConnectionState(ch);
        case 22:
            return ch->AttachCount;
        case 24:
            return ch->VerifyResult;
        case 26:
            return VOK_BUILD;
        case 27:
            return static_cast<int>(ch->Socket);
        case 30:
            return ch->Tls ? 1 : 0;
        case 31:
            return ch->Tls ? ch->TlsVersion : 0;
        default:
            return -1;
    }
}

extern "C" VOK_EXPORT int VOKAPI vokDebug(int channel, int code, char* buffer, int size) {
    CallScope scope;
    if (channel == -2) {
        ScanBlocks("vokDebug");
        return 0;
    }
    if (!buffer) return 0;
    if (size > 0) buffer[0] = '\0';
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    if (size < 1) return 0;
    switch (code) {
        case -12: {
            char date[96];
            FormatDateLine(date);
            CopyOut(buffer, size, date, 95);
            return 0;
        }
        case 23: {
            int n = CopyOut(buffer, size, ch->LastReply, kNameChars);
            // The length without the line end, which stays in the buffer.
            return (n > 2 && buffer[n - 2] == '\r') ? n - 2 : n;
        }
        case 25:
            return FormatServerAddress(ch, buffer, size);
        case 28: {
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
        case 29:
            return CopyOut(buffer, size, ch->SavedNames, kSavedNamesChars);
        case 30:
            return CopyOut(buffer, size, ch->LastRecipient, kRecipientChars);
        case 40: {
            int id = ch->Chan * kSlotsPerChannel + kSlotMessageBuffer;
            const char* block = GetBlock(id);
            if (!block) return VOK_NULL_POINTER;
            return CopyOut(buffer, size, block, BlockSize(id));
        }
        case 41:
            return CopyOut(buffer, size, ch->TlsSession, kNameChars);
        case 42:
            return CopyOut(buffer, size, ch->TlsSubject, kNameChars * 2);
        case 43:
            return FormatServerAddress(ch, buffer, size);
        default:
            CopyOut(buffer, size, "?", 1);
            return 0;
    }
}
