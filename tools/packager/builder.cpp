#include "tools/packager/builder.h"

#include <cstring>
#include <filesystem>
#include <map>

#include "engine/pe_checksum.h"
#include "package/blob_writer.h"
#include "tools/packager/file_io.h"
#include "tools/packager/image_check.h"
#include "tools/packager/image_source.h"
#include "tools/packager/string_table.h"
#include "tools/packager/text_file.h"
#include "tools/packager/utf.h"

namespace fs = std::filesystem;

namespace {

// Line (1-based) of a byte offset.
int LineOfOffset(const std::string& text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

// Checks a UTF-8 text file; `bmpOnly` also refuses characters above U+FFFF, which the
// program's own decoder does not read.
bool CheckUtf8Text(const std::string& path, const std::string& text, bool bmpOnly, Problems* problems) {
  std::u32string codePoints;
  size_t bad = 0;
  if (!DecodeUtf8(text, &codePoints, &bad)) {
    problems->Add(path, LineOfOffset(text, bad), "invalid UTF-8");
    return false;
  }
  if (bmpOnly) {
    size_t offset = 0;
    for (char32_t c : codePoints) {
      if (c > 0xFFFF) {
        problems->Add(path, LineOfOffset(text, offset),
                      "a character above U+FFFF, which the program's text decoder does not read");
        return false;
      }
      offset += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    }
  }
  return true;
}

// LF without CR becomes CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool ReadInput(const SourceFile& source, std::string* content, Problems* problems) {
  std::string error;
  if (!ReadWholeFile(source.path, content, &error)) {
    problems->AddLine(error);
    return false;
  }
  return true;
}

void AddBlob(std::vector<PlainBlob>* out, const std::string& name, const std::string& bytes, uint32_t extra) {
  PlainBlob blob;
  blob.name = name;
  blob.bytes.assign(bytes.begin(), bytes.end());
  blob.extra = extra;
  out->push_back(std::move(blob));
}

// Appends "0x12," for every byte, a line break after every 20.
void AppendByteList(std::string* out, const uint8_t* data, size_t size) {
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < size; ++i) {
    if (i % 20 == 0) *out += i ? "\n    " : "    ";
    const char item[5] = {'0', 'x', kHex[data[i] >> 4], kHex[data[i] & 15], ','};
    out->append(item, 5);
  }
  *out += '\n';
}

}  // namespace

void WipeString(std::string* text) {
  if (!text->empty()) WipeBytes(&(*text)[0], text->size());
  text->clear();
}

bool ReadPlainBlobs(const Manifest& manifest, std::vector<PlainBlob>* out, TableSet* texts, Problems* problems) {
  const size_t before = problems->Count();
  out->clear();
  texts->origin = manifest.path;
  for (int slot = 0; slot < kTableSlots; ++slot) {
    TextFile& file = texts->tables[slot];
    if (!LoadTextFile(manifest.texts[slot].path, &file, problems)) continue;
    std::vector<uint8_t> table;
    uint32_t count = 0;
    if (!BuildStringTable(file, manifest.records, &table, &count, problems)) continue;
    PlainBlob blob;
    blob.name = TableBlobName(slot);
    blob.bytes = std::move(table);
    blob.extra = count;
    out->push_back(std::move(blob));
  }
  for (int language = 0; language < 2; ++language) {
    std::string text;
    if (!ReadInput(manifest.licence[language], &text, problems)) continue;
    if (!CheckUtf8Text(manifest.licence[language].path, text, true, problems)) continue;
    AddBlob(out, LicenceBlobName(language), WithCrLf(text), 0);
  }
  for (int slot = 0; slot < kDocumentSlots; ++slot) {
    const DocumentSource& document = manifest.documents[slot];
    if (!document.present()) continue;
    std::string bytes;
    if (!ReadInput(document, &bytes, problems)) continue;
    if (document.crlf) {
      if (!CheckUtf8Text(document.path, bytes, false, problems)) continue;
      bytes = WithCrLf(bytes);
    }
    AddBlob(out, DocumentBlobName(slot), bytes, 0);
  }
  // Images in table order, so that the output does not depend on the manifest's order.
  std::map<int, const ImageSource*> images;
  for (const ImageSource& image : manifest.images) {
    images[ImageSlot(image)] = &image;
  }
  ImageFiles files;
  for (const auto& [slot, image] : images) {
    std::vector<uint8_t> bytes;
    if (!files.Read(*image, &bytes, problems)) continue;
    if (bytes.empty()) {
      problems->Add(image->path, 0, "layout library image is empty");
      continue;
    }
    out->push_back({ImageBlobName(image->variant, image->row, image->position, image->table), std::move(bytes), 0});
    // Stored with a header checksum that matches its bytes, so that an image the installer
    // stages unchanged carries a valid one too (it renews the checksum of those it patches).
    // What is no PE image stays as it is; the image check reports it.
    std::vector<uint8_t>& stored = out->back().bytes;
    if (stored.size() <= UINT32_MAX) UpdatePeChecksum(stored.data(), static_cast<uint32_t>(stored.size()));
  }
  return problems->Count() == before;
}

