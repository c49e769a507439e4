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
    kPop3Stls = 330,  // STLS after the greeting (RFC 2595 section 4)
    kPop3StlsReply = 331,
    kPop3Capa = 332,  // CAPA, to see the SASL mechanisms (RFC 2449 section 6.3)
    kPop3CapaLine = 333,
    kPop3Auth = 334,  // AUTH with an initial response (RFC 5034)
    kPop3AuthReply = 335,
    kPop3AuthFinal = 336,
};

// The first login state for the channel's AuthMethod (pop3_auth.cpp).
int Pop3LoginState(const Channel* ch);
int SendCapa(Channel* ch, uint32_t now);
int ReadCapaLine(Channel* ch, uint32_t now);
int SendSaslAuth(Channel* ch, uint32_t now);
int ReadSaslReply(Channel* ch, uint32_t now);
int ReadSaslFinal(Channel* ch, uint32_t now);

// STLS (stls.cpp).
int SendStls(Channel* ch, uint32_t now);
int ReadStlsReply(Channel* ch, uint32_t now);

}  // namespace vok
