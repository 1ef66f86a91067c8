// The formatting engine: expands "%" conversions of a wide format into a wide GString.
//
// Every conversion measures its output first, reserves the exact room once, then writes the
// units in place. Nothing is read past what a precision or a string's own length allows.
#include <climits>
#include <cstring>

#include "strings/format_args.h"
#include "strings/format_float.h"
#include "strings/format_spec.h"
#include "strings/gstring.h"
#include "strings/utf8.h"

namespace {

const char kDigitsLower[] = "0123456789abcdef";
const char kDigitsUpper[] = "0123456789ABCDEF";

// Floating and size fields are capped, so one of them never needs more than a few hundred units.
constexpr int kMaxFloatWidth = 512;
constexpr int kMaxIntegerPrecision = 308;

const char* DigitSetOf(WChar letter) {
  switch (letter) {
    case 'A': case 'B': case 'C': case 'E': case 'G': case 'P': case 'S': case 'W': case 'X': case 'Z':
      return kDigitsUpper;
    default:
      return kDigitsLower;
  }
}

struct Field {
  int64_t width = 0;
  bool left = false;
  bool zero = false;  // "0" given and "-" absent
};

// Appends a converted text of `len` units with its width fill. `zeroAt` is where "0"-flag zeros
// go (-1: this conversion always fills with spaces). `write(out)` writes exactly len units and
// answers false when the conversion fails after all (then nothing is counted).
template <typename Write>
int EmitField(GString& t, const Field& f, int64_t len, int zeroAt, Write write) {
  const int64_t pad = f.width > len ? f.width - len : 0;
  const int64_t total = len + pad;
  if (total == 0) return 1;
  if (total > INT_MAX - t.Length()) return 0;
  WChar* out = t.WideTail(static_cast<int>(total));
  if (!out) return 0;
  const bool zeros = f.zero && zeroAt >= 0;
  if (zeros) {
    if (!write(out)) return 0;
    memmove(out + zeroAt + pad, out + zeroAt, static_cast<size_t>(len - zeroAt) * sizeof(WChar));
    for (int64_t i = 0; i < pad; ++i) out[zeroAt + i] = '0';
  } else if (f.left) {
    if (!write(out)) return 0;
    for (int64_t i = 0; i < pad; ++i) out[len + i] = ' ';
  } else {
    for (int64_t i = 0; i < pad; ++i) out[i] = ' ';
    if (!write(out + pad)) return 0;
  }
  return t.SetLength(static_cast<int>(t.Length() + total));
}

// ASCII text such as a marker ("{null}", "{ nan}").
int EmitAscii(GString& t, const Field& f, const char* text, int zeroAt) {
  const int len = static_cast<int>(strlen(text));
  return EmitField(t, f, len, zeroAt, [&](WChar* out) {
    for (int i = 0; i < len; ++i) out[i] = static_cast<unsigned char>(text[i]);
    return true;
  });
}

int EmitNull(GString& t, const Field& f, bool spacesOnly) {
  return EmitAscii(t, f, "{null}", spacesOnly ? -1 : 0);
}

// "{XX}": the low 8 bits of a unit or byte as two hex digits in braces.
WChar* WriteEscape(WChar* out, unsigned value, const char* digits) {
  *out++ = '{';
  *out++ = static_cast<unsigned char>(digits[(value >> 4) & 0xF]);
  *out++ = static_cast<unsigned char>(digits[value & 0xF]);
  *out++ = '}';
  return out;
}

// ---- integers ----------------------------------------------------------------------------

int FormatInteger(GString& t, const ConversionSpec& s, const Field& f, int precision, FormatArgs& args) {
  const WChar letter = s.letter;
  const bool isPointer = letter == 'p' || letter == 'P';
  const bool isSigned = letter == 'd' || letter == 'i';
  int base = 10;
  if (letter == 'x' || letter == 'X' || isPointer) base = 16;
  if (letter == 'o') base = 8;
  if (letter == 'y') base = 2;

  uint64_t magnitude = 0;
  bool negative = false;
  bool nullPointer = false;
  if (isPointer) {
    // Addresses print as 32-bit values, as on the program's own target.
    const void* p = args.NextPointer();
    magnitude = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
    nullPointer = p == nullptr;
    precision = 8;
  } else if (s.size == kSize64) {
    const int64_t v = args.NextInt64();
    negative = isSigned && v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  } else {
    const int32_t v = args.NextInt();
    negative = isSigned && v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint32_t>(v);
  }
  if (precision <= 0) precision = 1;
  if (precision > kMaxIntegerPrecision) precision = kMaxIntegerPrecision;

  int digits = 1;
  for (uint64_t v = magnitude / base; v != 0; v /= base) ++digits;

  const bool alt = (s.flags & kFlagAlt) != 0;
  int prefixLen = 0;
  if (alt && base == 16) prefixLen = 2;
  if (alt && base == 8) prefixLen = 1;
  if (alt && base == 2) prefixLen = 2;

  char sign = 0;
  if (isSigned) {
    if (negative)
      sign = '-';
    else if (s.flags & kFlagPlus)
      sign = '+';
    else if (s.flags & kFlagSpace)
      sign = ' ';
  }
  const int signLen = sign ? 1 : 0;

  if (precision >= signLen + prefixLen + digits) {
    digits = precision;
    if (base == 8) prefixLen = 0;  // the zeros already say octal
  }
  const int groupSize = (s.flags & kFlagGroup) ? (base == 16 || base == 2 ? 4 : 3) : 0;
  const int separators = groupSize ? (digits - 1) / groupSize : 0;
  const int len = signLen + prefixLen + digits + separators;

  if (nullPointer) {
    return EmitField(t, f, len, 0, [&](WChar* out) {
      static const char kNull[] = "{null}";
      for (int i = 0; i < len; ++i) out[i] = i < len - 6 ? ' ' : kNull[i - (len - 6)];
      return true;
    });
  }

  const char* digitSet = DigitSetOf(letter);
  return EmitField(t, f, len, signLen + prefixLen, [&](WChar* out) {
    int pos = len;
    uint64_t v = magnitude;
    for (int i = 0; i < digits; ++i) {
      if (groupSize && i > 0 && i % groupSize == 0) out[--pos] = ' ';
      out[--pos] = static_cast<unsigned char>(digitSet[v % base]);
      v /= base;
    }
    if (prefixLen > 0) out[signLen] = '0';
    if (prefixLen == 2) out[signLen + 1] = base == 16 ? 'x' : 'y';
    if (sign) out[0] = static_cast<unsigned char>(sign);
    return true;
  });
}

// ---- strings ------------------------------------------------------------------------------

bool EscapesUnit(unsigned u, unsigned flags) {
  if (flags & kFlagEscape) return u < 32 || u > 126;
  if (flags & kFlagAlt) return u < 32;
  return false;
}

// Units taken from a wide text: precision 0 up to the zero unit, positive at most that many
// (stopping at a zero unit), negative exactly that many. `available` bounds every case.
int64_t WideExtent(const WChar* p, int64_t precision, int64_t available) {
  if (precision < 0) return -precision < available ? -precision : available;
  const int64_t limit = precision > 0 && precision < available ? precision : available;
  int64_t n = 0;
  while (n < limit && p[n] != 0) ++n;
  return n;
}

int FormatWide(GString& t, const ConversionSpec& s, const Field& f, const WChar* p, int64_t precision,
               int64_t available) {
  const int64_t n = WideExtent(p, precision, available);
  int64_t len = 0;
  for (int64_t i = 0; i < n; ++i) len += EscapesUnit(static_cast<uint16_t>(p[i]), s.flags) ? 4 : 1;
  const char* digitSet = DigitSetOf(s.letter);
  return EmitField(t, f, len, 0, [&](WChar* out) {
    for (int64_t i = 0; i < n; ++i) {
      const unsigned u = static_cast<uint16_t>(p[i]);
      if (EscapesUnit(u, s.flags))
        out = WriteEscape(out, u, digitSet);
      else
        *out++ = p[i];
    }
    return true;
  });
}

bool StartsCharacter(unsigned char b) { return b < 0x80 || b >= 0xC0; }

// Bytes taken from a UTF-8 text. Precision counts characters (bytes with "$"); the continuation
// bytes after the last counted character come along so that no character is cut.
int64_t NarrowExtent(const unsigned char* p, int64_t precision, int64_t available, bool byBytes) {
  const bool exact = precision < 0;
  const int64_t count = exact ? -precision : precision;
  int64_t chars = 0;
  int64_t i = 0;
  for (; i < available; ++i) {
    if (!exact && p[i] == 0) break;
    if (byBytes || StartsCharacter(p[i])) {
      if (count > 0 && chars == count) break;
      ++chars;
    }
  }
  return i;
}

int FormatNarrow(GString& t, const ConversionSpec& s, const Field& f, const char* text, int64_t precision,
                 int64_t available) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const bool escapeAll = (s.flags & kFlagEscape) != 0;
  const int64_t extent = NarrowExtent(p, precision, available, escapeAll);
  if (extent > INT_MAX) return 0;
  const int n = static_cast<int>(extent);
  const char* digitSet = DigitSetOf(s.letter);

