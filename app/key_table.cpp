#include "app/key_table.h"

#include <cstdlib>
#include <cstring>

// Scan code -> default key code (key code in the low byte; 0x100 extended, 0x400 special, 0x800
// numeric keypad) / caption text; hardwareCode 0 everywhere.
const KeyEntry kDefaultKeys[kKeyTableCount] = {
    {0x01, 0x01B, 175, 0}, {0x02, 0x031, 193, 0}, {0x03, 0x032, 194, 0}, {0x04, 0x033, 195, 0},
    {0x05, 0x034, 196, 0}, {0x06, 0x035, 197, 0}, {0x07, 0x036, 198, 0}, {0x08, 0x037, 199, 0},
    {0x09, 0x038, 200, 0}, {0x0A, 0x039, 201, 0}, {0x0B, 0x030, 192, 0}, {0x0C, 0x0BD, 308, 0},
    {0x0D, 0x0BB, 306, 0}, {0x0E, 0x008, 166, 0}, {0x0F, 0x009, 167, 0}, {0x10, 0x051, 218, 0},
    {0x11, 0x057, 224, 0}, {0x12, 0x045, 206, 0}, {0x13, 0x052, 219, 0}, {0x14, 0x054, 221, 0},
    {0x15, 0x059, 226, 0}, {0x16, 0x055, 222, 0}, {0x17, 0x049, 210, 0}, {0x18, 0x04F, 216, 0},
    {0x19, 0x050, 217, 0}, {0x1A, 0x0DB, 312, 0}, {0x1B, 0x0DD, 314, 0}, {0x1C, 0x00D, 169, 0},
    {0x1D, 0x0A2, 282, 0}, {0x1E, 0x041, 202, 0}, {0x1F, 0x053, 220, 0}, {0x20, 0x044, 205, 0},
    {0x21, 0x046, 207, 0}, {0x22, 0x047, 208, 0}, {0x23, 0x048, 209, 0}, {0x24, 0x04A, 211, 0},
    {0x25, 0x04B, 212, 0}, {0x26, 0x04C, 213, 0}, {0x27, 0x0BA, 305, 0}, {0x28, 0x0DE, 315, 0},
    {0x29, 0x0C0, 311, 0}, {0x2A, 0x0A0, 280, 0}, {0x2B, 0x0DC, 313, 0}, {0x2C, 0x05A, 227, 0},
    {0x2D, 0x058, 225, 0}, {0x2E, 0x043, 204, 0}, {0x2F, 0x056, 223, 0}, {0x30, 0x042, 203, 0},
    {0x31, 0x04E, 215, 0}, {0x32, 0x04D, 214, 0}, {0x33, 0x0BC, 307, 0}, {0x34, 0x0BE, 309, 0},
    {0x35, 0x0BF, 310, 0}, {0x36, 0x1A1, 281, 0}, {0x37, 0x06A, 243, 0}, {0x38, 0x0A4, 284, 0},
    {0x39, 0x020, 176, 0}, {0x3A, 0x014, 174, 0}, {0x3B, 0x070, 249, 0}, {0x3C, 0x071, 250, 0},
    {0x3D, 0x072, 251, 0}, {0x3E, 0x073, 252, 0}, {0x3F, 0x074, 253, 0}, {0x40, 0x075, 254, 0},
    {0x41, 0x076, 255, 0}, {0x42, 0x077, 256, 0}, {0x43, 0x078, 257, 0}, {0x44, 0x079, 258, 0},
    {0x45, 0x090, 278, 0}, {0x46, 0x091, 279, 0}, {0x47, 0xC24, 180, 0}, {0x48, 0xC26, 182, 0},
    {0x49, 0xC21, 177, 0}, {0x4A, 0x06D, 246, 0}, {0x4B, 0xC25, 181, 0}, {0x4C, 0xC0C, 168, 0},
    {0x4D, 0xC27, 183, 0}, {0x4E, 0x06B, 244, 0}, {0x4F, 0xC23, 179, 0}, {0x50, 0xC28, 184, 0},
    {0x51, 0xC22, 178, 0}, {0x52, 0xC2D, 189, 0}, {0x53, 0xC2E, 190, 0}, {0x56, 0x0E2, 317, 0},
    {0x57, 0x07A, 259, 0}, {0x58, 0x07B, 260, 0}, {0x59, 0x00C, 168, 0}, {0x63, 0x02F, 191, 0},
    {0x64, 0x07C, 261, 0}, {0x65, 0x07D, 262, 0}, {0x66, 0x07E, 263, 0}, {0x67, 0x07F, 264, 0},
    {0x68, 0x080, 265, 0}, {0x69, 0x081, 266, 0}, {0x6A, 0x082, 267, 0}, {0x6B, 0x083, 268, 0},
    {0x6C, 0x084, 269, 0}, {0x6D, 0x085, 270, 0}, {0x6E, 0x086, 271, 0}, {0x73, 0x0C1, 273, 0},
    {0x76, 0x087, 272, 0}, {0x7B, 0x0EB, 275, 0}, {0x7E, 0x0C2, 274, 0}, {0xFF, 0x0FF, 326, 0},
    {0xE010, 0x1B1, 298, 0}, {0xE019, 0x1B0, 297, 0}, {0xE01C, 0x10D, 286, 0}, {0xE01D, 0x1A3, 283, 0},
    {0xE020, 0x1AD, 294, 0}, {0xE021, 0x1B7, 304, 0}, {0xE022, 0x1B3, 300, 0}, {0xE024, 0x1B2, 299, 0},
    {0xE02E, 0x1AE, 295, 0}, {0xE030, 0x1AF, 296, 0}, {0xE032, 0x1AC, 293, 0}, {0xE035, 0x16F, 248, 0},
    {0xE037, 0x02C, 188, 0}, {0xE038, 0x1A5, 285, 0}, {0xE046, 0x103, 162, 0}, {0xE047, 0x124, 180, 0},
    {0xE048, 0x126, 182, 0}, {0xE049, 0x121, 177, 0}, {0xE04B, 0x125, 181, 0}, {0xE04D, 0x127, 183, 0},
    {0xE04F, 0x123, 179, 0}, {0xE050, 0x128, 184, 0}, {0xE051, 0x122, 178, 0}, {0xE052, 0x12D, 189, 0},
    {0xE053, 0x12E, 190, 0}, {0xE05B, 0x15B, 228, 0}, {0xE05C, 0x15C, 229, 0}, {0xE05D, 0x15D, 230, 0},
    {0xE05E, 0x15E, 231, 0}, {0xE05F, 0x15F, 232, 0}, {0xE065, 0x1AA, 291, 0}, {0xE066, 0x1AB, 292, 0},
    {0xE067, 0x1A8, 289, 0}, {0xE068, 0x1A9, 290, 0}, {0xE069, 0x1A7, 288, 0}, {0xE06A, 0x1A6, 287, 0},
    {0xE06B, 0x1B6, 303, 0}, {0xE06C, 0x1B4, 301, 0}, {0xE06D, 0x1B5, 302, 0}, {0xE11D, 0x013, 173, 0},
    {0, 0, 154, 0},  // end mark; its caption is also the "no change" choice of the expert pages
    {0, 0, 0, 0},
};

