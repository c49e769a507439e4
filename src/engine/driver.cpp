// SPDX-License-Identifier: MIT
// The driver: one state per vokDriver call, with the time gate, the deadline,
// the step trace, the single error exit and the loop that the exported calls
// run in auto-call mode.
#include "engine/engine.h"

#include <atomic>

#include "engine/connect.h"
#include "engine/tls_transport.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/errors.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "vok32.h"

namespace vok {

namespace {

// The steps indexed by state number, gathered once from the modules'
// tables (the first use of the driver builds it; C++ makes that thread-safe).
struct StepIndex {
    StateStep Steps[kStLimit] = {};
    StepIndex() {
        for (int t = 0; t < kStateTableCount; ++t)
            for (int i = 0; i < kStateTables[t]->Count; ++i) {
                const StateEntry& e = kStateTables[t]->Entries[i];
                if (e.Number > 0 && e.Number < kStLimit) Steps[e.Number] = e.Step;
            }
    }
};

StateStep FindStep(int32_t state) {
    static const StepIndex index;
    return state > 0 && state < kStLimit ? index.Steps[state] : nullptr;
}

// Tick comparisons that survive the 49.7-day wrap of the counter.
bool Before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

void Yield() {
    plat::SleepMs(0);
}

// Per channel: how many threads are driving it now, and whether vokAbort
// asked a driving thread to stop.
std::atomic<int> Driving[kMaxChannels];
std::atomic<bool> AbortAsked[kMaxChannels];

// The abort proper: the operation ends and the connection is dropped.
void DropOperation(Channel* ch) {
    ch->ReturnState = 0;
    ch->SockCode = 0;
    ch->AutoCall = 1;
    GoTo(ch, kStIdle);
    FinishOpenFiles(ch);
    CloseConnection(ch);
}

// Held while a thread drives a channel. The last to leave finishes an abort
// that came after the operation's last step.
class DrivingScope {
  public:
    explicit DrivingScope(Channel* ch) : ch_(ch) { Driving[ch->Chan].fetch_add(1); }
    ~DrivingScope() {
        if (Driving[ch_->Chan].fetch_sub(1) == 1 && AbortAsked[ch_->Chan].exchange(false))
            DropOperation(ch_);
    }
    DrivingScope(const DrivingScope&) = delete;
    DrivingScope& operator=(const DrivingScope&) = delete;

