// The image choice for an ARM64 machine, which no test machine has (the x64 path runs under Wine).
#include "engine/layout_choice.h"

#include <gtest/gtest.h>

#include "app/platform.h"

namespace {

TEST(LayoutChoice, Arm64EveryVariantAndRow) {
  // Places told apart by address: images, WOW64 editions of variant 0, ARM64 ones but for v2 r1.
  static uint8_t marks[3][kLayoutVariants][kLayoutRows][kLayoutPositions];
  auto mark = [](int table, int v, int r, int p) { return BlobRef{&marks[table][v][r][p], 8}; };
  EmbeddedPackage package = {};
  for (int v = 0; v < kLayoutVariants; ++v)
    for (int r = 0; r < kLayoutRows; ++r) {
      for (int p = 0; p < kLayoutPositions; ++p) package.layoutImages[v][r][p] = mark(0, v, r, p);
      if (v == 0) package.layoutImagesWow64[v][r][12] = mark(1, v, r, 12);
      if (v != 2 || r != 1) package.layoutImagesArm64[v][r][12] = mark(2, v, r, 12);
    }
  EXPECT_TRUE(Is64BitArchitecture(ArchitectureOfMachine(0xAA64, kArchX86)));  // WOW64 as on x64: two images
  for (int version : {62, 63, 100, 52, 60, 61}) {
    for (int v = 0; v < kLayoutVariants; ++v) {
      for (int r = 0; r < kLayoutRows; ++r) {
        SCOPED_TRACE(testing::Message() << "version " << version << ", variant " << v << ", row " << r);
        LayoutImageChoice choice;
        const bool chosen = ChooseLayoutBlobs(package, version, kArchArm64, v, r, &choice);
        EXPECT_EQ(chosen, version >= 62);  // no ARM64 Windows before 10
        EXPECT_EQ(choice.native.data, chosen && (v != 2 || r != 1) ? mark(2, v, r, 12).data : nullptr);
        EXPECT_EQ(choice.image32.data, !chosen ? nullptr : mark(v == 0 ? 1 : 0, v, r, v == 0 ? 12 : 11).data);
      }
    }
  }
}

}  // namespace
