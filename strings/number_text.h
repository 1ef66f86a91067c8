// Numbers read from text, without the C runtime's scanf machinery (which brings its floating-point
// reader along into the program).
#pragma once

#include <cstdint>

#include "strings/unit16.h"

// Reads a hexadecimal number from zero-terminated text as swscanf's "%X" (and strtoul with base
// 16) read it: white space, an optional sign, an optional "0x" or "0X", then hexadecimal digits
// up to the first other unit. A magnitude past 32 bits gives 0xFFFFFFFF; a "-" negates the
// magnitude modulo 2^32. False (and value untouched) when no digit is there or text is null.
bool ReadHexNumber(const WChar* text, uint32_t* value);
