// Exact decimal digits of doubles (see format_float_digits.h).
//
// A finite double is m x 2^e with an integer m < 2^53. Its integer part is a big integer turned
// into decimal by repeated division by 10^9; its fraction F / 2^B (B = -e) gives its decimals k
// at a time as F x 5^k / 2^(B - k): the whole part of that is the next k digits, and B shrinks
// with each step, so the numbers stay within 1,100 bits. Every digit is exact, so rounding at any
// place only needs the next digit and whether any later digit is not zero.
//
// The shortest digits follow Steele and White's free-format method in Burger and Dybvig's form:
// the value and the distances to the midpoints with its neighbours as exact fractions r / s,
// m+ / s and m- / s, scaled by a power of ten; each step takes one digit and stops once the
// digits so far, or the same digits with the last one raised, lie strictly inside the interval
// that reads back as the value (or on its edge when the value's m is even: round to even).
#include "strings/format_float_digits.h"

#include <cstdint>
#include <cstring>

namespace {

// The largest number any step needs: r or s of the shortest digits, below 2^1090 and shifted by
// 31 bits at most, and the fraction times 5^9, below 2^1100; the integer part is below 2^1024.
constexpr int kWords = 40;

constexpr uint32_t kBillion = 1000000000;  // 10^9, the largest power of ten in a word
constexpr uint32_t kFivePow9 = 1953125;    // 5^9

// A non-negative big integer: n words, least significant first, the top one not zero.
struct Big {
  uint32_t w[kWords];
  int n;

  void Set(uint64_t v) {
    n = 0;
    while (v != 0) {
      w[n++] = static_cast<uint32_t>(v);
      v >>= 32;
    }
  }

  bool IsZero() const { return n == 0; }

  void Trim() {
    while (n > 0 && w[n - 1] == 0) --n;
  }

  void MulSmall(uint32_t factor) {
    uint32_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const uint64_t t = static_cast<uint64_t>(w[i]) * factor + carry;
      w[i] = static_cast<uint32_t>(t);
      carry = static_cast<uint32_t>(t >> 32);
    }
    if (carry != 0 && n < kWords) w[n++] = carry;  // the bound is never reached (see kWords)
  }

  // Divides by 10^9 in place (a constant divisor: the compiler multiplies instead); returns the
  // remainder.
  uint32_t DivBillion() {
    uint32_t rest = 0;
    for (int i = n - 1; i >= 0; --i) {
      const uint64_t t = static_cast<uint64_t>(rest) << 32 | w[i];
      const uint64_t q = t / kBillion;
      w[i] = static_cast<uint32_t>(q);
      rest = static_cast<uint32_t>(t - q * kBillion);
    }
    Trim();
    return rest;
  }

  void ShiftLeft(int bits) {
    if (n == 0 || bits <= 0) return;
    const int words = bits / 32;
    const int shift = bits % 32;
    int top = n + words + (shift != 0 ? 1 : 0);
    if (top > kWords) top = kWords;  // never reached (see kWords)
    // From the top down: each word reads only words below or at its own place, not yet written.
    for (int i = top - 1; i >= 0; --i) {
      const int from = i - words;
      const uint32_t high = from >= 0 && from < n ? w[from] : 0;
      const uint32_t low = from >= 1 && from - 1 < n ? w[from - 1] : 0;
      w[i] = shift == 0 ? high : (high << shift | low >> (32 - shift));
    }
    n = top;
    Trim();
  }

  void MulPow10(int power) {
    for (; power >= 9; power -= 9) MulSmall(kBillion);
    uint32_t factor = 1;
    for (; power > 0; --power) factor *= 10;
    if (factor != 1) MulSmall(factor);
  }

  // The bits at and above `bits` (their value below 2^32) as a number; they are cleared.
  uint32_t TakeAbove(int bits) {
    const int word = bits / 32;
    const int shift = bits % 32;
    if (word >= n) return 0;
    uint32_t taken = w[word] >> shift;
    if (shift != 0 && word + 1 < n) taken |= w[word + 1] << (32 - shift);
    w[word] &= shift == 0 ? 0 : (uint32_t{1} << shift) - 1;
    n = word + 1;
    Trim();
    return taken;
  }
};

int Compare(const Big& a, const Big& b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i) {
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
  }
  return 0;
}

