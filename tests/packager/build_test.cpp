#include "tools/packager/builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "package/guard.h"
#include "strings/gstring.h"
#include "tests/packager/packager_test_util.h"
#include "text/tables/text_table.h"
#include "tools/packager/text_file.h"

namespace {

const std::string kDemo = std::string(PACKAGER_SOURCE_DIR) + "/demo";
const Variables kDemoVars = {{"LAYOUTS", DEMO_LAYOUTS_DIR}};  // our layout libraries, built first

struct Decoded {
  std::vector<uint8_t> bytes;
  uint32_t extra = 0;
};

// Every blob of a package decoded with the program's own decoder; a blob that fails is absent.
std::map<std::string, Decoded> DecodeAll(const PackageFile& package) {
  std::map<std::string, Decoded> out;
  CGuard guard(package.layout);
  if (!guard.Load(package.keyBlock.Data(), static_cast<int>(package.keyBlock.Size()))) return out;
  for (const NamedBlob& blob : package.blobs) {
    uint32_t size = static_cast<uint32_t>(blob.stored.size());
    uint32_t extra = 0;
    uint8_t* plain = guard.DecodeBlob(blob.stored.data(), size, &extra);
    if (!plain) continue;
    out[blob.name] = {std::vector<uint8_t>(plain, plain + size), extra};
    free(plain);
  }
  return out;
}

std::string TextOf(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string WithCrLf(std::string text) {
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, "\r");
  return text;
}

// The builder's outputs for a package folder, written to out.
bool BuildInto(const std::string& folder, const TempFolder& out, Damage damage = Damage::kNone,
               const Variables& variables = {}) {
  Problems problems;
  Manifest manifest;
  PackageFile package;
  std::vector<std::string> report;
  const bool ok = LoadManifest(ManifestPathOf(folder), variables, &manifest, &problems) &&
                  BuildPackage(manifest, damage, &package, &problems) &&
                  WriteOutputs(package, out.Path(), &report, &problems);
  EXPECT_TRUE(problems.Empty()) << Joined(problems);
  return ok;
}

PackageFile LoadBuilt(const TempFolder& out) {
  PackageFile package;
  std::string error;
  EXPECT_TRUE(LoadPackageFile(out.Path("package.bin"), &package, &error)) << error;
  return package;
}

// The text the program gets for an identifier from a decoded table, as UTF-16.
std::u16string ProgramText(const Decoded& table, uint32_t id, bool* found) {
  TextTable reader = {};
  uint8_t* copy = static_cast<uint8_t*>(malloc(table.bytes.size()));
  memcpy(copy, table.bytes.data(), table.bytes.size());
  EXPECT_TRUE(reader.Attach(copy, static_cast<uint32_t>(table.bytes.size()), static_cast<int32_t>(table.extra)));
  std::u16string out;
  GString text;
  const uint8_t* record = reader.Find(id);
  *found = record && TextFromRecord(record, text);
  if (*found) out.assign(reinterpret_cast<const char16_t*>(text.WideAt(0)), static_cast<size_t>(text.Length()));
  reader.Free();
  return out;
}

std::u16string Utf16Of(const std::string& utf8) {
  GString text;
  text.AssignUtf8AsWide(utf8.data(), static_cast<int>(utf8.size()), 0);
  return std::u16string(reinterpret_cast<const char16_t*>(text.WideAt(0)), static_cast<size_t>(text.Length()));
}

TEST(BuildRoundTrip, EveryDemoBlobDecodesToItsSource) {
  TempFolder out;
  ASSERT_TRUE(BuildInto(kDemo, out, Damage::kNone, kDemoVars));
  const PackageFile package = LoadBuilt(out);
  const std::map<std::string, Decoded> decoded = DecodeAll(package);
  ASSERT_EQ(decoded.size(), package.blobs.size()) << "a blob did not decode";

  const char* tableFiles[] = {"texts/common.txt", "texts/extra.txt", "texts/en.txt", "texts/pl.txt"};
  for (int slot = 0; slot < kTableSlots; ++slot) {
    SCOPED_TRACE(tableFiles[slot]);
    TextFile source;
    Problems problems;
    ASSERT_TRUE(LoadTextFile(kDemo + "/" + tableFiles[slot], &source, &problems)) << Joined(problems);
    const Decoded& table = decoded.at(TableBlobName(slot));
    EXPECT_EQ(table.extra, source.entries.size());
    for (const TextEntry& entry : source.entries) {
      bool found = false;
      EXPECT_EQ(ProgramText(table, entry.id, &found), Utf16Of(entry.text)) << entry.id;
      EXPECT_TRUE(found) << entry.id;
    }
  }
  bool found = false;
  EXPECT_EQ(ProgramText(decoded.at("textCommon"), 86, &found), u"0415");
  EXPECT_EQ(ProgramText(decoded.at("textCommon"), 3, &found), u"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts");
  EXPECT_EQ(ProgramText(decoded.at("textLanguage1"), 93, &found), u"Polski układ demo – instalator");

  EXPECT_EQ(TextOf(decoded.at("licence0").bytes), WithCrLf(ReadAll(kDemo + "/licence/en.txt")));
  EXPECT_EQ(TextOf(decoded.at("licence1").bytes), WithCrLf(ReadAll(kDemo + "/licence/pl.txt")));
  EXPECT_EQ(TextOf(decoded.at("documentA").bytes), WithCrLf(ReadAll(kDemo + "/docs/about.txt")));
  EXPECT_EQ(TextOf(decoded.at("documentB").bytes), WithCrLf(ReadAll(kDemo + "/docs/switching.txt")));
  EXPECT_EQ(TextOf(decoded.at("documentE").bytes), WithCrLf(ReadAll(kDemo + "/docs/removing.txt")));
  for (const auto& [name, blob] : decoded) {
    if (name.compare(0, 4, "text") != 0) {
      EXPECT_EQ(blob.extra, 0u) << name;
    }
  }
}

// An image whose header checksum no longer matches its bytes (here: zeroed) is stored with the
// one its linker wrote, so that an image the installer stages unchanged carries a valid one.
TEST(BuildRoundTrip, ImagesAreStoredWithAMatchingChecksum) {
  TempFolder layouts;
  for (const auto& entry : std::filesystem::directory_iterator(DEMO_LAYOUTS_DIR))
    layouts.Write(entry.path().filename().string(), ReadAll(entry.path().string()));
  const std::string linked = layouts.Read("kbddemo_v0_r0_x86.dll");
  ASSERT_GT(linked.size(), 0x40u);
  const size_t field = (static_cast<uint8_t>(linked[0x3C]) | static_cast<uint8_t>(linked[0x3D]) << 8) + 24 + 64;
  std::string stale = linked;
  stale.replace(field, 4, 4, '\0');
  ASSERT_NE(stale, linked);
  layouts.Write("kbddemo_v0_r0_x86.dll", stale);
  TempFolder out;
  ASSERT_TRUE(BuildInto(kDemo, out, Damage::kNone, {{"LAYOUTS", layouts.Path()}}));
  const std::map<std::string, Decoded> decoded = DecodeAll(LoadBuilt(out));
  EXPECT_EQ(TextOf(decoded.at("layoutImage.0.0.0").bytes), linked);
}

TEST(BuildRoundTrip, ImagesAndByteExactDocumentsKeepTheirBytes) {
  TempFolder folder;
  WriteMinimalPackage(folder,
                      "[documents]\nB = \"docs/b.bin\"\n"
                      "[[image]]\nvariant = 0\nrow = 0\nposition = 2\nfile = \"${BUILT}/x86.dll\"\n"
                      "[[image]]\nvariant = 1\nrow = 1\nposition = 2\nfile = \"${BUILT}/x86.dll\"\n"
                      "[[image]]\nvariant = 2\nrow = 0\nposition = 12\nfile = \"${BUILT}/x64.dll\"\n"
                      "[[image]]\nvariant = 2\nrow = 0\nposition = 12\nedition = \"wow64\"\nfile = \"${BUILT}/x64.dll\"\n");
  std::string image32(70000, '\0'), image64(5000, '\0');
  for (size_t i = 0; i < image32.size(); ++i) image32[i] = static_cast<char>(i * 7 + i / 300);
  for (size_t i = 0; i < image64.size(); ++i) image64[i] = static_cast<char>(i ^ 0x5A);
  // The tables that the search patterns find, so that the image check passes; image32 serves
  // variants 0 and 1.
  folder.Write("texts/common.txt", folder.Read("texts/common.txt") + kFakePatternTexts);
  PutFakeLayout(&image32, 0);
  PutFakeMainTable(&image32, 1000, 1);
  PutFakeLayout(&image64, 2);
  folder.Write("built/x86.dll", image32);
  folder.Write("built/x64.dll", image64);
  folder.Write("docs/b.bin", std::string("line\nbytes\0\xFF\n", 14));
  TempFolder out;
  ASSERT_TRUE(BuildInto(folder.Path(), out, Damage::kNone, {{"BUILT", folder.Path("built")}}));
  const std::map<std::string, Decoded> decoded = DecodeAll(LoadBuilt(out));
  EXPECT_EQ(TextOf(decoded.at("layoutImage.0.0.2").bytes), image32);
  EXPECT_EQ(TextOf(decoded.at("layoutImage.1.1.2").bytes), image32);
  EXPECT_EQ(TextOf(decoded.at("layoutImage.2.0.12").bytes), image64);
  EXPECT_EQ(TextOf(decoded.at("layoutImageWow64.2.0.12").bytes), image64);
  EXPECT_EQ(TextOf(decoded.at("documentB").bytes), std::string("line\nbytes\0\xFF\n", 14));
  EXPECT_EQ(decoded.count("documentA"), 0u);

  // The generated source stores the shared image once and leaves the empty places null.
  const std::string source = out.Read("embedded_package.cpp");
  size_t arrays = 0;
  for (size_t at = source.find("static const uint8_t kBlob"); at != std::string::npos;
       at = source.find("static const uint8_t kBlob", at + 1)) {
    ++arrays;
  }
  EXPECT_EQ(arrays, 4u + 2 + 1 + 2);  // tables, licences, document B, two distinct images
  EXPECT_EQ(source.find("alignas(8) static const uint8_t kKeyBlock[968]") != std::string::npos, true);
  const size_t table = source.find("const EmbeddedPackage kEmbeddedPackage");
  ASSERT_NE(table, std::string::npos);
  size_t nulls = 0;
  for (size_t at = source.find("{nullptr, 0}", table); at != std::string::npos; at = source.find("{nullptr, 0}", at + 1)) {
    ++nulls;
  }
  EXPECT_EQ(nulls, 78u - 3 + 2 + 78 - 1 + 78);  // empty image places, documents A and E, WOW64, ARM64
  // The WOW64 edition is the last entry of the last table.
  EXPECT_NE(source.find("{nullptr, 0}, {kBlob", source.rfind("WOW64")), std::string::npos);
}

TEST(BuildDeterminism, SameSeedSameBytesOtherSeedOtherKeyBlock) {
  TempFolder first, second;
  ASSERT_TRUE(BuildInto(kDemo, first, Damage::kNone, kDemoVars));
  ASSERT_TRUE(BuildInto(kDemo, second, Damage::kNone, kDemoVars));
  EXPECT_EQ(first.Read("package.bin"), second.Read("package.bin"));
  EXPECT_EQ(first.Read("embedded_package.cpp"), second.Read("embedded_package.cpp"));

  TempFolder a, b, outA, outB;
  WriteMinimalPackage(a);
  WriteMinimalPackage(b);
  std::string manifest = b.Read("package.toml");
  manifest.replace(manifest.find("test-seed"), 9, "test-seed2");
  b.Write("package.toml", manifest);
  ASSERT_TRUE(BuildInto(a.Path(), outA));
  ASSERT_TRUE(BuildInto(b.Path(), outB));
  const PackageFile packageA = LoadBuilt(outA), packageB = LoadBuilt(outB);
  EXPECT_TRUE(packageA.keyBlock != packageB.keyBlock);
  ASSERT_EQ(packageA.blobs.size(), packageB.blobs.size());
  EXPECT_NE(packageA.blobs[0].stored, packageB.blobs[0].stored);
  // The two packages' texts are the same, each decoding with its own key only.
  PackageFile mixed = LoadBuilt(outA);
  mixed.blobs = packageB.blobs;
  EXPECT_TRUE(DecodeAll(mixed).empty());
}

TEST(BuildOutputs, AreWrittenOnlyWhenTheyChange) {
  TempFolder folder, out;
  WriteMinimalPackage(folder);
  ASSERT_TRUE(BuildInto(folder.Path(), out));
  const auto stamp = std::filesystem::last_write_time(out.Path("package.bin"));
  const std::string before = out.Read("embedded_package.cpp");

  Problems problems;
  Manifest manifest;
  PackageFile package;
  std::vector<std::string> report;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems));
  ASSERT_TRUE(BuildPackage(manifest, Damage::kNone, &package, &problems));
  ASSERT_TRUE(WriteOutputs(package, out.Path(), &report, &problems));
  ASSERT_EQ(report.size(), 2u);
  EXPECT_NE(report[0].find("embedded_package.cpp: unchanged"), std::string::npos) << report[0];
  EXPECT_NE(report[1].find("package.bin: unchanged"), std::string::npos) << report[1];
  EXPECT_EQ(std::filesystem::last_write_time(out.Path("package.bin")), stamp);

  folder.Write("texts/en.txt", "== 93\nSetup, changed\n== 97\nWelcome to %s\n");
  ASSERT_TRUE(BuildInto(folder.Path(), out));
  EXPECT_NE(out.Read("embedded_package.cpp"), before);
  // No temporary file stays behind.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out.Path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u);
}

