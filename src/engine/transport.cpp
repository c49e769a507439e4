// SPDX-License-Identifier: MIT
// The socket transport. Every read from a socket goes through ReceiveInto and
// every write through SendData, the seam where an encrypted transport would
// sit.
#include "engine/transport.h"

#include <cstdio>
#include <cstring>

#include "codec/text.h"
#include "engine/connect.h"
#include "engine/tls_transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/sockets.h"
#include "vok32.h"

namespace vok {

namespace {

// --- The receive ring -----------------------------------------------------------

// The ring's bytes come in at most two runs: up to the end of the buffer,
// then from its start.
void RingPeek(const Channel* ch, char* dst, int n) {
    int first = kRingSize - ch->RingRead;
    if (first > n) first = n;
    memcpy(dst, ch->RingBuffer + ch->RingRead, static_cast<size_t>(first));
    if (n > first) memcpy(dst + first, ch->RingBuffer, static_cast<size_t>(n - first));
}

void RingTake(Channel* ch, char* dst, int n) {
    RingPeek(ch, dst, n);
    ch->RingStarved = 0;
    ch->RingRead = (ch->RingRead + n) % kRingSize;
    if (ch->RingRead == ch->RingWrite) ch->RingRead = ch->RingWrite = 0;
}

void RingAppend(Channel* ch, const char* src, int n) {
    // Never more than the ring's free room, so the write position cannot
    // catch up with the read position.
    if (n > kRingSize - 1 - RingCount(ch)) n = kRingSize - 1 - RingCount(ch);
    ch->RingStarved = 0;
    int first = kRingSize - ch->RingWrite;
    if (first > n) first = n;
    memcpy(ch->RingBuffer + ch->RingWrite, src, static_cast<size_t>(first));
    if (n > first) memcpy(ch->RingBuffer, src + first, static_cast<size_t>(n - first));
    ch->RingWrite = (ch->RingWrite + n) % kRingSize;
}

// The one place that reads from a socket. Bytes received, or -1 when the
// peer has closed or the receive failed.
int ReceiveInto(Channel* ch, char* dst, int length) {
    if (ch->Socket == plat::kNoSocket || length <= 0) return -1;
    int n = ch->Tls ? TlsReceive(ch, dst, length) : plat::SocketRecv(ch->Socket, dst, length);
    if (n <= 0) return -1;
    ch->TrafficBytes += static_cast<uint32_t>(n);
    return n;
}

bool PollReadable(Channel* ch) {
    if (ch->Socket == plat::kNoSocket) return true;  // the receive meets the error
    if (ch->Tls) return TlsPollReadable(ch);
    return plat::SocketPoll(ch->Socket, plat::Readiness::Readable, 0) == 1;
}

int32_t NonNegative(int32_t ms) {
    return ms < 0 ? 0 : ms;
}

}  // namespace

int RingCount(const Channel* ch) {
    return ((ch->RingWrite - ch->RingRead) % kRingSize + kRingSize) % kRingSize;
}

void EmptyRing(Channel* ch) {
    ch->RingRead = ch->RingWrite = 0;
    ch->RingStarved = 0;
}

// --- Names and addresses ------------------------------------------------------

int CheckServerName(const char* name) {
    if (!name) return 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        unsigned char c = *p;
        if (c == '<' || c == '>' || c == '@') return 0;
        if (c < 32 || c == 127 || (c >= 128 && c <= 191)) return 0;
    }
    return 1;
}

int IsDottedQuad(const char* name) {
    if (!name) return 0;
    const char* p = name;
    for (int field = 0; field < 4; ++field) {
        int value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p - '0');
            if (value > 255) return 0;
            ++p;
        }
        if (field < 3) {
            if (*p != '.') return 0;
            ++p;
        } else if (*p != '.' && *p != '\0') {
            return 0;
        }
    }
    return 1;
}

uint32_t ParseDottedQuad(const char* name) {
    uint32_t address = 0;
    const char* p = name;
    for (int field = 0; field < 4; ++field) {
        uint32_t value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<uint32_t>(*p - '0');
            if (value > 255) value = 255;
            ++p;
        }
        address = (address << 8) | value;
        if (*p == '.') ++p;
    }
    return address;
}

