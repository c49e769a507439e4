/* SPDX-License-Identifier: MIT */
// Shared pieces of the SMTP client: address checks, the line writer, and the
// steps of the SMTP states (collected into one table in smtp_states.cpp).
#pragma once

#include <cstdint>

#include "engine/states.h"

namespace vok {

struct Channel;
struct StateTable;

extern const StateTable kSmtpStates;  // 150..272, 400..402 (smtp_states.cpp)

// Replaces the CRAM-MD5 challenge in AuthBuffer by the answer "user
// hexdigest" (RFC 2195): the challenge is digested up to its first CR and
// keyed with SmtpPassword. Never reads or writes past AuthBuffer.
void BuildCramMd5Response(Channel* ch);

// --- Addresses (address.cpp) ---------------------------------------------------

// The end of the list item that begins at text: the first delimiter outside
// quoted strings and angle brackets (so that "Doe, John" <j@x> and
// <"a,b"@x> stay whole), or the end of the text. A delimiter of '\0' makes
// the whole text one item.
const char* ListItemEnd(const char* text, char delimiter);

// First c in [text, stop) outside quoted strings (RFC 5322 section 3.2.4:
// a backslash in one quotes the next character), or null.
const char* FindUnquoted(const char* text, const char* stop, char c);

// First occurrence of c outside quoted strings in the first item of text
// (see ListItemEnd; the AddressDelimiter separates the items), or null. For
// '>' it is the one that closes the item's first '<'.
const char* FindInItem(const char* text, char c);
inline char* FindInItem(char* text, char c) {
    return const_cast<char*>(FindInItem(static_cast<const char*>(text), c));
}

// The light check of a sender or of the first item of a recipient list: a
// '<' and, at or after it, a '>'. 0, or -37, -43, or -41 (through the error
// exit, which closes the channel's connection).
int CheckAddressForm(Channel* ch, const char* text, bool listMode);

// True when text holds a CR or LF: such an address would smuggle a second
// command into MAIL FROM, RCPT TO or VRFY.
bool HasLineBreak(const char* text);

// The sender's domain: the text after the first '@' of from, up to a '>',
// a blank, a CR or LF; "localhost" when from has no '@' or the domain is
// empty. Writes at most size - 1 characters and a NUL.
void SenderDomain(const char* from, char* out, int size);

// --- Sending (compose.cpp) -------------------------------------------------------

// Sends the concatenation of up to four texts (null ones skipped) followed by
// CR LF, however long it is, through CommandLine in as few sends as it takes.
// With stuffDots set the text is message data: a '.' that begins a line (the
// first one, or one after an LF or a lone CR) gets a second '.' (RFC 5321
// section 4.5.2), so no line of it can end the data early. Returns the bytes
// sent or the first negative send result.
int SendWhole(Channel* ch, bool stuffDots, const char* a, const char* b = nullptr,
              const char* c = nullptr, const char* d = nullptr);

// Stops a message or a VRFY walk that is still under way on the channel (an
// application driving it itself may start another call before it ends):
// the copies those states work on are about to be replaced. Closes the
// message or attachment file it had open.
void AbandonMessage(Channel* ch);

// --- Steps ---------------------------------------------------------------------
namespace smtp {

// Session (session.cpp).
int StartSession(Channel* ch, uint32_t now);       // 200
int ReadGreeting(Channel* ch, uint32_t now);       // 201
int SendHello(Channel* ch, uint32_t now);          // 202
int ReadHelloReply(Channel* ch, uint32_t now);     // 203
int SendAuthCramMd5(Channel* ch, uint32_t now);    // 150
int ReadCramChallenge(Channel* ch, uint32_t now);  // 151
int SendCramAnswer(Channel* ch, uint32_t now);     // 152
int ReadCramResult(Channel* ch, uint32_t now);     // 153
int SendAuthLogin(Channel* ch, uint32_t now);      // 160
int SendLoginUser(Channel* ch, uint32_t now);      // 162
int SendLoginPassword(Channel* ch, uint32_t now);  // 163
int ReadLoginResult(Channel* ch, uint32_t now);    // 164
int SendAuthPlain(Channel* ch, uint32_t now);      // 170
int ReadPlainResult(Channel* ch, uint32_t now);    // 171

// AuthMethod and XOAUTH2 (auth_method.cpp).
int ChooseAuthMethod(Channel* ch);                 // from the EHLO reply: the state or -85
int SendAuthXoauth2(Channel* ch, uint32_t now);    // 190
int ReadXoauth2Result(Channel* ch, uint32_t now);  // 191
int ReadXoauth2Final(Channel* ch, uint32_t now);   // 192

// STARTTLS (starttls.cpp).
int ChooseStartTls(Channel* ch);                   // from the EHLO reply: 180 or -83
int SendStartTls(Channel* ch, uint32_t now);       // 180
int ReadStartTlsReply(Channel* ch, uint32_t now);  // 181

// Message (compose.cpp).
int SendMailFrom(Channel* ch, uint32_t now);           // 204
int ReadMailFromReply(Channel* ch, uint32_t now);      // 205
int NextRecipient(Channel* ch, uint32_t now);          // 206
int SendRcptTo(Channel* ch, uint32_t now);             // 207
int ReadRcptReply(Channel* ch, uint32_t now);          // 208
int SendDataCommand(Channel* ch, uint32_t now);        // 209
int ReadDataReply(Channel* ch, uint32_t now);          // 210
int SendMessageId(Channel* ch, uint32_t now);          // 220
int SendMailer(Channel* ch, uint32_t now);             // 221
int SendDate(Channel* ch, uint32_t now);               // 223
int SendToHeader(Channel* ch, uint32_t now);           // 224
int SendFromHeader(Channel* ch, uint32_t now);         // 225
int SendReplyToHeader(Channel* ch, uint32_t now);      // 226
int SendSubject(Channel* ch, uint32_t now);            // 227
int SendCcHeader(Channel* ch, uint32_t now);           // 228
int SendMimeVersion(Channel* ch, uint32_t now);        // 229
int SendMultipartType(Channel* ch, uint32_t now);      // 230
int SendSinglePartType(Channel* ch, uint32_t now);     // 231
int EndHeader(Channel* ch, uint32_t now);              // 233
int SendFirstBoundary(Channel* ch, uint32_t now);      // 234
int SendBodyType(Channel* ch, uint32_t now);           // 235
int SendBodyEncoding(Channel* ch, uint32_t now);       // 236
int SendAlternateHeader(Channel* ch, uint32_t now);    // 400
int SendAlternateText(Channel* ch, uint32_t now);      // 401
int SendAlternateBoundary(Channel* ch, uint32_t now);  // 402
int SendAlternativeStart(Channel* ch, uint32_t now);   // 403
int StartBody(Channel* ch, uint32_t now);              // 238
int StartMemoryBody(Channel* ch, uint32_t now);        // 240
int SendMemoryBodyLine(Channel* ch, uint32_t now);     // 241
int OpenBodyFile(Channel* ch, uint32_t now);           // 244
int SendFileBodyLine(Channel* ch, uint32_t now);       // 245
int SendAttachBoundary(Channel* ch, uint32_t now);     // 260
int SendAttachType(Channel* ch, uint32_t now);         // 261
int SendAttachEncoding(Channel* ch, uint32_t now);     // 262
int SendAttachDisposition(Channel* ch, uint32_t now);  // 263
int OpenAttachment(Channel* ch, uint32_t now);         // 264
int SendAttachLine(Channel* ch, uint32_t now);         // 265
int EndMessage(Channel* ch, uint32_t now);             // 251
int OpenRawMessage(Channel* ch, uint32_t now);         // 246
int SendRawLine(Channel* ch, uint32_t now);            // 247
int EndRawMessage(Channel* ch, uint32_t now);          // 248
// Where the data goes after DATA's 354: the composed header, or a prepared
// message's lines.
State FirstDataState(const Channel* ch);
int ReadMessageReply(Channel* ch, uint32_t now);  // 252

// Pipelining (pipeline.cpp, RFC 2920).
bool UsePipelining(const Channel* ch);  // asked for, and the server offers it
int SendEnvelope(Channel* ch, uint32_t now, const char* from);  // 204 with pipelining
int ReadPipelinedRcpt(Channel* ch, uint32_t now);               // 212
int ReadPipelinedData(Channel* ch, uint32_t now);               // 213
int ReadEmptyDataReply(Channel* ch, uint32_t now);              // 214

// Verification (address.cpp).
int NextVerifyItem(Channel* ch, uint32_t now);  // 270
int SendVrfy(Channel* ch, uint32_t now);        // 271
int ReadVrfyReply(Channel* ch, uint32_t now);   // 272

}  // namespace smtp
}  // namespace vok
