// Strict UTF-8 and UTF-16 conversions of the packager. The program's own decoder accepts
// one- to three-byte sequences only, so the packager has to know which texts go beyond them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Decodes well-formed UTF-8 (no overlong forms, no encoded surrogates, nothing above U+10FFFF).
// False on the first fault, with *badOffset (when given) at the byte where the sequence starts.
bool DecodeUtf8(std::string_view text, std::u32string* out, size_t* badOffset);

// UTF-16 of code points that DecodeUtf8 produced (surrogate pairs above U+FFFF).
std::u16string ToUtf16(const std::u32string& codePoints);

// UTF-8 of a code point (a lone surrogate is encoded as it is: only display code uses that).
void AppendUtf8(char32_t c, std::string* out);

// Text of 16-bit units for a reader: pairs are joined, a lone surrogate becomes "\uD800".
// Control characters are escaped as DisplayText does.
std::string DisplayUtf16(const char16_t* units, size_t count);

// UTF-8 text for a reader: "\r", "\n", "\t", "\\", "\"", other controls and bytes that are
// not UTF-8 as "\xNN".
std::string DisplayText(std::string_view utf8);
