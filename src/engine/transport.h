/* SPDX-License-Identifier: MIT */
// The socket transport: names and addresses, readiness polls, the receive
// ring, line and reply readers, sending and closing. Every byte that crosses
// the socket is traced in the channel's log.
//
// SendData is the one place that writes to a socket and ReceiveInto the one
// place that reads from it, so that an encrypted transport can slot in
// behind them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace vok {

struct Channel;

// Readiness kinds of PollSocket.
enum PollKind : int { kPollReadable = 1, kPollWritable = 2, kPollFailed = 3 };

// --- Names and addresses ------------------------------------------------------
int CheckServerName(const char* name);  // 1 usable, 0 not
int IsDottedQuad(const char* name);
uint32_t ParseDottedQuad(const char* name);  // host byte order
int FormatDottedQuad(uint32_t address, char* buffer, int size);
int ResolveServer(Channel* ch);  // 1, 0 (address 0) or the negated resolver error
int GetLocalHostName(char* buffer, int size);
int ConnectSocket(int chan, uint32_t address, uint16_t port);

// --- Readiness ------------------------------------------------------------------
int PollSocket(Channel* ch, int kind);  // 1 ready, 0 not, -5 bad kind
int WaitReadable(Channel* ch, int32_t ms);
// Whether data is there to read: bytes in the ring the waiting state has
// not yet found wanting, or more on the socket or in the TLS stage (a zero
// poll). True on a closed channel, so that the read meets the end.
bool DataArrived(Channel* ch);
// Whether the ring holds bytes the waiting state has not looked at yet
// (RingStarved marks a ring whose bytes were not enough).
bool RingNews(const Channel* ch);
int WaitWritable(Channel* ch, int32_t ms);

// --- Receiving ------------------------------------------------------------------
int PeekData(Channel* ch, char* dst, int wanted);
int ReadData(Channel* ch, char* dst, int length);
// Takes what has arrived, without waiting: the ring's bytes when it holds
// any, else one receive of what the socket has (a single readiness poll
// first). Bytes taken, 0 when none are there, -1 at the connection's end.
// dst holds one byte more than length.
int ReadArrived(Channel* ch, char* dst, int length);
int ReadLinePiece(Channel* ch, char* dst, int size);
int RingCount(const Channel* ch);
// Takes what the socket holds (without waiting) into the ring's free room:
// the bytes taken, 0 when none, -1 at the connection's end.
int FillRing(Channel* ch);
// Copies up to size bytes of the ring, leaving them there; their number.
int RingSnapshot(const Channel* ch, char* dst, int size);
void EmptyRing(Channel* ch);

// Writes downloaded text to a file, except data beginning with "+OK" (the
// status line of the download), which is skipped with result 0.
int32_t WriteMessageData(plat::FileHandle file, const char* data, int32_t length);

// --- Sending and closing ------------------------------------------------------
int SendData(Channel* ch, const char* data, int length);  // bytes sent or negated socket error
int SendText(Channel* ch, const char* text);
// True while message data is being gathered and another line still fits:
// the next line needs no writable socket.
bool SendRoomHeld(const Channel* ch);
// Sends text + CR LF; the text's buffer needs 3 spare bytes after its end.
int SendLine(Channel* ch, char* text);
// As SendLine, for a line that carries a secret (a password, a login's
// base64): the log shows its first `shown` characters and then "****".
int SendSecretLine(Channel* ch, char* text, int shown);
int CloseSocket(Channel* ch);  // 1 or negated socket error; harmless on a closed channel
// Drops the channel's socket, if any, without a word, a log line or a pause.
void DropSocket(Channel* ch);
void CloseConnection(Channel* ch);  // logs "Closing socket" and closes

}  // namespace vok
