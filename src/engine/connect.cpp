// SPDX-License-Identifier: MIT
// The server's addresses for the connect states (RFC 6724 order, as the
// resolver gives it; RFC 8305 section 5's idea of moving on from an address
// that does not answer, without parallel attempts).
#include "engine/connect.h"

#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "platform/sockets.h"

namespace vok {

namespace {

bool Before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

// Makes address i the current one.
void Select(Channel* ch, int i) {
    ch->ServerAddrIndex = i;
    const plat::NetAddress& a = ch->ServerAddrs[i];
    if (a.Family == 4) {
        ch->ServerIP = static_cast<uint32_t>(a.Bytes[0]) << 24 |
                       static_cast<uint32_t>(a.Bytes[1]) << 16 |
                       static_cast<uint32_t>(a.Bytes[2]) << 8 | a.Bytes[3];
    } else {
        ch->ServerIP = 0;
    }
}

}  // namespace

void EndLookup(Channel* ch) {
    plat::LookupEnd(ch->Lookup);
    ch->Lookup = nullptr;
}

int FindAddresses(Channel* ch) {
    int count = 0;
    int rc = 0;
    if (ch->Lookup) {
        rc = plat::LookupResult(ch->Lookup, ch->ServerAddrs, plat::kMaxServerAddresses, &count);
        if (rc == -1) return 2;
        EndLookup(ch);
    } else {
        ch->ServerAddrCount = 0;
        ch->ServerAddrIndex = 0;
        ch->ConnectLimit = 0;
        plat::NetAddress& first = ch->ServerAddrs[0];
        if (IsDottedQuad(ch->Server)) {
            ch->ServerIP = ParseDottedQuad(ch->Server);
            first = plat::NetAddress{};
            first.Family = 4;
            for (int k = 0; k < 4; ++k)
                first.Bytes[k] = static_cast<uint8_t>(ch->ServerIP >> (24 - 8 * k));
            ch->ServerAddrCount = 1;
            return 1;
        }
        if (plat::ParseIpv6(ch->Server, &first)) {
            ch->ServerAddrCount = 1;
            Select(ch, 0);
            return 1;
        }
        while (plat::SocketLayerBusy()) {
            int32_t sleep = LibrarySettings.PollSleep;
            plat::SleepMs(static_cast<uint32_t>(sleep > 0 ? sleep : 0));
        }
        ch->Lookup = plat::LookupStart(ch->Server);
        if (ch->Lookup) return 2;
        // No thread to be had: the lookup is made here.
        rc = plat::ResolveAll(ch->Server, ch->ServerAddrs, plat::kMaxServerAddresses, &count);
    }
    if (rc != 0) return -rc;
    ch->ServerAddrCount = count;
    Select(ch, 0);
    if (ch->ServerAddrs[0].Family == 4 && ch->ServerIP == 0) return 0;
    return 1;
}

int FormatServerAddress(const Channel* ch, char* buffer, int size) {
    if (ch->ServerAddrCount > 0 && ch->ServerAddrs[ch->ServerAddrIndex].Family == 6)
        return plat::FormatNetAddress(&ch->ServerAddrs[ch->ServerAddrIndex], buffer, size);
    return FormatDottedQuad(ch->ServerIP, buffer, size);
}

int ServerFamily(const Channel* ch) {
    if (ch->ServerAddrCount <= 0) return 4;
    return ch->ServerAddrs[ch->ServerAddrIndex].Family == 6 ? 6 : 4;
}

int ConnectServer(Channel* ch) {
    if (ServerFamily(ch) == 4) return ConnectSocket(ch->Chan, ch->ServerIP, ch->RemotePort);
    char text[64];
    FormatServerAddress(ch, text, sizeof text);
    LogFormat(ch, "Socket=%d, RemoteAddr=[%s], RemotePort=%d\r\n", static_cast<int>(ch->Socket),
              text, static_cast<int>(ch->RemotePort));
    int rc =
        plat::SocketConnectTo(ch->Socket, &ch->ServerAddrs[ch->ServerAddrIndex], ch->RemotePort);
    if (rc != 0 && rc != plat::kWouldBlock) return -rc;
    return 1;
}

void PlanAttempt(Channel* ch, uint32_t now) {
    if (ch->ServerAddrCount <= 1) return;  // one address: ConnectWait as it always was
    if (ch->ServerAddrIndex == 0 || ch->ConnectLimit == 0) ch->ConnectLimit = ch->Deadline;
    ConnectLimitRule(ch, ch->ConnectLimit, false);
    int left = ch->ServerAddrCount - ch->ServerAddrIndex;
    int32_t remaining = static_cast<int32_t>(ch->ConnectLimit - now);
    if (remaining < 0) remaining = 0;
    ch->AttemptLimit = now + static_cast<uint32_t>(remaining / (left > 0 ? left : 1));
}

bool NextAddress(Channel* ch, uint32_t now, bool failed) {
    if (ch->ServerAddrIndex + 1 >= ch->ServerAddrCount) return false;
    if (!failed && !Before(ch->AttemptLimit, now)) return false;
    DropSocket(ch);
    Select(ch, ch->ServerAddrIndex + 1);
    char text[64];
    FormatServerAddress(ch, text, sizeof text);
    LogFormat(ch, "%s, trying ServerIP = %s\r\n", failed ? "Connect failed" : "No answer", text);
    GoTo(ch, kStConnect);
    ConnectLimitRule(ch, ch->ConnectLimit, true);
    return true;
}

}  // namespace vok
