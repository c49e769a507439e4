/* SPDX-License-Identifier: MIT */
// The per-channel diagnostic log. Every writer is a no-op while the channel
// has no log open, so logging costs one test when it is off.
#pragma once

#include <cstdint>

#if defined(__GNUC__)
#define VOK_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define VOK_PRINTF(f, a)
#endif

namespace vok {

struct Channel;

// Writes len bytes as they are.
void LogWrite(Channel* ch, const char* data, int len);

// Writes a NUL-terminated text as it is.
void LogText(Channel* ch, const char* text);

// Formats into the channel's LogLine (bounded) and writes the result; the
// arguments may point into any other buffer of the channel.
void LogFormat(Channel* ch, const char* format, ...) VOK_PRINTF(2, 3);

// Writes a three-character traffic prefix ("S: ", "P: ", "r: ", "R: ")
// followed by the bytes, with no line end added. On a channel with
// LogDetail 1: nothing while message data crosses (DataQuiet), nor for "P: ".
void LogTraffic(Channel* ch, const char* prefix, const char* data, int len);

// Traffic we sent ("S: "), with the secret part of a line masked as the
// channel's LogSecretFrom asks.
void LogSent(Channel* ch, const char* data, int len);

// The call marker of an export: "*** name\r\n".
void LogCall(Channel* ch, const char* name);

}  // namespace vok
