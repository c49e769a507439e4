// SPDX-License-Identifier: MIT
// SASL pieces shared by the SMTP and POP3 AUTH commands.
#include "engine/sasl.h"

#include "codec/codec.h"
#include "codec/text.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"

namespace vok {

const char* OAuthToken(const Channel* ch) {
    const char* token = GetBlock(kTokenBlockBase + ch->Chan);
    return token ? token : "";
}

int SendBase64Line(Channel* ch, const char* prefix, const char* raw, int n, bool secret) {
    // The line leaves in pieces of 1536 characters (1152 input bytes, a whole
    // number of 3-byte units, so the pieces join into one encoding).
    plat::FileHandle log = ch->LogFile;
    if (secret) {
        LogFormat(ch, "S: %s<%d bytes not logged>\r\n", prefix, n);
        ch->LogFile = 0;
    }
    int total = SendText(ch, prefix);
    const auto* in = reinterpret_cast<const unsigned char*>(raw);
    for (int done = 0; total >= 0 && done < n;) {
        int piece = n - done < 1152 ? n - done : 1152;
        int at = 0;
        for (int k = 0; k < piece;) {
            int step = piece - k < 57 ? piece - k : 57;
            at += EncodeBase64Line(in + done + k, ch->CommandLine + at, step);
            k += step;
        }
        int rc = SendData(ch, ch->CommandLine, at);
        total = rc < 0 ? rc : total + rc;
        done += piece;
    }
    if (total >= 0) {
        int rc = SendData(ch, "\r\n", 2);
        total = rc < 0 ? rc : total + rc;
    }
    ch->LogFile = log;
    return total;
}

int SendXoauth2(Channel* ch, const char* prefix) {
    // The XOAUTH2 initial client response: "user=" user ^A "auth=Bearer " token ^A ^A.
    static const char kAuth[] = "\001auth=Bearer ";
    char raw[kUserChars + kTokenChars + 32];
    int n = CopyText(raw, "user=", 5);
    n += CopyText(raw + n, ch->UserName, kUserChars);
    n += CopyText(raw + n, kAuth, sizeof kAuth - 1);
    n += CopyText(raw + n, OAuthToken(ch), kTokenChars);
    raw[n++] = '\001';
    raw[n++] = '\001';
    return SendBase64Line(ch, prefix, raw, n, true);
}

}  // namespace vok
