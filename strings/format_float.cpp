// Floating-point and binary-scaled size conversions.
//
// Decimal digits come from format_float_digits, which rounds the exact binary value correctly
// (ties to even) for any precision, as std::to_chars does; the C runtime's printf is not exact
// on every target we build for, and std::to_chars would bring 180 KB of tables into the program.

#include "strings/format_float.h"

#include <cmath>
#include <cstring>

#include "strings/format_float_digits.h"

namespace {

constexpr int kMaxPrecision = 308;

// Significant digits one conversion can ask for: "e" with precision 308.
constexpr int kMaxDigits = kMaxPrecision + 1;
static_assert(kMaxDigits <= kFloatDigitsMax, "every precision has its digits");

int ClampHigh(int precision) {
  return precision > kMaxPrecision ? kMaxPrecision : precision;
}

// Appends to a FloatText. Every conversion stays far below kFloatTextMax, but
// the bound is checked anyway so that no input can write past the buffer.
class Writer {
 public:
  explicit Writer(FloatText* out) : m_out(out) {
    m_out->length = 0;
    m_out->zeroAt = 0;
  }

  void Put(char c) {
    if (m_out->length < kFloatTextMax) m_out->text[m_out->length++] = c;
  }
  void Put(const char* s) {
    while (*s != '\0') Put(*s++);
  }
  void Put(const char* s, int n) {
    for (int i = 0; i < n; ++i) Put(s[i]);
  }
  void Repeat(char c, int n) {
    for (int i = 0; i < n; ++i) Put(c);
  }
  void MarkZeroFill() { m_out->zeroAt = m_out->length; }

  // Decimal exponent with its sign and at least minDigits digits.
  void Exponent(int exponent, int minDigits) {
    Put(exponent < 0 ? '-' : '+');
    unsigned magnitude =
        exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
    char digits[12];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0 && n < static_cast<int>(sizeof digits));
    Repeat('0', minDigits - n);
    while (n > 0) Put(digits[--n]);
  }

  // The exponent of e/E/g/G/F: two digits, three from 100 on.
  void DecimalExponent(char letter, int exponent) {
    Put(letter);
    Exponent(exponent, 2);
  }

 private:
  FloatText* m_out;
};

// "Sign as for signed integers".
void PutSign(Writer* w, bool negative, unsigned flags) {
  if (negative) {
    w->Put('-');
  } else if (flags & kFlagPlus) {
    w->Put('+');
  } else if (flags & kFlagSpace) {
    w->Put(' ');
  }
}

// NaN and the infinities print fixed markers, whatever the letter and flags.
bool PutMarker(Writer* w, double value) {
  if (std::isnan(value)) {
    w->Put("{ nan}");
    return true;
  }
  if (std::isinf(value)) {
    w->Put(value < 0 ? "{-inf}" : "{+inf}");
    return true;
  }
  return false;
}

// A magnitude rounded to a number of significant digits:
// digit[0].digit[1]digit[2]... x 10^exponent; the exponent is 0 for zero.
struct Digits : DecimalDigits {
  // Digit i, or '0' past the rounded digits.
  char At(int i) const { return i >= 0 && i < count ? digit[i] : '0'; }
};

// count is 1..kMaxDigits; magnitude is finite and not negative.
void RoundSignificant(double magnitude, int count, Digits* out) { SignificantDigits(magnitude, count, out); }

// f
void FormatFixed(unsigned flags, int precision, double value, Writer* w) {
  if (PutMarker(w, value)) return;
  precision = precision <= 0 ? 6 : ClampHigh(precision);

  // DBL_MAX with 308 decimals: 309 integer digits, the point and 308 decimals.
  static_assert(kMaxPrecision <= kFixedDecimalsMax, "every precision has its digits");
  char buf[kFixedTextMax];
  const int length = FixedDigits(std::fabs(value), precision, buf);
  PutSign(w, value < 0, flags);
  w->MarkZeroFill();
  w->Put(buf, length);
}

// e E
void FormatExponent(char letter, unsigned flags, int precision, double value, Writer* w) {
  if (PutMarker(w, value)) return;
  precision = precision <= 0 ? 6 : ClampHigh(precision);

  Digits d;
  RoundSignificant(std::fabs(value), precision + 1, &d);
  PutSign(w, value < 0, flags);
  w->MarkZeroFill();
  w->Put(d.At(0));
  w->Put('.');
  for (int i = 1; i <= precision; ++i) w->Put(d.At(i));
  w->DecimalExponent(letter, d.exponent);
}

