/* SPDX-License-Identifier: MIT */
// The Date header line.
#pragma once

namespace vok {

// "Date: Mon, 7 Dec 2026 05:01:52 +0100" from the local clock and zone.
// out needs 64 bytes.
void FormatDateLine(char* out);

// Sign and four digits of a zone offset given in minutes east of UTC
// ("+0530"); out needs 6 bytes.
void FormatZone(int offsetMinutes, char* out);

}  // namespace vok
