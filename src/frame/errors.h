/* SPDX-License-Identifier: MIT */
// Error codes and their texts.
#pragma once

namespace vok {

// The text of a code, or null when the table does not know it.
const char* ErrorMessage(int code);

// vokErrorText without the channel checks: the message, and for -36, -49
// and -63 a space and the channel's ReplyBuffer, cut at size - 1 characters.
struct Channel;
int FormatErrorText(const Channel* ch, int code, char* buffer, int size);

}  // namespace vok
