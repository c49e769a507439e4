// SPDX-License-Identifier: MIT
// SASL pieces shared by the SMTP and POP3 AUTH commands: the XOAUTH2
// initial response and sending a base64 line of any length.
#pragma once

namespace vok {

struct Channel;

// The channel's OAuth bearer token (vokStringParam 61), "" when none.
const char* OAuthToken(const Channel* ch);

// Sends prefix + base64(raw) + CR LF as one line, however long. With
// `secret` set the log shows the prefix and the length, never the line.
// Returns the bytes sent or the first negative send result.
int SendBase64Line(Channel* ch, const char* prefix, const char* raw, int n, bool secret);

// Sends prefix + the XOAUTH2 initial response (user=<UserName>^Aauth=Bearer
// <token>^A^A, base64) as one line, kept out of the log.
int SendXoauth2(Channel* ch, const char* prefix);

}  // namespace vok