namespace {

constexpr uint32_t kPairSize = 4;

// The number of entries to walk: the built-in table is the reference for positions only as far
// as it reaches.
int32_t ComparableCount(int32_t count) { return count < kKeyTableCount ? count : kKeyTableCount; }

}  // namespace

KeyEntry* NewKeyTableCopy() {
  KeyEntry* table = static_cast<KeyEntry*>(malloc(sizeof(kDefaultKeys)));
  if (!table) return nullptr;
  memcpy(table, kDefaultKeys, sizeof(kDefaultKeys));
  for (int i = 0; i < kKeyTableCount; ++i) table[i].virtualKey = 0;
  return table;
}

const KeyEntry* FindKeyIn(const KeyEntry* table, int32_t count, uint32_t code) {
  if (!table) return nullptr;
  const uint16_t scanCode = static_cast<uint16_t>(code);
  for (int32_t i = 0; i < count && table[i].scanCode != 0; ++i) {
    if (table[i].scanCode == scanCode) return &table[i];
  }
  return nullptr;
}

const KeyEntry* FindDefaultKey(uint32_t code) { return FindKeyIn(kDefaultKeys, kKeyTableCount, code); }

KeyEntry* FindKey(KeyEntry* table, int32_t count, uint32_t code) {
  return const_cast<KeyEntry*>(FindKeyIn(table, count, code));
}

