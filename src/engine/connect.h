// SPDX-License-Identifier: MIT
// The server's addresses for the connect states: a dotted quad, an IPv6
// literal, or every address of a name (IPv4 and IPv6), tried in turn until
// one connects, all within ConnectWait.
#pragma once

#include <cstdint>

namespace vok {

struct Channel;

// Finds the server's addresses: 1, 0 (no usable address) or the negated
// resolver error; 2 while a name's lookup runs on its own thread (call again).
// Literals are answered at once.
int FindAddresses(Channel* ch);
// Lets go of a lookup still running (the channel is closed, aborted or
// starts over); harmless when there is none.
void EndLookup(Channel* ch);
// The current address as text: the dotted quad for IPv4, else IPv6 text.
// Characters written (bounded by size).
int FormatServerAddress(const Channel* ch, char* buffer, int size);
// 4 or 6: the family of the current address.
int ServerFamily(const Channel* ch);
// Starts the connect to the current address (the socket is made): 1, or
// the negated socket error.
int ConnectServer(Channel* ch);
// After ConnectWaitRule: the whole sequence keeps one limit (ConnectWait
// from the first attempt); each attempt gets its share of what is left.
void PlanAttempt(Channel* ch, uint32_t now);
// When the current attempt failed or used up its share and another address
// is left: drops the socket, moves on and sends the driver back to the
// connect state. True when it did.
bool NextAddress(Channel* ch, uint32_t now, bool failed);

}  // namespace vok