int FormatDottedQuad(uint32_t address, char* buffer, int size) {
    if (!buffer || size <= 16) return 0;
    return snprintf(buffer, static_cast<size_t>(size), "%u.%u.%u.%u", (address >> 24) & 255u,
                    (address >> 16) & 255u, (address >> 8) & 255u, address & 255u);
}

int ResolveServer(Channel* ch) {
    while (plat::SocketLayerBusy())
        plat::SleepMs(static_cast<uint32_t>(NonNegative(LibrarySettings.PollSleep)));
    uint32_t address = 0;
    int rc = plat::ResolveHost(ch->Server, &address);
    if (rc != 0) return -rc;
    if (address == 0) return 0;
    ch->ServerIP = address;
    return 1;
}

int GetLocalHostName(char* buffer, int size) {
    if (!buffer || size <= 0) return -10014;
    buffer[0] = '\0';
    int rc = plat::LocalHostName(buffer, size);
    if (rc != 0) {
        buffer[0] = '\0';
        return -rc;
    }
    return buffer[0] ? 1 : VOK_NO_HOST_NAME;
}

int ConnectSocket(int chan, uint32_t address, uint16_t port) {
    Channel* ch = ChannelTable[chan].Record;
    LogFormat(ch, "Socket=%d, RemoteAddr=%x, RemotePort=%d\r\n", static_cast<int>(ch->Socket),
              address, static_cast<int>(static_cast<int16_t>(port)));
    plat::SockAddrIn& sa = ChannelTable[chan].RemoteAddr;
    sa = plat::SockAddrIn{};
    sa.Family = 2;
    sa.Port = plat::HostToNet16(port);
    sa.Address = plat::HostToNet32(address);
    int rc = plat::SocketConnect(ch->Socket, &sa);
    if (rc != 0 && rc != plat::kWouldBlock) return -rc;
    return 1;
}

// --- Readiness ------------------------------------------------------------------

int PollSocket(Channel* ch, int kind) {
    if (kind < kPollReadable || kind > kPollFailed) return VOK_BAD_STATUS_FLAG;
    // No socket: report ready so that the following send or receive meets
    // the error, as a poll on a closed handle does.
    if (ch->Socket == plat::kNoSocket) return 1;
    return plat::SocketPoll(ch->Socket, static_cast<plat::Readiness>(kind), 0);
}

bool RingNews(const Channel* ch) {
    return RingCount(ch) > 0 && !ch->RingStarved;
}

bool DataArrived(Channel* ch) {
    return RingNews(ch) || PollReadable(ch);
}

int WaitReadable(Channel* ch, int32_t ms) {
    if (RingCount(ch) > 0) return 1;
    if (PollReadable(ch)) return 1;
    ms = NonNegative(ms);
    if (ms == 0) return 0;
    uint32_t limit = plat::TickCount() + static_cast<uint32_t>(ms);
    for (;;) {
        uint32_t now = plat::TickCount();
        int32_t left = static_cast<int32_t>(limit - now);
        if (left <= 0) return 0;
        // Block in the poll itself: no busy waiting, and data is seen at once.
        if (plat::SocketPoll(ch->Socket, plat::Readiness::Readable, left) == 1 &&
            (!ch->Tls || TlsPollReadable(ch)))
            return 1;
    }
}

int WaitWritable(Channel* ch, int32_t ms) {
    ms = NonNegative(ms);
    uint32_t limit = 0;
    bool limitSet = false;
    for (;;) {
        if (PollSocket(ch, kPollFailed) == 1 && ch->Socket != plat::kNoSocket) return 0;
        if (PollSocket(ch, kPollWritable) == 1) return 1;
        uint32_t now = plat::TickCount();
        if (!limitSet) {
            limit = now + static_cast<uint32_t>(ms);
            limitSet = true;
        }
        int32_t left = static_cast<int32_t>(limit - now);
        if (left <= 0) return 0;
        int32_t slice = NonNegative(LibrarySettings.PollSleep);
        if (slice == 0 || slice > left) slice = left;
        plat::SocketPoll(ch->Socket, plat::Readiness::Writable, slice);
    }
}

// --- Receiving ------------------------------------------------------------------