bool BuildPackage(const Manifest& manifest, Damage damage, PackageFile* out, Problems* problems) {
  *out = PackageFile();
  std::vector<std::string> faults;
  if (manifest.key.block.Size() != kKeyBlockLength || !CheckLayout(manifest.key.layout, &faults)) {
    for (const std::string& fault : faults) problems->Add(manifest.path, 0, fault);
    if (faults.empty()) problems->Add(manifest.path, 0, "the key block is not 968 bytes");
    return false;
  }
  std::vector<PlainBlob> plain;
  TableSet texts;
  if (!ReadPlainBlobs(manifest, &plain, &texts, problems)) return false;
  // An image that its search patterns would not patch correctly must fail here, not on a
  // user's machine.
  if (!CheckBuildImages(manifest, texts, plain, problems)) return false;

  KeyBytes key;
  if (!KeyFromMaterial(manifest.key, &key)) {
    problems->Add(manifest.path, 0, "the key block cannot be loaded into the key holder");
    return false;
  }
  for (const PlainBlob& blob : plain) {
    NamedBlob stored;
    stored.name = blob.name;
    if (!EncodeBlob(key.Data(), static_cast<int>(key.Size()), blob.bytes.data(), blob.bytes.size(), blob.extra,
                    &stored.stored)) {
      problems->Add(manifest.path, 0, blob.name + ": cannot be encoded (too large, or deflating failed)");
      return false;
    }
    out->blobs.push_back(std::move(stored));
  }
  out->name = manifest.name;
  out->layout = manifest.key.layout;
  out->keyBlock = manifest.key.block;

  switch (damage) {
    case Damage::kNone:
      break;
    case Damage::kTableByte: {
      // Byte 24 starts the packed data, behind the 24-byte header: its cipher block deciphers
      // to other bytes, so the packed CRC-32 no longer matches while the header stays sound.
      for (NamedBlob& blob : out->blobs) {
        if (blob.name == TableBlobName(kTableCommon)) blob.stored[24] ^= 0xFF;
      }
      break;
    }
    case Damage::kKeyBlockLength:
      out->keyBlock = KeyBytes(manifest.key.block.Data(), kKeyBlockLength - 1);
      break;
  }
  return true;
}

