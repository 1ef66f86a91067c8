// The choice of the layout library images: which blob of the package goes into which system
// folder, for a system version, processor, variant and row. Portable, so that the choice for
// systems no test machine has (ARM64 Windows) is tested on the build host.
#pragma once

#include <cstdint>

#include "package/embedded_package.h"

// Positions in a row of layout images (0..12) for a system version (major * 10 + minor) and
// processor architecture: *position32 always, *position64 for a 64-bit system (-1 for none).
// False for a 64-bit processor the table has no image for (Itanium after 6.1, ARM64 before
// it, anything but x86, Itanium, x64 and ARM64); versions 50 and 51 never look at the processor.
bool ChooseImagePositions(int32_t osVersion, int32_t cpuArch, int32_t* position32, int32_t* position64);

struct LayoutImageChoice {
  BlobRef image32 = {nullptr, 0};  // the 32-bit system folder (SysWOW64 of 64-bit Windows)
  BlobRef native = {nullptr, 0};   // the native System32 of 64-bit Windows; empty on 32-bit
};

// The images of `row` (0 normal, 1 alternative) of `variant`: on 64-bit Windows the native
// image (the ARM64 edition on ARM64) and, for the 32-bit folder, the WOW64 edition, or the
// 32-bit image where the package has none. False, with both empty, for a variant or row outside
// the tables or a system ChooseImagePositions refuses; an image the package lacks stays empty.
bool ChooseLayoutBlobs(const EmbeddedPackage& package, int32_t osVersion, int32_t cpuArch, int32_t variant,
                       int32_t row, LayoutImageChoice* out);