  // Runs of plain bytes are decoded; bytes that must be escaped stand alone.
  int64_t len = 0;
  for (int i = 0; i < n;) {
    if (EscapesUnit(p[i], s.flags)) {
      len += 4;
      ++i;
      continue;
    }
    int end = i;
    while (end < n && !EscapesUnit(p[end], s.flags)) ++end;
    len += Utf8Count(text + i, end - i);
    i = end;
  }
  return EmitField(t, f, len, 0, [&](WChar* out) {
    WChar* const stop = out + len;
    for (int i = 0; i < n;) {
      if (EscapesUnit(p[i], s.flags)) {
        out = WriteEscape(out, p[i], digitSet);
        ++i;
        continue;
      }
      int end = i;
      while (end < n && !EscapesUnit(p[end], s.flags)) ++end;
      const int written = Utf8Decode(text + i, end - i, out, static_cast<int>(stop - out));
      if (written < 0) return false;
      out += written;
      i = end;
    }
    return true;
  });
}

int FormatCharacter(GString& t, const ConversionSpec& s, const Field& f, FormatArgs& args) {
  const int32_t v = args.NextInt();
  WChar unit = static_cast<WChar>(v);
  if (s.size == kSizeNarrow) {
    // One byte of UTF-8 text: only an ASCII byte is a whole character.
    const unsigned char byte = static_cast<unsigned char>(v);
    if (byte >= 0x80) return 0;
    unit = byte;
  }
  const bool escape = EscapesUnit(static_cast<uint16_t>(unit), s.flags);
  const char* digitSet = DigitSetOf(s.letter);
  return EmitField(t, f, escape ? 4 : 1, 0, [&](WChar* out) {
    if (escape)
      WriteEscape(out, static_cast<uint16_t>(unit), digitSet);
    else
      *out = unit;
    return true;
  });
}

