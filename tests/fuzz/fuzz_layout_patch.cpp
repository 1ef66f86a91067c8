// Fuzzed layout images, search patterns and key tables through the layout patching, on exactly
// sized buffers, against a plain model of the same steps; a failed patch must leave the image
// as it was. The pattern decoder gets the head of the input as text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/key_table.h"
#include "engine/layout_patch.h"
#include "engine/pe_checksum.h"
#include "strings/gstring.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint8_t* ExactCopy(const uint8_t* data, size_t size) {
  uint8_t* copy = static_cast<uint8_t*>(malloc(size ? size : 1));
  if (!copy) abort();
  if (size) memcpy(copy, data, size);
  return copy;
}

int64_t ModelFind(const Bytes& image, const Bytes& pattern) {
  if (pattern.empty()) return -1;
  for (size_t at = 0; at + pattern.size() <= image.size(); ++at)
    if (memcmp(image.data() + at, pattern.data(), pattern.size()) == 0) return static_cast<int64_t>(at);
  return -1;
}

void ModelPut(Bytes& image, size_t at, uint16_t value) {
  image[at] = static_cast<uint8_t>(value);
  image[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A list's start and the offset of its end record, found in the image as it came.
bool ModelListBounds(const Bytes& original, const Bytes& pattern, size_t* list, size_t* end) {
  const int64_t found = ModelFind(original, pattern);
  if (found < 0) return false;
  *list = static_cast<size_t>(found);
  for (*end = *list;; *end += 4) {
    if (*end + 4 > original.size()) return false;
    if (original[*end] == 0) return true;
  }
}

void ModelList(Bytes& image, size_t list, size_t end, uint16_t prefix, const std::vector<KeyEntry>& keys) {
  for (const KeyEntry& k : keys) {
    if (k.scanCode < prefix || k.scanCode > prefix + 0xFF || k.virtualKey == 0) continue;
    for (size_t at = list; at < end; at += 4) {
      if (image[at] == (k.scanCode & 0xFF)) {
        ModelPut(image, at + 2, k.virtualKey);
        break;
      }
    }
  }
}

// Every table found in the image as it came, then the writes in their order, in place on a copy.
bool Model(Bytes& image, const Bytes (&patterns)[4], const std::vector<KeyEntry>& keys, bool keysGiven,
           int32_t decimalKey) {
  const Bytes original = image;
  const bool patchKeys = keysGiven && !keys.empty();
  int64_t table = -1, chars = -1;
  size_t e0 = 0, e0End = 0, e1 = 0, e1End = 0;
  if (patchKeys) {
    table = ModelFind(original, patterns[0]);
    if (table < 0 || table + 254 > static_cast<int64_t>(original.size())) return false;
    if (!ModelListBounds(original, patterns[1], &e0, &e0End) || !ModelListBounds(original, patterns[2], &e1, &e1End))
      return false;
  }
  if (decimalKey == 0) {
    chars = ModelFind(original, patterns[3]);
    if (chars < 0 || chars + 4 > static_cast<int64_t>(original.size())) return false;
  }
  if (patchKeys) {
    for (const KeyEntry& k : keys)
      if (k.scanCode < 0x7F && k.virtualKey != 0)
        ModelPut(image, static_cast<size_t>(table) + 2 * k.scanCode, k.virtualKey);
    ModelList(image, e0, e0End, 0xE000, keys);
    ModelList(image, e1, e1End, 0xE100, keys);
  }
  if (decimalKey == 0) {
    image[static_cast<size_t>(chars)] = 44;
    image[static_cast<size_t>(chars) + 2] = 44;
  }
  return true;
}

void CheckHexText(const uint8_t* data, size_t size) {
  GString text;
  text.AssignNarrow(reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
  int32_t count = -1;
  uint8_t* bytes = HexTextToBytes(text, &count);
  if (count != static_cast<int32_t>(size / 2) && !(size == 0 && count == 0)) abort();
  static const char kDigits[] = "0123456789ABCDEF";
  bool valid = size > 0;
  for (size_t i = 0; i < size / 2 * 2; ++i) valid = valid && data[i] != 0 && strchr(kDigits, data[i]);
  if ((bytes != nullptr) != valid) abort();
  for (int32_t i = 0; bytes && i < count; ++i)
    if (kDigits[bytes[i] >> 4] != data[2 * i] || kDigits[bytes[i] & 15] != data[2 * i + 1]) abort();
  free(bytes);
}

}  // namespace

// Input: flags, key count, 4 pattern specs (offset u16, length), the keys (scan code selector,
// low byte, virtual key u16), then the image. A pattern is a slice of the image, its first byte
// flipped when its flag says so, so that patterns are mostly found but sometimes not.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  CheckHexText(data, size < 24 ? size : 24);
  constexpr size_t kHeader = 2 + 4 * 3;
  if (size < kHeader) return 0;
  const uint8_t flags = data[0];
  const size_t keyCount = data[1] % 64;
  if (size < kHeader + keyCount * 4) return 0;
  const uint8_t* keyBytes = data + kHeader;
  const uint8_t* imageBytes = keyBytes + keyCount * 4;
  const size_t imageSize = size - (imageBytes - data);

  static const uint16_t kPrefixes[] = {0x0000, 0xE000, 0xE100, 0x0000};
  std::vector<KeyEntry> keys;
  for (size_t i = 0; i < keyCount; ++i) {
    const uint8_t* k = keyBytes + 4 * i;
    const uint16_t scanCode = (k[0] & 3) == 3 ? static_cast<uint16_t>(k[0] << 8 | k[1])
                                              : static_cast<uint16_t>(kPrefixes[k[0] & 3] | k[1]);
    keys.push_back({scanCode, static_cast<uint16_t>(k[2] | k[3] << 8), 0, 0});
  }
  const Bytes original(imageBytes, imageBytes + imageSize);
  Bytes patterns[4];
  for (int p = 0; p < 4; ++p) {
    const uint8_t* slot = data + 2 + 3 * p;
    const size_t from = imageSize ? (slot[0] | slot[1] << 8) % imageSize : 0;
    const size_t length = slot[2] % 16;
    const size_t to = from + length < imageSize ? from + length : imageSize;
    patterns[p].assign(original.begin() + from, original.begin() + to);
    if (!patterns[p].empty() && (flags >> (2 + p) & 1)) patterns[p][0] ^= 1;
  }
  const bool keysGiven = (flags & 2) == 0;
  const int32_t decimalKey = flags & 1 ? 1 : 0;

  uint8_t* image = ExactCopy(imageBytes, imageSize);
  uint8_t* pat[4];
  for (int p = 0; p < 4; ++p) pat[p] = ExactCopy(patterns[p].data(), patterns[p].size());
  KeyEntry* table = static_cast<KeyEntry*>(malloc(sizeof(KeyEntry) * (keyCount ? keyCount : 1)));
  if (!table) abort();
  if (keyCount) memcpy(table, keys.data(), sizeof(KeyEntry) * keyCount);
  LayoutPatterns lp;
  lp.mainTable = pat[0];
  lp.mainTableSize = static_cast<int32_t>(patterns[0].size());
  lp.e0List = pat[1];
  lp.e0ListSize = static_cast<int32_t>(patterns[1].size());
  lp.e1List = pat[2];
  lp.e1ListSize = static_cast<int32_t>(patterns[2].size());
  lp.decimalKey = pat[3];
  lp.decimalKeySize = static_cast<int32_t>(patterns[3].size());

  const bool patched = PatchLayoutImage(image, static_cast<uint32_t>(imageSize), lp, keysGiven ? table : nullptr,
                                        static_cast<int32_t>(keyCount), decimalKey);
  Bytes expected = original;
  const bool modelPatched = Model(expected, patterns, keys, keysGiven, decimalKey);
  if (patched != modelPatched) abort();
  if (!patched) expected = original;  // a failure writes nothing
  if (imageSize && memcmp(image, expected.data(), imageSize) != 0) abort();
  // The checksum's renewal reads the headers of whatever the image holds: it stays inside the
  // image (the buffer is exact) and changes at most the 4 bytes of the field.
  if (UpdatePeChecksum(image, static_cast<uint32_t>(imageSize))) {
    size_t changed = 0;
    for (size_t i = 0; i < imageSize; ++i) changed += image[i] != expected[i];
    if (changed > 4) abort();
  } else if (imageSize && memcmp(image, expected.data(), imageSize) != 0) {
    abort();
  }

  free(table);
  for (uint8_t* p : pat) free(p);
  free(image);
  return 0;
}