// g G
void FormatGeneral(bool upper, unsigned flags, int precision, double value, Writer* w) {
  if (PutMarker(w, value)) return;
  if (precision < 0) {
    precision = 6;
  } else if (precision == 0) {
    precision = 1;
  } else {
    precision = ClampHigh(precision);
  }
  const bool alt = (flags & kFlagAlt) != 0;

  Digits d;
  RoundSignificant(std::fabs(value), precision, &d);
  PutSign(w, value < 0, flags);
  w->MarkZeroFill();

  if (d.exponent < -4 || d.exponent >= precision) {
    int end = precision;
    if (!alt) {
      while (end > 1 && d.At(end - 1) == '0') --end;
    }
    w->Put(d.At(0));
    if (end > 1 || alt) w->Put('.');
    for (int i = 1; i < end; ++i) w->Put(d.At(i));
    w->DecimalExponent(upper ? 'E' : 'e', d.exponent);
    return;
  }

  // Fixed style. A zero value has exponent 0 and so lands here; stripping its
  // decimals leaves the plain "0".
  const int point = d.exponent + 1;  // digits before the point; <= 0 means "0.000ddd"
  const int intDigits = point > 0 ? point : 0;
  int end = precision;
  if (!alt) {
    while (end > intDigits && d.At(end - 1) == '0') --end;
  }
  if (point <= 0) {
    w->Put('0');
    w->Put('.');
    w->Repeat('0', -point);
    for (int i = 0; i < end; ++i) w->Put(d.At(i));
    return;
  }
  for (int i = 0; i < point; ++i) w->Put(d.At(i));
  if (end > point || alt) w->Put('.');
  for (int i = point; i < end; ++i) w->Put(d.At(i));
}

// a A
void FormatHex(bool upper, unsigned flags, int precision, double value, Writer* w) {
  if (PutMarker(w, value)) return;
  precision = ClampHigh(precision);
  const char* hex = upper ? "0123456789ABCDEF" : "0123456789abcdef";

  uint64_t bits;
  static_assert(sizeof bits == sizeof value, "double must be 64 bits");
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;  // -0.0 keeps its "-" here
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);

  int lead = 1;
  int exponent = biased - 1023;
  if (biased == 0) {
    lead = 0;
    exponent = fraction != 0 ? -1022 : 0;
  }

  constexpr int kFractionDigits = 13;  // 52 bits
  // Fraction digit i (0-based), before rounding.
  auto rawDigit = [fraction](int i) {
    return static_cast<int>((fraction >> (4 * (kFractionDigits - 1 - i))) & 0xf);
  };

  int count = precision;
  if (count <= 0) {
    count = kFractionDigits;
    while (count > 0 && rawDigit(count - 1) == 0) --count;
  }

  // The shown digits as one number, rounded half up when digits are dropped.
  uint64_t shown = fraction;
  if (count > 0 && count < kFractionDigits) {
    const int dropped = 4 * (kFractionDigits - count);
    shown = fraction >> dropped;
    if ((fraction >> (dropped - 1)) & 1) {
      ++shown;
      if (shown >> (4 * count)) {  // carried out of the fraction into the lead digit
        shown = 0;
        ++lead;
      }
    }
  }
  auto shownDigit = [&](int i) {
    if (i >= kFractionDigits) return 0;
    if (count >= kFractionDigits) return rawDigit(i);
    return static_cast<int>((shown >> (4 * (count - 1 - i))) & 0xf);
  };

  PutSign(w, negative, flags);
  w->Put("0x");  // lower-case "x" for A too
  w->MarkZeroFill();
  w->Put(hex[lead]);
  if (count > 0 || (flags & kFlagAlt)) w->Put('.');
  for (int i = 0; i < count; ++i) w->Put(hex[shownDigit(i)]);
  w->Put(upper ? 'P' : 'p');
  w->Exponent(exponent, 1);
}

