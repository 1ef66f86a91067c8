#include "tools/packager/package_file.h"

#include <gtest/gtest.h>

namespace {

PackageFile Sample() {
  PackageFile package;
  package.name = "Sample";
  KeyMaterial material = MaterialFromSeed("sample");
  package.keyBlock = material.block;
  package.layout = material.layout;
  package.blobs.push_back({"textCommon", std::vector<uint8_t>(32, 1)});
  package.blobs.push_back({"layoutImage.0.0.1", std::vector<uint8_t>(4000, 7)});
  package.blobs.push_back({"layoutImage.1.0.1", std::vector<uint8_t>(4000, 7)});
  return package;
}

TEST(PackageFile, RoundTripsAndStoresIdenticalBlobsOnce) {
  const PackageFile package = Sample();
  const std::string bytes = SerializePackageFile(package);
  EXPECT_LT(bytes.size(), 8000u);  // the two identical images are stored once
  PackageFile back;
  std::string error;
  ASSERT_TRUE(ParsePackageFile(bytes, &back, &error)) << error;
  EXPECT_EQ(back.name, "Sample");
  EXPECT_TRUE(back.keyBlock == package.keyBlock);
  for (const LayoutField& field : kLayoutFields) EXPECT_EQ(back.layout.*field.member, package.layout.*field.member);
  ASSERT_EQ(back.blobs.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.blobs[i].name, package.blobs[i].name);
    EXPECT_EQ(back.blobs[i].stored, package.blobs[i].stored);
  }
  EXPECT_EQ(back.Find("layoutImage.1.0.1"), &back.blobs[2]);
  EXPECT_EQ(back.Find("documentA"), nullptr);
}

TEST(PackageFile, DamageIsDetected) {
  const std::string good = SerializePackageFile(Sample());
  struct Row {
    const char* name;
    std::string bytes;
    const char* message;
  } rows[] = {
      {"flipped byte", good.substr(0, 500) + static_cast<char>(good[500] ^ 1) + good.substr(501), "CRC-32 mismatch"},
      {"truncated", good.substr(0, good.size() - 10), "CRC-32 mismatch"},
      {"not a package", "MZ" + good, "not a package file"},
      {"empty", "", "not a package file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PackageFile back;
    std::string error;
    EXPECT_FALSE(ParsePackageFile(row.bytes, &back, &error));
    EXPECT_NE(error.find(row.message), std::string::npos) << error;
  }
}

}  // namespace
