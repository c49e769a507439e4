// SPDX-License-Identifier: MIT
// Picking single lines out of a text the application holds, typically the
// header block that vokGetEmailLines delivered.
#include "codec/codec.h"
#include "codec/text.h"
#include "vok32.h"

namespace vok {

int CopyOneLine(const char* source, char* buffer, int size) {
    if (!source || !buffer || size <= 0) return 0;
    const int room = size - 1;
    for (int i = 0; i < room; ++i) {
        char c = source[i];
        buffer[i] = c;
        if (c == '\n') {
            buffer[i + 1] = '\0';
            return i + 1;
        }
        if (c == '\0') return i;
    }
    // A last line without LF fits exactly when its NUL falls on the last
    // byte of the buffer.
    buffer[room] = '\0';
    if (source[room] == '\0') return room;
    // Too long: never leave the caller an unterminated buffer.
    return 0;
}

}  // namespace vok

extern "C" VOK_EXPORT int VOKAPI vokExtractText(const char* text, const char* search, char* buffer,
                                                int size) {
    if (!text || !search || !buffer) return 0;
    const char* match = vok::FindText(text, search);
    if (!match) return 0;
    return vok::CopyOneLine(match, buffer, size);
}

extern "C" VOK_EXPORT int VOKAPI vokExtractLine(const char* text, int number, char* buffer,
                                                int size) {
    if (!text || !buffer) return 0;
    const char* line = text;
    for (int n = number; n > 1; --n) {
        const char* lf = vok::FindChar(line, '\n');
        if (!lf) return 0;
        line = lf + 1;
    }
    return vok::CopyOneLine(line, buffer, size);
}