std::string EmbeddedSource(const PackageFile& package) {
  // Blobs with identical stored bytes become one array.
  std::map<std::vector<uint8_t>, std::string> arrayOf;
  std::map<std::string, std::string> arrayOfName;
  std::vector<const NamedBlob*> arrays;
  size_t total = package.keyBlock.Size();
  for (const NamedBlob& blob : package.blobs) {
    auto [it, inserted] = arrayOf.emplace(blob.stored, "kBlob" + std::to_string(arrays.size()));
    if (inserted) {
      arrays.push_back(&blob);
      total += blob.stored.size();
    }
    arrayOfName[blob.name] = it->second;
  }

  std::string out;
  // Room for everything at once: the key block's text must not be left behind in a buffer
  // that growth gives back unwiped.
  out.reserve(total * 6 + 64 * 1024);
  out += "// Generated by the packager from the package \"" + DisplayText(package.name) +
         "\". Do not edit: change the package\n// folder and build again.\n";
  out += "#include <cstdint>\n\n#include \"package/embedded_package.h\"\n\n";
  out += "alignas(8) static const uint8_t kKeyBlock[" + std::to_string(package.keyBlock.Size()) + "] = {\n";
  AppendByteList(&out, package.keyBlock.Data(), package.keyBlock.Size());
  out += "};\n";
  for (size_t i = 0; i < arrays.size(); ++i) {
    out += "\n// " + arrays[i]->name + "\n";
    out += "alignas(8) static const uint8_t kBlob" + std::to_string(i) + "[" +
           std::to_string(arrays[i]->stored.size()) + "] = {\n";
    AppendByteList(&out, arrays[i]->stored.data(), arrays[i]->stored.size());
    out += "};\n";
  }

  auto ref = [&](const std::string& name) -> std::string {
    const NamedBlob* blob = package.Find(name);
    if (!blob) return "{nullptr, 0}";
    return "{" + arrayOfName[name] + ", " + std::to_string(blob->stored.size()) + "}";
  };
  out += "\nconst EmbeddedPackage kEmbeddedPackage = {\n";
  out += "    kKeyBlock,\n    " + std::to_string(package.keyBlock.Size()) + ",\n    {";
  for (size_t i = 0; i < 10; ++i) {
    out += (i ? ", " : "") + std::to_string(package.layout.*kLayoutFields[i].member);
  }
  out += "},\n";
  out += "    " + ref(TableBlobName(kTableCommon)) + ",\n";
  out += "    " + ref(TableBlobName(kTableExtra)) + ",\n";
  out += "    {" + ref(TableBlobName(kTableLanguage0)) + ", " + ref(TableBlobName(kTableLanguage1)) + "},\n";
  out += "    {" + ref(LicenceBlobName(0)) + ", " + ref(LicenceBlobName(1)) + "},\n";
  for (int slot = 0; slot < kDocumentSlots; ++slot) out += "    " + ref(DocumentBlobName(slot)) + ",\n";
  static const char* const kTableOpenings[] = {"    {\n", "    {  // WOW64 editions\n", "    {  // ARM64 editions\n"};
  for (ImageTable table : kImageTables) {
    out += kTableOpenings[static_cast<int>(table)];
    for (int variant = 0; variant < kLayoutVariants; ++variant) {
      out += "        {\n";
      for (int row = 0; row < kLayoutRows; ++row) {
        out += "            {";
        for (int position = 0; position < kLayoutPositions; ++position) {
          out += (position ? ", " : "") + ref(ImageBlobName(variant, row, position, table));
        }
        out += "},\n";
      }
      out += "        },\n";
    }
    out += "    },\n";
  }
  out += "};\n";
  return out;
}

bool WriteOutputs(const PackageFile& package, const std::string& outDir, std::vector<std::string>* report,
                  Problems* problems) {
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec) {
    problems->AddLine(outDir + ": cannot create the folder: " + ec.message());
    return false;
  }
  struct Output {
    const char* name;
    std::string content;
  } outputs[] = {
      {"embedded_package.cpp", EmbeddedSource(package)},
      {"package.bin", SerializePackageFile(package)},
  };
  bool ok = true;
  for (Output& output : outputs) {
    const std::string path = (fs::path(outDir) / output.name).string();
    bool changed = false;
    std::string error;
    if (!WriteFileIfChanged(path, output.content, &changed, &error)) {
      problems->AddLine(error);
      ok = false;
    } else {
      report->push_back(path + (changed ? ": written" : ": unchanged"));
    }
    WipeString(&output.content);
  }
  return ok;
}
