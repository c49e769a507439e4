// SPDX-License-Identifier: MIT
#include "frame/memory.h"

#include <cstdio>
#include <cstring>

#include "frame/channel.h"
#include "frame/log.h"
#include "platform/platform.h"

namespace vok {

namespace {

// The caller's area starts kAreaOffset bytes into the allocation so that it
// is aligned for any type (the channel record holds pointers); the front
// guard is the byte just before it, the back guard the byte just after, and
// one spare zero byte follows.
constexpr size_t kAreaOffset = 16;

struct RegistryEntry {
    uint8_t* Block;  // the front guard byte; null when free
    int32_t Size;    // the size the caller asked for
    void* Handle;    // platform memory handle; null when free
    uint16_t Id;
};

RegistryEntry g_registry[kRegistrySize];

// -100, -105 or 0: the identifier checks every operation starts with.
int CheckId(int id) {
    if (id < 0 || id >= kRegistrySize) return kMemBadId;
    if (g_registry[id].Id != id) return kMemWrongId;
    return 0;
}

}  // namespace

void ResetRegistry() {
    for (int i = 0; i < kRegistrySize; ++i)
        g_registry[i] = RegistryEntry{nullptr, 0, nullptr, static_cast<uint16_t>(i)};
}

int AllocateBlock(int id, int32_t size) {
    if (int bad = CheckId(id)) return bad;
    RegistryEntry& e = g_registry[id];
    if (e.Handle) return kMemInUse;
    if (size < 0) return kMemNoMemory;
    void* mem = plat::AllocZeroed(kAreaOffset + static_cast<size_t>(size) + 2);
    if (!mem) return kMemNoMemory;
    e.Handle = mem;
    e.Block = static_cast<uint8_t*>(mem) + kAreaOffset - 1;
    e.Size = size;
    e.Block[0] = kGuardFront;
    e.Block[size + 1] = kGuardBack;
    return id;
}

char* GetBlock(int id) {
    if (CheckId(id)) return nullptr;
    const RegistryEntry& e = g_registry[id];
    if (!e.Handle || !e.Block) return nullptr;
    return reinterpret_cast<char*>(e.Block + 1);
}

int CheckBlock(int id) {
    if (int bad = CheckId(id)) return bad;
    const RegistryEntry& e = g_registry[id];
    if (!e.Handle || !e.Block || e.Size == 0) return kMemNotInUse;
    if (e.Block[0] != kGuardFront || e.Block[e.Size + 1] != kGuardBack) return kMemCorrupted;
    return 1;
}

int ReleaseBlock(int id) {
    if (int bad = CheckId(id)) return bad;
    RegistryEntry& e = g_registry[id];
    if (!e.Handle || !e.Block || e.Size == 0) return kMemNotInUse;
    plat::FreeZeroed(e.Handle);
    e.Handle = nullptr;
    e.Block = nullptr;
    e.Size = 0;
    return 1;
}

int BlockInUse(int id) {
    if (int bad = CheckId(id)) return bad;
    return g_registry[id].Handle ? 1 : 0;
}

int32_t BlockSize(int id) {
    if (int bad = CheckId(id)) return bad;
    const RegistryEntry& e = g_registry[id];
    if (!e.Handle || !e.Block || e.Size == 0) return kMemNotInUse;
    return e.Size;
}

void LogMemoryError(const char* message, int chan, int slot, int code) {
    if (chan < 0 || chan >= kMaxChannels) return;
    Channel* ch = ChannelTable[chan].Record;
    if (!ch) return;  // the failed block may be the record itself
    LogFormat(ch, "%s: Chan=%d, Index=%d, Code=%d\r\n", message, chan, slot, code);
}

char* AllocateMemory(int chan, int slot, int32_t size) {
    int id = chan * kSlotsPerChannel + slot;
    int rc = AllocateBlock(id, size);
    if (rc < 0) {
        LogMemoryError("AllocateMemory Error", chan, slot, rc);
        return nullptr;
    }
    return GetBlock(id);
}

void FreeMemory(int chan, int firstSlot, int lastSlot) {
    for (int slot = firstSlot; slot <= lastSlot; ++slot) {
        int id = chan * kSlotsPerChannel + slot;
        int rc = CheckBlock(id);
        if (rc == 1) {
            ReleaseBlock(id);
        } else if (rc == kMemWrongId || rc == kMemCorrupted) {
            // A damaged block is never freed: whatever overran it may still
            // point into it. Leave it and every later slot for inspection.
            LogMemoryError("FreeMemory Error", chan, slot, rc);
            return;
        }
    }
}

char* AllocAndCopy(int chan, int slot, const char* text) {
    if (!text || !*text) {
        LogMemoryError("AllocAndCopy Error 1", chan, slot, 0);
        return nullptr;
    }
    int id = chan * kSlotsPerChannel + slot;
    if (BlockInUse(id) == 1) ReleaseBlock(id);
    size_t len = strlen(text);
    if (len > static_cast<size_t>(INT32_MAX - 8)) {
        LogMemoryError("AllocAndCopy Error 2", chan, slot, kMemNoMemory);
        return nullptr;
    }
    int rc = AllocateBlock(id, static_cast<int32_t>(len) + 2);
    if (rc < 0) {
        LogMemoryError("AllocAndCopy Error 2", chan, slot, rc);
        return nullptr;
    }
    char* block = GetBlock(id);
    memcpy(block, text, len + 1);
    return block;
}

void ScanBlocks(const char* label) {
    char text[160];
    for (int id = 0; id < kRegistrySize; ++id) {
        if (!g_registry[id].Handle) continue;
        if (CheckBlock(id) == kMemCorrupted) {
            snprintf(text, sizeof text, "Memory Corrupted (%s): ID=%d Err=%d", label, id,
                     kMemCorrupted);
            plat::ShowWarning(text, "Info");
        }
    }
}

}  // namespace vok