bool NormaliseKeys(KeyEntry* table, int32_t count) {
  if (!table || count <= 0) return false;
  const int32_t n = ComparableCount(count);
  for (int32_t i = 0; i < n; ++i) {
    if (table[i].hardwareCode == kDefaultKeys[i].scanCode) table[i].hardwareCode = 0;
    if (table[i].virtualKey == kDefaultKeys[i].virtualKey) table[i].virtualKey = 0;
  }
  return true;
}

bool MergeKeyPairs(KeyEntry* table, int32_t count, uint8_t* buffer, uint32_t size) {
  if (!buffer || size == 0 || !table || count <= 0) {
    free(buffer);
    return false;
  }
  // Key pair (4 bytes, little-endian, read byte-wise: the buffer comes from the registry):
  //   +0  u16  scan code of the key
  //   +2  u16  key code assigned to it; 0 = no assignment
  const uint32_t pairs = size / kPairSize;
  for (uint32_t k = 0; k < pairs; ++k) {
    const uint8_t* pair = buffer + static_cast<size_t>(k) * kPairSize;
    const uint16_t scanCode = static_cast<uint16_t>(pair[0] | pair[1] << 8);
    const uint16_t keyCode = static_cast<uint16_t>(pair[2] | pair[3] << 8);
    if (keyCode == 0) continue;
    // Scan code 0 is the end mark, not a key: FindKey never finds it.
    if (KeyEntry* entry = FindKey(table, count, scanCode)) entry->virtualKey = keyCode;
  }
  NormaliseKeys(table, count);
  free(buffer);
  return true;
}

uint8_t* ExportKeyPairs(KeyEntry* table, int32_t count, uint32_t* size) {
  if (!size) return nullptr;
  *size = 0;
  if (!table || count <= 0) return nullptr;
  NormaliseKeys(table, count);
  uint32_t pairs = 0;
  for (int32_t i = 0; i < count && table[i].scanCode != 0; ++i) {
    if (table[i].virtualKey != 0) ++pairs;
  }
  if (pairs > UINT32_MAX / kPairSize) return nullptr;
  const uint32_t bytes = pairs * kPairSize;
  // One byte at least, so that an empty export is still a buffer and not a failure.
  uint8_t* buffer = static_cast<uint8_t*>(malloc(bytes ? bytes : 1));
  if (!buffer) return nullptr;
  // Written in the key pair layout of MergeKeyPairs.
  uint8_t* out = buffer;
  for (int32_t i = 0; i < count && table[i].scanCode != 0; ++i) {
    const KeyEntry& entry = table[i];
    if (entry.virtualKey == 0) continue;
    out[0] = static_cast<uint8_t>(entry.scanCode);
    out[1] = static_cast<uint8_t>(entry.scanCode >> 8);
    out[2] = static_cast<uint8_t>(entry.virtualKey);
    out[3] = static_cast<uint8_t>(entry.virtualKey >> 8);
    out += kPairSize;
  }
  *size = bytes;
  return buffer;
}