// F: exponent a multiple of three, optionally as an SI prefix.
void FormatEngineering(unsigned flags, int precision, double value, Writer* w) {
  if (PutMarker(w, value)) return;
  precision = precision < 3 ? 3 : ClampHigh(precision);

  Digits d;
  RoundSignificant(std::fabs(value), precision, &d);
  int exponent = d.exponent;
  int intDigits = 1;
  switch (exponent % 3) {
    case 0:
      break;
    case 1:
    case -2:
      intDigits = 2;
      exponent -= 1;
      break;
    default:  // 2, -1
      intDigits = 3;
      exponent -= 2;
      break;
  }

  PutSign(w, value < 0, flags);
  w->MarkZeroFill();
  for (int i = 0; i < intDigits; ++i) w->Put(d.At(i));
  w->Put('.');
  for (int i = intDigits; i < precision; ++i) w->Put(d.At(i));

  if ((flags & kFlagAlt) && exponent >= -24 && exponent <= 24) {
    // From 10^-24 to 10^24 in steps of 10^3; 10^0 is a space so the unit
    // column keeps its width.
    static const char* const kPrefixes[] = {"y", "z", "a", "f", "p", "n", "\xC2\xB5", "m", " ",
                                            "k", "M", "G", "T", "P", "E", "Z", "Y"};
    w->Put(' ');
    w->Put(kPrefixes[(exponent + 24) / 3]);
    return;
  }
  w->DecimalExponent('e', exponent);
}

}  // namespace

void FormatFloat(char letter, unsigned flags, int precision, double value, FloatText* out) {
  Writer w(out);
  switch (letter) {
    case 'f':
      FormatFixed(flags, precision, value, &w);
      break;
    case 'e':
    case 'E':
      FormatExponent(letter, flags, precision, value, &w);
      break;
    case 'g':
    case 'G':
      FormatGeneral(letter == 'G', flags, precision, value, &w);
      break;
    case 'a':
    case 'A':
      FormatHex(letter == 'A', flags, precision, value, &w);
      break;
    case 'F':
      FormatEngineering(flags, precision, value, &w);
      break;
    default:
      break;  // not a floating conversion: empty text
  }
}

void FormatScaledSize(bool isSigned, unsigned flags, int precision, uint64_t magnitude,
                      bool negative, FloatText* out) {
  Writer w(out);
  if (precision < 0) {
    precision = 3;
  } else if (precision <= 1) {
    precision = 2;
  } else {
    precision = ClampHigh(precision);
  }

  // The step count follows the integer value; the double only carries the
  // fraction the digits need.
  int step = 0;
  uint64_t whole = magnitude;
  double scaled = static_cast<double>(magnitude);
  while (whole >= 1024) {
    whole /= 1024;
    scaled /= 1024;
    ++step;
  }

  Digits d;
  RoundSignificant(scaled, precision, &d);
  int point = d.exponent + 1;
  if (point > precision) {
    // More integer digits than fit: one unit up, one significant digit fewer
    // to make room for the leading "0." or the carried "1.".
    scaled /= 1024;
    ++step;
    RoundSignificant(scaled, precision > 1 ? precision - 1 : 1, &d);
    point = d.exponent + 1;
  }

  if (isSigned) PutSign(&w, negative, flags);
  w.MarkZeroFill();
  if (point <= 0) {
    w.Put('0');
    w.Put('.');
    // "0." then the digits padded to precision - 1 characters.
    int written = 0;
    for (; written < -point; ++written) w.Put('0');
    for (int i = 0; i < d.count; ++i, ++written) w.Put(d.digit[i]);
    w.Repeat('0', precision - 1 - written);
  } else {
    for (int i = 0; i < point; ++i) w.Put(d.At(i));
    w.Put('.');
    for (int i = point; i < precision; ++i) w.Put(d.At(i));
  }

  if (flags & kFlagAlt) {
    static const char* const kUnits[] = {"  ", "Ki", "Mi", "Gi", "Ti", "Pi", "Ei", "Zi", "Yi"};
    constexpr int kLastUnit = static_cast<int>(sizeof kUnits / sizeof kUnits[0]) - 1;
    w.Put(' ');
    w.Put(kUnits[step < kLastUnit ? step : kLastUnit]);
  } else {
    // "b<step>0": times 2^(step*10).
    w.Put('b');
    w.Put(static_cast<char>('0' + (step < 9 ? step : 9)));
    w.Put('0');
  }
}
