/* SPDX-License-Identifier: MIT */
/*
 * poll_loop: sends one message on each of many channels at once, driven
 * from one poll() loop in one thread (POSIX).
 *
 *   poll_loop SERVER PORT FROM TO [CHANNELS]
 *
 * Every channel runs with AutoCall 0: each library call only sets its
 * operation up, and the loop calls vokDriver when the channel can go on.
 * What it waits for comes from vokStatistics: VOK_STAT_SOCKET (the handle
 * to poll), VOK_STAT_WAIT_FOR (readable or writable) and VOK_STAT_TIMER_MS
 * (when its timer runs out). Each channel connects, sends and closes; the
 * program prints how many made it and fails when one did not. With
 * POLL_LOOP_USER and POLL_LOOP_PASSWORD in the environment every channel
 * greets with EHLO and logs in.
 */
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>

#include "vok32.h"

enum { kMaxChannels = VOK_MAX_CHANNELS };

/* The operation each channel is in: connect, send, close, then done. */
enum Phase { kConnect, kSend, kClose, kDone };

static const char* g_server;
static const char* g_from;
static const char* g_to;

/* Starts the channel's next operation; with AutoCall 0 it returns 0 at once
 * (or an argument error). */
static int start(int chan, enum Phase phase) {
    char subject[64];
    switch (phase) {
        case kConnect:
            return vokSmtpConnect(chan, g_server, g_from, NULL);
        case kSend:
            snprintf(subject, sizeof subject, "poll loop, channel %d", chan);
            return vokSendEmail(chan, g_to, NULL, NULL, subject, "Sent from a poll loop.\r\n",
                                NULL);
        case kClose:
            return vokClose(chan);
        default:
            return 0;
    }
}

int main(int argc, char** argv) {
    enum Phase phase[kMaxChannels];
    struct pollfd fds[kMaxChannels];
    int owner[kMaxChannels];
    int channels = argc > 5 ? atoi(argv[5]) : 64;
    int active = 0, failed = 0, chan;

    if (argc < 5 || channels < 1 || channels > kMaxChannels) {
        fprintf(stderr, "usage: poll_loop SERVER PORT FROM TO [CHANNELS (1..%d)]\n", kMaxChannels);
        return 2;
    }
    g_server = argv[1];
    g_from = argv[3];
    g_to = argv[4];
    if (vokAttach(channels) != 1) {
        fprintf(stderr, "cannot attach the library\n");
        return 1;
    }
    for (chan = 0; chan < channels; ++chan) {
        vokIntegerParam(chan, VOK_AUTO_CALL, 0);
        vokIntegerParam(chan, VOK_PARAM_SMTP_PORT, atoi(argv[2]));
        if (getenv("POLL_LOOP_USER") && getenv("POLL_LOOP_PASSWORD")) {
            vokIntegerParam(chan, VOK_ESMTP_MODE, 1);
            vokStringParam(chan, VOK_USER_NAME, getenv("POLL_LOOP_USER"));
            vokStringParam(chan, VOK_SMTP_PASSWORD, getenv("POLL_LOOP_PASSWORD"));
        }
        phase[chan] = kConnect;
        if (start(chan, kConnect) < 0) {
            phase[chan] = kDone;
            ++failed;
        } else {
            ++active;
        }
    }

    while (active > 0) {
        int nfds = 0, timeout = -1, due = 0;
        /* What every channel waits for: its socket, its timer, or nothing
         * (then it is due now). */
        for (chan = 0; chan < channels; ++chan) {
            int wait, timer;
            if (phase[chan] == kDone) continue;
            wait = vokStatistics(chan, VOK_STAT_WAIT_FOR);
            timer = vokStatistics(chan, VOK_STAT_TIMER_MS);
            if (wait == 1 || wait == 2) {
                fds[nfds].fd = vokStatistics(chan, VOK_STAT_SOCKET);
                fds[nfds].events = wait == 1 ? POLLIN : POLLOUT;
                fds[nfds].revents = 0;
                owner[nfds++] = chan;
            } else if (timer <= 0) {
                due = 1;
            }
            if (timer >= 0 && (timeout < 0 || timer < timeout)) timeout = timer;
        }
        if (due) timeout = 0;
        /* A channel in no poll set and with no timer does not exist: every
         * operation has at least its deadline. Still, never sleep for ever. */
        if (timeout < 0 || timeout > 1000) timeout = 1000;
        if (poll(fds, (nfds_t)nfds, timeout) < 0) {
            perror("poll");
            break;
        }

        /* One driver step for every channel that can go on. */
        for (chan = 0; chan < channels; ++chan) {
            int i, ready = 0, rc;
            if (phase[chan] == kDone) continue;
            for (i = 0; i < nfds; ++i)
                if (owner[i] == chan && fds[i].revents != 0) ready = 1;
            if (!ready && vokStatistics(chan, VOK_STAT_TIMER_MS) != 0) continue;
            rc = vokDriver(chan);
            if (rc > 0) continue; /* a state, or 9999: not yet */
            if (rc < 0) {
                char text[256];
                vokErrorText(chan, rc, text, (int)sizeof text);
                fprintf(stderr, "channel %d: %d %s\n", chan, rc, text);
                vokAbort(chan);
                phase[chan] = kDone;
                ++failed;
                --active;
                continue;
            }
            phase[chan] = (enum Phase)(phase[chan] + 1);
            if (phase[chan] == kDone) {
                --active;
            } else if ((rc = start(chan, phase[chan])) < 0) {
                fprintf(stderr, "channel %d: %d\n", chan, rc);
                phase[chan] = kDone;
                ++failed;
                --active;
            }
        }
    }
    printf("%d of %d channels sent their message\n", channels - failed, channels);
    vokRelease();
    return failed == 0 ? 0 : 1;
}
