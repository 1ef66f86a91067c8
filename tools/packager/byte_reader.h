// Little-endian reads of a byte buffer that first check the bytes are there: every reader of
// files the packager did not write (layout libraries) goes through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ByteReader {
 public:
  explicit ByteReader(const std::vector<uint8_t>& data) : m_data(data) {}
  size_t size() const { return m_data.size(); }
  bool Has(size_t offset, size_t length) const { return offset <= m_data.size() && m_data.size() - offset >= length; }
  bool U8(size_t offset, uint8_t* value) const {
    if (!Has(offset, 1)) return false;
    *value = m_data[offset];
    return true;
  }
  bool U16(size_t offset, uint16_t* value) const { return Small(offset, value); }
  bool U32(size_t offset, uint32_t* value) const { return Small(offset, value); }
  bool U64(size_t offset, uint64_t* value) const { return Le(offset, 8, value); }
  // A field of `size` bytes (1 to 8): a pointer of either width.
  bool Word(size_t offset, unsigned size, uint64_t* value) const { return Le(offset, size, value); }
  const uint8_t* At(size_t offset) const { return m_data.data() + offset; }  // after Has()

 private:
  template <class T>
  bool Small(size_t offset, T* value) const {
    uint64_t v = 0;
    if (!Le(offset, sizeof(T), &v)) return false;
    *value = static_cast<T>(v);
    return true;
  }
  bool Le(size_t offset, size_t length, uint64_t* value) const {
    if (!Has(offset, length)) return false;
    *value = 0;
    for (size_t i = 0; i < length; ++i) *value |= static_cast<uint64_t>(m_data[offset + i]) << (8 * i);
    return true;
  }
  const std::vector<uint8_t>& m_data;
};
