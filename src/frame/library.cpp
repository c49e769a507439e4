// SPDX-License-Identifier: MIT
// The channel table and the library's attach and release.
#include <cstdio>

#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "vok32.h"

namespace vok {

std::atomic<uint16_t> ChannelCount{0};
ChannelEntry ChannelTable[kMaxChannels];
char Boundary[28];
Settings LibrarySettings;

namespace {
// 0 detached, 1 attached (or being attached); taken with one atomic
// exchange, so two attaches at once cannot both win.
std::atomic<int> Attached{0};
std::atomic<bool> Releasing{false};
std::atomic<int> CallsInside{0};

// How long vokRelease waits for calls under way to return once their
// sockets are shut (they return within a poll slice; this is a backstop).
constexpr uint32_t kReleaseWaitMs = 60000;
}  // namespace

CallScope::CallScope() {
    CallsInside.fetch_add(1);
}

CallScope::~CallScope() {
    CallsInside.fetch_sub(1);
}

bool ReleaseUnderWay() {
    return Releasing.load();
}

int LookupChannel(int channel, Channel** out) {
    // Seen after this call's scope was counted: vokRelease either sees the
    // scope and waits for it, or this call sees the release and stops.
    if (Releasing.load()) return VOK_NOT_ATTACHED;
    if (ChannelCount == 0) return VOK_NOT_ATTACHED;
    // Taken as a plain int: a channel number such as 65536 must not wrap
    // around onto channel 0.
    if (channel < 0 || channel >= ChannelCount) return VOK_CHANNEL_RANGE;
    Channel* ch = ChannelTable[channel].Record;
    if (!ch) return VOK_CHANNEL_RANGE;
    *out = ch;
    return 0;
}

int CreateChannel(int chan) {
    auto* ch = reinterpret_cast<Channel*>(AllocateMemory(chan, kSlotRecord, sizeof(Channel)));
    if (!ch) return VOK_NO_MEMORY;
    ChannelTable[chan].Record = ch;
    ch->Chan = chan;
    ch->PrevState = -2;
    ch->ThisState = -1;
    ch->NeedWritable = 0;
    ch->NonBlockingConnect = 1;
    ch->AutoCall = 1;
    ch->SmtpPort = 25;
    ch->Pop3Port = 110;
    ch->AttachTotal = 0;
    ch->InlineImages = 1;
    plat::DefaultCharset(ch->Charset, sizeof ch->Charset);
    ch->TlsVerify = 1;
    return 1;
}

// Closes whatever files a channel still holds (and its socket, when asked):
// release runs no driver steps, so nothing else would close them and they
// would leak across attach cycles. Nothing is sent and nothing is logged.
void DropListing(Channel* ch) {
    plat::FreeZeroed(ch->ListSizes);
    plat::FreeZeroed(ch->ListUids);
    ch->ListSizes = nullptr;
    ch->ListUids = nullptr;
    ch->ListSizeSlots = 0;
    ch->ListUidSlots = 0;
}

void CloseChannelResources(Channel* ch, bool closeSocket) {
    // A download cut off by the release: the decoded bytes still held go to
    // the attachment's (temporary) file.
    if (ch->Downloading && ch->FileHandle > 0 && ch->AttachBufferLen > 0)
        plat::FileWrite(ch->FileHandle, ch->AttachBuffer,
                        static_cast<uint32_t>(ch->AttachBufferLen));
    ch->AttachBufferLen = 0;
    ch->Downloading = 0;
    if (ch->FileHandle > 0) plat::FileClose(ch->FileHandle);
    ch->FileHandle = 0;
    if (ch->RawHandle > 0) plat::FileClose(ch->RawHandle);
    ch->RawHandle = 0;
    if (ch->MailHandle > 0) plat::FileClose(ch->MailHandle);
    ch->MailHandle = 0;
    plat::TlsFree(ch->Tls);
    ch->Tls = nullptr;
    plat::LookupEnd(ch->Lookup);  // a lookup still running frees itself
    ch->Lookup = nullptr;
    DropListing(ch);
    if (closeSocket && ch->Socket != plat::kNoSocket) {
        plat::SocketClose(ch->Socket, 0);  // dropped, as the socket layer's cleanup would
        ch->Socket = plat::kNoSocket;
        ChannelTable[ch->Chan].Socket = plat::kNoSocket;
    }
}

}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokAttach(int channels) {
    if (channels < 0 || channels > kMaxChannels)
        return Attached.load() ? VOK_ALREADY_ATTACHED : VOK_CHANNEL_RANGE;
    int expected = 0;
    if (!Attached.compare_exchange_strong(expected, 1)) return VOK_ALREADY_ATTACHED;
    plat::LockInit();
    plat::LockEnter();
    int rc = plat::SocketStartup();
    if (rc != 0) {
        plat::LockLeave();
        Attached.store(0);
        return -rc;
    }
    ResetRegistry();
    for (int chan = 0; chan < channels; ++chan) {
        rc = CreateChannel(chan);
        if (rc < 0) {
            // Give back the records already made instead of leaving them
            // allocated until the next attach resets the registry.
            for (int made = chan - 1; made >= 0; --made) {
                FreeMemory(made, kSlotRecord, kSlotRecord);
                ChannelTable[made] = ChannelEntry{};
            }
            plat::SocketCleanup();
            plat::LockLeave();
            Attached.store(0);
            return rc;
        }
    }
    snprintf(Boundary, sizeof Boundary,
             "=====_VOK%d_=====", static_cast<int32_t>(plat::TickCount()));
    ChannelCount = static_cast<uint16_t>(channels);
    plat::LockLeave();
    // No channels is no attachment: the next attach may still come.
    if (channels == 0) Attached.store(0);
    return 1;
}

