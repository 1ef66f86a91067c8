#include "tools/packager/package_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "tools/packager/file_io.h"
#include "tools/packager/manifest.h"

namespace {

const char kMagic[8] = {'L', 'S', 'P', 'K', 'G', '\r', '\n', '\x1A'};
constexpr uint32_t kVersion = 1;

void PutU32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

uint32_t Crc32(const void* data, size_t size) {
  uLong crc = crc32(0, nullptr, 0);
  const auto* p = static_cast<const Bytef*>(data);
  while (size > 0) {
    const uInt chunk = size > 0x40000000 ? 0x40000000 : static_cast<uInt>(size);
    crc = crc32(crc, p, chunk);
    p += chunk;
    size -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

// Bounded reader: every read first checks that the bytes are there.
class Reader {
 public:
  Reader(const std::string& bytes, size_t end) : m_bytes(bytes), m_end(end) {}
  bool U32(uint32_t* value) {
    if (m_end - m_pos < 4) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(m_bytes.data() + m_pos);
    *value = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
             static_cast<uint32_t>(p[3]) << 24;
    m_pos += 4;
    return true;
  }
  bool Bytes(size_t count, const char** data) {
    if (m_end - m_pos < count) return false;
    *data = m_bytes.data() + m_pos;
    m_pos += count;
    return true;
  }
  size_t Position() const { return m_pos; }

 private:
  const std::string& m_bytes;
  size_t m_end;
  size_t m_pos = 0;
};

}  // namespace

const NamedBlob* PackageFile::Find(const std::string& blobName) const {
  for (const NamedBlob& blob : blobs) {
    if (blob.name == blobName) return &blob;
  }
  return nullptr;
}

std::string TableBlobName(int slot) {
  static const char* const kNames[kTableSlots] = {"textCommon", "textExtra", "textLanguage0", "textLanguage1"};
  return kNames[slot];
}

std::string LicenceBlobName(int language) { return "licence" + std::to_string(language); }

std::string DocumentBlobName(int slot) { return std::string("document") + kDocumentLetters[slot]; }

std::string ImageBlobName(int variant, int row, int position, ImageTable table) {
  static const char* const kPrefixes[] = {"layoutImage.", "layoutImageWow64.", "layoutImageArm64."};
  return kPrefixes[static_cast<int>(table)] + std::to_string(variant) + "." + std::to_string(row) + "." +
         std::to_string(position);
}

std::string SerializePackageFile(const PackageFile& package) {
  std::map<std::vector<uint8_t>, uint32_t> indexOf;
  std::vector<const std::vector<uint8_t>*> distinct;
  std::vector<uint32_t> entryIndex;
  for (const NamedBlob& blob : package.blobs) {
    auto [it, inserted] = indexOf.emplace(blob.stored, static_cast<uint32_t>(distinct.size()));
    if (inserted) distinct.push_back(&blob.stored);
    entryIndex.push_back(it->second);
  }
  // The exact size up front, so that no growth leaves a copy of the key block behind.
  size_t size = sizeof kMagic + 4 + 4 + 40 + package.keyBlock.Size() + 4 + package.name.size() + 4 + 4 + 4;
  for (const std::vector<uint8_t>* stored : distinct) size += 4 + stored->size();
  for (const NamedBlob& blob : package.blobs) size += 8 + blob.name.size();

  std::string out;
  out.reserve(size);
  out.append(kMagic, sizeof kMagic);
  PutU32(&out, kVersion);
  PutU32(&out, static_cast<uint32_t>(package.keyBlock.Size()));
  for (const LayoutField& field : kLayoutFields) PutU32(&out, static_cast<uint32_t>(package.layout.*field.member));
  out.append(reinterpret_cast<const char*>(package.keyBlock.Data()), package.keyBlock.Size());
  PutU32(&out, static_cast<uint32_t>(package.name.size()));
  out += package.name;
  PutU32(&out, static_cast<uint32_t>(distinct.size()));
  for (const std::vector<uint8_t>* stored : distinct) {
    PutU32(&out, static_cast<uint32_t>(stored->size()));
    out.append(reinterpret_cast<const char*>(stored->data()), stored->size());
  }
  PutU32(&out, static_cast<uint32_t>(package.blobs.size()));
  for (size_t i = 0; i < package.blobs.size(); ++i) {
    PutU32(&out, static_cast<uint32_t>(package.blobs[i].name.size()));
    out += package.blobs[i].name;
    PutU32(&out, entryIndex[i]);
  }
  PutU32(&out, Crc32(out.data(), out.size()));
  return out;
}

bool ParsePackageFile(const std::string& bytes, PackageFile* out, std::string* error) {
  *out = PackageFile();
  if (bytes.size() < sizeof kMagic + 4 || memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    *error = "not a package file (no package file signature)";
    return false;
  }
  Reader reader(bytes, bytes.size() - 4);
  const char* data = nullptr;
  uint32_t value = 0;
  reader.Bytes(sizeof kMagic, &data);
  if (!reader.U32(&value) || value != kVersion) {
    *error = "package file format version " + std::to_string(value) + " is not supported (1 is)";
    return false;
  }
  Reader trailer(bytes, bytes.size());
  uint32_t stored = 0;
  trailer.Bytes(bytes.size() - 4, &data);
  trailer.U32(&stored);
  if (Crc32(bytes.data(), bytes.size() - 4) != stored) {
    *error = "package file is damaged (CRC-32 mismatch)";
    return false;
  }

  const std::string truncated = "package file is truncated or inconsistent";
  uint32_t blockLength = 0;
  if (!reader.U32(&blockLength)) {
    *error = truncated;
    return false;
  }
  for (const LayoutField& field : kLayoutFields) {
    if (!reader.U32(&value)) {
      *error = truncated;
      return false;
    }
    out->layout.*field.member = static_cast<int32_t>(value);
  }
  if (!reader.Bytes(blockLength, &data)) {
    *error = truncated;
    return false;
  }
  out->keyBlock = KeyBytes(reinterpret_cast<const uint8_t*>(data), blockLength);
  uint32_t length = 0;
  if (!reader.U32(&length) || !reader.Bytes(length, &data)) {
    *error = truncated;
    return false;
  }
  out->name.assign(data, length);

  uint32_t distinctCount = 0;
  if (!reader.U32(&distinctCount)) {
    *error = truncated;
    return false;
  }
  std::vector<std::vector<uint8_t>> distinct;
  for (uint32_t i = 0; i < distinctCount; ++i) {
    if (!reader.U32(&length) || !reader.Bytes(length, &data)) {
      *error = truncated;
      return false;
    }
    distinct.emplace_back(data, data + length);
  }
  uint32_t entries = 0;
  if (!reader.U32(&entries)) {
    *error = truncated;
    return false;
  }
  for (uint32_t i = 0; i < entries; ++i) {
    NamedBlob blob;
    uint32_t index = 0;
    if (!reader.U32(&length) || !reader.Bytes(length, &data) || !reader.U32(&index)) {
      *error = truncated;
      return false;
    }
    blob.name.assign(data, length);
    if (index >= distinct.size()) {
      *error = "entry " + blob.name + " names blob " + std::to_string(index) + " of " + std::to_string(distinct.size());
      return false;
    }
    if (out->Find(blob.name)) {
      *error = "entry " + blob.name + " appears twice";
      return false;
    }
    blob.stored = distinct[index];
    out->blobs.push_back(std::move(blob));
  }
  if (reader.Position() != bytes.size() - 4) {
    *error = truncated;
    return false;
  }
  return true;
}

bool LoadPackageFile(const std::string& path, PackageFile* out, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  const bool ok = ParsePackageFile(bytes, out, error);
  std::fill(bytes.begin(), bytes.end(), '\0');  // it holds the key block
  if (!ok) *error = path + ": " + *error;
  return ok;
}
