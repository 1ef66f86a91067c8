#include "strings/upper_case.h"

#include <array>
#include <cstdint>

namespace {

// A run of code points whose upper case lies at the same distance: first, first + step, ...,
// last. Kept as runs rather than pairs so the data can be checked against the character charts
// by eye; the pair array the lookup uses is built from it at compile time.
struct CaseRun {
  uint16_t first;
  uint16_t last;
  uint16_t step;       // 2 where lower and upper case alternate
  int32_t difference;  // upper case = code point + difference
};

// Some of these are also covered by the range rules in UpperCaseOf (e.g. U+1EF1..U+1EFF) with
// the same result; they stay so that the table alone is complete for its ranges.
constexpr CaseRun kRuns[] = {
    // Latin
    {0x00F8, 0x00FE, 1, -32}, {0x00FF, 0x00FF, 1, +121}, {0x0131, 0x0131, 1, -232},
    {0x0133, 0x0137, 2, -1}, {0x013A, 0x0148, 2, -1}, {0x017A, 0x017E, 2, -1},
    {0x017F, 0x017F, 1, -300}, {0x0180, 0x0180, 1, +195}, {0x0183, 0x0185, 2, -1},
    {0x0188, 0x0188, 1, -1}, {0x018C, 0x018C, 1, -1}, {0x0192, 0x0192, 1, -1},
    {0x0195, 0x0195, 1, +97}, {0x0199, 0x0199, 1, -1}, {0x019A, 0x019A, 1, +163},
    {0x019E, 0x019E, 1, +130}, {0x01A1, 0x01A5, 2, -1}, {0x01A8, 0x01A8, 1, -1},
    {0x01AD, 0x01AD, 1, -1}, {0x01B0, 0x01B0, 1, -1}, {0x01B4, 0x01B6, 2, -1},
    {0x01B9, 0x01B9, 1, -1}, {0x01BD, 0x01BD, 1, -1}, {0x01BF, 0x01BF, 1, +56},
    {0x01C5, 0x01C5, 1, -1}, {0x01C6, 0x01C6, 1, -2}, {0x01C8, 0x01C8, 1, -1},
    {0x01C9, 0x01C9, 1, -2}, {0x01CB, 0x01CB, 1, -1}, {0x01CC, 0x01CC, 1, -2},
    {0x01CE, 0x01DC, 2, -1}, {0x01DD, 0x01DD, 1, -79}, {0x01DF, 0x01EF, 2, -1},
    {0x01F2, 0x01F2, 1, -1}, {0x01F3, 0x01F3, 1, -2}, {0x01F5, 0x01F5, 1, -1},
    {0x0223, 0x0233, 2, -1}, {0x023C, 0x023C, 1, -1}, {0x023F, 0x0240, 1, +10815},
    {0x0242, 0x0242, 1, -1}, {0x0247, 0x024F, 2, -1},
    // IPA letters
    {0x0250, 0x0250, 1, +10783}, {0x0251, 0x0251, 1, +10780}, {0x0252, 0x0252, 1, +10782},
    {0x0253, 0x0253, 1, -210}, {0x0254, 0x0254, 1, -206}, {0x0256, 0x0257, 1, -205},
    {0x0259, 0x0259, 1, -202}, {0x025B, 0x025B, 1, -203}, {0x0260, 0x0260, 1, -205},
    {0x0263, 0x0263, 1, -207}, {0x0268, 0x0268, 1, -209}, {0x0269, 0x0269, 1, -211},
    {0x026B, 0x026B, 1, +10743}, {0x026F, 0x026F, 1, -211}, {0x0271, 0x0271, 1, +10749},
    {0x0272, 0x0272, 1, -213}, {0x0275, 0x0275, 1, -214}, {0x027D, 0x027D, 1, +10727},
    {0x0280, 0x0280, 1, -218}, {0x0283, 0x0283, 1, -218}, {0x0288, 0x0288, 1, -218},
    {0x0289, 0x0289, 1, -69}, {0x028A, 0x028B, 1, -217}, {0x028C, 0x028C, 1, -71},
    {0x0292, 0x0292, 1, -219},
    // Greek (and the combining iota subscript)
    {0x0345, 0x0345, 1, +84}, {0x0371, 0x0373, 2, -1}, {0x0377, 0x0377, 1, -1},
    {0x037B, 0x037D, 1, +130}, {0x03AC, 0x03AC, 1, -38}, {0x03AD, 0x03AF, 1, -37},
    {0x03B1, 0x03C1, 1, -32}, {0x03C2, 0x03C2, 1, -31}, {0x03C3, 0x03CB, 1, -32},
    {0x03CC, 0x03CC, 1, -64}, {0x03CD, 0x03CE, 1, -63}, {0x03D1, 0x03D1, 1, -57},
    {0x03D7, 0x03D7, 1, -8}, {0x03D9, 0x03EF, 2, -1}, {0x03F2, 0x03F2, 1, +7},
    {0x03F5, 0x03F5, 1, -96}, {0x03F8, 0x03F8, 1, -1}, {0x03FB, 0x03FB, 1, -1},
    // Cyrillic
    {0x0450, 0x045F, 1, -80}, {0x0461, 0x0481, 2, -1}, {0x04C2, 0x04CE, 2, -1},
    {0x04CF, 0x04CF, 1, -15},
    // phonetic extensions
    {0x1D79, 0x1D79, 1, +35332}, {0x1D7D, 0x1D7D, 1, +3814},
    // Latin extended additional
    {0x1E9B, 0x1E9B, 1, -59}, {0x1EF1, 0x1EFF, 2, -1},
    // Greek extended
    {0x1F00, 0x1F07, 1, +8}, {0x1F10, 0x1F15, 1, +8}, {0x1F20, 0x1F27, 1, +8},
    {0x1F30, 0x1F37, 1, +8}, {0x1F40, 0x1F45, 1, +8}, {0x1F51, 0x1F57, 2, +8},
    {0x1F60, 0x1F67, 1, +8}, {0x1F70, 0x1F71, 1, +74}, {0x1F72, 0x1F75, 1, +86},
    {0x1F76, 0x1F77, 1, +100}, {0x1F78, 0x1F79, 1, +128}, {0x1F7A, 0x1F7B, 1, +112},
    {0x1F7C, 0x1F7D, 1, +126}, {0x1F80, 0x1F87, 1, +8}, {0x1F90, 0x1F97, 1, +8},
    {0x1FA0, 0x1FA7, 1, +8}, {0x1FB0, 0x1FB1, 1, +8}, {0x1FB3, 0x1FB3, 1, +9},
    {0x1FBE, 0x1FBE, 1, -7205}, {0x1FC3, 0x1FC3, 1, +9}, {0x1FD0, 0x1FD1, 1, +8},
    {0x1FE0, 0x1FE1, 1, +8}, {0x1FE5, 0x1FE5, 1, +7}, {0x1FF3, 0x1FF3, 1, +9},
    // letterlike symbols and number forms
    {0x214E, 0x214E, 1, -28}, {0x2170, 0x217F, 1, -16}, {0x2184, 0x2184, 1, -1},
    // Latin extended C
    {0x2C61, 0x2C61, 1, -1}, {0x2C65, 0x2C65, 1, -10795}, {0x2C66, 0x2C66, 1, -10792},
    {0x2C68, 0x2C6C, 2, -1}, {0x2C73, 0x2C73, 1, -1}, {0x2C76, 0x2C76, 1, -1},
    // Coptic
    {0x2CEC, 0x2CEE, 2, -1},
    // Cyrillic extended B
    {0xA641, 0xA65F, 2, -1}, {0xA663, 0xA66D, 2, -1}, {0xA681, 0xA697, 2, -1},
    // Latin extended D
    {0xA723, 0xA72F, 2, -1}, {0xA77A, 0xA77C, 2, -1}, {0xA77F, 0xA787, 2, -1},
    {0xA78C, 0xA78C, 1, -1},
};

struct CasePair {
  uint16_t code;
  uint16_t upper;
};

constexpr int CountPairs() {
  int count = 0;
  for (const CaseRun& run : kRuns) count += (run.last - run.first) / run.step + 1;
  return count;
}

constexpr bool RunsWellFormed() {
  for (const CaseRun& run : kRuns) {
    if (run.step != 1 && run.step != 2) return false;
    if (run.first > run.last || (run.last - run.first) % run.step != 0) return false;
    // The distance is constant within a run, so checking both ends covers every pair.
    if (run.first + run.difference < 0 || run.last + run.difference > 0xFFFF) return false;
    if (run.difference == 0) return false;
  }
  return true;
}

constexpr int kPairCount = CountPairs();
static_assert(RunsWellFormed(), "a case run has a bad step, bounds or distance");
static_assert(kPairCount == 402, "the case runs no longer expand to 402 pairs");

constexpr std::array<CasePair, kPairCount> ExpandRuns() {
  std::array<CasePair, kPairCount> pairs{};
  int n = 0;
  for (const CaseRun& run : kRuns) {
    for (int code = run.first; code <= run.last; code += run.step) {
      pairs[n].code = static_cast<uint16_t>(code);
      pairs[n].upper = static_cast<uint16_t>(code + run.difference);
      ++n;
    }
  }
  return pairs;
}

constexpr std::array<CasePair, kPairCount> kPairs = ExpandRuns();

constexpr bool StrictlyAscending() {
  for (int i = 1; i < kPairCount; ++i) {
    if (kPairs[i - 1].code >= kPairs[i].code) return false;
  }
  return true;
}
static_assert(StrictlyAscending(), "the case runs must be listed in ascending order");

// Blocks where lower and upper case alternate, the lower case at the odd code point.
struct Range {
  uint16_t first;
  uint16_t last;
};
constexpr Range kOddLowerRanges[] = {
    {0x0101, 0x012F}, {0x014B, 0x0177}, {0x01F9, 0x021F}, {0x048B, 0x04BF}, {0x04D1, 0x0525},
    {0x1E01, 0x1E95}, {0x1EA1, 0x1EFF}, {0x2C81, 0x2CE3}, {0xA733, 0xA76F},
};

// Stretches the table has no entries in (their case pairs, if any, are handled above or left
// alone), so they skip the search.
constexpr Range kNoLowerRanges[] = {
    {0x04D0, 0x1D78}, {0x2185, 0x2C60}, {0x2CEF, 0xA640}, {0xA78D, 0xFFFF},
};

constexpr bool InRange(unsigned c, unsigned first, unsigned last) {
  return c >= first && c <= last;
}

unsigned LookUp(unsigned c) {
  int low = 0;
  int high = kPairCount - 1;
  while (low <= high) {
    const int mid = low + (high - low) / 2;
    const unsigned code = kPairs[mid].code;
    if (code == c) return kPairs[mid].upper;
    if (code < c) {
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  return c;
}

unsigned UpperCaseOfValue(unsigned c) {
  // ASCII and Latin-1 first: nearly all names and paths never get past these.
  if (c < 0x61) return c;
  if (c <= 0x7A) return c - 0x20;
  if (c < 0xE0) return c;  // U+00B5 and U+00DF stay: their upper cases are not Latin-1
  if (InRange(c, 0xE0, 0xF6) || InRange(c, 0x430, 0x44F) || InRange(c, 0xFF41, 0xFF5A)) {
    return c - 0x20;
  }
  for (const Range& range : kOddLowerRanges) {
    if ((c & 1) != 0 && InRange(c, range.first, range.last)) return c - 1;
  }
  if (InRange(c, 0x561, 0x586) || InRange(c, 0x2C30, 0x2C5E)) return c - 0x30;
  if (InRange(c, 0x24D0, 0x24E9)) return c - 0x1A;  // circled letters
  if (InRange(c, 0x2D00, 0x2D25)) return c - 0x1C60;
  for (const Range& range : kNoLowerRanges) {
    if (InRange(c, range.first, range.last)) return c;
  }
  return LookUp(c);
}

}  // namespace

WChar UpperCaseOf(WChar c) {
  return static_cast<WChar>(UpperCaseOfValue(static_cast<uint16_t>(c)));
}
