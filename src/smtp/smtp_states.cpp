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
    {150, SendAuthCramMd5},
    {151, ReadCramChallenge},
    {152, SendCramAnswer},
    {153, ReadCramResult},
    {160, SendAuthLogin},
    {162, SendLoginUser},
    {163, SendLoginPassword},
    {164, ReadLoginResult},
    {170, SendAuthPlain},
    {171, ReadPlainResult},
    {190, SendAuthXoauth2},
    {191, ReadXoauth2Result},
    {192, ReadXoauth2Final},
    // STARTTLS.
    {180, SendStartTls},
    {181, ReadStartTlsReply},
    // Session.
    {200, StartSession},
    {201, ReadGreeting},
    {202, SendHello},
    {203, ReadHelloReply},
    // Envelope.
    {204, SendMailFrom},
    {205, ReadMailFromReply},
    {206, NextRecipient},
    {207, SendRcptTo},
    {208, ReadRcptReply},
    {209, SendDataCommand},
    {210, ReadDataReply},
    // Header.
    {220, SendMessageId},
    {221, SendMailer},
    {223, SendDate},
    {224, SendToHeader},
    {225, SendFromHeader},
    {226, SendReplyToHeader},
    {227, SendSubject},
    {228, SendCcHeader},
    {229, SendMimeVersion},
    {230, SendMultipartType},
    {231, SendSinglePartType},
    {233, EndHeader},
    // MIME parts before the body.
    {234, SendFirstBoundary},
    {235, SendBodyType},
    {236, SendBodyEncoding},
    // Body.
    {238, StartBody},
    {240, StartMemoryBody},
    {241, SendMemoryBodyLine},
    {244, OpenBodyFile},
    {245, SendFileBodyLine},
    // End of the data.
    {251, EndMessage},
    {252, ReadMessageReply},
    // Attachments.
    {260, SendAttachBoundary},
    {261, SendAttachType},
    {262, SendAttachEncoding},
    {263, SendAttachDisposition},
    {264, OpenAttachment},
    {265, SendAttachLine},
    // VRFY.
    {270, NextVerifyItem},
    {271, SendVrfy},
    {272, ReadVrfyReply},
    // The alternative text part.
    {400, SendAlternateHeader},
    {401, SendAlternateText},
    {402, SendAlternateBoundary},
    {403, SendAlternativeStart},
};

}  // namespace

const StateTable kSmtpStates = {kEntries, static_cast<int>(sizeof kEntries / sizeof kEntries[0])};

}  // namespace vok
