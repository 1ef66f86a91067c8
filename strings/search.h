// Searching and ordering of byte and 16-bit unit ranges.
//
// These also run over raw binary data (keyboard layout library images of tens of KB), so every
// search is a plain element-by-element scan: no skip tables, nothing allocated. A range is a
// pointer and an int length; nothing outside [0, length) is ever read, whatever the arguments.
// Results are offsets from the start of the range, or -1.
#pragma once

#include "strings/unit16.h"

// --- Exact forms: the lengths are taken as given. A null pointer or a length <= 0 is an empty
// range. ---

// First match of pattern starting at `from` or later. -1 when either range is empty, from < 0,
// or the pattern does not fit between from and dataLen.
int FindBytes(const unsigned char* data, const unsigned char* pattern, int dataLen, int patLen,
              int from);

// Last match of pattern starting at `lowBound` or later (candidates tried from dataLen - patLen
// down to lowBound). -1 under the same conditions as FindBytes.
int FindBytesReverse(const unsigned char* data, const unsigned char* pattern, int dataLen,
                     int patLen, int lowBound);

// Last position in [lowBound, dataLen) holding the low 8 bits of `byte`. -1 when data is empty
// or lowBound is outside [0, dataLen).
int FindByteReverse(const unsigned char* data, int byte, int dataLen, int lowBound);

// Orders by length first, then content: an empty range orders before any other, a shorter range
// before a longer one whatever the content, and ranges of equal length by the first differing
// byte taken as unsigned. Returns -1, 0 or 1.
int CompareBytes(const unsigned char* a, const unsigned char* b, int lenA, int lenB);

// --- Measuring forms, for zero-terminated text: a negative length is replaced by the length up
// to the terminating zero, a null pointer by length 0; then the exact form above is called. ---

int FindBytesSz(const char* data, const char* pattern, int dataLen, int patLen, int from);
int FindBytesReverseSz(const char* data, const char* pattern, int dataLen, int patLen,
                       int lowBound);
int FindByteReverseSz(const char* data, int byte, int dataLen, int lowBound);
int CompareBytesSz(const char* a, const char* b, int lenA, int lenB);

// --- 16-bit units. Unit text is nearly always zero-terminated (paths, registry values), so
// these functions measure for themselves: a negative length means "up to the terminating zero"
// and a null pointer is length 0. There are no separate measuring forms. ---

// As FindBytes, over units.
int FindUnits(const WChar* text, const WChar* pattern, int textLen, int patLen, int from);

// As FindByteReverse, over units (e.g. the last '\\' of a path).
int FindUnitReverse(const WChar* text, WChar unit, int textLen, int lowBound);

// As CompareBytes, over units compared as unsigned 16-bit values.
int CompareUnits(const WChar* a, const WChar* b, int lenA, int lenB);
