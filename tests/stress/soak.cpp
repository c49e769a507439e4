// SPDX-License-Identifier: MIT
// The soak run of scripts/soak.sh: many sessions on one channel of the
// shared library, against the real loopback servers, watching the process's
// open descriptors and resident memory, which must stay flat.
//
//   vok_soak SMTP_PORT POP3_PORT CYCLES FOLDER
//
// CYCLES connect/send/close cycles (a message with an attachment, AUTH as
// ann/secret), then CYCLES download cycles of message 1 of the mailbox
// (login, RETR with its attachments saved into FOLDER, QUIT). Prints the
// descriptor count and resident size at the start, the middle and the end
// of each; exits 1 when any call failed.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "vok32.h"

namespace {

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n - 1;  // the one opendir holds
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
    return -1;
}

void Report(const char* what, int done, int cycles, int failures) {
    std::printf("%-8s %5d/%d  descriptors %3d  rss %6ld kB  failures %d\n", what, done, cycles,
                OpenDescriptors(), ResidentKb(), failures);
    std::fflush(stdout);
}

// Runs `cycles` cycles of `one`, reporting at the start, middle and end.
template <typename Cycle>
int Soak(const char* what, int cycles, Cycle one) {
    int failures = 0;
    Report(what, 0, cycles, failures);
    for (int i = 1; i <= cycles; ++i) {
        std::string failed = one();
        if (!failed.empty() && ++failures <= 10)
            std::fprintf(stderr, "%s %d: %s\n", what, i, failed.c_str());
        if (i == cycles / 2 || i == cycles) Report(what, i, cycles, failures);
    }
    return failures;
}

// "" when rc is 0, else what failed.
std::string Check(const char* call, int rc) {
    if (rc == 0) return "";
    char text[200];
    vokErrorText(0, rc, text, sizeof text);
    return std::string(call) + " failed: " + std::to_string(rc) + " " + text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: vok_soak SMTP_PORT POP3_PORT CYCLES FOLDER\n");
        return 2;
    }
    const int smtpPort = std::atoi(argv[1]), pop3Port = std::atoi(argv[2]);
    const int cycles = std::atoi(argv[3]);
    const std::string folder = argv[4];
    const std::string attachment = folder + "/payload.bin";
    {
        std::ofstream out(attachment, std::ios::binary);
        for (int i = 0; i < 30000; ++i) out.put(static_cast<char>(i * 7));
    }
    if (vokAttach(1) != 1) return 1;
    vokIntegerParam(0, VOK_MIN_RESPONSE_WAIT, 1);
    vokIntegerParam(0, VOK_SMTP_PORT, smtpPort);
    vokIntegerParam(0, VOK_POP3_PORT, pop3Port);
    vokIntegerParam(0, VOK_ESMTP_MODE, 1);
    vokStringParam(0, VOK_USER_NAME, "ann");
    vokStringParam(0, VOK_SMTP_PASSWORD, "secret");

    int failures = Soak("send", cycles, [&] {
        std::string failed =
            Check("connect", vokSmtpConnect(0, "127.0.0.1", "<soak@example.com>", nullptr));
        if (failed.empty())
            failed = Check("send", vokSendEmail(0, "<ann@example.com>", nullptr, nullptr, "soak",
                                                "A soak message.", attachment.c_str()));
        if (failed.empty()) return Check("close", vokClose(0));
        vokAbort(0);
        return failed;
    });
    failures += Soak("download", cycles, [&] {
        std::string failed = Check("login", vokPop3Connect(0, "127.0.0.1", "ann", "secret"));
        if (failed.empty())
            failed = Check("download",
                           vokGetEmailFile(0, 1, "message.txt", folder.c_str(), folder.c_str()));
        if (failed.empty()) return Check("close", vokClose(0));
        vokAbort(0);
        return failed;
    });
    vokRelease();
    return failures == 0 ? 0 : 1;
}