int FillRing(Channel* ch) {
    int room = kRingSize - 1 - RingCount(ch);
    if (room <= 0 || !PollReadable(ch)) return 0;
    // Received where PeekData would put it, and traced as it would be.
    int n = ReceiveInto(ch, ch->RecvBuffer, room);
    if (n <= 0) return -1;
    LogTraffic(ch, "P: ", ch->RecvBuffer, n);
    RingAppend(ch, ch->RecvBuffer, n);
    return n;
}

int RingSnapshot(const Channel* ch, char* dst, int size) {
    int n = RingCount(ch);
    if (n > size) n = size;
    RingPeek(ch, dst, n);
    return n;
}

int PeekData(Channel* ch, char* dst, int wanted) {
    if (wanted > kRingSize - 1) wanted = kRingSize - 1;
    if (wanted <= 0) return 0;
    if (RingCount(ch) == 0) {
        if (PollSocket(ch, kPollWritable) != 1) return -1;
        if (PollReadable(ch)) {
            int n = ReceiveInto(ch, ch->RecvBuffer, wanted);
            if (n <= 0) return -1;
            LogTraffic(ch, "P: ", ch->RecvBuffer, n);
            RingAppend(ch, ch->RecvBuffer, n);
        }
    }
    int n = RingCount(ch);
    if (n > wanted) n = wanted;
    RingPeek(ch, dst, n);
    return n;
}

int ReadData(Channel* ch, char* dst, int length) {
    if (length <= 0) return 0;
    int n = RingCount(ch);
    if (n > length) n = length;
    RingTake(ch, dst, n);
    if (n > 0) LogTraffic(ch, "r: ", dst, n);
    int total = n;
    if (n < length) {
        if (PollSocket(ch, kPollWritable) != 1) {
            if (n == 0) return -1;
        } else if (PollReadable(ch)) {
            int got = ReceiveInto(ch, dst + n, length - n);
            if (got <= 0) {
                // What the ring held is delivered; the end of the connection
                // shows on the next read.
                if (n == 0) return -1;
            } else {
                LogTraffic(ch, "R: ", dst + n, got);
                total += got;
            }
        }
    }
    // The destination holds one byte more than the data (callers size it so).
    ch->NextChar = dst[total];
    return total;
}

int ReadArrived(Channel* ch, char* dst, int length) {
    if (length <= 0) return 0;
    int n = RingCount(ch);
    if (n > 0) {
        if (n > length) n = length;
        RingTake(ch, dst, n);
        LogTraffic(ch, "r: ", dst, n);
    } else {
        if (!PollReadable(ch)) return 0;
        n = ReceiveInto(ch, dst, length);
        if (n <= 0) return -1;
        LogTraffic(ch, "R: ", dst, n);
    }
    ch->NextChar = dst[n];
    return n;
}

int ReadLinePiece(Channel* ch, char* dst, int size) {
    if (size < 2) return 0;
    int r = PeekData(ch, dst, size - 1);
    if (r <= 0) return r;
    // A line ends at LF and nowhere else: a NUL is an ordinary byte.
    const void* lf = memchr(dst, '\n', static_cast<size_t>(r));
    int take = lf ? static_cast<int>(static_cast<const char*>(lf) - dst) + 1 : r;
    int got = ReadData(ch, dst, take);
    if (got < 1) return got;
    dst[got] = '\0';
    return got;
}

int32_t WriteMessageData(plat::FileHandle file, const char* data, int32_t length) {
    if (length >= 3 && data[0] == '+' && data[1] == 'O' && data[2] == 'K') return 0;
    if (length <= 0) return 0;
    return plat::FileWrite(file, data, static_cast<uint32_t>(length));
}

// --- Sending and closing --------------------------------------------------------

