// The code of KbdLayerDescriptor for each machine: it returns the address of the layout's tables
// and does nothing else. One unit per machine (code_stub_<machine>.cpp).
#pragma once

#include <cstdint>
#include <vector>

struct CodeStub {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> absolute32;  // offsets of 32-bit absolute addresses (HIGHLOW relocations)
};

// x86: mov eax, tables; ret. The WOW64 edition zeroes EDX too (xor edx, edx): its callers take
// the result as a 64-bit pointer in EDX:EAX.
CodeStub X86Stub(uint32_t tablesAddress, bool wide);

// x64: lea rax, [rip + tables]; ret.
CodeStub X64Stub(uint32_t codeRva, uint32_t tablesRva);

// ARM64: adrp x0, tables' page; add x0, x0, tables' offset in it; ret.
CodeStub Arm64Stub(uint32_t codeRva, uint32_t tablesRva);
