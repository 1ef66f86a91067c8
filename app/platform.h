// The facts about the running system that decide whether the installer runs at all: the
// Windows versions and processors it supports, and the languages of the Cyrillic-script
// keyboard layouts that Windows 8 and later need beside ours. Portable, so the tables are
// tested on the build host.
#pragma once

#include <cstdint>

// Processor architectures as SYSTEM_INFO names them.
constexpr int32_t kArchX86 = 0;
constexpr int32_t kArchItanium = 6;
constexpr int32_t kArchX64 = 9;
constexpr int32_t kArchArm64 = 12;

// osVersion is major * 10 + minor; cpuArch the native processor architecture. Windows 2000 and
// XP only on x86; Server 2003 / XP x64 up to Windows 10 on x86, Itanium and x64; ARM64 from
// the versions Windows 10 and 11 report (6.2 without a compatibility manifest, 10.0).
bool IsSupportedPlatform(int32_t osVersion, int32_t cpuArch);

// Whether Windows on this processor is 64-bit: our 32-bit program is then a WOW64 process,
// with file-system redirection, registry views and a 32-bit system folder of its own.
bool Is64BitArchitecture(int32_t cpuArch);

// The architecture of a machine type of the PE format (IsWow64Process2's native machine), or
// `unknown` for a type none of ours names.
int32_t ArchitectureOfMachine(uint16_t machine, int32_t unknown);

// The fifteen language identifiers whose layouts count as Cyrillic, in the order they are tested.
constexpr int kCyrillicLanguageCount = 15;
extern const uint16_t kCyrillicLanguages[kCyrillicLanguageCount];

// Whether the language part (low 16 bits) of a keyboard layout handle is one of them.
bool IsCyrillicLayout(uintptr_t layoutHandle);