int FormatStringArg(GString& t, const ConversionSpec& s, const Field& f, int precision, FormatArgs& args) {
  const void* p = args.NextPointer();
  if (!p) return EmitNull(t, f, false);
  if (s.size == kSize64) return 1;  // consumed, nothing written
  if (s.size == kSizeNarrow) return FormatNarrow(t, s, f, static_cast<const char*>(p), precision, INT64_MAX);
  return FormatWide(t, s, f, static_cast<const WChar*>(p), precision, INT64_MAX);
}

int FormatGString(GString& t, const ConversionSpec& s, const Field& f, int precision, FormatArgs& args) {
  const void* p = args.NextPointer();
  if (!p) return EmitNull(t, f, false);
  if (s.size == kSizeNarrow) {
    // A counted text record. Its text need not be terminated or aligned, so it is read through
    // a copy bounded by the length its word gives.
    GString record;
    if (!record.AssignRecord(p)) return 0;
    if (record.IsWide()) return FormatWide(t, s, f, record.WideAt(0), precision, record.Length());
    return FormatNarrow(t, s, f, record.NarrowAt(0), precision, record.Length());
  }
  const GString* g = static_cast<const GString*>(p);
  GString copy;
  if (g == &t) {
    copy.Assign(t);  // the target's own text moves while it grows
    g = &copy;
  }
  if (g->IsWide()) return FormatWide(t, s, f, g->WideAt(0), precision, g->Length());
  return FormatNarrow(t, s, f, g->NarrowAt(0), precision, g->Length());
}