// a + b compared with c.
int CompareSum(const Big& a, const Big& b, const Big& c) {
  Big sum;
  const int longer = a.n > b.n ? a.n : b.n;
  uint32_t carry = 0;
  for (int i = 0; i < longer; ++i) {
    const uint64_t t = static_cast<uint64_t>(i < a.n ? a.w[i] : 0) + (i < b.n ? b.w[i] : 0) + carry;
    sum.w[i] = static_cast<uint32_t>(t);
    carry = static_cast<uint32_t>(t >> 32);
  }
  sum.n = longer;
  if (carry != 0 && sum.n < kWords) sum.w[sum.n++] = carry;
  return Compare(sum, c);
}

// a -= b, where a >= b.
void Subtract(Big& a, const Big& b) {
  uint32_t borrow = 0;
  for (int i = 0; i < a.n; ++i) {
    const uint64_t t = static_cast<uint64_t>(a.w[i]) - (i < b.n ? b.w[i] : 0) - borrow;
    a.w[i] = static_cast<uint32_t>(t);
    borrow = static_cast<uint32_t>(t >> 63);
  }
  a.Trim();
}

// a -= b x factor, where a >= b x factor.
void SubtractMultiple(Big& a, const Big& b, uint32_t factor) {
  uint32_t carry = 0;   // of the product
  uint32_t borrow = 0;  // of the difference
  for (int i = 0; i < a.n; ++i) {
    const uint64_t product = static_cast<uint64_t>(i < b.n ? b.w[i] : 0) * factor + carry;
    carry = static_cast<uint32_t>(product >> 32);
    const uint64_t t = static_cast<uint64_t>(a.w[i]) - static_cast<uint32_t>(product) - borrow;
    a.w[i] = static_cast<uint32_t>(t);
    borrow = static_cast<uint32_t>(t >> 63);
  }
  a.Trim();
}

// The next digit of r / s, where r < 10 s and the top word of s is at least 2^27: estimated from
// the top words (one low at most), then corrected. r keeps the remainder.
int NextDigit(Big& r, const Big& s) {
  const int top = s.n - 1;
  uint64_t high = top < r.n ? r.w[top] : 0;
  if (top + 1 < r.n) high |= static_cast<uint64_t>(r.w[top + 1]) << 32;
  int digit = static_cast<int>(high / (static_cast<uint64_t>(s.w[top]) + 1));
  if (digit > 9) digit = 9;
  if (digit > 0) SubtractMultiple(r, s, static_cast<uint32_t>(digit));
  while (Compare(r, s) >= 0) {
    Subtract(r, s);
    ++digit;
  }
  return digit;
}

// A finite double's magnitude as m x 2^e (m < 2^53; m = 0 for zero, NaN and the infinities).
struct Binary {
  uint64_t m;
  int e;
  bool lowerGapHalf;  // a power of two above the smallest normal: the next lower double is nearer
};

Binary Decompose(double value) {
  uint64_t bits;
  static_assert(sizeof bits == sizeof value, "double must be 64 bits");
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (biased == 0x7ff) return {0, 0, false};
  if (biased == 0) return {fraction, -1074, false};
  return {fraction | uint64_t{1} << 52, biased - 1075, fraction == 0 && biased > 1};
}

// The decimal digits of a non-negative m x 2^e, most significant first: the integer digits
// (none when the value is below 1), then the decimals, then zeros for ever.
class DigitStream {
 public:
  DigitStream(uint64_t m, int e) {
    if (e >= 0) {
      Big whole;
      whole.Set(m);
      whole.ShiftLeft(e);
      SetInteger(whole);
      m_fraction.n = 0;
      m_fractionBits = 0;
      return;
    }
    // Fewer fraction bits, smaller numbers: drop the low zero bits of m first.
    while (m != 0 && (m & 1) == 0 && e < 0) {
      m >>= 1;
      ++e;
    }
    const int bits = -e;
    SetInteger(bits >= 64 ? 0 : m >> bits);
    m_fraction.Set(bits >= 64 ? m : m & ((uint64_t{1} << bits) - 1));
    m_fractionBits = bits;
  }

  int IntegerDigits() const { return m_intCount; }

  char Next() {
    if (m_intAt < m_intCount) return m_int[m_intAt++];
    if (m_chunkAt == m_chunkCount) Refill();
    return m_chunk[m_chunkAt++];
  }

  // Whether every digit after those taken is zero.
  bool RestIsZero() const {
    for (int i = m_intAt; i < m_intCount; ++i) {
      if (m_int[i] != '0') return false;
    }
    for (int i = m_chunkAt; i < m_chunkCount; ++i) {
      if (m_chunk[i] != '0') return false;
    }
    return m_fraction.IsZero();
  }

 private:
  // An integer part below 2^53, as most are.
  void SetInteger(uint64_t whole) {
    char reversed[20];
    int count = 0;
    for (; whole != 0; whole /= 10) reversed[count++] = static_cast<char>('0' + whole % 10);
    for (int i = 0; i < count; ++i) m_int[i] = reversed[count - 1 - i];
    m_intCount = count;
  }

