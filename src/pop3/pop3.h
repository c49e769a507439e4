/* SPDX-License-Identifier: MIT */
// The POP3 client (RFC 1939): state numbers shared by the mailbox calls and
// their driver states.
#pragma once

#include <cstdint>

namespace vok {

struct Channel;

// Byte counters of the statistics call wrap instead of overflowing on a
// huge download.
inline void AddCount(int32_t* counter, int32_t n) {
    *counter = static_cast<int32_t>(static_cast<uint32_t>(*counter) + static_cast<uint32_t>(n));
}

enum Pop3State : int {
    kPop3Connect = 300,   // version line, then the connect sequence
    kPop3Greeting = 301,  // greeting and its APOP timestamp
    kPop3Apop = 302,
    kPop3User = 303,
    kPop3UserReply = 304,
    kPop3Pass = 305,
    kPop3LoginReply = 306,
    kPop3Stat = 307,
    kPop3StatReply = 308,
    kPop3RawBlock = 309,  // raw download
    kPop3Retr = 310,      // open the message file, send RETR
    kPop3Top = 311,
    kPop3RetrLine = 312,
    kPop3Finish = 313,  // close the download's files
    kPop3TopLine = 314,
    kPop3Dele = 315,
    kPop3DeleReply = 316,
    kPop3List = 317,
    kPop3ListReply = 318,
    kPop3Uidl = 320,
    kPop3UidlLine = 321,
};

}  // namespace vok
