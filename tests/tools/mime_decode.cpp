// SPDX-License-Identifier: MIT
// Decodes one message file the way a download does, into a folder:
//   vok_mime_decode MESSAGE FOLDER
// The message file goes to FOLDER/mail.txt, the attachments beside it. Used
// by the comparison with Python's e-mail package (tests/mime_differential.py).
#include <cstdio>
#include <vector>

#include "codec/text.h"
#include "frame/channel.h"
#include "platform/platform.h"
#include "pop3/decoder.h"
#include "vok32.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: vok_mime_decode MESSAGE FOLDER\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) return 2;
    std::vector<char> message;
    for (int c; (c = fgetc(f)) != EOF;) message.push_back(static_cast<char>(c));
    fclose(f);
    if (vokAttach(1) != 1) return 2;
    vok::Channel* ch = vok::ChannelTable[0].Record;
    vok::CopyText(ch->AttachDir, argv[2], vok::kPathChars + 1);
    vok::CopyText(ch->EmailName, "mail.txt", vok::kNameChars);
    char path[vok::kPathChars + 2];
    if (vok::JoinPath(path, vok::kPathChars, argv[2], "", "mail.txt") < 0) return 2;
    ch->MailHandle = vok::plat::FileCreate(path);
    if (ch->MailHandle <= 0 || vok::StartDownload(ch) != 0) return 2;
    // Lines as the download hands them on: after each LF, long ones in
    // pieces of 1,023 bytes.
    int rc = 0;
    size_t at = 0;
    while (at < message.size() && rc == 0) {
        size_t end = at;
        while (end < message.size() && message[end] != '\n') ++end;
        end = end < message.size() ? end + 1 : end;
        for (size_t p = at; p < end && rc == 0; p += 1023) {
            size_t n = end - p < 1023 ? end - p : 1023;
            rc = vok::DownloadPiece(ch, message.data() + p, static_cast<int32_t>(n));
        }
        at = end;
    }
    int end = vok::EndDownload(ch, rc == 0);
    vokRelease();
    return rc != 0 || end != 0 ? 1 : 0;
}
