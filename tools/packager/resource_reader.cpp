#include "tools/packager/resource_reader.h"

namespace {

constexpr uint16_t kMaxEntries = 1024;
constexpr int kMaxDepth = 8;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

// The resource tree: a directory is 16 bytes (+12 named entry count, +14 numbered entry count)
// followed by 8-byte entries {name or id u32 (high bit: a name), offset u32 (high bit: a
// subdirectory)}, offsets from the tree's start; a leaf is {data RVA u32, size u32, code page,
// reserved}. The levels are type, identifier, language.
class ResourceWalk {
 public:
  ResourceWalk(const PeImage& pe, LayoutResources* out, std::string* error)
      : m_pe(pe), m_b(pe.bytes()), m_out(out), m_error(error) {}

  bool Read() {
    uint32_t size = 0;
    m_root = m_pe.Directory(kDirectoryResource, &size);
    if (m_root == 0) return true;
    return Directory(0, 0, 0, 0);
  }

 private:
  bool Fail() {
    *m_error = "the resources are damaged";
    return false;
  }

  // path[0] type, path[1] identifier; the language is the leaf's own entry.
  bool Directory(uint32_t offset, int depth, uint32_t type, uint32_t id) {
    size_t at = 0;
    uint16_t named = 0, numbered = 0;
    if (depth > 2 || !m_pe.Offset(m_root + static_cast<uint64_t>(offset), &at) || !m_b.U16(at + 12, &named) ||
        !m_b.U16(at + 14, &numbered) || named + numbered > kMaxEntries) {
      return Fail();
    }
    for (unsigned i = 0; i < named + numbered; ++i) {
      uint32_t name = 0, target = 0;
      if (!m_b.U32(at + 16 + 8 * i, &name) || !m_b.U32(at + 20 + 8 * i, &target)) return Fail();
      if (name & 0x80000000u) continue;  // named resources are none of ours
      if (depth == 0 && name != kResourceStrings && name != kResourceVersion) continue;
      const bool subdirectory = (target & 0x80000000u) != 0;
      if (subdirectory != (depth < 2)) return Fail();
      const bool ok = depth == 0   ? Directory(target & 0x7FFFFFFF, 1, name, 0)
                      : depth == 1 ? Directory(target & 0x7FFFFFFF, 2, type, name)
                                   : Leaf(target, type, id, static_cast<uint16_t>(name));
      if (!ok) return false;
    }
    return true;
  }

  bool Leaf(uint32_t offset, uint32_t type, uint32_t id, uint16_t language) {
    size_t entry = 0, data = 0, room = 0;
    uint32_t rva = 0, size = 0;
    if (!m_pe.Offset(m_root + static_cast<uint64_t>(offset), &entry) || !m_b.U32(entry, &rva) ||
        !m_b.U32(entry + 4, &size) || !m_pe.Offset(rva, &data, &room) || room < size) {
      return Fail();
    }
    return type == kResourceStrings ? Strings(data, size, id, language) : Version(data, size);
  }

  // A block of 16 strings, each a u16 length and that many UTF-16 units; block B holds the
  // strings 16 * (B - 1) to 16 * (B - 1) + 15.
  bool Strings(size_t at, uint32_t size, uint32_t block, uint16_t language) {
    const size_t end = at + size;
    for (unsigned i = 0; i < 16; ++i) {
      uint16_t length = 0;
      if (!m_b.U16(at, &length) || end - at < 2 + 2u * length) return Fail();
      if (length) {
        std::u16string text;
        for (unsigned c = 0; c < length; ++c) {
          uint16_t unit = 0;
          m_b.U16(at + 2 + 2 * c, &unit);
          text.push_back(static_cast<char16_t>(unit));
        }
        m_out->strings.push_back({language, static_cast<uint16_t>(16 * (block - 1) + i), text});
      }
      at += 2 + 2u * length;
    }
    return true;
  }

  // A block of the version information: {length u16, value length u16, type u16 (1: text, the
  // value length counts units), key (UTF-16, ends with 0), padding to 4 bytes, value, padding,
  // child blocks up to the length}.
  struct Block {
    std::u16string key;
    size_t value, valueSize;  // file offset and bytes of the value
    size_t children, end;
  };
  bool ReadBlock(size_t at, size_t limit, Block* out) {
    uint16_t length = 0, valueLength = 0, text = 0;
    if (!m_b.U16(at, &length) || !m_b.U16(at + 2, &valueLength) || !m_b.U16(at + 4, &text) || length < 6 ||
        length > limit - at) {
      return Fail();
    }
    out->end = at + length;
    size_t p = at + 6;
    out->key.clear();
    for (uint16_t unit = 0; m_b.U16(p, &unit) && p + 2 <= out->end; p += 2) {
      if (unit == 0) break;
      out->key.push_back(static_cast<char16_t>(unit));
    }
    out->value = (p + 2 + 3) & ~static_cast<size_t>(3);
    out->valueSize = text ? 2u * valueLength : valueLength;
    if (out->value > out->end || out->end - out->value < out->valueSize) return Fail();
    out->children = (out->value + out->valueSize + 3) & ~static_cast<size_t>(3);
    return true;
  }

  std::u16string Units(size_t at, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
      uint16_t unit = 0;
      m_b.U16(at + i, &unit);
      if (unit == 0) break;
      text.push_back(static_cast<char16_t>(unit));
    }
    return text;
  }

  bool Version(size_t at, uint32_t size) {
    Block root;
    uint32_t signature = 0, high = 0, low = 0;
    if (!ReadBlock(at, at + size, &root) || root.valueSize < 52 || !m_b.U32(root.value, &signature) ||
        signature != kFixedInfoSignature || !m_b.U32(root.value + 8, &high) || !m_b.U32(root.value + 12, &low)) {
      return Fail();
    }
    const uint16_t version[4] = {static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high),
                                 static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low)};
    std::copy(version, version + 4, m_out->version);
    return Children(root, 0);
  }

  // StringFileInfo, then its string tables, then their strings (name = key, value = text).
  bool Children(const Block& parent, int depth) {
    for (size_t at = parent.children; at + 6 <= parent.end;) {
      Block child;
      if (depth > kMaxDepth || !ReadBlock(at, parent.end, &child)) return Fail();
      if (depth == 2) {
        m_out->versionStrings.push_back({child.key, Units(child.value, child.valueSize)});
      } else if (depth == 1 || child.key == u"StringFileInfo") {
        if (!Children(child, depth + 1)) return false;
      }
      at = (child.end + 3) & ~static_cast<size_t>(3);
    }
    return true;
  }

  const PeImage& m_pe;
  const ByteReader& m_b;
  LayoutResources* m_out;
  std::string* m_error;
  uint32_t m_root = 0;
};

}  // namespace

bool ReadLayoutResources(const PeImage& pe, LayoutResources* out, std::string* error) {
  *out = LayoutResources();
  ResourceWalk walk(pe, out, error);
  return walk.Read();
}
