// SPDX-License-Identifier: MIT
// Win32 implementation of the platform layer. It uses only kernel32, user32
// and WinSock 2 (ws2_32.dll), so the DLL needs nothing beside the system's
// own libraries.
//
// The sections follow platform.h; each keeps its own state in an anonymous
// namespace of its own, so the socket calls can join below the lifecycle
// section without touching the rest.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace vok::plat {

// --- Time ------------------------------------------------------------------

uint32_t TickCount() {
    return static_cast<uint32_t>(::GetTickCount());
}

// Sleep(0) gives up the rest of the time slice to any ready thread of the
// same priority, which is exactly the yield the callers ask for.
void SleepMs(uint32_t ms) {
    ::Sleep(static_cast<DWORD>(ms));
}

void SystemLocalTime(LocalTime* out) {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    // The bias is what must be added to local time to get UTC, so the offset
    // east of UTC is its negation. The zone's standard or daylight bias adds
    // to it according to which of the two is in force now; without
    // transition dates (TIME_ZONE_ID_UNKNOWN) only the base bias applies.
    TIME_ZONE_INFORMATION tz{};
    LONG bias = 0;
    switch (::GetTimeZoneInformation(&tz)) {
        case TIME_ZONE_ID_STANDARD:
            bias = tz.Bias + tz.StandardBias;
            break;
        case TIME_ZONE_ID_DAYLIGHT:
            bias = tz.Bias + tz.DaylightBias;
            break;
        case TIME_ZONE_ID_UNKNOWN:
            bias = tz.Bias;
            break;
        default:  // TIME_ZONE_ID_INVALID: no zone information, take UTC
            bias = 0;
            break;
    }
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day = st.wDay;
    out->dayOfWeek = st.wDayOfWeek;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    // Real biases stay within a day; anything else is not a zone.
    out->utcOffsetMinutes = (bias > -1440 && bias < 1440) ? static_cast<int>(-bias) : 0;
}

// --- The one library lock --------------------------------------------------

namespace {
CRITICAL_SECTION g_lock;
bool g_lockReady = false;
}  // namespace

// Attach initialises the lock and release deletes it. Initialising twice
// without a delete in between (an attach that failed at WSAStartup leaves
// the lock in place) must not re-initialise a live critical section.
void LockInit() {
    if (g_lockReady) return;
    ::InitializeCriticalSection(&g_lock);
    g_lockReady = true;
}

void LockEnter() {
    // A zero-filled CRITICAL_SECTION is not a valid one; never enter it.
    if (!g_lockReady) LockInit();
    ::EnterCriticalSection(&g_lock);
}

void LockLeave() {
    if (g_lockReady) ::LeaveCriticalSection(&g_lock);
}

void LockDelete() {
    if (!g_lockReady) return;
    ::DeleteCriticalSection(&g_lock);
    g_lockReady = false;
}

// --- Memory for tracked blocks ---------------------------------------------

// A fixed global block is its own handle and its own locked address, so the
// pointer is all the caller needs to keep.
void* AllocZeroed(size_t size) {
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (!block) return nullptr;
    return ::GlobalLock(block);
}

void FreeZeroed(void* block) {
    if (!block) return;
    HGLOBAL handle = ::GlobalHandle(block);
    if (!handle) return;
    ::GlobalUnlock(handle);
    ::GlobalFree(handle);
}

// --- Simple files ------------------------------------------------------------

namespace {
// HFILE_ERROR is -1; file handles are never 0 or negative otherwise.
FileHandle FromHfile(HFILE file) {
    return file > 0 ? static_cast<FileHandle>(file) : kBadFile;
}

// The byte counts of _lread and _lwrite are UINTs; keep them within what the
// int32 results can carry.
UINT Clamp(uint32_t count) {
    return count > INT32_MAX ? static_cast<UINT>(INT32_MAX) : count;
}
}  // namespace

FileHandle FileCreate(const char* path) {
    if (!path) return kBadFile;
    return FromHfile(::_lcreat(path, 0));  // normal attributes; truncates
}

FileHandle FileCreatePrivate(const char* path) {
    return FileCreate(path);  // the folder's access rules decide who reads it
}

FileHandle FileOpenRead(const char* path) {
    if (!path) return kBadFile;
    return FromHfile(::_lopen(path, OF_READ | OF_SHARE_DENY_WRITE));
}

int32_t FileRead(FileHandle file, void* buffer, uint32_t count) {
    if (file <= 0) return -1;
    UINT n = ::_lread(static_cast<HFILE>(file), buffer, Clamp(count));
    return n == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<int32_t>(n);
}

