// The COM ids the engine defines itself are those of the Windows headers (from libuuid).
#include "engine/com_ids.h"

#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

TEST(ComIds, SameAsTheWindowsHeaders) {
  EXPECT_TRUE(IsEqualGUID(kClsidShellLink, CLSID_ShellLink));
  EXPECT_TRUE(IsEqualGUID(kIidShellLinkW, IID_IShellLinkW));
  EXPECT_TRUE(IsEqualGUID(kIidPersistFile, IID_IPersistFile));
}

}  // namespace
