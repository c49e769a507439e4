/* SPDX-License-Identifier: MIT */
// Tracked memory: a fixed registry of 1280 blocks, ten slots per channel,
// then one block per channel for its OAuth token; each block wrapped in guard
// bytes so that overruns are caught when it is freed or scanned.
#pragma once

#include <cstdint>

namespace vok {

constexpr int kSlotsPerChannel = 10;
constexpr int kTokenBlockBase = 1280;  // the token block of channel c is 1280 + c
constexpr int kRegistrySize = kTokenBlockBase + 128;

// Slots as the library uses them.
enum Slot : int {
    kSlotRecord = 0,
    kSlotTo = 1,  // also the address list of vokVerifyUser
    kSlotCc = 2,
    kSlotBcc = 3,
    kSlotSubject = 4,
    kSlotMessage = 5,
    kSlotAttachments = 6,
    kSlotUserHeaders = 7,
    kSlotMessageBuffer = 8,
    kSlotAlternateText = 9,
};

// Results of the block operations (they appear only in the log).
constexpr int kMemBadId = -100;
constexpr int kMemNoMemory = -102;
constexpr int kMemInUse = -103;
constexpr int kMemNotInUse = -104;
constexpr int kMemWrongId = -105;
constexpr int kMemCorrupted = -106;

constexpr uint8_t kGuardFront = 0x55;  // 'U'
constexpr uint8_t kGuardBack = 0x7A;   // 'z'

// Block level, by identifier (channel * 10 + slot).
int AllocateBlock(int id, int32_t size);
char* GetBlock(int id);
int CheckBlock(int id);
int ReleaseBlock(int id);
int BlockInUse(int id);
int32_t BlockSize(int id);
void ResetRegistry();

// Channel level.
char* AllocateMemory(int chan, int slot, int32_t size);
void FreeMemory(int chan, int firstSlot, int lastSlot);
char* AllocAndCopy(int chan, int slot, const char* text);
void LogMemoryError(const char* message, int chan, int slot, int code);
void ScanBlocks(const char* label);

}  // namespace vok
