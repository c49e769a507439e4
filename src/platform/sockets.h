/* SPDX-License-Identifier: MIT */
// Sockets of the platform layer: IPv4 and IPv6 TCP with WinSock semantics. Every
// failure is reported as a WinSock error number (10054 for a reset, 11001
// for an unknown host, ...), on every platform, so that results and error
// texts are the same everywhere.
#pragma once

#include <cstdint>

namespace vok::plat {

// A socket handle: a descriptor on POSIX, a SOCKET on Windows.
using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = 0;  // a channel without a socket

// An IPv4 socket address laid out like the platform's sockaddr_in:
// family 2, port and address in network byte order, then 8 zero bytes.
struct SockAddrIn {
    uint16_t Family;
    uint16_t Port;     // network byte order
    uint32_t Address;  // network byte order
    uint8_t Zero[8];
};
static_assert(sizeof(SockAddrIn) == 16, "sockaddr_in is 16 bytes");

// An IPv4 or IPv6 address. Bytes in network order (IPv4: the first four).
struct NetAddress {
    uint8_t Family;  // 4 or 6; 0 = none
    uint8_t Bytes[16];
    uint32_t ScopeId;  // IPv6 link-local scope, else 0
};
constexpr int kMaxServerAddresses = 8;  // addresses of a name tried in turn

// WinSock error numbers the library itself tests for.
constexpr int kWouldBlock = 10035;
constexpr int kNotSocket = 10038;
constexpr int kTimedOut = 10060;

// Byte order for the address fields.
uint16_t HostToNet16(uint16_t v);
uint32_t HostToNet32(uint32_t v);
uint32_t NetToHost32(uint32_t v);

// A TCP socket in blocking mode (never handle 0), IPv4 or (family 6) IPv6:
// 0, or the error number.
int SocketCreate(SocketHandle* out, int family = 4);
// FIONBIO: 0, or the error number.
int SocketSetNonBlocking(SocketHandle s, uint32_t on);
// 0 when connected or (non-blocking) started: kWouldBlock; else the error.
int SocketConnect(SocketHandle s, const SockAddrIn* address);
// Bytes sent (all of them), or -error. With `more` set the system may hold
// the bytes back to fill a segment with what follows; a send without it
// pushes everything held out at once. With timeoutMs 0 or more the send
// never blocks longer than that in all: a peer that stops reading makes it
// fail with -10060 (timed out) once the time is up. A negative timeoutMs
// waits as long as it takes.
int SocketSend(SocketHandle s, const char* data, int length, bool more = false, int timeoutMs = -1);
// Sends small segments at once instead of waiting for the peer's
// acknowledgement (where `more` can make up for it): 0 or the error number.
int SocketSetNoDelay(SocketHandle s);
// Bytes received, 0 when the peer has closed, or -error.
int SocketRecv(SocketHandle s, char* buffer, int length);

enum class Readiness { Readable = 1, Writable = 2, Failed = 3 };
// Polls one socket, waiting at most timeoutMs (0 = just look). 1 ready,
// 0 not. A poll that itself fails reports ready, so that the following
// send or receive meets the error instead of waiting for nothing.
int SocketPoll(SocketHandle s, Readiness kind, int timeoutMs);

// The error a failed socket holds (SO_ERROR), 0 when none.
int SocketPendingError(SocketHandle s);

// Closes with lingering on (linger time in seconds as given): 0 or -error.
// Linger time 0 drops the connection at once (a reset).
int SocketClose(SocketHandle s, int lingerSeconds);
// The orderly close: our side's FIN follows whatever is still queued, and
// the system delivers both in the background, so the call never waits.
int SocketCloseGraceful(SocketHandle s);
// Shuts both directions of a socket without closing its handle: a poll or
// receive that another thread is blocked in returns at once.
void SocketShutdown(SocketHandle s);
// Local address of a connected socket: 0 or -error.
int SocketLocalAddress(SocketHandle s, SockAddrIn* out);

// For the test suite's loopback servers: a listening socket on 127.0.0.1
// (port 0 picks a free one, reported back), and accepting one connection.
int SocketListenLoopback(SocketHandle* out, uint16_t* port, int backlog);
int SocketAccept(SocketHandle listener, SocketHandle* out);

// Connects to an IPv4 or IPv6 address; as SocketConnect.
int SocketConnectTo(SocketHandle s, const NetAddress* address, uint16_t port);
// The local address of a connected socket of either family: 0 or -error.
int SocketLocalNetAddress(SocketHandle s, NetAddress* out);

// Every address of a host name, IPv4 and IPv6, in the resolver's order of
// preference (RFC 6724), at most max: 0 and *count, or the resolver's error
// number (11001 unknown host, ...).
int ResolveAll(const char* name, NetAddress* out, int max, int* count);
// For the test suite: ResolveAll answers `name` with the given addresses
// (count 0 or a null name ends the override).
void SetResolveOverride(const char* name, const NetAddress* list, int count);
bool ResolveOverridden(const char* name, NetAddress* out, int max, int* count);
// For the test suite: while held, a lookup of the overridden name waits (at
// most 10 s) before it answers, as a slow name server would.
void HoldResolveOverride(bool hold);

// A host-name lookup (ResolveAll) on a thread of its own. LookupStart copies
// the name; null when no thread could be started (the caller then calls
// ResolveAll itself). LookupResult: -1 while the lookup runs, else what
// ResolveAll returned, with the addresses copied to out. LookupEnd lets go
// of the handle, finished or not: a running lookup frees itself when done.
struct HostLookup;
HostLookup* LookupStart(const char* name);
int LookupResult(HostLookup* lookup, NetAddress* out, int max, int* count);
void LookupEnd(HostLookup* lookup);
// An IPv6 address literal ("::1", "[::1]", "fe80::1%eth0"): true and *out.
bool ParseIpv6(const char* text, NetAddress* out);
// An address as text ("127.0.0.1", "::1"): the characters written (at most
// size - 1, then a NUL), 0 when it does not fit.
int FormatNetAddress(const NetAddress* address, char* buffer, int size);

// The first IPv4 address of a host name, host byte order: 0, or the
// resolver's error number (11001 unknown host, 11002 try again, ...).
int ResolveHost(const char* name, uint32_t* address);
// This machine's host name: 0, or the error number.
int LocalHostName(char* buffer, int size);
// True while a blocking call is in progress (a WinSock 1.1 notion; always false now).
bool SocketLayerBusy();

}  // namespace vok::plat
