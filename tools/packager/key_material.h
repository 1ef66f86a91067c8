// The key block, its build-time constants, and the key they yield.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/guard.h"

// Bytes of key material: zeroed before their memory is given back. The size is fixed at
// construction, so the buffer never moves behind the wipe's back.
class KeyBytes {
 public:
  KeyBytes() = default;
  explicit KeyBytes(size_t size) : m_bytes(size, 0) {}
  KeyBytes(const uint8_t* data, size_t size) : m_bytes(data, data + size) {}
  KeyBytes(const KeyBytes&) = default;
  KeyBytes& operator=(const KeyBytes& other);
  ~KeyBytes();

  uint8_t* Data() { return m_bytes.data(); }
  const uint8_t* Data() const { return m_bytes.data(); }
  size_t Size() const { return m_bytes.size(); }
  bool operator==(const KeyBytes& other) const { return m_bytes == other.m_bytes; }
  bool operator!=(const KeyBytes& other) const { return !(*this == other); }

 private:
  std::vector<uint8_t> m_bytes;
};

struct KeyMaterial {
  KeyBytes block;  // the stored key block, kKeyBlockLength bytes
  GuardLayout layout = {};
};

// One of the ten constants, for messages and the manifest's [key] table.
struct LayoutField {
  const char* name;  // as the manifest writes it
  int32_t GuardLayout::*member;
  int32_t maximum;   // offsets: 967 (key_offset: 473); lengths: INT32_MAX
};
extern const LayoutField kLayoutFields[10];

// Every constant within its limits: offsets 0..967, lengths >= 0, key window inside the block.
// Adds one message per field that is not.
bool CheckLayout(const GuardLayout& layout, std::vector<std::string>* faults);

// Key block and constants from a seed text: SplitMix64 seeded with the 64-bit FNV-1a hash of
// the seed gives first the 968 bytes (eight per step, little-endian), then key_offset (0..473),
// then the other nine constants in GuardLayout order, positions in 0..967 and lengths in
// 0..968 (lengths may reach past the end of the block: the program clips them). The same
// seed always gives the same material.
KeyMaterial MaterialFromSeed(const std::string& seed);

// The key the program will use: the block loaded into a CGuard with the layout (the same
// rearrangement the program runs), then its key window. False when the guard refuses.
bool KeyFromMaterial(const KeyMaterial& material, KeyBytes* key);