TEST(BuildDamage, TableByteBreaksOnlyTheCommonTable) {
  TempFolder out;
  ASSERT_TRUE(BuildInto(kDemo, out, Damage::kTableByte, kDemoVars));
  const PackageFile package = LoadBuilt(out);
  const std::map<std::string, Decoded> decoded = DecodeAll(package);
  EXPECT_EQ(decoded.count("textCommon"), 0u);
  EXPECT_EQ(decoded.size(), package.blobs.size() - 1);
}

TEST(BuildDamage, KeyBlockLengthMakesTheBlockUnloadable) {
  TempFolder out;
  ASSERT_TRUE(BuildInto(kDemo, out, Damage::kKeyBlockLength, kDemoVars));
  const PackageFile package = LoadBuilt(out);
  ASSERT_EQ(package.keyBlock.Size(), 967u);
  CGuard guard(package.layout);
  EXPECT_FALSE(guard.Load(package.keyBlock.Data(), 967));
  const std::string source = out.Read("embedded_package.cpp");
  EXPECT_NE(source.find("kKeyBlock[967]"), std::string::npos);
  EXPECT_NE(source.find("    kKeyBlock,\n    967,\n"), std::string::npos);
  // The blobs are still enciphered with the whole block's key.
  PackageFile whole = package;
  whole.keyBlock = MaterialFromSeed("demo-2026-12").block;
  EXPECT_EQ(DecodeAll(whole).size(), package.blobs.size());
}

TEST(BuildInputs, FaultsInTheInputsAreNamed) {
  struct Row {
    const char* name;
    const char* file;
    std::string content;
    const char* message;
  } rows[] = {
      {"licence not UTF-8", "licence/pl.txt", "ok\nbad \xFF\n", "licence/pl.txt:2: invalid UTF-8"},
      {"licence beyond U+FFFF", "licence/en.txt", "a\nb\n\xF0\x9F\x98\x80\n", "licence/en.txt:3: a character above U+FFFF"},
      {"empty table", "texts/extra.txt", "# nothing\n", "texts/extra.txt: holds no texts"},
      {"text file fault", "texts/en.txt", "== 93\nx\n== 93\n", "texts/en.txt:3: text 93 defined again"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    WriteMinimalPackage(folder);
    folder.Write(row.file, row.content);
    Problems problems;
    Manifest manifest;
    PackageFile package;
    ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems));
    EXPECT_FALSE(BuildPackage(manifest, Damage::kNone, &package, &problems));
    EXPECT_NE(Joined(problems).find(row.message), std::string::npos) << Joined(problems);
  }
}

}  // namespace
