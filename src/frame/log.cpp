// SPDX-License-Identifier: MIT
#include "frame/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "frame/channel.h"
#include "platform/platform.h"

namespace vok {

void LogWrite(Channel* ch, const char* data, int len) {
    if (!ch || ch->LogFile <= 0 || !data || len <= 0) return;
    // Write errors are ignored: the log never changes what the library does.
    plat::FileWrite(ch->LogFile, data, static_cast<uint32_t>(len));
}

void LogText(Channel* ch, const char* text) {
    if (!ch || ch->LogFile <= 0 || !text) return;
    LogWrite(ch, text, static_cast<int>(strlen(text)));
}

void LogFormat(Channel* ch, const char* format, ...) {
    if (!ch || ch->LogFile <= 0) return;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(ch->LogLine, sizeof ch->LogLine, format, args);
    va_end(args);
    if (n < 0) return;
    if (n >= static_cast<int>(sizeof ch->LogLine)) n = static_cast<int>(sizeof ch->LogLine) - 1;
    LogWrite(ch, ch->LogLine, n);
}

void LogTraffic(Channel* ch, const char* prefix, const char* data, int len) {
    if (!ch || ch->LogFile <= 0) return;
    // LogDetail 1 leaves out message data, and the copy of bytes looked at
    // ahead ("P: "), which the log shows again as they are taken ("r: ").
    if (ch->LogDetail != 0 && (ch->DataQuiet || prefix[0] == 'P')) return;
    LogWrite(ch, prefix, 3);
    LogWrite(ch, data, len);
}

void LogSent(Channel* ch, const char* data, int len) {
    if (!ch || ch->LogFile <= 0) return;
    int shown = ch->LogSecretFrom - 1;
    if (shown < 0 || shown >= len) {
        LogTraffic(ch, "S: ", data, len);
        return;
    }
    LogTraffic(ch, "S: ", data, shown);
    LogText(ch, "****\r\n");
}

void LogCall(Channel* ch, const char* name) {
    if (!ch || ch->LogFile <= 0) return;
    LogFormat(ch, "*** %s\r\n", name);
}

}  // namespace vok
