// SPDX-License-Identifier: MIT
/*
 * One TLS session of VOK32.dll, for the Wine check of the SChannel backend
 * (tls_wine.sh starts the servers on the Linux side):
 *
 *     vok_tls_session smtp|pop3 SERVER PORT TLSMODE CAFILE WORKDIR
 *
 * Prints one line: "rc=<code> tls=<0|1> version=<hex> session=<...>
 * subject=<...> text=<error text>". For SMTP a connect that worked sends a
 * message; for POP3 it downloads message 1 into WORKDIR/1.txt.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vok32.h"

/* The downloaded message holds its last body line. */
static int LastLineArrived(const char* dir) {
    char path[512], line[256];
    int found = 0;
    FILE* f;
    snprintf(path, sizeof path, "%s\\1.txt", dir);
    f = fopen(path, "rb");
    if (!f) return 0;
    while (fgets(line, sizeof line, f))
        if (strstr(line, "line 0399 of the body")) found = 1;
    fclose(f);
    return found;
}

int main(int argc, char** argv) {
    char session[128] = "", subject[256] = "", text[256] = "", log[512];
    int rc, tls = 0, version = 0;
    if (argc != 7) {
        puts("usage: vok_tls_session smtp|pop3 SERVER PORT TLSMODE CAFILE WORKDIR");
        return 2;
    }
    if (vokAttach(1) != 1) return 1;
    snprintf(log, sizeof log, "%s\\client.log", argv[6]);
    vokStringParam(0, VOK_LOG_FILE, log);
    vokIntegerParam(0, VOK_TLS_MODE, atoi(argv[4]));
    vokIntegerParam(0, VOK_CONNECT_WAIT, 5000);
    if (argv[5][0]) vokStringParam(0, VOK_TLS_CA_FILE, argv[5]);
    vokStringParam(0, VOK_USER_NAME, "ann");
    vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
    if (strcmp(argv[1], "smtp") == 0) {
        vokIntegerParam(0, VOK_SMTP_PORT, atoi(argv[3]));
        vokIntegerParam(0, VOK_ESMTP_MODE, 1);
        rc = vokSmtpConnect(0, argv[2], "<ann@example.org>", NULL);
    } else {
        vokIntegerParam(0, VOK_POP3_PORT, atoi(argv[3]));
        rc = vokPop3Connect(0, argv[2], "ann", "secret");
    }
    if (rc == 0) {
        tls = vokStatistics(0, VOK_STAT_TLS_ACTIVE);
        version = vokStatistics(0, VOK_STAT_TLS_VERSION);
        vokDebug(0, VOK_DEBUG_TLS_SESSION, session, (int)sizeof session);
        vokDebug(0, VOK_DEBUG_TLS_SUBJECT, subject, (int)sizeof subject);
        if (strcmp(argv[1], "smtp") == 0)
            rc = vokSendEmail(0, "<bob@example.org>", NULL, NULL, "over TLS", "body", NULL);
        else if ((rc = vokGetEmailCount(0)) == 1)
            rc = vokGetEmailFile(0, 1, "1.txt", argv[6], argv[6]);
        if (rc == 0) rc = vokClose(0);
        if (rc == 0 && strcmp(argv[1], "pop3") == 0 && !LastLineArrived(argv[6])) rc = -1;
    }
    vokErrorText(0, rc, text, (int)sizeof text);
    printf("rc=%d tls=%d version=%x session=%s subject=%s text=%s\n", rc, tls, version, session,
           subject, text);
    vokRelease();
    return 0;
}
