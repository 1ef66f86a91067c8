#include "tools/packager/code_stub.h"

CodeStub X64Stub(uint32_t codeRva, uint32_t tablesRva) {
  // The displacement counts from the end of the 7-byte lea.
  const uint32_t displacement = tablesRva - (codeRva + 7);
  CodeStub stub;
  stub.bytes = {0x48, 0x8D, 0x05};  // lea rax, [rip + disp32]
  for (int i = 0; i < 4; ++i) stub.bytes.push_back(static_cast<uint8_t>(displacement >> (8 * i)));
  stub.bytes.push_back(0xC3);  // ret
  return stub;
}
