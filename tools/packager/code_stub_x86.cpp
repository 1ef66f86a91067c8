#include "tools/packager/code_stub.h"

CodeStub X86Stub(uint32_t tablesAddress, bool wide) {
  CodeStub stub;
  stub.bytes = {0xB8};  // mov eax, imm32
  for (int i = 0; i < 4; ++i) stub.bytes.push_back(static_cast<uint8_t>(tablesAddress >> (8 * i)));
  stub.absolute32 = {1};
  if (wide) stub.bytes.insert(stub.bytes.end(), {0x31, 0xD2});  // xor edx, edx
  stub.bytes.push_back(0xC3);                                   // ret
  return stub;
}