namespace {
// Every send is bounded by WriteWait: a peer that stops reading fails the
// send, it never holds the thread.
int SendBounded(Channel* ch, const char* data, int length) {
    int32_t wait = LibrarySettings.WriteWait < 0 ? 0 : LibrarySettings.WriteWait;
    return plat::SocketSend(ch->Socket, data, length, ch->HoldSends != 0, wait);
}

// Sends what message data is held back: 0, or the negated socket error.
int FlushSends(Channel* ch) {
    int used = ch->SendUsed;
    ch->SendUsed = 0;
    if (used <= 0) return 0;
    int n = ch->Tls ? TlsSend(ch, ch->SendBuffer, used) : SendBounded(ch, ch->SendBuffer, used);
    return n < 0 ? n : 0;
}
// Gathering only while the caller has not asked for paced lines: a
// SendLineDelay means every line is to reach the server on its own.
bool Gathering(const Channel* ch) {
    return ch->HoldSends && LibrarySettings.SendLineDelay <= 0;
}
}  // namespace

bool SendRoomHeld(const Channel* ch) {
    return Gathering(ch) && ch->Socket != plat::kNoSocket &&
           ch->SendUsed <= kSendBufferSize - (kLineChars + 2);
}

int SendData(Channel* ch, const char* data, int length) {
    if (ch->Socket == plat::kNoSocket) return -plat::kNotSocket;
    if (length <= 0) return 0;
    ch->TrafficBytes += static_cast<uint32_t>(length);
    if (Gathering(ch) && length <= kSendBufferSize) {
        // Message data, one line per step: gather the lines and send them in
        // blocks, so a large attachment costs a system call per 16 KB rather
        // than per 78-byte line. The log still shows every line as sent.
        if (ch->SendUsed + length > kSendBufferSize) {
            int rc = FlushSends(ch);
            if (rc < 0) return rc;
        }
        memcpy(ch->SendBuffer + ch->SendUsed, data, static_cast<size_t>(length));
        ch->SendUsed += length;
        LogSent(ch, data, length);
        return length;
    }
    int rc = FlushSends(ch);  // held data goes first
    if (rc < 0) return rc;
    int n = ch->Tls ? TlsSend(ch, data, length) : SendBounded(ch, data, length);
    if (n < 0) return n;
    LogSent(ch, data, n);
    return n;
}

int SendText(Channel* ch, const char* text) {
    return SendData(ch, text, TextLength(text));
}

int SendLine(Channel* ch, char* text) {
    int len = TextLength(text);
    text[len] = '\r';
    text[len + 1] = '\n';
    text[len + 2] = '\0';
    int rc = SendData(ch, text, len + 2);
    text[len] = '\0';
    return rc;
}

int SendSecretLine(Channel* ch, char* text, int shown) {
    ch->LogSecretFrom = static_cast<int16_t>((shown < 0 ? 0 : shown > 999 ? 999 : shown) + 1);
    int rc = SendLine(ch, text);
    ch->LogSecretFrom = 0;
    return rc;
}

int CloseSocket(Channel* ch) {
    while (plat::SocketLayerBusy())
        plat::SleepMs(static_cast<uint32_t>(NonNegative(LibrarySettings.PollSleep)));
    TlsEnd(ch, true);  // close_notify first (RFC 8446 section 6.1)
    // The handle is taken from the channel under the lock (the system may
    // hand its number to another socket once it is closed); the close itself
    // waits for nothing, so no other channel ever waits for this one.
    plat::LockEnter();
    plat::SocketHandle s = ch->Socket;
    ch->Socket = plat::kNoSocket;
    ChannelTable[ch->Chan].Socket = plat::kNoSocket;
    plat::LockLeave();
    if (s == plat::kNoSocket) return 1;  // closing a closed channel does no harm
    // What is still queued (a QUIT, say) goes out before our FIN.
    int rc = plat::SocketCloseGraceful(s);
    return rc == 0 ? 1 : rc;
}

void DropSocket(Channel* ch) {
    ch->SendUsed = 0;
    TlsEnd(ch, false);
    if (ch->Socket == plat::kNoSocket) return;
    plat::LockEnter();
    plat::SocketClose(ch->Socket, 0);
    ch->Socket = plat::kNoSocket;
    ChannelTable[ch->Chan].Socket = plat::kNoSocket;
    plat::LockLeave();
}

void CloseConnection(Channel* ch) {
    EndLookup(ch);  // a connect that ends while the server's name is looked up
    DropListing(ch);
    ch->DataQuiet = 0;
    LogText(ch, "Closing socket\r\n");
    ch->HoldSends = 0;
    ch->SendUsed = 0;
    CloseSocket(ch);
}

}  // namespace vok
