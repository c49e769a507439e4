// SPDX-License-Identifier: MIT
// POSIX implementation of the platform layer.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace vok::plat {

uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // Unsigned arithmetic: the 64-bit product is cut to 32 bits, so the count
    // wraps every 49.7 days just like the Windows tick count.
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
}

namespace {
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
}  // namespace

void SystemLocalTime(LocalTime* out) {
    time_t now = time(nullptr);
    tm t{};
    localtime_r(&now, &t);
    out->year = t.tm_year + 1900;
    out->month = t.tm_mon + 1;
    out->day = t.tm_mday;
    out->dayOfWeek = t.tm_wday;
    out->hour = t.tm_hour;
    out->minute = t.tm_min;
    out->second = t.tm_sec;
    out->utcOffsetMinutes = static_cast<int>(t.tm_gmtoff / 60);
}

void LockInit() {}
void LockEnter() {
    pthread_mutex_lock(&g_lock);
}
void LockLeave() {
    pthread_mutex_unlock(&g_lock);
}
void LockDelete() {}

void* AllocZeroed(size_t size) {
    return calloc(1, size);
}
void FreeZeroed(void* block) {
    free(block);
}

namespace {
// Descriptor 0 is a valid file but not a valid handle for our callers, who
// take 0 to mean "no file". Move it out of the way.
FileHandle Positive(int fd) {
    if (fd < 0) return kBadFile;
    if (fd == 0) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        close(fd);
        return moved < 0 ? kBadFile : moved;
    }
    return fd;
}
}  // namespace

FileHandle FileCreate(const char* path) {
    if (!path) return kBadFile;
    return Positive(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

FileHandle FileCreatePrivate(const char* path) {
    if (!path) return kBadFile;
    FileHandle file = Positive(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (file > 0) fchmod(file, 0600);
    return file;
}

FileHandle FileOpenRead(const char* path) {
    if (!path) return kBadFile;
    return Positive(open(path, O_RDONLY | O_CLOEXEC));
}

int32_t FileRead(FileHandle file, void* buffer, uint32_t count) {
    if (file <= 0) return -1;
    for (;;) {
        ssize_t n = read(file, buffer, count);
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? -1 : static_cast<int32_t>(n);
    }
}

int32_t FileWrite(FileHandle file, const void* buffer, uint32_t count) {
    if (file <= 0) return -1;
    const char* p = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = write(file, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done ? static_cast<int32_t>(done) : -1;
        done += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(done);
}

void FileClose(FileHandle file) {
    if (file > 0) close(file);
}

FileHandle FileCreateNew(const char* path) {
    if (!path) return kBadFile;
    return Positive(open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
}

bool PathExists(const char* path) {
    struct stat st;
    return path && lstat(path, &st) == 0;
}

int FileRenameNew(const char* from, const char* to) {
    if (!from || !to) return -1;
    // link() never replaces an existing name, and does not follow a link
    // standing at `to`.
    if (link(from, to) != 0) return errno == EEXIST ? 1 : -1;
    unlink(from);
    return 0;
}

void FileRemove(const char* path) {
    if (path) unlink(path);
}

void LocalFileName(const char* utf8, char* out, int outSize) {
    if (outSize <= 0) return;
    int n = 0;
    for (; utf8 && utf8[n] && n < outSize - 1; ++n) out[n] = utf8[n];
    out[n] = '\0';
}

char PathSeparator() {
    return '/';
}
bool IsPathSeparator(char c) {
    return c == '/';
}

void ShowWarning(const char* text, const char* caption) {
    fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

void DefaultCharset(char* out, int size) {
    if (out && size > 0) snprintf(out, static_cast<size_t>(size), "%s", "utf-8");
}

int SocketStartup() {
    return 0;
}
void SocketCleanup() {}

}  // namespace vok::plat
