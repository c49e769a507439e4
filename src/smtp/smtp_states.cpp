// SPDX-License-Identifier: MIT
// The SMTP states: one step each, looked up by the driver. The numbers
// appear in the log and in vokDriver's results.
#include "engine/engine.h"
#include "smtp/smtp.h"

namespace vok {

namespace {

using namespace smtp;

const StateEntry kEntries[] = {
    // Authentication.
    {kStAuthCram, SendAuthCramMd5},
    {kStCramChallenge, ReadCramChallenge},
    {kStCramAnswer, SendCramAnswer},
    {kStCramResult, ReadCramResult},
    {kStAuthLogin, SendAuthLogin},
    {kStLoginUser, SendLoginUser},
    {kStLoginPassword, SendLoginPassword},
    {kStLoginResult, ReadLoginResult},
    {kStAuthPlain, SendAuthPlain},
    {kStPlainResult, ReadPlainResult},
    {kStAuthXoauth2, SendAuthXoauth2},
    {kStXoauth2Result, ReadXoauth2Result},
    {kStXoauth2Final, ReadXoauth2Final},
    // STARTTLS.
    {kStStartTls, SendStartTls},
    {kStStartTlsReply, ReadStartTlsReply},
    // Session.
    {kStSmtpConnect, StartSession},
    {kStGreeting, ReadGreeting},
    {kStHello, SendHello},
    {kStHelloReply, ReadHelloReply},
    // Envelope.
    {kStMailFrom, SendMailFrom},
    {kStMailFromReply, ReadMailFromReply},
    {kStNextRecipient, NextRecipient},
    {kStRcptTo, SendRcptTo},
    {kStRcptReply, ReadRcptReply},
    {kStData, SendDataCommand},
    {kStDataReply, ReadDataReply},
    {kStBatchRcptReply, ReadPipelinedRcpt},
    {kStBatchDataReply, ReadPipelinedData},
    {kStEmptyDataReply, ReadEmptyDataReply},
    // Header.
    {kStMessageId, SendMessageId},
    {kStMailer, SendMailer},
    {kStDate, SendDate},
    {kStToHeader, SendToHeader},
    {kStFromHeader, SendFromHeader},
    {kStReplyToHeader, SendReplyToHeader},
    {kStSubject, SendSubject},
    {kStCcHeader, SendCcHeader},
    {kStMimeVersion, SendMimeVersion},
    {kStMultipartType, SendMultipartType},
    {kStSinglePartType, SendSinglePartType},
    {kStEndHeader, EndHeader},
    // MIME parts before the body.
    {kStFirstBoundary, SendFirstBoundary},
    {kStBodyType, SendBodyType},
    {kStBodyEncoding, SendBodyEncoding},
    // Body.
    {kStBody, StartBody},
    {kStMemoryBody, StartMemoryBody},
    {kStMemoryBodyLine, SendMemoryBodyLine},
    {kStBodyFile, OpenBodyFile},
    {kStFileBodyLine, SendFileBodyLine},
    {kStRawOpen, OpenRawMessage},
    {kStRawLine, SendRawLine},
    {kStRawEnd, EndRawMessage},
    // End of the data.
    {kStEndMessage, EndMessage},
    {kStMessageReply, ReadMessageReply},
    // Attachments.
    {kStAttachBoundary, SendAttachBoundary},
    {kStAttachType, SendAttachType},
    {kStAttachEncoding, SendAttachEncoding},
    {kStAttachDisposition, SendAttachDisposition},
    {kStAttachOpen, OpenAttachment},
    {kStAttachLine, SendAttachLine},
    // VRFY.
    {kStNextVerify, NextVerifyItem},
    {kStVrfy, SendVrfy},
    {kStVrfyReply, ReadVrfyReply},
    // The alternative text part.
    {kStAlternateHeader, SendAlternateHeader},
    {kStAlternateText, SendAlternateText},
    {kStAlternateBoundary, SendAlternateBoundary},
    {kStAlternativeStart, SendAlternativeStart},
};

}  // namespace

const StateTable kSmtpStates = {kEntries, static_cast<int>(sizeof kEntries / sizeof kEntries[0])};

}  // namespace vok
