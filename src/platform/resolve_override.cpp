// SPDX-License-Identifier: MIT
// A fixed answer for one host name, for the test suite: a name that resolves
// to several addresses of both families without a change to the system's
// hosts file.
#include <cstring>

#include "platform/sockets.h"

namespace vok::plat {

namespace {
char g_name[64];
NetAddress g_list[kMaxServerAddresses];
int g_count = 0;
}  // namespace

void SetResolveOverride(const char* name, const NetAddress* list, int count) {
    g_count = 0;
    if (!name || !list || count <= 0) return;
    if (count > kMaxServerAddresses) count = kMaxServerAddresses;
    strncpy(g_name, name, sizeof g_name - 1);
    g_name[sizeof g_name - 1] = '\0';
    memcpy(g_list, list, sizeof(NetAddress) * static_cast<size_t>(count));
    g_count = count;
}

bool ResolveOverridden(const char* name, NetAddress* out, int max, int* count) {
    if (g_count == 0 || strcmp(name, g_name) != 0) return false;
    *count = 0;
    for (int i = 0; i < g_count && i < max; ++i) out[(*count)++] = g_list[i];
    return true;
}

}  // namespace vok::plat
