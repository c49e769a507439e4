/* SPDX-License-Identifier: MIT */
// The library's only view of the operating system. Everything outside
// src/platform/ is free of POSIX and Win32 calls and goes through here.
// Two implementations exist: posix.cpp and win32.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vok::plat {

// --- Time ------------------------------------------------------------------

// Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
uint32_t TickCount();

// Sleeps for ms milliseconds; 0 only gives up the rest of the time slice.
void SleepMs(uint32_t ms);

// The local wall clock, with the offset from UTC that is in force now
// (daylight saving included), in minutes east of UTC.
struct LocalTime {
    int year;
    int month;      // 1..12
    int day;        // 1..31
    int dayOfWeek;  // 0 = Sunday
    int hour;
    int minute;
    int second;
    int utcOffsetMinutes;
};
void GetLocalTime(LocalTime* out);
// The system's clock itself, without the test override (per platform).
void SystemLocalTime(LocalTime* out);

// Tests make the clock deterministic: while an override is set, GetLocalTime
// returns a copy of it. Pass nullptr to return to the real clock.
void SetLocalTimeOverride(const LocalTime* fixed);

// --- The one library lock --------------------------------------------------

void LockInit();
void LockEnter();
void LockLeave();
void LockDelete();

// --- Memory for tracked blocks ---------------------------------------------

// Zero-filled memory; nullptr when the system has none left.
void* AllocZeroed(size_t size);
void FreeZeroed(void* block);

// --- Simple files ------------------------------------------------------------
// Handles handed out are always positive; -1 reports a failure.

using FileHandle = int32_t;
constexpr FileHandle kBadFile = -1;

FileHandle FileCreate(const char* path);  // create, or truncate an existing file
// As FileCreate, for files that may hold secrets: only the owner may read
// them (mode 0600 on POSIX, also when the file was already there).
FileHandle FileCreatePrivate(const char* path);
FileHandle FileOpenRead(const char* path);
int32_t FileRead(FileHandle file, void* buffer, uint32_t count);         // bytes, 0 at end, -1
int32_t FileWrite(FileHandle file, const void* buffer, uint32_t count);  // bytes or -1
void FileClose(FileHandle file);

// Creates a file that must not exist yet: an existing file, directory or
// symbolic link of that name makes it fail, and a symbolic link is never
// followed (O_EXCL | O_NOFOLLOW; CREATE_NEW on a reparse point).
FileHandle FileCreateNew(const char* path);
// Whether anything (file, directory, link, dangling link) has that name.
bool PathExists(const char* path);
// Gives the file `from` the name `to` when nothing has that name yet.
// 0 done, 1 `to` exists (nothing changed), -1 another failure.
int FileRenameNew(const char* from, const char* to);
void FileRemove(const char* path);

// A file name from a message (UTF-8) as this system's file names spell it:
// unchanged on POSIX; on Windows in the ANSI code page, with characters it
// cannot show, and those Windows refuses in names, as '_'. Bounded copy of
// at most outSize - 1 bytes and a NUL.
void LocalFileName(const char* utf8, char* out, int outSize);

// The character that joins a directory and a file name (a backslash on
// Windows, '/' elsewhere), and whether a character ends the directory part
// of a path on this platform ('/' everywhere, the backslash too on Windows).
char PathSeparator();
bool IsPathSeparator(char c);

// --- User interface --------------------------------------------------------

// A task-modal warning box on Windows; a single line on stderr elsewhere.
void ShowWarning(const char* text, const char* caption);

// --- Text --------------------------------------------------------------------

// The name (RFC 2978) of the charset the caller's texts are in by default:
// "utf-8", or on Windows the ANSI code page's ("windows-1252", ...). Writes
// at most size - 1 characters and a NUL.
void DefaultCharset(char* out, int size);

// --- Socket layer lifecycle --------------------------------------------------

// Starts the socket layer (WinSock 2.2 on Windows). 0, or the WinSock error number.
int SocketStartup();
void SocketCleanup();

}  // namespace vok::plat
