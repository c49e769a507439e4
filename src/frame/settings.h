/* SPDX-License-Identifier: MIT */
// Library-wide settings. Initialised when the library is loaded; attach and
// release leave them alone, so a value set once holds until set again.
#pragma once

#include <cstdint>

namespace vok {

struct Settings {
    int32_t MinResponseWait = 25;
    int32_t MaxResponseWait = 25000;
    int32_t ConnectWait = 60000;
    int32_t SendLineDelay = 0;
    int32_t WriteWait = 25000;
    int32_t ReadWait = 25000;
    int32_t PollSleep = 100;
    int32_t LineHard = 78;  // LineLength: the hard limit
    int32_t LineSoft = 61;  //             and the soft limit
    uint8_t Pass8Bit = 0;
    uint8_t HideAttachNote = 0;
    uint8_t HideToHeader = 0;
    char AddressDelimiter = ',';
    uint8_t WinsockCleanup = 1;
    char AttachDelimiter = ',';
    char AttachNameDelimiter = '|';
    char CustomContentType[64 + 2] = "";
    char CustomEncoding[128 + 2] = "";
    uint8_t UseCustomEncoding = 0;
};

extern Settings LibrarySettings;

}  // namespace vok
