// Socket types of the platform layer. The calls themselves come with the
// transport; these types are what the channel record stores.
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

}  // namespace vok::plat