int32_t FileWrite(FileHandle file, const void* buffer, uint32_t count) {
    if (file <= 0) return -1;
    const char* p = static_cast<const char*>(buffer);
    UINT want = Clamp(count);
    UINT done = 0;
    while (done < want) {
        UINT n = ::_lwrite(static_cast<HFILE>(file), p + done, want - done);
        if (n == static_cast<UINT>(HFILE_ERROR) || n == 0) {
            return done ? static_cast<int32_t>(done) : -1;
        }
        done += n;
    }
    return static_cast<int32_t>(done);
}

void FileClose(FileHandle file) {
    if (file > 0) ::_lclose(static_cast<HFILE>(file));
}

FileHandle FileCreateNew(const char* path) {
    if (!path) return kBadFile;
    // CREATE_NEW fails on any existing name, a reparse point included, so a
    // link is never written through.
    HANDLE h = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kBadFile;
    // HFILE and the file handle are the same value for the _l calls.
    return FromHfile(static_cast<HFILE>(reinterpret_cast<INT_PTR>(h)));
}

bool PathExists(const char* path) {
    return path && ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int FileRenameNew(const char* from, const char* to) {
    if (!from || !to) return -1;
    if (::MoveFileExA(from, to, 0)) return 0;
    DWORD e = ::GetLastError();
    return (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) ? 1 : -1;
}

void FileRemove(const char* path) {
    if (path) ::DeleteFileA(path);
}

void LocalFileName(const char* utf8, char* out, int outSize) {
    if (outSize <= 0) return;
    out[0] = '\0';
    if (!utf8) return;
    wchar_t wide[512];
    int w = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
    if (w <= 0) {
        // Not UTF-8 after all: the bytes as they are.
        w = ::MultiByteToWideChar(CP_ACP, 0, utf8, -1, wide, 512);
        if (w <= 0) return;
    }
    char narrow[1024];
    BOOL lossy = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, narrow, sizeof narrow,
                                  "_", &lossy);
    if (n <= 0) return;
    int k = 0;
    for (const char* c = narrow; *c && k < outSize - 1; ++c) {
        unsigned char u = static_cast<unsigned char>(*c);
        out[k++] = (u < 0x20 || strchr("<>\"|?*", *c)) ? '_' : *c;
    }
    // Windows drops trailing dots and blanks from names.
    if (k > 0 && (out[k - 1] == '.' || out[k - 1] == ' ')) out[k - 1] = '_';
    out[k] = '\0';
    // Device names (CON, NUL, COM1 ...), with any extension, reach no file.
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "COM", "LPT"};
    int stem = 0;
    while (out[stem] && out[stem] != '.') ++stem;
    for (const char* dev : kDevices) {
        bool numbered = dev[0] == 'C' ? dev[1] == 'O' && dev[2] == 'M' : dev[0] == 'L';
        if (stem != (numbered ? 4 : 3) || _strnicmp(out, dev, 3) != 0) continue;
        if (numbered && (out[3] < '0' || out[3] > '9')) continue;
        if (k + 1 < outSize) {
            memmove(out + 1, out, static_cast<size_t>(k) + 1);
            ++k;
        }
        out[0] = '_';
        break;
    }
}

// Both slashes end a directory on Windows; new paths get the backslash.
char PathSeparator() {
    return '\\';
}
bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

// --- User interface --------------------------------------------------------

void ShowWarning(const char* text, const char* caption) {
    ::MessageBoxA(nullptr, text ? text : "", caption ? caption : "",
                  MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

// --- Text --------------------------------------------------------------------

// The IANA names of the ANSI code pages that have one of their own; any
// other page is "windows-<number>", the name such pages are registered as.
void DefaultCharset(char* out, int size) {
    if (!out || size <= 0) return;
    const UINT page = ::GetACP();
    const char* name = nullptr;
    switch (page) {
        case 874:
            name = "windows-874";
            break;
        case 932:
            name = "shift_jis";
            break;
        case 936:
            name = "gbk";
            break;
        case 949:
            name = "ks_c_5601-1987";
            break;
        case 950:
            name = "big5";
            break;
        case 20127:
            name = "us-ascii";
            break;
        case 28591:
            name = "iso-8859-1";
            break;
        case 65001:
            name = "utf-8";
            break;
        default:
            break;
    }
    char number[24] = "windows-";
    if (!name) {
        char digits[12];
        int n = 0;
        for (UINT v = page; n == 0 || v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
        int at = 8;
        while (n > 0) number[at++] = digits[--n];
        number[at] = '\0';
        name = number;
    }
    int i = 0;
    for (; name[i] && i < size - 1; ++i) out[i] = name[i];
    out[i] = '\0';
}

// --- Socket layer lifecycle --------------------------------------------------

namespace {
// Filled by WSAStartup; nothing reads it afterwards.
WSADATA g_wsaData;
}  // namespace

int SocketStartup() {
    return ::WSAStartup(MAKEWORD(2, 2), &g_wsaData);
}

void SocketCleanup() {
    ::WSACleanup();
}

}  // namespace vok::plat