  private:
    Channel* ch_;
};

// Checked before every step of a driving loop: a call asked to stop by
// vokAbort or vokRelease returns instead of taking another step.
int StopRequested(Channel* ch) {
    if (AbortAsked[ch->Chan].exchange(false)) {
        LogCall(ch, "vokAbort");
        DropOperation(ch);
        return VOK_SOCKET_CLOSED;
    }
    if (ReleaseUnderWay()) return VOK_NOT_ATTACHED;
    return 0;
}

}  // namespace

void AbortChannel(Channel* ch) {
    if (Driving[ch->Chan].load() == 0) {
        LogCall(ch, "vokAbort");
        DropOperation(ch);
        return;
    }
    AbortAsked[ch->Chan].store(true);
    plat::LockEnter();
    if (ch->Socket != plat::kNoSocket) plat::SocketShutdown(ch->Socket);
    plat::LockLeave();
    // The driving thread may have left in the meantime without seeing it.
    if (Driving[ch->Chan].load() == 0 && AbortAsked[ch->Chan].exchange(false)) DropOperation(ch);
}

void LogVersionLine(Channel* ch) {
    LogFormat(ch, "VOK Win32 Version %d.%d.%d Build %d\r\n", (VOK_VERSION >> 8) & 15,
              (VOK_VERSION >> 4) & 15, VOK_VERSION & 15, VOK_BUILD);
}

uint32_t TickAfter(uint32_t now, int64_t ms) {
    constexpr int64_t kLongest = 0x7FFFFFFE;
    if (ms < 0) ms = 0;
    if (ms > kLongest) ms = kLongest;
    uint32_t tick = now + static_cast<uint32_t>(ms);
    return tick != 0 ? tick : 1;
}

int32_t ScaledWait(int32_t ms, int k) {
    int64_t scaled = static_cast<int64_t>(ms < 0 ? 0 : ms) * (k < 0 ? 0 : k);
    return scaled > INT32_MAX ? INT32_MAX : static_cast<int32_t>(scaled);
}

void ReplyWait(Channel* ch, uint32_t now) {
    ch->NextTime = TickAfter(now, LibrarySettings.MinResponseWait);
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
}

void LongReplyWait(Channel* ch, uint32_t now, int k) {
    int64_t gate = static_cast<int64_t>(k) *
                   (LibrarySettings.MinResponseWait < 0 ? 0 : LibrarySettings.MinResponseWait);
    ch->NextTime = TickAfter(now, gate + 200);
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
}

void LinePacing(Channel* ch, uint32_t now) {
    ch->NextTime = TickAfter(now, LibrarySettings.SendLineDelay);
    ch->Deadline = TickAfter(now, LibrarySettings.WriteWait);
    ch->NeedWritable = 1;
}

void ScaledReplyWait(Channel* ch, uint32_t now, int k) {
    ch->NextTime = TickAfter(now, ScaledWait(LibrarySettings.MinResponseWait, k));
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
}

void CommandGap(Channel* ch, uint32_t now) {
    ch->NextTime = TickAfter(now, LibrarySettings.MinResponseWait);
}

void AnswerDeadline(Channel* ch, uint32_t now) {
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
}

void FileLinePacing(Channel* ch, uint32_t now) {
    ch->NextTime = TickAfter(now, LibrarySettings.SendLineDelay);
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
    ch->NeedWritable = 1;
}

void ConnectWaitRule(Channel* ch, uint32_t now) {
    ch->NextTime = TickAfter(now, LibrarySettings.MinResponseWait);
    ch->Deadline = TickAfter(now, LibrarySettings.ConnectWait);
}

void InFlightReplyWait(Channel* ch, uint32_t now) {
    ch->NextTime = 0;
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
}

void LookupWaitRule(Channel* ch, uint32_t now, bool first) {
    constexpr int kLookupPollMs = 5;  // a name server's answer is seldom long in coming
    ch->NextTime = TickAfter(now, kLookupPollMs);
    if (first) ch->Deadline = TickAfter(now, LibrarySettings.ConnectWait);
}

void ConnectLimitRule(Channel* ch, uint32_t limit, bool retry) {
    if (retry) ch->NextTime = 0;
    ch->Deadline = limit;
}

void HandshakeWait(Channel* ch, uint32_t now) {
    ch->TlsDeadline = now + static_cast<uint32_t>(LibrarySettings.ConnectWait);
    NoTimers(ch);
}

void QuietWait(Channel* ch, uint32_t now) {
    ch->NextTime = TickAfter(now, LibrarySettings.ReadWait);
    ch->Deadline = 0;
}

void OpenGate(Channel* ch) {
    ch->NextTime = 0;
}

void NoTimers(Channel* ch) {
    ch->NextTime = 0;
    ch->Deadline = 0;
}

void NoDeadline(Channel* ch) {
    ch->Deadline = 0;
}

namespace {
void LogError(Channel* ch, int sockCode, int vokCode) {
    if (ch->LogFile <= 0) return;
    LogFormat(ch, "ERROR(%d): SockCode=%d VokCode=%d PrevState=%d ThisState=%d NextState=%d\r\n",
              static_cast<int32_t>(plat::TickCount()), sockCode, vokCode, ch->PrevState,
              ch->ThisState, ch->NextState);
    char text[128];
    if (vokCode < 0) LogWrite(ch, text, FormatErrorText(ch, vokCode, text, sizeof text));
    if (sockCode < 0) LogWrite(ch, text, FormatErrorText(ch, sockCode, text, sizeof text));
}

void EndOperation(Channel* ch, int sockCode) {
    GoTo(ch, kStIdle);
    ch->PrevState = ch->ThisState;
    ch->ThisState = -1;
    ch->SockCode = sockCode;
}
}  // namespace

int DriverError(Channel* ch, int sockCode, int vokCode) {
    LogError(ch, sockCode, vokCode);
    if (vokCode < 0) {
        EndOperation(ch, sockCode);
        // A failed operation keeps no file open: what a download had
        // received is written out, a file being sent is closed.
        FinishOpenFiles(ch);
        CloseConnection(ch);
    }
    Yield();
    return vokCode;
}

int CommandRefused(Channel* ch, int vokCode) {
    LogError(ch, 0, vokCode);
    EndOperation(ch, 0);
    return vokCode;
}

namespace {
int32_t MsUntil(uint32_t now, uint32_t tick) {
    int32_t left = static_cast<int32_t>(tick - now);
    return left < 0 ? 0 : left;
}
}  // namespace

Await WaitingFor(Channel* ch) {
    if (ch->NextState <= 0) return kAwaitNothing;
    if (ch->NeedWritable) return SendRoomHeld(ch) ? kAwaitNothing : kAwaitWritable;
    Await a = StateAwaits(ch->NextState);
    if (a == kAwaitReadable && (RingNews(ch) || TlsHasBuffered(ch))) return kAwaitNothing;
    return ch->Socket == plat::kNoSocket ? kAwaitNothing : a;
}

int32_t TimerMs(Channel* ch, uint32_t now) {
    if (ch->NextState <= 0) return -1;
    // Due now: nothing to wait for and the gate open, or the answer a
    // state waits for already received. A gate that has opened is no timer
    // for a state still waiting on its socket: only the deadline is.
    bool gateOpen = ch->NextTime == 0 || !Before(now, ch->NextTime);
    if (WaitingFor(ch) == kAwaitNothing &&
        (gateOpen || StateAwaits(ch->NextState) != kAwaitNothing))
        return 0;
    int32_t ms = -1;
    if (!gateOpen) ms = MsUntil(now, ch->NextTime);
    if (ch->Deadline != 0) {
        // The deadline is passed when the tick is after it: one more ms.
        int32_t d = MsUntil(now, ch->Deadline) + (Before(now, ch->Deadline) ? 1 : 0);
        if (ms < 0 || d < ms) ms = d;
    }
    return ms;
}

bool Arrived(Channel* ch) {
    switch (StateAwaits(ch->NextState)) {
        case kAwaitReadable:
            return !ch->NeedWritable && DataArrived(ch);
        case kAwaitWritable:
            return PollSocket(ch, kPollWritable) == 1;
        default:
            return false;
    }
}

namespace {

// The most one driver call moves through the transport (sent and received)
// before it hands control back.
constexpr uint32_t kBurstBytes = 64 * 1024;

int OneStep(Channel* ch, uint32_t now) {
    ch->CommandLine[0] = '\0';
    ch->ReplyBuffer[0] = '\0';
    // The time gate. A state that waits for the server's answer runs as
    // soon as the answer is there; any other waits for NextTime. An
    // operation that ended early (its last answer came before its time)
    // leaves nothing to wait for.
    if (ch->NextState != kStIdle && ch->NextTime != 0 && Before(now, ch->NextTime) &&
        !Arrived(ch)) {
        Yield();
        return kDriverWait;
    }
    if (ch->Deadline != 0 && Before(ch->Deadline, now))
        return DriverError(ch, 0, VOK_SOCKET_TIMEOUT);
    if (ch->NeedWritable && !SendRoomHeld(ch) && PollSocket(ch, kPollWritable) != 1) {
        Yield();
        return kDriverWait;
    }
    ch->NeedWritable = 0;
    // The gate is passed (or opened early by the answer it was set for):
    // it holds back nothing after this step unless the step sets another.
    OpenGate(ch);
    ch->ThisState = ch->NextState;
    if (ch->ThisState > 0) ++ch->StepCount;
    // A state that repeats because it waits is traced once.
    if (ch->ThisState != ch->PrevState)
        LogFormat(ch, "<%3d:%d>\r\n", ch->ThisState, static_cast<int32_t>(now));

    if (ch->ThisState == 0) {
        ch->ThisState = -1;
        NoTimers(ch);
        return 0;
    }
    if (StateStep step = FindStep(ch->ThisState)) {
        int rc = step(ch, now);
        if (rc < 0) return rc;
    } else {
        LogFormat(ch, "ERROR! Unknown state %d\r\n", ch->ThisState);
    }
    ch->PrevState = ch->ThisState;
    ch->ThisState = -1;
    return ch->NextState;
}

// Whether the line loop just stepped may take its next line in the same
// call: message data goes on while the socket takes it (unless the caller
// paces the lines), a response while whole lines wait in the ring.
bool BurstGoesOn(Channel* ch, uint32_t now) {
    int32_t next = ch->NextState;
    if (next != ch->PrevState || !IsLineLoop(next)) return false;
    if (ch->NextTime != 0 && Before(now, ch->NextTime)) return false;
    switch (StateAwaits(next)) {
        case kAwaitNothing:
            if (LibrarySettings.SendLineDelay > 0) return false;
            return !ch->NeedWritable || SendRoomHeld(ch) || PollSocket(ch, kPollWritable) == 1;
        case kAwaitReadable:
            return RingNews(ch) || TlsHasBuffered(ch);
        default:
            return false;
    }
}

}  // namespace

int DriverStep(Channel* ch, uint32_t now) {
    uint32_t start = ch->TrafficBytes;
    int rc = OneStep(ch, now);
    while (rc > 0 && rc != kDriverWait && ch->TrafficBytes - start < kBurstBytes &&
           BurstGoesOn(ch, now))
        rc = OneStep(ch, now);
    return rc;
}

int DriveToEnd(Channel* ch) {
    DrivingScope driving(ch);
    uint32_t progress = 0;
    for (;;) {
        if (int stop = StopRequested(ch)) return stop;
        uint32_t now = plat::TickCount();
        int rc = DriverStep(ch, now);
        if (rc <= 0) return rc;
        // Wait without burning the processor: until the time gate opens, or
        // until the socket has something for the waiting state, never past
        // the poll slice or the deadline.
        int32_t wait = LibrarySettings.PollSleep > 0 ? LibrarySettings.PollSleep : 1;
        if (ch->Deadline != 0) {
            int64_t left = static_cast<int64_t>(static_cast<int32_t>(ch->Deadline - now)) + 1;
            if (left < wait) wait = left < 1 ? 1 : static_cast<int32_t>(left);
        }
        if (rc == kDriverWait) {
            if (ch->NextTime != 0 && Before(now, ch->NextTime)) {
                int32_t gate = static_cast<int32_t>(ch->NextTime - now);
                if (gate < wait) wait = gate;
                // A state that waits for the server wakes when its answer
                // comes; any other sleeps until its time.
                Await a = WaitingFor(ch);
                if (a == kAwaitNothing || ch->NeedWritable)
                    plat::SleepMs(static_cast<uint32_t>(wait));
                else
                    plat::SocketPoll(
                        ch->Socket,
                        a == kAwaitWritable ? plat::Readiness::Writable : plat::Readiness::Readable,
                        wait);
            } else if (ch->NeedWritable && ch->Socket != plat::kNoSocket) {
                plat::SocketPoll(ch->Socket, plat::Readiness::Writable, wait);
            } else {
                Yield();
            }
        } else if (rc == ch->PrevState && !ch->NeedWritable && ch->Socket != plat::kNoSocket) {
            // The state found nothing to do yet. A connect in progress waits
            // for writability; every other waiting state for data. (A state
            // that repeats with NeedWritable set has sent a line and goes on
            // as soon as the socket takes the next one.)
            bool connecting = IsConnectWait(rc);
            if (connecting || (!RingNews(ch) && !TlsHasBuffered(ch)))
                plat::SocketPoll(ch->Socket,
                                 connecting ? plat::Readiness::Writable : plat::Readiness::Readable,
                                 wait);
        } else if (++progress % 256 == 0) {
            // A step that made progress needs no pause before the next; a
            // long run of them (a big attachment) still lets other threads
            // in now and then.
            Yield();
        }
    }
}

int StartOperation(Channel* ch, State firstState, bool needWritable) {
    // Files a failed operation left open are closed before the next one
    // begins (or a reconnect after each failure would leak one more).
    FinishOpenFiles(ch);
    GoTo(ch, firstState);
    ch->ReturnState = 0;
    ch->SockCode = 0;
    NoTimers(ch);
    ch->NeedWritable = needWritable ? 1 : 0;
    ch->HoldSends = 0;
    ch->DataQuiet = 0;
    if (!ch->AutoCall) return 0;
    return DriveToEnd(ch);
}

// --- The connect sequence ---------------------------------------------------------

namespace {

int FindLocalHost(Channel* ch, uint32_t) {
    EndLookup(ch);  // a connect that started over
    ch->CommandLine[0] = '\0';
    // The name is only logged; a failure leaves it empty.
    GetLocalHostName(ch->ReplyBuffer, kLineChars);
    LogFormat(ch, "LocalHost = '%s'\r\n", ch->ReplyBuffer);
    GoTo(ch, kStResolve);
    return 0;
}

int FindServerAddress(Channel* ch, uint32_t now) {
    bool first = ch->Lookup == nullptr;
    if (first) LogFormat(ch, "Server = '%s'\r\n", ch->Server);
    // A dotted quad, an IPv6 literal, or a name's addresses. A name is
    // looked up on a thread of its own and the state repeats until the
    // answer is there, within ConnectWait; the other channels go on.
    int rc = FindAddresses(ch);
    if (rc == 2) {
        LookupWaitRule(ch, now, first);
        return 0;
    }
    if (rc < 1) return DriverError(ch, rc, VOK_SERVER_NOT_FOUND);
    GoTo(ch, kStConnect);
    char address[64];
    FormatServerAddress(ch, address, sizeof address);
    LogFormat(ch, "ServerIP = %s\r\n", address);
    return 0;
}

int StartConnect(Channel* ch, uint32_t now) {
    // A session still open on this channel is dropped, not leaked.
    DropSocket(ch);
    plat::SocketHandle s = plat::kNoSocket;
    plat::LockEnter();
    int err = plat::SocketCreate(&s, ServerFamily(ch));
    plat::LockLeave();
    if (err != 0) {
        // No error exit: the channel stays in this state and a later call
        // tries again.
        ch->ThisState = -1;
        return VOK_INVALID_SOCKET;
    }
    if (ch->NonBlockingConnect) {
        ch->ModeSwitchArg = 1;
        plat::SocketSetNonBlocking(s, ch->ModeSwitchArg);
    }
    ChannelTable[ch->Chan].Socket = s;
    ch->Socket = s;
    if (s < 0) return DriverError(ch, static_cast<int>(s), VOK_CANNOT_CREATE_SOCKET);
    int rc = ConnectServer(ch);
    if (rc < 0) return NextAddress(ch, now, true) ? 0 : DriverError(ch, rc, VOK_CONNECT_ERROR);
    ConnectWaitRule(ch, now);
    PlanAttempt(ch, now);
    GoTo(ch, kStAwaitConnect);
    return 0;
}

int AwaitConnect(Channel* ch, uint32_t now) {
    if (NextAddress(ch, now, PollSocket(ch, kPollFailed) == 1)) return 0;
    if (PollSocket(ch, kPollFailed) == 1) {
        // Hand on why the connect failed (refused, unreachable, ...).
        int why = ch->Socket != plat::kNoSocket ? plat::SocketPendingError(ch->Socket) : 0;
        return DriverError(ch, -why, VOK_CONNECT_ERROR);
    }
    if (PollSocket(ch, kPollWritable) == 1) {
        if (ch->NonBlockingConnect) {
            ch->ModeSwitchArg = 0;
            plat::SocketSetNonBlocking(ch->Socket, ch->ModeSwitchArg);
        }
        // Commands go out at once; message data is coalesced by HoldSends.
        plat::SocketSetNoDelay(ch->Socket);
        ReplyWait(ch, now);                                     // the server's greeting comes next
        GoTo(ch, ch->TlsMode == 2 ? kTlsStart : ReturnTo(ch));  // implicit TLS
    }
    return 0;
}

}  // namespace

// Raw command and closing states live in raw.cpp.
int SendRawCommand(Channel* ch, uint32_t now);
int ReadRawReply(Channel* ch, uint32_t now);
int SendQuit(Channel* ch, uint32_t now);
int ReadQuitReply(Channel* ch, uint32_t now);

namespace {
const StateEntry kEngineEntries[] = {
    {kStLocalHost1, FindLocalHost},
    {kStLocalHost2, FindLocalHost},
    {kStLocalHost, FindLocalHost},
    {kStResolve, FindServerAddress},
    {kStConnect, StartConnect},
    {kStAwaitConnect, AwaitConnect},
    {kStQuit, SendQuit},
    {kStQuitReply, ReadQuitReply},
    {kStSmtpRaw, SendRawCommand},
    {kStSmtpRawReply, ReadRawReply},
    {kStPop3Raw, SendRawCommand},
    {kStPop3RawReply, ReadRawReply},
};
}  // namespace

const StateTable kEngineStates = {
    kEngineEntries, static_cast<int>(sizeof kEngineEntries / sizeof kEngineEntries[0])};

}  // namespace vok

extern "C" VOK_EXPORT int VOKAPI vokDriver(int channel) {
    vok::CallScope scope;
    vok::Channel* ch = nullptr;
    if (int rc = vok::LookupChannel(channel, &ch)) return rc;
    vok::DrivingScope driving(ch);
    if (int stop = vok::StopRequested(ch)) return stop;
    return vok::DriverStep(ch, vok::plat::TickCount());
}
