// The generated source of the demo package, compiled into this test program: the program's view
// of kEmbeddedPackage must load and decode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "package/embedded_package.h"
#include "package/guard.h"
#include "strings/gstring.h"
#include "text/tables/text_table.h"

namespace {

TEST(EmbeddedSource, TheDemoPackageLoadsAndEveryBlobDecodes) {
  const EmbeddedPackage& package = kEmbeddedPackage;
  ASSERT_EQ(package.keyBlockLength, kKeyBlockLength);
  CGuard guard(package.layout);
  ASSERT_TRUE(guard.Load(package.keyBlock, package.keyBlockLength));

  const BlobRef* tables[] = {&package.textCommon, &package.textExtra, &package.textLanguage[0],
                             &package.textLanguage[1]};
  TextTable common = {};
  for (const BlobRef* blob : tables) {
    ASSERT_NE(blob->data, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(blob->data) % 8, 0u);
    uint32_t size = blob->size;
    uint32_t count = 0;
    uint8_t* plain = guard.DecodeBlob(blob->data, size, &count);
    ASSERT_NE(plain, nullptr);
    TextTable table = {};
    ASSERT_TRUE(table.Attach(plain, size, static_cast<int32_t>(count)));
    if (blob == &package.textCommon) {
      common = table;
    } else {
      table.Free();
    }
  }
  GString text;
  ASSERT_TRUE(TextFromRecord(common.Find(86), text));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text.WideAt(0)), text.Length()), u"0415");
  common.Free();

  for (const BlobRef* blob : {&package.licence[0], &package.licence[1], &package.documentA, &package.documentB,
                              &package.documentE}) {
    ASSERT_NE(blob->data, nullptr);
    uint32_t size = blob->size;
    uint8_t* plain = guard.DecodeBlob(blob->data, size, nullptr);
    EXPECT_NE(plain, nullptr);
    free(plain);
  }
  // Every variant and row has its 32-bit and x64 images; the Itanium positions stay empty.
  for (const auto& variant : package.layoutImages) {
    for (const auto& row : variant) {
      for (int position = 0; position < kLayoutPositions; ++position) {
        const BlobRef& image = row[position];
        if (position == 3 || position == 6 || position == 9) {
          EXPECT_EQ(image.data, nullptr) << position;
          continue;
        }
        ASSERT_NE(image.data, nullptr) << position;
        uint32_t size = image.size;
        uint8_t* plain = guard.DecodeBlob(image.data, size, nullptr);
        ASSERT_NE(plain, nullptr) << position;
        EXPECT_EQ(memcmp(plain, "MZ", 2), 0);
        free(plain);
      }
    }
  }
  // The WOW64 editions stand beside the x64 images, each its own library.
  for (int variant = 0; variant < kLayoutVariants; ++variant) {
    for (int row = 0; row < kLayoutRows; ++row) {
      for (int position = 0; position < kLayoutPositions; ++position) {
        const BlobRef& image = package.layoutImagesWow64[variant][row][position];
        if (position != 4 && position != 7 && position != 10 && position != 12) {
          EXPECT_EQ(image.data, nullptr) << position;
          continue;
        }
        ASSERT_NE(image.data, nullptr) << position;
        EXPECT_NE(image.data, package.layoutImages[variant][row][position].data);
        EXPECT_NE(image.data, package.layoutImages[variant][row][11].data);
      }
    }
  }
}

}  // namespace
