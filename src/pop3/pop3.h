/* SPDX-License-Identifier: MIT */
// The POP3 client (RFC 1939): state numbers shared by the mailbox calls and
// their driver states.
#pragma once

#include <cstdint>

#include "engine/states.h"

namespace vok {

struct Channel;
struct StateTable;

extern const StateTable kPop3States;  // 300..336 (pop3_states.cpp)

// Byte counters of the statistics call wrap instead of overflowing on a
// huge download.
inline void AddCount(int32_t* counter, int32_t n) {
    *counter = static_cast<int32_t>(static_cast<uint32_t>(*counter) + static_cast<uint32_t>(n));
}

// Replaces the APOP timestamp and password in AuthBuffer by the answer
// "user hexdigest" (RFC 1939 section 7). Never reads or writes past AuthBuffer.
void BuildApopResponse(Channel* ch);

// ListAll: the size / unique id of message n from the session's listing.
// False when there is no listing or it lacks the message.
bool ListedSize(const Channel* ch, int n, int32_t* size);
bool ListedUid(const Channel* ch, int n, const char** uid);
// Places "+OK n uid" CR LF in the caller's UserBuffer, as UIDL n answers.
void AnswerUidFromListing(Channel* ch, int n, const char* uid);

// The first login state for the channel's AuthMethod (pop3_auth.cpp).
State Pop3LoginState(const Channel* ch);
int SendCapa(Channel* ch, uint32_t now);
int ReadCapaLine(Channel* ch, uint32_t now);
int SendSaslAuth(Channel* ch, uint32_t now);
int ReadSaslReply(Channel* ch, uint32_t now);
int ReadSaslFinal(Channel* ch, uint32_t now);

// STLS (stls.cpp).
int SendStls(Channel* ch, uint32_t now);
int ReadStlsReply(Channel* ch, uint32_t now);

}  // namespace vok
