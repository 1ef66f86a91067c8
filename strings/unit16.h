// The 16-bit text unit of the program.
//
// Windows text is UTF-16 in 16-bit wchar_t. Linux's wchar_t is 32-bit, so portable code never
// uses wchar_t directly: it uses WChar, which is wchar_t on Windows (so it goes straight to
// Win32) and char16_t elsewhere. U16("...") makes a literal of that type.
#pragma once

#include <cstdint>

#if defined(_WIN32)
using WChar = wchar_t;
#define U16(s) L##s
#else
using WChar = char16_t;
#define U16(s) u##s
#endif

static_assert(sizeof(WChar) == 2, "text units are 16-bit on every target");