  void SetInteger(Big& whole) {
    // Nine digits at a time from the lowest, written from the end of the buffer backwards.
    char reversed[kIntMax];
    int count = 0;
    while (!whole.IsZero() && count + 9 <= kIntMax) {
      uint32_t part = whole.DivBillion();
      for (int i = 0; i < 9; ++i, part /= 10) reversed[count++] = static_cast<char>('0' + part % 10);
    }
    while (count > 0 && reversed[count - 1] == '0') --count;
    for (int i = 0; i < count; ++i) m_int[i] = reversed[count - 1 - i];
    m_intCount = count;
  }

  void Refill() {
    m_chunkAt = 0;
    m_chunkCount = 9;
    if (m_fraction.IsZero()) {
      std::memset(m_chunk, '0', sizeof m_chunk);
      return;
    }
    // k digits: F x 5^k / 2^(B - k) = F x 10^k / 2^B; the part above the new B is below 10^k.
    const int k = m_fractionBits < 9 ? m_fractionBits : 9;
    uint32_t five = 1;
    for (int i = 0; i < k; ++i) five *= 5;
    m_fraction.MulSmall(k == 9 ? kFivePow9 : five);
    m_fractionBits -= k;
    uint32_t part = m_fraction.TakeAbove(m_fractionBits);
    for (int i = k - 1; i >= 0; --i, part /= 10) m_chunk[i] = static_cast<char>('0' + part % 10);
    for (int i = k; i < 9; ++i) m_chunk[i] = '0';  // past the last decimal
  }

  static constexpr int kIntMax = 315;  // 309 digits, in whole chunks of nine
  char m_int[kIntMax];
  int m_intCount = 0;
  int m_intAt = 0;
  Big m_fraction;  // the fraction is m_fraction / 2^m_fractionBits
  int m_fractionBits = 0;
  char m_chunk[9];
  int m_chunkCount = 0;
  int m_chunkAt = 0;
};

// Rounds the digits text[0..length) (a '.' among them is passed over) given the first dropped
// digit and whether any later dropped digit is not zero: to nearest, ties to even. Returns true
// when the carry ran out of the first digit (the digits are then all '0' and a '1' belongs in
// front of them).
bool RoundUpIfNeeded(char* text, int length, char next, bool restNonZero) {
  int last = length - 1;
  while (last >= 0 && text[last] == '.') --last;
  const bool lastOdd = last >= 0 && ((text[last] - '0') & 1) != 0;
  if (next < '5' || (next == '5' && !restNonZero && !lastOdd)) return false;
  for (int i = length - 1; i >= 0; --i) {
    if (text[i] == '.') continue;
    if (text[i] != '9') {
      ++text[i];
      return false;
    }
    text[i] = '0';
  }
  return true;
}

}  // namespace

void SignificantDigits(double magnitude, int count, DecimalDigits* out) {
  if (count < 1) count = 1;
  if (count > kFloatDigitsMax) count = kFloatDigitsMax;
  const Binary b = Decompose(magnitude);
  out->count = count;
  out->exponent = 0;
  if (b.m == 0) {
    std::memset(out->digit, '0', static_cast<size_t>(count));
    return;
  }

  DigitStream digits(b.m, b.e);
  char first;
  if (digits.IntegerDigits() > 0) {
    out->exponent = digits.IntegerDigits() - 1;
    first = digits.Next();
  } else {
    int zeros = 0;
    while ((first = digits.Next()) == '0') ++zeros;  // ends: the value is not zero
    out->exponent = -zeros - 1;
  }
  out->digit[0] = first;
  for (int i = 1; i < count; ++i) out->digit[i] = digits.Next();
  const char next = digits.Next();
  if (RoundUpIfNeeded(out->digit, count, next, !digits.RestIsZero())) {
    out->digit[0] = '1';  // 99.9 -> 10.0: the same count of digits, one place higher
    ++out->exponent;
  }
}

