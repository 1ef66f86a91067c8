// CGuard: holds the package's key block and decodes blobs with the key it yields.
//
// The key is not stored as such: the program stores a 968-byte key block and, at load time,
// rearranges a private copy of it (two moves and an XOR run, parameters fixed when the package
// was built); the key is then a 495-byte window of the block.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kKeyBlockLength = 968;
constexpr int kKeyWindowLength = 495;

// The build-time constants of one package: every offset in 0..967, every length >= 0, and
// keyOffset + 495 <= 968.
struct GuardLayout {
  int32_t keyOffset;
  int32_t move1Source;
  int32_t move1Dest;
  int32_t move1Length;
  int32_t move2Source;
  int32_t move2Dest;
  int32_t move2Length;
  int32_t xorSourcePos;
  int32_t xorStart;
  int32_t xorLength;
};

// Overwrites key material and plain buffers so that they do not linger in freed memory; word-wide
// stores that the optimiser keeps even when the memory is freed straight after.
void WipeBytes(void* data, size_t size);

class CGuard {
 public:
  explicit CGuard(const GuardLayout& layout);
  virtual ~CGuard();
  CGuard(const CGuard&) = delete;
  CGuard& operator=(const CGuard&) = delete;

  // Copies and rearranges the stored key block; false (and no block held) unless the length is
  // exactly 968 and the copy could be allocated.
  bool Load(const uint8_t* source, int length);

  // Zeroes and frees the block; nothing happens when none is held.
  void Wipe();

  bool IsLoaded() const { return m_block != nullptr; }

  // The key window of the loaded block (kKeyWindowLength bytes), or null. The packager
  // enciphers with it; the program only decodes.
  const uint8_t* Key() const;

  // Deciphers, checks and inflates one stored blob of `size` bytes. On success returns the plain
  // buffer (the caller frees it with free()), sets size to the plain size and, when extra is not
  // null, *extra to the header's extra value. On failure returns null; size and extra untouched.
  uint8_t* DecodeBlob(const uint8_t* blob, uint32_t& size, uint32_t* extra) const;

 private:
  uint8_t* m_block = nullptr;  // owned, zeroed before it is freed
  int32_t m_blockLength = kKeyBlockLength;
  int32_t m_keyOffset;
  int32_t m_keyLength = kKeyWindowLength;
  int32_t m_move1Source;
  int32_t m_move1Dest;
  int32_t m_move1Length;
  int32_t m_move2Source;
  int32_t m_move2Dest;
  int32_t m_move2Length;
  int32_t m_xorSourcePos;
  int32_t m_xorStart;
  int32_t m_xorLength;
};
