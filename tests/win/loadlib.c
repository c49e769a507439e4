/* SPDX-License-Identifier: MIT */
/*
 * Binds to VOK32.dll the way programs in other languages do: LoadLibraryA,
 * then GetProcAddress with each plain export name, then calls through
 * __stdcall pointers. Every name of the module definition must be found.
 *
 *     vok_loadlib VOK32.dll VOK32.def
 *
 * Exit status 0 when everything held; each failure is printed.
 */
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

typedef int(__stdcall* AttachFn)(int channels);
typedef int(__stdcall* ReleaseFn)(void);
typedef int(__stdcall* ErrorTextFn)(int channel, int code, char* buffer, int size);

static int failures = 0;

static void Fail(const char* what, const char* detail) {
    printf("FAILED: %s %s\n", what, detail ? detail : "");
    ++failures;
}

/* The export name on a line of the module definition: "vok" and letters or
 * digits after optional blanks, as the linker reads it; else nothing. */
static int ExportName(const char* line, char* name, size_t size) {
    size_t n = 0;
    while (*line == ' ' || *line == '\t') ++line;
    if (strncmp(line, "vok", 3) != 0) return 0;
    while (isalnum((unsigned char)line[n]) && n + 1 < size) {
        name[n] = line[n];
        ++n;
    }
    name[n] = '\0';
    return n > 3;
}

static int CheckNames(HMODULE dll, const char* defPath) {
    char line[512];
    char name[128];
    char decorated[160];
    int found = 0;
    FILE* def = fopen(defPath, "r");
    if (!def) {
        Fail("cannot open", defPath);
        return 0;
    }
    while (fgets(line, sizeof line, def)) {
        if (!ExportName(line, name, sizeof name)) continue;
        if (GetProcAddress(dll, name)) {
            ++found;
        } else {
            Fail("GetProcAddress", name);
        }
        /* Callers never bind to a decorated name; the DLL must not offer one. */
        snprintf(decorated, sizeof decorated, "_%s", name);
        if (GetProcAddress(dll, decorated)) Fail("decorated export", decorated);
    }
    fclose(def);
    if (found == 0) Fail("no vok names in", defPath);
    return found;
}

int main(int argc, char** argv) {
    HMODULE dll;
    AttachFn attach;
    ReleaseFn release;
    ErrorTextFn errorText;
    char text[128];
    int rc, names;

    if (argc != 3) {
        printf("usage: %s VOK32.dll VOK32.def\n", argv[0]);
        return 2;
    }
    dll = LoadLibraryA(argv[1]);
    if (!dll) {
        printf("FAILED: LoadLibraryA %s: error %lu\n", argv[1], (unsigned long)GetLastError());
        return 1;
    }
    names = CheckNames(dll, argv[2]);

    attach = (AttachFn)(void*)GetProcAddress(dll, "vokAttach");
    release = (ReleaseFn)(void*)GetProcAddress(dll, "vokRelease");
    errorText = (ErrorTextFn)(void*)GetProcAddress(dll, "vokErrorText");
    if (attach && release && errorText) {
        /* Before attach every channel call is refused. */
        rc = errorText(0, -73, text, (int)sizeof text);
        if (rc != -71) Fail("vokErrorText before vokAttach did not return -71", NULL);

        rc = attach(2);
        if (rc != 1) Fail("vokAttach(2) did not return 1", NULL);

        rc = errorText(1, -73, text, (int)sizeof text);
        if (rc != (int)strlen("Channel out of range.") ||
            strcmp(text, "Channel out of range.") != 0)
            Fail("vokErrorText(1, -73) gave", text);
        /* A socket-layer code, which starting WinSock makes meaningful. */
        rc = errorText(0, -10061, text, (int)sizeof text);
        if (rc <= 0 || (int)strlen(text) != rc) Fail("vokErrorText(0, -10061) gave", text);
        rc = errorText(2, -73, text, (int)sizeof text);
        if (rc != -73) Fail("vokErrorText on channel 2 of 2 did not return -73", NULL);

        rc = release();
        if (rc != 1) Fail("vokRelease did not return 1", NULL);
        rc = release();
        if (rc != 1) Fail("second vokRelease did not return 1", NULL);

        /* Attach again after release: the lock and WinSock start afresh. */
        if (attach(128) != 1) Fail("vokAttach(128) after release", NULL);
        if (attach(1) != -72) Fail("second vokAttach did not return -72", NULL);
        if (release() != 1) Fail("final vokRelease", NULL);
    } else {
        Fail("vokAttach, vokRelease or vokErrorText missing", NULL);
    }

    if (!FreeLibrary(dll)) Fail("FreeLibrary", NULL);
    printf("%s: %d exports bound by name, %d failures\n", failures ? "FAILED" : "ok", names,
           failures);
    return failures ? 1 : 0;
}
