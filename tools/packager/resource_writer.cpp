#include "tools/packager/resource_writer.h"

#include <map>

namespace {

constexpr uint32_t kUnicodeCodePage = 1200;

void U16(std::vector<uint8_t>* out, unsigned value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}
void U32(std::vector<uint8_t>* out, uint32_t value) {
  U16(out, value & 0xFFFF);
  U16(out, value >> 16);
}
void Align4(std::vector<uint8_t>* out) {
  while (out->size() % 4) out->push_back(0);
}
void Put(std::vector<uint8_t>* out, const std::u16string& text, bool terminated) {
  for (char16_t c : text) U16(out, c);
  if (terminated) U16(out, 0);
}
void Set16(std::vector<uint8_t>* out, size_t at, unsigned value) {
  (*out)[at] = static_cast<uint8_t>(value);
  (*out)[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A block of the version information: length, value length (in units for a text), type (1 for
// a text), key, padding, value, padding, children; the length leaves out the padding after it.
std::vector<uint8_t> Block(const std::u16string& key, const std::vector<uint8_t>& value, unsigned valueLength,
                           bool text, const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> out;
  U16(&out, 0);
  U16(&out, valueLength);
  U16(&out, text ? 1 : 0);
  Put(&out, key, true);
  Align4(&out);
  out.insert(out.end(), value.begin(), value.end());
  for (const std::vector<uint8_t>& child : children) {
    Align4(&out);
    out.insert(out.end(), child.begin(), child.end());
  }
  Set16(&out, 0, static_cast<unsigned>(out.size()));
  return out;
}

std::vector<uint8_t> TextValue(const std::u16string& text) {
  std::vector<uint8_t> out;
  Put(&out, text, true);
  return out;
}

// VS_FIXEDFILEINFO: signature, structure version 1.0, file and product version, flags mask,
// flags, NT Windows 32-bit, a DLL, a keyboard driver, no date.
std::vector<uint8_t> Version(const LayoutResources& r) {
  std::vector<uint8_t> fixed;
  const uint32_t high = static_cast<uint32_t>(r.version[0]) << 16 | r.version[1];
  const uint32_t low = static_cast<uint32_t>(r.version[2]) << 16 | r.version[3];
  for (uint32_t value : {0xFEEF04BDu, 0x00010000u, high, low, high, low, 0x3Fu, 0u, 0x00040004u, 2u, 2u, 0u, 0u}) {
    U32(&fixed, value);
  }
  std::vector<std::vector<uint8_t>> strings;
  for (const auto& entry : r.versionStrings) {
    strings.push_back(
        Block(entry.first, TextValue(entry.second), static_cast<unsigned>(entry.second.size() + 1), true, {}));
  }
  // The string table's key: language 0 (neutral), code page 1200 (UTF-16).
  const std::vector<uint8_t> table = Block(u"000004B0", {}, 0, true, strings);
  std::vector<uint8_t> translation;
  U32(&translation, kUnicodeCodePage << 16);
  const std::vector<uint8_t> var = Block(u"Translation", translation, 4, false, {});
  return Block(u"VS_VERSION_INFO", fixed, static_cast<unsigned>(fixed.size()), false,
               {Block(u"StringFileInfo", {}, 0, true, {table}), Block(u"VarFileInfo", {}, 0, true, {var})});
}

// Strings in blocks of 16: block B holds strings 16 (B - 1) to 16 (B - 1) + 15, each a length
// and that many units, an absent one a length of 0.
std::map<uint32_t, std::map<uint16_t, std::vector<uint8_t>>> StringBlocks(const LayoutResources& r) {
  std::map<uint32_t, std::map<uint16_t, std::map<unsigned, const std::u16string*>>> byBlock;
  for (const ResourceString& s : r.strings) byBlock[s.id / 16u + 1][s.language][s.id % 16u] = &s.text;
  std::map<uint32_t, std::map<uint16_t, std::vector<uint8_t>>> out;
  for (const auto& [block, languages] : byBlock) {
    for (const auto& [language, texts] : languages) {
      std::vector<uint8_t>& data = out[block][language];
      for (unsigned i = 0; i < 16; ++i) {
        const auto text = texts.find(i);
        U16(&data, text == texts.end() ? 0 : static_cast<unsigned>(text->second->size()));
        if (text != texts.end()) Put(&data, *text->second, false);
      }
    }
  }
  return out;
}

}  // namespace

// The tree: a directory is 16 bytes (named and numbered entry counts at +12, +14) and 8-byte
// entries {id, offset | 0x80000000 for a subdirectory}; levels type, identifier, language; a leaf
// {data RVA, size, code page 0, 0}. Directories first, then the leaves, then the data.
std::vector<uint8_t> WriteResources(const LayoutResources& r, uint32_t sectionRva) {
  using Leaves = std::map<uint16_t, std::vector<uint8_t>>;  // language -> data
  std::map<uint32_t, std::map<uint32_t, Leaves>> tree;      // type -> id -> leaves
  for (auto& [block, languages] : StringBlocks(r)) tree[kResourceStrings][block] = languages;
  if (!r.versionStrings.empty()) tree[kResourceVersion][1][kLanguageEnglish] = Version(r);

  size_t directories = 16 + 8 * tree.size(), leaves = 0;
  for (const auto& [type, ids] : tree) {
    directories += 16 + 8 * ids.size();
    for (const auto& [id, languages] : ids) {
      directories += 16 + 8 * languages.size();
      leaves += 16 * languages.size();
    }
  }
  std::vector<uint8_t> out, data;
  size_t nextDirectory = 0, nextLeaf = directories;
  const auto directory = [&](size_t entries) {
    const size_t at = nextDirectory;
    nextDirectory += 16 + 8 * entries;
    out.resize(std::max(out.size(), nextDirectory));
    Set16(&out, at + 14, static_cast<unsigned>(entries));
    return at;
  };
  const auto entry = [&](size_t directoryAt, size_t index, uint32_t id, uint32_t target) {
    std::vector<uint8_t> bytes;
    U32(&bytes, id);
    U32(&bytes, target);
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(directoryAt + 16 + 8 * index));
  };
  const size_t root = directory(tree.size());
  size_t typeIndex = 0;
  for (const auto& [type, ids] : tree) {
    const size_t typeAt = directory(ids.size());
    entry(root, typeIndex++, type, static_cast<uint32_t>(typeAt) | 0x80000000u);
    size_t idIndex = 0;
    for (const auto& [id, languages] : ids) {
      const size_t idAt = directory(languages.size());
      entry(typeAt, idIndex++, id, static_cast<uint32_t>(idAt) | 0x80000000u);
      size_t languageIndex = 0;
      for (const auto& [language, bytes] : languages) {
        entry(idAt, languageIndex++, language, static_cast<uint32_t>(nextLeaf));
        Align4(&data);
        std::vector<uint8_t> leaf;
        U32(&leaf, static_cast<uint32_t>(sectionRva + directories + leaves + data.size()));
        U32(&leaf, static_cast<uint32_t>(bytes.size()));
        U32(&leaf, 0);
        U32(&leaf, 0);
        out.resize(nextLeaf + 16);
        std::copy(leaf.begin(), leaf.end(), out.begin() + static_cast<long>(nextLeaf));
        nextLeaf += 16;
        data.insert(data.end(), bytes.begin(), bytes.end());
      }
    }
  }
  out.resize(directories + leaves);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}
