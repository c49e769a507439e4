// SPDX-License-Identifier: MIT
// A fixed answer for one host name, for the test suite: a name that resolves
// to several addresses of both families without a change to the system's
// hosts file, and (while held) answers only after a while, as a slow name
// server would. Lookups run on their own threads, so the answer is guarded.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/sockets.h"

namespace vok::plat {

namespace {
std::mutex g_lock;
char g_name[64];
NetAddress g_list[kMaxServerAddresses];
int g_count = 0;
std::atomic<bool> g_hold{false};
constexpr int kLongestHoldMs = 10000;
}  // namespace

void SetResolveOverride(const char* name, const NetAddress* list, int count) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_count = 0;
    if (!name || !list || count <= 0) return;
    if (count > kMaxServerAddresses) count = kMaxServerAddresses;
    strncpy(g_name, name, sizeof g_name - 1);
    g_name[sizeof g_name - 1] = '\0';
    memcpy(g_list, list, sizeof(NetAddress) * static_cast<size_t>(count));
    g_count = count;
}

void HoldResolveOverride(bool hold) {
    g_hold.store(hold);
}

bool ResolveOverridden(const char* name, NetAddress* out, int max, int* count) {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_count == 0 || strcmp(name, g_name) != 0) return false;
        *count = 0;
        for (int i = 0; i < g_count && i < max; ++i) out[(*count)++] = g_list[i];
    }
    for (int waited = 0; g_hold.load() && waited < kLongestHoldMs; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
}

}  // namespace vok::plat