// ---- byte dumps ---------------------------------------------------------------------------

// Writes (or with out == nullptr only measures) the dump of n bytes.
int64_t WriteDump(WChar* out, const unsigned char* p, int64_t n, unsigned flags, const char* digits) {
  const bool alt = (flags & kFlagAlt) != 0;
  const bool spaced = (flags & kFlagSpace) != 0;
  const bool grouped = (flags & kFlagGroup) != 0;
  int64_t len = 0;
  auto put = [&](char c) {
    if (out) out[len] = static_cast<unsigned char>(c);
    ++len;
  };
  for (int64_t i = 0; i < n; ++i) {
    const bool groupStart = grouped && i % 4 == 0;
    if (grouped) {
      if (groupStart && i > 0) {
        if (alt) put('}');
        if (spaced) put(' ');
        if (spaced && !alt) put(' ');
        if (!spaced && !alt) put(' ');
      } else if (i > 0 && spaced) {
        put(' ');
      }
      if (groupStart && alt) put('{');
    } else {
      if (i > 0 && spaced) put(' ');
      if (alt) put('{');
    }
    put(digits[p[i] >> 4]);
    put(digits[p[i] & 0xF]);
    if (!grouped && alt) put('}');
  }
  if (grouped && alt && n > 0) put('}');
  return len;
}

int FormatDump(GString& t, const ConversionSpec& s, const Field& f, int precision, FormatArgs& args) {
  const unsigned char* p = static_cast<const unsigned char*>(args.NextPointer());
  if (!p) return EmitNull(t, f, false);
  if (precision <= 0) return 1;
  const char* digits = DigitSetOf(s.letter);
  const int64_t len = WriteDump(nullptr, p, precision, s.flags, digits);
  return EmitField(t, f, len, 0, [&](WChar* out) {
    WriteDump(out, p, precision, s.flags, digits);
    return true;
  });
}

// ---- floating, sizes, addresses -----------------------------------------------------------

int EmitFloatText(GString& t, const Field& f, const FloatText& text) {
  const int len = Utf8Count(text.text, text.length);
  return EmitField(t, f, len, text.zeroAt, [&](WChar* out) {
    return Utf8Decode(text.text, text.length, out, len) == len;
  });
}

Field CapWidth(Field f) {
  if (f.width > kMaxFloatWidth) f.width = kMaxFloatWidth;
  return f;
}

int FormatFloating(GString& t, const ConversionSpec& s, const Field& f, int precision, FormatArgs& args) {
  double value;
  if (s.letter == 'F' && s.size == kSizeNarrow)
    value = args.NextInt();
  else if (s.letter == 'F' && s.size == kSize64)
    value = static_cast<double>(args.NextInt64());
  else
    value = args.NextDouble();
  FloatText text;
  FormatFloat(static_cast<char>(s.letter), s.flags, precision, value, &text);
  return EmitFloatText(t, CapWidth(f), text);
}

int FormatSize(GString& t, const ConversionSpec& s, const Field& f, int precision, FormatArgs& args) {
  const bool isSigned = s.letter == 'I';
  uint64_t magnitude;
  bool negative = false;
  if (s.size == kSize64) {
    const int64_t v = args.NextInt64();
    negative = isSigned && v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  } else {
    const int32_t v = args.NextInt();
    negative = isSigned && v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint32_t>(v);
  }
  FloatText text;
  FormatScaledSize(isSigned, s.flags, precision, magnitude, negative, &text);
  return EmitFloatText(t, CapWidth(f), text);
}

int FormatGuid(GString& t, const Field& f, const unsigned char* g, const char* digits) {
  // Memory layout of a GUID: Data1 (LE u32), Data2 (LE u16), Data3 (LE u16), Data4 (8 bytes).
  static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  return EmitField(t, f, 38, -1, [&](WChar* out) {
    *out++ = '{';
    for (int i = 0; i < 16; ++i) {
      if (i == 4 || i == 6 || i == 8 || i == 10) *out++ = '-';
      *out++ = static_cast<unsigned char>(digits[g[kOrder[i]] >> 4]);
      *out++ = static_cast<unsigned char>(digits[g[kOrder[i]] & 0xF]);
    }
    *out = '}';
    return true;
  });
}

