#include "engine/layout_choice.h"

#include "app/platform.h"

bool ChooseImagePositions(int32_t osVersion, int32_t cpuArch, int32_t* position32, int32_t* position64) {
  *position64 = -1;
  int32_t first;
  switch (osVersion) {
    case 50: *position32 = 0; return true;
    case 51: *position32 = 1; return true;
    case 52: first = 2; break;
    case 60: first = 5; break;
    case 61: first = 8; break;
    default:
      // Later versions: one 32-bit and one 64-bit position, where the x64 image and the ARM64
      // edition stand side by side; there is no Itanium edition.
      *position32 = 11;
      if (cpuArch == kArchX86) return true;
      if (cpuArch != kArchX64 && cpuArch != kArchArm64) return false;
      *position64 = 12;
      return true;
  }
  // 5.2 to 6.1: the 32-bit edition, then the Itanium and the x64 ones.
  *position32 = first;
  if (cpuArch == kArchX86) return true;
  if (cpuArch == kArchItanium) {
    *position64 = first + 1;
    return true;
  }
  if (cpuArch == kArchX64) {
    *position64 = first + 2;
    return true;
  }
  return false;
}

bool ChooseLayoutBlobs(const EmbeddedPackage& package, int32_t osVersion, int32_t cpuArch, int32_t variant,
                       int32_t row, LayoutImageChoice* out) {
  *out = LayoutImageChoice();
  if (variant < 0 || variant >= kLayoutVariants || row < 0 || row >= kLayoutRows) return false;
  int32_t position32 = -1, position64 = -1;
  if (!ChooseImagePositions(osVersion, cpuArch, &position32, &position64)) return false;
  out->image32 = package.layoutImages[variant][row][position32];
  if (position64 < 0) return true;
  // ARM64 Windows loads the layout in its kernel from System32: only native ARM64 code serves.
  const auto& natives = cpuArch == kArchArm64 ? package.layoutImagesArm64 : package.layoutImages;
  out->native = natives[variant][row][position64];
  // A 64-bit system reads the tables of the library in its 32-bit system folder with 64-bit
  // pointers: the WOW64 edition is the one that types correctly in 32-bit programs there.
  const BlobRef& wow64 = package.layoutImagesWow64[variant][row][position64];
  if (wow64.data) out->image32 = wow64;
  return true;
}
