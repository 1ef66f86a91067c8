// The facts about the running system that decide whether the installer runs at all: the
// Windows versions and processors it supports, and the languages of the Cyrillic-script
// keyboard layouts that Windows 8 and later need beside ours. Portable, so the tables are
// tested on the build host.
#pragma once

#include <cstdint>

// osVersion is major * 10 + minor; cpuArch the native processor architecture (0 x86, 6 Itanium,
// 9 x64). Windows 2000 and XP only on x86; Server 2003 / XP x64 up to Windows 10 on all three.
bool IsSupportedPlatform(int32_t osVersion, int32_t cpuArch);

// The fifteen language identifiers whose layouts count as Cyrillic, in the order they are tested.
constexpr int kCyrillicLanguageCount = 15;
extern const uint16_t kCyrillicLanguages[kCyrillicLanguageCount];

// Whether the language part (low 16 bits) of a keyboard layout handle is one of them.
bool IsCyrillicLayout(uintptr_t layoutHandle);
