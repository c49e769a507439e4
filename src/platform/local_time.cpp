// SPDX-License-Identifier: MIT
// The local clock as the library reads it: the system's, unless a test has
// fixed it.
#include "platform/platform.h"

namespace vok::plat {

namespace {
bool g_haveOverride = false;
LocalTime g_override{};
}  // namespace

void SetLocalTimeOverride(const LocalTime* fixed) {
    g_haveOverride = fixed != nullptr;
    if (fixed) g_override = *fixed;
}

void GetLocalTime(LocalTime* out) {
    if (g_haveOverride) {
        *out = g_override;
        return;
    }
    SystemLocalTime(out);
}

}  // namespace vok::plat
