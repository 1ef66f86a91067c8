#include "tools/packager/code_stub.h"

namespace {

void Put(uint32_t instruction, std::vector<uint8_t>* out) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(instruction >> (8 * i)));
}

}  // namespace

CodeStub Arm64Stub(uint32_t codeRva, uint32_t tablesRva) {
  // adrp counts 4 KiB pages from the instruction's own page: immlo (2 bits) at 29, immhi (19)
  // at 5, Rd 0 (x0). The image keeps its pages' distances wherever it loads: no relocation.
  const uint32_t pages = (tablesRva >> 12) - (codeRva >> 12);
  const uint32_t adrp = 0x90000000u | (pages & 3) << 29 | ((pages >> 2) & 0x7FFFF) << 5;
  // add x0, x0, #imm12 (64-bit, no shift): imm12 at 10, Rn 0 at 5, Rd 0.
  const uint32_t add = 0x91000000u | (tablesRva & 0xFFF) << 10;
  const uint32_t ret = 0xD65F03C0u;
  CodeStub stub;
  Put(adrp, &stub.bytes);
  Put(add, &stub.bytes);
  Put(ret, &stub.bytes);
  return stub;
}
