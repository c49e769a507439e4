/* SPDX-License-Identifier: MIT */
// The driver engine: the per-channel state machine, its timing rules, the
// single error exit, and the operation start every session export ends with.
#pragma once

#include <cstdint>

#include "engine/states.h"
#include "frame/channel.h"

namespace vok {

// vokDriver's "nothing done yet, call again".
constexpr int kDriverWait = 9999;

// A state's step. Returns 0 when the step ended normally (the driver then
// does its bookkeeping and returns NextState), or a negative code that the
// driver returns at once (the result of DriverError, or -7).
using StateStep = int (*)(Channel* ch, uint32_t now);

struct StateEntry {
    State Number;
    StateStep Step;
};

// Each module publishes the steps of its states in a table defined where
// the states are owned. The engine knows only its own; the list the driver
// looks steps up in is put together above the protocols (src/wiring.cpp).
struct StateTable {
    const StateEntry* Entries;
    int Count;
};
extern const StateTable kEngineStates;  // 101..106, 258/259, 298/299, 398/399
extern const StateTable* const kStateTables[];
extern const int kStateTableCount;

// The one writer of NextState: the state the next step runs.
inline void GoTo(Channel* ch, State next) {
    ch->NextState = next;
}

// The state an operation goes on to once a shared sequence (connect, TLS
// handshake) is done.
inline State ReturnTo(const Channel* ch) {
    return static_cast<State>(ch->ReturnState);
}

// The error exit. Logs the ERROR line and the texts of both codes, returns
// the channel to idle and closes its connection when vokCode is negative.
// Returns vokCode.
int DriverError(Channel* ch, int sockCode, int vokCode);

// A refusal the session survives (POP3 "-ERR no such message"): logged like
// the error exit and the operation ends with vokCode, but the connection
// stays open for the next command.
int CommandRefused(Channel* ch, int vokCode);

// What the channel's next step waits for now: kAwaitReadable (the server's
// answer, nothing of it received yet), kAwaitWritable (room to send, or a
// connect's outcome) or kAwaitNothing (only its timer, if any, or nothing).
Await WaitingFor(Channel* ch);

// Milliseconds from `now` until the channel's next timer (NextTime or the
// deadline, whichever comes first), 0 when it has passed or the next step
// is due now, -1 for none (idle, or only the socket to wait for).
int32_t TimerMs(Channel* ch, uint32_t now);

// Whether what the next state waits for has come (its answer is readable,
// or the connect has ended): the time gate then opens early.
bool Arrived(Channel* ch);

// The operation start: NextState = first, ReturnState, SockCode, NextTime and
// Deadline = 0, NeedWritable as given. With AutoCall 0 returns 0; else runs
// the driver until it returns 0 or a negative code, and returns that.
int StartOperation(Channel* ch, State firstState, bool needWritable);

// Runs the driver loop on the channel until it ends (0 or negative). It never
// burns a core: when a step had to wait it sleeps or polls the socket.
int DriveToEnd(Channel* ch);

// One driver call on a looked-up channel (vokDriver without the lookup);
// `now` is the tick it runs at, read once by the caller. It takes one step,
// and goes on with the next in the same call while that one has its data
// at hand: message lines while the socket takes them (up to 64 KB, not when
// SendLineDelay paces them), lines of a response already received.
int DriverStep(Channel* ch, uint32_t now);

// vokAbort's work. From the thread that drives the channel, or when no
// thread does, the connection is dropped at once; while another thread is
// inside a call on the channel, its socket is shut so that the call wakes,
// and that call drops the connection and returns -1.
void AbortChannel(Channel* ch);

// The tick `ms` milliseconds after `now`. Waits come straight from the
// caller's settings, so any int is possible: a negative wait counts as 0 and
// a longer one than 2^31 - 2 ms is cut there, so that the tick comparisons
// (which take the difference as signed) never see a deadline wrap round to
// the past. Never 0, which stands for "no gate" and "no deadline".
uint32_t TickAfter(uint32_t now, int64_t ms);

// k times a wait in ms, saturated to the int range (never negative).
int32_t ScaledWait(int32_t ms, int k);

// --- Timing rules -----------------------------------------------------------------
// The only writers of NextTime (no step before this tick, unless the state
// waits for an answer that has come) and Deadline (the step times out after
// this tick). "now" is the tick taken at the step's start.

// A reply already on its way (pipelined commands): no gate, Deadline now+Max.
void InFlightReplyWait(Channel* ch, uint32_t now);
// A name's lookup still runs: NextTime a few ms on; the first time also
// Deadline now+ConnectWait.
void LookupWaitRule(Channel* ch, uint32_t now, bool first);

// NextTime now + Min, Deadline now + Max: after a command.
void ReplyWait(Channel* ch, uint32_t now);
// NextTime now + k * Min + 200, Deadline now + Max: after a command the
// server may take its time over (a greeting, a login).
void LongReplyWait(Channel* ch, uint32_t now, int k);
// NextTime now + k * Min, Deadline now + Max.
void ScaledReplyWait(Channel* ch, uint32_t now, int k);
// NextTime now + Min, Deadline kept: a pause before the next command.
void CommandGap(Channel* ch, uint32_t now);
// Deadline now + Max, NextTime kept: the next step is bounded, not delayed.
void AnswerDeadline(Channel* ch, uint32_t now);
// NextTime now + SendLineDelay, Deadline now + WriteWait, NeedWritable:
// after a line of message data.
void LinePacing(Channel* ch, uint32_t now);
// As LinePacing, with a deadline of now + Max (a body read from a file).
void FileLinePacing(Channel* ch, uint32_t now);
// NextTime now + Min, Deadline now + ConnectWait: after starting a connect.
void ConnectWaitRule(Channel* ch, uint32_t now);
// Deadline `limit` (all attempts of a connect end by then); with `retry`
// the next attempt starts at once.
void ConnectLimitRule(Channel* ch, uint32_t limit, bool retry);
// The handshake's own limit: now + ConnectWait, checked by the handshake
// state itself; neither gate nor deadline meanwhile.
void HandshakeWait(Channel* ch, uint32_t now);
// NextTime now + ReadWait, no deadline: a raw download's silence timer
// (its state runs early whenever data comes).
void QuietWait(Channel* ch, uint32_t now);
// No gate: the next step may run at once.
void OpenGate(Channel* ch);
// Neither gate nor deadline (a reader that bounds its own wait).
void NoTimers(Channel* ch);
// No deadline; the gate is kept.
void NoDeadline(Channel* ch);

// Finishes the files a download still holds open (the decoded attachment
// with its note, then the saved-mail file). Owned by the POP3 download code;
// vokClose calls it first.
void FinishOpenFiles(Channel* ch);

// The version line every connect writes first: "VOK Win32 Version 3.4.2 Build 11".
void LogVersionLine(Channel* ch);

}  // namespace vok
