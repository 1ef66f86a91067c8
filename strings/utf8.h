// UTF-8 <-> 16-bit text conversion.
//
// The encoder treats every 16-bit unit on its own (surrogates are not paired, each becomes its
// own 3-byte sequence); the decoder accepts 1- to 3-byte sequences only, so every decoded
// sequence is exactly one unit. Lengths are in units/bytes; no function reads past n.
#pragma once

#include "strings/unit16.h"

// Bytes Utf8Encode writes for these n units; -1 when that would not fit in an int.
int Utf8Size(const WChar* p, int n);

// Encodes n units into out, which has room for Utf8Size(p, n) bytes. Returns the bytes written.
int Utf8Encode(const WChar* p, int n, char* out);

// Number of sequences in n bytes, counted by lead byte; a sequence cut off by the end counts as
// one, and a byte that cannot lead counts as one. Utf8Decode never writes more units than this.
int Utf8Count(const char* p, int n);

// Decodes n bytes into out (room for outCap units). Returns the units written, or -1 on invalid
// input: a stray continuation byte, a lead of 0xF0 or above, a bad continuation byte, a sequence
// cut off by the end, or output that would not fit.
int Utf8Decode(const char* p, int n, WChar* out, int outCap);

// Pointer after the first k sequences of p (n < 0: measured up to the zero byte), stepping by
// lead byte only. Null when k < 0 or when the whole text fits in k sequences.
const char* Utf8Skip(const char* p, int n, int k);
