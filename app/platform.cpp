#include "app/platform.h"

const uint16_t kCyrillicLanguages[kCyrillicLanguageCount] = {
    0x0419,  // Russian
    0x0402,  // Bulgarian
    0x0422,  // Ukrainian
    0x0423,  // Belarusian
    0x082C,  // Azerbaijani, Cyrillic
    0x0843,  // Uzbek, Cyrillic
    0x0C1A,  // Serbian, Cyrillic
    0x046D,  // Bashkir
    0x043F,  // Kazakh
    0x0440,  // Kyrgyz
    0x042F,  // Macedonian
    0x0450,  // Mongolian, Cyrillic
    0x0485,  // Yakut
    0x0428,  // Tajik, Cyrillic
    0x0444,  // Tatar
};

bool IsSupportedPlatform(int32_t osVersion, int32_t cpuArch) {
  const bool x86 = cpuArch == kArchX86;
  const bool x64OrItanium = cpuArch == kArchX64 || cpuArch == kArchItanium;
  switch (osVersion) {
    case 50:
    case 51:
      return x86;
    case 52:
    case 60:
    case 61:
      return x86 || x64OrItanium;
    case 62:
    case 63:
    case 100:
      return x86 || x64OrItanium || cpuArch == kArchArm64;
    default:
      return false;
  }
}

bool Is64BitArchitecture(int32_t cpuArch) {
  return cpuArch == kArchX64 || cpuArch == kArchItanium || cpuArch == kArchArm64;
}

int32_t ArchitectureOfMachine(uint16_t machine, int32_t unknown) {
  switch (machine) {
    case 0x014C: return kArchX86;
    case 0x0200: return kArchItanium;
    case 0x8664: return kArchX64;
    case 0xAA64: return kArchArm64;
    default: return unknown;
  }
}

bool IsCyrillicLayout(uintptr_t layoutHandle) {
  const uint16_t language = static_cast<uint16_t>(layoutHandle & 0xFFFF);
  for (uint16_t cyrillic : kCyrillicLanguages)
    if (language == cyrillic) return true;
  return false;
}
