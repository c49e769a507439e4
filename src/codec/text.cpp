// SPDX-License-Identifier: MIT
#include "codec/text.h"

#include <cstring>

namespace vok {

int TextLength(const char* text) {
    return text ? static_cast<int>(strlen(text)) : 0;
}

int CopyText(char* dst, const char* src, int n) {
    if (!dst || !src) return 0;
    int i = 0;
    while (i < n && src[i]) {
        dst[i] = src[i];
        ++i;
    }
    dst[i] = '\0';
    return i;
}

int AppendText(char* dst, const char* src, int n) {
    if (!dst || !src) return 0;
    return CopyText(dst + strlen(dst), src, n);
}

void CopyBytes(char* dst, const char* src, int n) {
    if (!dst || !src || n < 0) return;
    memcpy(dst, src, static_cast<size_t>(n));
    dst[n] = '\0';
}

const char* FindChar(const char* text, char ch) {
    if (!text) return nullptr;
    for (; *text; ++text)
        if (*text == ch) return text;
    return nullptr;
}

int IndexOfChar(const char* text, char ch, int n) {
    if (!text) return -1;
    for (int i = 0; i < n && text[i]; ++i)
        if (text[i] == ch) return i;
    return -1;
}

static inline unsigned char Upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

int SameText(const char* a, const char* b, int n) {
    if (!a || !b || n <= 0) return 0;
    for (int i = 0; i < n; ++i) {
        unsigned char x = Upper(static_cast<unsigned char>(a[i]));
        unsigned char y = Upper(static_cast<unsigned char>(b[i]));
        if (x != y) return 0;
        if (x == 0) return 1;  // both ended here
    }
    return 1;
}

const char* FindText(const char* text, const char* pattern) {
    if (!text || !pattern) return nullptr;
    int plen = static_cast<int>(strlen(pattern));
    int tlen = static_cast<int>(strlen(text));
    if (plen > tlen) return nullptr;
    int cmp = plen - 1;
    if (cmp <= 0) return nullptr;  // SameText over zero characters never agrees
    for (int i = 0; i + plen <= tlen; ++i)
        if (SameText(text + i, pattern, cmp)) return text + i;
    return nullptr;
}

int32_t ParseDecimal(const char* text) {
    if (!text) return 0;
    int64_t value = 0;
    for (int i = 0; i < 10 && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

size_t BoundedLength(const char* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
}

size_t LengthToCr(const char* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] && text[n] != '\r') ++n;
    return n;
}

}  // namespace vok
