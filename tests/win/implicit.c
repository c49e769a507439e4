/* SPDX-License-Identifier: MIT */
/*
 * Links VOK32.dll through its import library, as a C or C++ application
 * does: the calls are declared by vok32.h (stdcall on 32-bit Windows) and
 * bound by the loader when the program starts.
 */
#include <stdio.h>
#include <string.h>

#include "vok32.h"

int main(void) {
    char text[64] = "";
    int failures = 0;
    if (vokAttach(1) != 1) {
        puts("FAILED: vokAttach(1)");
        return 1;
    }
    if (vokErrorText(0, VOK_CHANNEL_RANGE, text, (int)sizeof text) != 21 ||
        strcmp(text, "Channel out of range.") != 0) {
        printf("FAILED: vokErrorText gave [%s]\n", text);
        ++failures;
    }
    if (vokErrorText(1, VOK_CHANNEL_RANGE, text, (int)sizeof text) != VOK_CHANNEL_RANGE) {
        puts("FAILED: channel 1 of 1 was accepted");
        ++failures;
    }
    if (vokRelease() != 1) {
        puts("FAILED: vokRelease");
        ++failures;
    }
    printf("%s: bound at load time, %d failures\n", failures ? "FAILED" : "ok", failures);
    return failures ? 1 : 0;
}