int FixedDigits(double magnitude, int decimals, char* out) {
  if (decimals < 0) decimals = 0;
  if (decimals > kFixedDecimalsMax) decimals = kFixedDecimalsMax;
  const Binary b = Decompose(magnitude);
  DigitStream digits(b.m, b.e);

  // One place in front for a carry out of the first digit.
  char text[1 + kFixedTextMax];
  int length = 1;
  if (digits.IntegerDigits() == 0) {
    text[length++] = '0';
  } else {
    for (int i = 0; i < digits.IntegerDigits(); ++i) text[length++] = digits.Next();
  }
  if (decimals > 0) {
    text[length++] = '.';
    for (int i = 0; i < decimals; ++i) text[length++] = digits.Next();
  }
  const char next = digits.Next();
  int from = 1;
  if (RoundUpIfNeeded(text + 1, length - 1, next, !digits.RestIsZero())) {
    text[0] = '1';
    from = 0;
  }
  // "1" + a carry's "000.000" has one integer digit more than the text had: it still fits, as a
  // carry out of 309 integer digits would need a value above DBL_MAX.
  int written = length - from;
  if (written > kFixedTextMax) written = kFixedTextMax;
  std::memcpy(out, text + from, static_cast<size_t>(written));
  return written;
}

void ShortestDigits(double magnitude, DecimalDigits* out) {
  const Binary b = Decompose(magnitude);
  out->exponent = 0;
  if (b.m == 0) {
    out->digit[0] = '0';
    out->count = 1;
    return;
  }

  // value = r / s; the midpoints with the neighbours lie mMinus / s below and mPlus / s above.
  // Everything is doubled (quadrupled at a power of two) so that the midpoints are integers.
  // Apart from that case the two distances are the same number, kept once.
  Big r, s, mPlus, mMinusOwn;
  Big& mMinus = b.lowerGapHalf ? mMinusOwn : mPlus;
  const int extra = b.lowerGapHalf ? 2 : 1;
  r.Set(b.m);
  r.ShiftLeft(extra);
  mPlus.Set(b.lowerGapHalf ? 2 : 1);
  mMinusOwn.Set(1);
  s.Set(1);
  if (b.e >= 0) {
    r.ShiftLeft(b.e);
    mPlus.ShiftLeft(b.e);
    mMinusOwn.ShiftLeft(b.e);
    s.ShiftLeft(extra);
  } else {
    s.ShiftLeft(extra - b.e);
  }

  // k: 10^(k-1) <= high end < 10^k. Start from floor(top x log10(2)) - 1, which is below k
  // (78913 / 2^18 is log10(2) within 2^-20, so the floor is off by one at most), and raise it.
  int bitLength = 0;
  for (uint64_t m = b.m; m != 0; m >>= 1) ++bitLength;
  const int top = b.e + bitLength - 1;  // 2^top <= value < 2^(top + 1)
  int k = (top >= 0 ? (top * 78913) >> 18 : -((-top * 78913 + (1 << 18) - 1) >> 18)) - 1;
  if (k >= 0) {
    s.MulPow10(k);
  } else {
    r.MulPow10(-k);
    mPlus.MulPow10(-k);
    if (b.lowerGapHalf) mMinusOwn.MulPow10(-k);
  }
  const bool even = (b.m & 1) == 0;  // the edges themselves read back as this value
  auto highReaches = [&](const Big& rr) {
    const int c = CompareSum(rr, mPlus, s);
    return even ? c >= 0 : c > 0;
  };
  while (highReaches(r)) {  // three steps at most
    s.MulSmall(10);
    ++k;
  }
  out->exponent = k - 1;

  // The same shift for all: the top word of s at least 2^27, so NextDigit's estimate holds.
  int shift = 0;
  for (uint32_t topWord = s.w[s.n - 1]; topWord < (uint32_t{1} << 27); topWord <<= 1) ++shift;
  r.ShiftLeft(shift);
  s.ShiftLeft(shift);
  mPlus.ShiftLeft(shift);
  if (b.lowerGapHalf) mMinusOwn.ShiftLeft(shift);

  int count = 0;
  for (;;) {
    r.MulSmall(10);
    mPlus.MulSmall(10);
    if (b.lowerGapHalf) mMinusOwn.MulSmall(10);
    int digit = NextDigit(r, s);
    const int low = Compare(r, mMinus);
    const bool lowOk = even ? low <= 0 : low < 0;  // the digits so far read back
    const bool highOk = highReaches(r);             // the digits with the last one raised do
    if (!lowOk && !highOk && count < kFloatDigitsMax - 1) {
      out->digit[count++] = static_cast<char>('0' + digit);
      continue;
    }
    if (highOk && !lowOk) {
      ++digit;
    } else if (highOk && lowOk) {
      // Both read back: the nearer, ties to even. r / s is what the lower one leaves over.
      Big twice = r;
      twice.ShiftLeft(1);
      const int c = Compare(twice, s);
      if (c > 0 || (c == 0 && (digit & 1) != 0)) ++digit;
    }
    out->digit[count++] = static_cast<char>('0' + digit);
    break;
  }
  out->count = count;
}
