/* SPDX-License-Identifier: MIT */
/*
 * send_mail: sends one message with VOK32 from C.
 *
 *   send_mail --version
 *   send_mail SERVER PORT FROM TO SUBJECT BODY [ATTACHMENT...]
 *
 * FROM and TO are addresses in angle brackets, for example "<me@example.com>"
 * or "Me <me@example.com>"; TO may be a comma list. BODY is the text, or
 * "@file" to read it from a file. With SEND_MAIL_USER and SEND_MAIL_PASSWORD
 * in the environment the client greets with EHLO and logs in; with
 * SEND_MAIL_LOG it writes a trace of the session to that file.
 *
 * Every call runs to its end before it returns (the library's default); a
 * negative result is an error code that vokErrorText explains.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vok32.h"

static int fail(const char* what, int code) {
    char text[1200];
    vokErrorText(0, code, text, (int)sizeof text);
    fprintf(stderr, "%s failed: %d %s\n", what, code, text);
    vokRelease();
    return 1;
}

int main(int argc, char** argv) {
    char attachments[4096] = "";
    int rc;
    int i;

    if (vokAttach(1) != 1) {
        fprintf(stderr, "cannot attach the library\n");
        return 1;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        int version = vokStatistics(0, VOK_STAT_VERSION);
        printf("VOK32 %d.%d.%d build %d\n", (version >> 8) & 15, (version >> 4) & 15, version & 15,
               vokStatistics(0, VOK_STAT_BUILD));
        vokRelease();
        return 0;
    }
    if (argc < 7) {
        fprintf(stderr, "usage: send_mail SERVER PORT FROM TO SUBJECT BODY [ATTACHMENT...]\n");
        vokRelease();
        return 2;
    }

    /* Attachments go to the library as one comma-separated list. */
    for (i = 7; i < argc; ++i) {
        if (strlen(attachments) + strlen(argv[i]) + 2 > sizeof attachments) {
            fprintf(stderr, "too many attachments\n");
            vokRelease();
            return 2;
        }
        if (attachments[0] != '\0') strcat(attachments, ",");
        strcat(attachments, argv[i]);
    }

    /* A trace of the whole session, when asked for. */
    if (getenv("SEND_MAIL_LOG")) vokStringParam(0, VOK_LOG_FILE, getenv("SEND_MAIL_LOG"));

    if (getenv("SEND_MAIL_USER") && getenv("SEND_MAIL_PASSWORD")) {
        vokIntegerParam(0, VOK_ESMTP_MODE, 1);
        vokStringParam(0, VOK_USER_NAME, getenv("SEND_MAIL_USER"));
        vokStringParam(0, VOK_SMTP_PASSWORD, getenv("SEND_MAIL_PASSWORD"));
    }
    vokIntegerParam(0, VOK_PARAM_SMTP_PORT, atoi(argv[2]));
    rc = vokSmtpConnect(0, argv[1], argv[3], NULL);
    if (rc < 0) return fail("connect", rc);

    rc = vokSendEmail(0, argv[4], NULL, NULL, argv[5], argv[6],
                      attachments[0] != '\0' ? attachments : NULL);
    if (rc < 0) return fail("send", rc);
    printf("sent: %d bytes of body and %d of attachments on the wire\n",
           vokStatistics(0, VOK_STAT_BODY_BYTES_SENT),
           vokStatistics(0, VOK_STAT_ATTACH_BYTES_SENT));

    vokClose(0); /* QUIT */
    vokRelease();
    return 0;
}
