/* SPDX-License-Identifier: MIT */
// Small text routines shared by every protocol: bounded copies, searches and
// number parsing over NUL-terminated single-byte strings.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vok {

// Copies at most n characters of src and always terminates (dst needs n + 1
// bytes). Returns the number of characters copied; 0, writing nothing, when
// either pointer is null.
int CopyText(char* dst, const char* src, int n);

// Appends at most n characters of src after the text in dst and terminates.
int AppendText(char* dst, const char* src, int n);

// Copies exactly n bytes and terminates (dst needs n + 1 bytes).
void CopyBytes(char* dst, const char* src, int n);

// First occurrence of ch in text, or null.
const char* FindChar(const char* text, char ch);
inline char* FindChar(char* text, char ch) {
    return const_cast<char*>(FindChar(static_cast<const char*>(text), ch));
}

// Position of ch among the first n characters of text (stopping at a NUL),
// or -1.
int IndexOfChar(const char* text, char ch, int n);

// 1 when the first n characters of a and b agree, a-z folded to A-Z and
// nothing else folded, or when both end at the same place before n.
// 0 otherwise, and 0 for n <= 0 or a null pointer.
int SameText(const char* a, const char* b, int n);

// First place in text where pattern occurs, compared with SameText over all
// but the pattern's last character; null when the pattern is longer than the
// text. (So a one-character pattern never matches.)
const char* FindText(const char* text, const char* pattern);
inline char* FindText(char* text, const char* pattern) {
    return const_cast<char*>(FindText(static_cast<const char*>(text), pattern));
}

// Value of the leading decimal digits (at most 10, no sign), saturating at
// INT32_MAX instead of overflowing; 0 when text does not begin with a digit.
int32_t ParseDecimal(const char* text);

// Length of a NUL-terminated text; 0 for null.
int TextLength(const char* text);

// Length of a text up to its NUL (BoundedLength) or its first CR or NUL
// (LengthToCr), looking at no more than limit bytes.
size_t BoundedLength(const char* text, size_t limit);
size_t LengthToCr(const char* text, size_t limit);

}  // namespace vok