int FormatIpv4(GString& t, const ConversionSpec& s, const Field& f, const unsigned char* a) {
  // A little-endian 32-bit value whose most significant byte is the first octet.
  char text[16];
  int len = 0;
  for (int i = 3; i >= 0; --i) {
    const unsigned octet = a[i];
    if (s.flags & kFlagZero) {
      text[len++] = static_cast<char>('0' + octet / 100);
      text[len++] = static_cast<char>('0' + octet / 10 % 10);
    } else {
      if (octet >= 100) text[len++] = static_cast<char>('0' + octet / 100);
      if (octet >= 10) text[len++] = static_cast<char>('0' + octet / 10 % 10);
    }
    text[len++] = static_cast<char>('0' + octet % 10);
    if (i > 0) text[len++] = '.';
  }
  text[len] = 0;
  return EmitAscii(t, f, text, -1);
}

int FormatAddress(GString& t, const ConversionSpec& s, const Field& f, FormatArgs& args) {
  const unsigned char* p = static_cast<const unsigned char*>(args.NextPointer());
  Field spaces = f;
  spaces.zero = false;  // addresses fill with spaces only
  if (!p) return EmitNull(t, spaces, true);
  if (s.size == kSizeNarrow) return FormatGuid(t, spaces, p, DigitSetOf(s.letter));
  return FormatIpv4(t, s, spaces, p);
}

// ---- dispatch ----------------------------------------------------------------------------

int Convert(GString& t, const ConversionSpec& s, FormatArgs& args, int entryLength) {
  Field f;
  bool left = (s.flags & kFlagLeft) != 0;
  if (s.widthFromArg) {
    const int32_t w = args.NextInt();
    if (w < 0) left = true;
    f.width = w < 0 ? -static_cast<int64_t>(w) : w;
  } else {
    f.width = s.width;
  }
  f.left = left;
  f.zero = !left && (s.flags & kFlagZero) != 0;
  const int precision = s.precisionFromArg ? args.NextInt() : s.precision;

  switch (s.letter) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'y': case 'p': case 'P':
      return FormatInteger(t, s, f, precision, args);
    case 'c': case 'C':
      return FormatCharacter(t, s, f, args);
    case 's': case 'S':
      return FormatStringArg(t, s, f, precision, args);
    case 'z': case 'Z':
      return FormatGString(t, s, f, precision, args);
    case 'b': case 'B':
      return FormatDump(t, s, f, precision, args);
    case 'f': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': case 'F':
      return FormatFloating(t, s, f, precision, args);
    case 'I': case 'U':
      return FormatSize(t, s, f, precision, args);
    case 'w': case 'W':
      return FormatAddress(t, s, f, args);
    case 'n': {
      int* count = static_cast<int*>(const_cast<void*>(args.NextPointer()));
      if (count) *count = t.Length() - entryLength;
      return 1;
    }
    case 'N':
      return EmitAscii(t, f, "\r\n", 0);
    case 'T': case 't': case 'Y':
      args.NextInt();
      return 0;
    default: {
      // "%%" and any letter without a conversion: the letter itself is text.
      const WChar letter = s.letter;
      return t.AppendWide(&letter, 1);
    }
  }
}

}  // namespace

int AppendFormatArgs(GString& t, const WChar* format, FormatArgs& args) {
  if (!t.IsWide() || !format) return 0;
  const int entryLength = t.Length();
  const WChar* p = format;
  for (;;) {
    const WChar* run = p;
    while (*p && *p != '%') ++p;
    if (p > run && !t.AppendWide(run, static_cast<int>(p - run))) return 0;
    if (!*p) break;
    ConversionSpec conv;
    p = ParseConversion(p + 1, &conv);
    if (!conv.letter) break;  // a conversion cut off by the end is dropped
    if (!Convert(t, conv, args, entryLength)) return 0;
  }
  t.Terminate();
  return 1;
}

int GString::AppendFormat(const WChar* format, va_list args) {
  FormatArgs source(args);
  return AppendFormatArgs(*this, format, source);
}

int Format(GString& target, const WChar* format, ...) {
  target.AssignWide(nullptr, 0);
  va_list args;
  va_start(args, format);
  const int result = target.AppendFormat(format, args);
  va_end(args);
  return result;
}
