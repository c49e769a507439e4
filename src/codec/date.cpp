// SPDX-License-Identifier: MIT
// The Date header line (RFC 5322 section 3.3) from the local clock and zone.
#include "codec/date.h"

#include <cstdio>

#include "platform/platform.h"

namespace vok {

namespace {

const char* const kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

inline int Wrap(int v, int n) {
    return ((v % n) + n) % n;
}

}  // namespace

void FormatZone(int offsetMinutes, char* out) {
    if (!out) return;
    // Widen before negating: -INT_MIN does not fit an int.
    long long minutes = offsetMinutes;
    out[0] = minutes < 0 ? '-' : '+';
    if (minutes < 0) minutes = -minutes;
    if (minutes > 99 * 60 + 59) minutes = 99 * 60 + 59;  // four digits at most
    int hours = static_cast<int>(minutes / 60);
    int rest = static_cast<int>(minutes % 60);
    out[1] = static_cast<char>('0' + hours / 10);
    out[2] = static_cast<char>('0' + hours % 10);
    out[3] = static_cast<char>('0' + rest / 10);
    out[4] = static_cast<char>('0' + rest % 10);
    out[5] = '\0';
}

void FormatDateLine(char* out) {
    if (!out) return;
    plat::LocalTime t{};
    plat::GetLocalTime(&t);
    // The platform reports the offset in force now, daylight time included,
    // to the minute: RFC 5322 section 3.3 wants the true offset, so a zone
    // such as +0530 or -0330 is written as it is.
    char zone[6];
    FormatZone(t.utcOffsetMinutes, zone);
    snprintf(out, 64, "Date: %s, %d %s %d %02d:%02d:%02d %s", kDayNames[Wrap(t.dayOfWeek, 7)],
             t.day, kMonthNames[t.month >= 1 && t.month <= 12 ? t.month - 1 : 0], t.year, t.hour,
             t.minute, t.second, zone);
}

}  // namespace vok