extern "C" VOK_EXPORT int VOKAPI vokRelease(void) {
    if (ChannelCount == 0) return 1;
    if (Releasing.exchange(true)) return 1;  // another thread is releasing
    // Calls under way are woken: their sockets are shut (not closed: each
    // handle stays its channel's until no call can use it) and their loops
    // see the release. Then nothing is freed before the last has returned.
    plat::LockEnter();
    for (int chan = 0; chan < ChannelCount && CallsInside.load() > 0; ++chan) {
        if (ChannelTable[chan].Record && ChannelTable[chan].Record->Socket != plat::kNoSocket)
            plat::SocketShutdown(ChannelTable[chan].Record->Socket);
    }
    plat::LockLeave();
    uint32_t start = plat::TickCount();
    while (CallsInside.load() > 0) {
        if (plat::TickCount() - start > kReleaseWaitMs) {
            Releasing.store(false);  // a call that never returns: nothing is freed
            return 0;
        }
        plat::SleepMs(1);
    }
    plat::LockEnter();
    for (int chan = ChannelCount - 1; chan >= 0; --chan) {
        Channel* ch = ChannelTable[chan].Record;
        if (!ch) continue;
        if (ch->LogFile > 0) {
            LogFormat(ch, "Releasing channel %d\r\n", chan);
            plat::FileClose(ch->LogFile);
            ch->LogFile = 0;
        }
        CloseChannelResources(ch, LibrarySettings.WinsockCleanup != 0);
        FreeMemory(chan, 1, 9);
        if (BlockInUse(kTokenBlockBase + chan) == 1) ReleaseBlock(kTokenBlockBase + chan);
    }
    for (int chan = ChannelCount - 1; chan >= 0; --chan) {
        if (!ChannelTable[chan].Record) continue;
        FreeMemory(chan, kSlotRecord, kSlotRecord);
        ChannelTable[chan] = ChannelEntry{};
    }
    ChannelCount = 0;
    if (LibrarySettings.WinsockCleanup) plat::SocketCleanup();
    plat::LockLeave();
    plat::LockDelete();
    Releasing.store(false);
    Attached.store(0);
    return 1;
}
