// The systems the installer runs on, and the layouts that count as Cyrillic.
#include "app/platform.h"

#include <gtest/gtest.h>

namespace {

TEST(Platform, VersionsAndProcessors) {
  // Windows 2000 and XP only on x86; Server 2003 / XP x64 up to Windows 10 (which reports 6.2
  // without a compatibility manifest) on x86, Itanium and x64, ARM64 from 6.2; nothing else.
  const struct {
    int version;
    bool x86, itanium, x64;
  } rows[] = {{50, true, false, false},  {51, true, false, false}, {52, true, true, true}, {60, true, true, true},
              {61, true, true, true},    {62, true, true, true},   {63, true, true, true}, {100, true, true, true},
              {0, false, false, false},  {40, false, false, false}, {53, false, false, false},
              {64, false, false, false}, {110, false, false, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.version);
    EXPECT_EQ(IsSupportedPlatform(row.version, 0), row.x86);
    EXPECT_EQ(IsSupportedPlatform(row.version, 6), row.itanium);
    EXPECT_EQ(IsSupportedPlatform(row.version, 9), row.x64);
    EXPECT_FALSE(IsSupportedPlatform(row.version, 5));   // ARM
    EXPECT_EQ(IsSupportedPlatform(row.version, 12), row.x64 && row.version >= 62);  // ARM64
    EXPECT_FALSE(IsSupportedPlatform(row.version, -1));  // not known
  }
}

TEST(Platform, CyrillicLayoutsByTheirLanguagePart) {
  for (uint16_t language : kCyrillicLanguages) {
    EXPECT_TRUE(IsCyrillicLayout(language)) << std::hex << language;
    EXPECT_TRUE(IsCyrillicLayout(0xF0C00000u | language)) << "only the low 16 bits count";
  }
  for (uintptr_t layout : {0x04090409u, 0x04150415u, 0x0000041Au /* Croatian: Latin */, 0x0000081Au /* Serbian, Latin */,
                           0x04190000u /* the language in the high half */})
    EXPECT_FALSE(IsCyrillicLayout(layout)) << std::hex << layout;
}

}  // namespace
