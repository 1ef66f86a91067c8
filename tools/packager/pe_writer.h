// A PE image made from sections: the headers, the sections at their RVAs, the base relocations
// and the checksum. What the sections hold is the caller's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kSectionAlignment = 0x1000;

// Section characteristics.
constexpr uint32_t kSectionCode = 0x60000020;         // code, execute, read
constexpr uint32_t kSectionReadOnly = 0x40000040;     // initialised data, read
constexpr uint32_t kSectionRelocations = 0x42000040;  // initialised data, discardable, read

// Base relocation types.
constexpr uint16_t kRelocHighLow = 3;  // a 32-bit address
constexpr uint16_t kRelocDir64 = 10;   // a 64-bit address

struct PeSection {
  const char* name;
  uint32_t characteristics;
  std::vector<uint8_t> data;
};

struct PeRelocation {
  uint32_t rva;
  uint16_t type;
};

struct PeParts {
  uint16_t machine = 0;
  bool wide = false;  // PE32+
  uint64_t imageBase = 0;
  uint16_t systemVersion[2] = {};  // operating system and subsystem version
  uint16_t dllCharacteristics = 0;
  std::vector<PeSection> sections;        // at kSectionAlignment steps from the first, in order
  std::vector<PeRelocation> relocations;  // the .reloc section is made from these, last
  uint32_t directories[16][2] = {};       // RVA and size; the relocations' own is filled in
};

// The RVA the section with this index gets, given the sizes of those before it.
uint32_t SectionRva(const std::vector<PeSection>& sections, size_t index);

// The whole file of a DLL for the native subsystem (entry point 0, timestamp 0) with a checksum
// that matches its bytes. The same parts give the same bytes.
std::vector<uint8_t> WritePe(PeParts parts);
