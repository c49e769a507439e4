// SPDX-License-Identifier: MIT
// Host-name lookups on threads of their own, so that the thread that drives
// the channels never blocks in the system's resolver. Each lookup owns a
// copy of the name and of its answer; the thread and the handle share the
// record and whichever lets go last frees it, so a lookup abandoned by a
// channel that was closed or released finishes on its own and touches
// nothing of the channel.
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/sockets.h"

namespace vok::plat {

struct HostLookup {
    char Name[256];
    NetAddress Addrs[kMaxServerAddresses];
    int Count = 0;
    int Result = 0;
    std::atomic<bool> Done{false};
    std::atomic<int> Holders{2};  // the handle and the thread
};

namespace {
void LetGo(HostLookup* lookup) {
    if (lookup->Holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete lookup;
}

void RunLookup(HostLookup* lookup) {
    lookup->Result = ResolveAll(lookup->Name, lookup->Addrs, kMaxServerAddresses, &lookup->Count);
    lookup->Done.store(true, std::memory_order_release);
    LetGo(lookup);
}

#ifdef _WIN32
// A program may call FreeLibrary right after vokRelease while a slow lookup
// is still in the resolver. The thread holds its own reference on the module
// that contains this code and gives it back as it exits, so the DLL stays
// mapped until the last lookup thread has left it.
struct LookupStartInfo {
    HostLookup* Lookup;
    HMODULE Module;
};

DWORD WINAPI LookupThread(void* param) {
    LookupStartInfo info = *static_cast<LookupStartInfo*>(param);
    delete static_cast<LookupStartInfo*>(param);
    RunLookup(info.Lookup);
    if (info.Module) FreeLibraryAndExitThread(info.Module, 0);
    return 0;
}

bool StartThread(HostLookup* lookup) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&LookupThread), &self))
        self = nullptr;
    LookupStartInfo* info = new (std::nothrow) LookupStartInfo{lookup, self};
    HANDLE thread = info ? CreateThread(nullptr, 0, LookupThread, info, 0, nullptr) : nullptr;
    if (!thread) {
        delete info;
        if (self) FreeLibrary(self);
        return false;
    }
    CloseHandle(thread);
    return true;
}
#else
bool StartThread(HostLookup* lookup) {
    try {
        std::thread([lookup] { RunLookup(lookup); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}
#endif
}  // namespace

HostLookup* LookupStart(const char* name) {
    if (!name || strlen(name) >= sizeof HostLookup::Name) return nullptr;
    HostLookup* lookup = new (std::nothrow) HostLookup;
    if (!lookup) return nullptr;
    memcpy(lookup->Name, name, strlen(name) + 1);
    if (!StartThread(lookup)) {
        delete lookup;  // no thread: the caller looks the name up itself
        return nullptr;
    }
    return lookup;
}

int LookupResult(HostLookup* lookup, NetAddress* out, int max, int* count) {
    *count = 0;
    if (!lookup->Done.load(std::memory_order_acquire)) return -1;
    for (int i = 0; i < lookup->Count && i < max; ++i) out[(*count)++] = lookup->Addrs[i];
    return lookup->Result;
}

void LookupEnd(HostLookup* lookup) {
    if (lookup) LetGo(lookup);
}

}  // namespace vok::plat
