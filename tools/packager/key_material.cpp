#include "tools/packager/key_material.h"

#include <climits>

#include "package/blob_writer.h"

namespace {

uint64_t Fnv1a64(const std::string& text) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

uint64_t SplitMix64(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr int32_t kLastOffset = kKeyBlockLength - 1;
constexpr int32_t kLastKeyOffset = kKeyBlockLength - kKeyWindowLength;

}  // namespace

const LayoutField kLayoutFields[10] = {
    {"key_offset", &GuardLayout::keyOffset, kLastKeyOffset},
    {"move1_source", &GuardLayout::move1Source, kLastOffset},
    {"move1_dest", &GuardLayout::move1Dest, kLastOffset},
    {"move1_length", &GuardLayout::move1Length, INT32_MAX},
    {"move2_source", &GuardLayout::move2Source, kLastOffset},
    {"move2_dest", &GuardLayout::move2Dest, kLastOffset},
    {"move2_length", &GuardLayout::move2Length, INT32_MAX},
    {"xor_source_pos", &GuardLayout::xorSourcePos, kLastOffset},
    {"xor_start", &GuardLayout::xorStart, kLastOffset},
    {"xor_length", &GuardLayout::xorLength, INT32_MAX},
};

KeyBytes& KeyBytes::operator=(const KeyBytes& other) {
  if (this != &other) {
    WipeBytes(m_bytes.data(), m_bytes.size());
    m_bytes = other.m_bytes;
  }
  return *this;
}

KeyBytes::~KeyBytes() { WipeBytes(m_bytes.data(), m_bytes.size()); }

bool CheckLayout(const GuardLayout& layout, std::vector<std::string>* faults) {
  bool ok = true;
  for (const LayoutField& field : kLayoutFields) {
    const int32_t value = layout.*field.member;
    if (value < 0 || value > field.maximum) {
      std::string range = field.maximum == INT32_MAX ? "must not be negative" : "must lie in 0.." + std::to_string(field.maximum);
      faults->push_back(std::string(field.name) + " = " + std::to_string(value) + ": " + range);
      ok = false;
    }
  }
  return ok;
}

KeyMaterial MaterialFromSeed(const std::string& seed) {
  KeyMaterial material;
  material.block = KeyBytes(kKeyBlockLength);
  uint64_t state = Fnv1a64(seed);
  for (int i = 0; i < kKeyBlockLength; i += 8) {
    uint64_t word = SplitMix64(&state);
    for (int k = 0; k < 8 && i + k < kKeyBlockLength; ++k) material.block.Data()[i + k] = static_cast<uint8_t>(word >> (8 * k));
    WipeBytes(&word, sizeof word);
  }
  for (const LayoutField& field : kLayoutFields) {
    const uint64_t span = field.maximum == INT32_MAX ? kKeyBlockLength + 1 : static_cast<uint64_t>(field.maximum) + 1;
    material.layout.*field.member = static_cast<int32_t>(SplitMix64(&state) % span);
  }
  WipeBytes(&state, sizeof state);
  return material;
}

bool KeyFromMaterial(const KeyMaterial& material, KeyBytes* key) {
  CGuard guard(material.layout);
  if (!guard.Load(material.block.Data(), static_cast<int>(material.block.Size()))) return false;
  const uint8_t* window = guard.Key();
  if (!window) return false;
  *key = KeyBytes(window, kKeyWindowLength);
  return true;  // the guard wipes its copy of the block when it goes
}
