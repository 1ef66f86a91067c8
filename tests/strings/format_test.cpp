#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "strings/format_args.h"
#include "strings/gstring.h"
#include "strings/measure.h"
#include "tests/strings/text_helpers.h"

namespace {

// Formats into a fresh wide string and returns the text as UTF-8; the call must succeed.
std::string F(const WChar* format, ...) {
  GString s;
  va_list args;
  va_start(args, format);
  s.AssignWide(U16(""), 0);
  const int ok = s.AppendFormat(format, args);
  va_end(args);
  EXPECT_EQ(ok, 1);
  return Utf8Of(s);
}

TEST(FormatText, PlainRunsAndPercent) {
  EXPECT_EQ(F(U16("plain")), "plain");
  EXPECT_EQ(F(U16("100%%")), "100%");
  EXPECT_EQ(F(U16("end%")), "end");     // a trailing % is dropped
  EXPECT_EQ(F(U16("end%-5")), "end");   // so is a conversion cut off by the end
  EXPECT_EQ(F(U16("%q")), "q");         // a letter without a conversion is text
  EXPECT_EQ(F(U16("%5%")), "%");
  EXPECT_EQ(F(U16("a%Nb")), "a\r\nb");
  EXPECT_EQ(F(U16("%hhd"), 1), "hd");   // only one modifier: the second h is the letter
}

TEST(FormatInteger, SignedDecimal) {
  EXPECT_EQ(F(U16("%d"), -5), "-5");
  EXPECT_EQ(F(U16("%i"), 42), "42");
  EXPECT_EQ(F(U16("%05d"), -5), "-0005");
  EXPECT_EQ(F(U16("%-5d|"), -5), "-5   |");
  EXPECT_EQ(F(U16("%-05d|"), 7), "7    |");  // "-" wins over "0"
  EXPECT_EQ(F(U16("%+d %+d"), 5, -5), "+5 -5");
  EXPECT_EQ(F(U16("% d"), 5), " 5");
  EXPECT_EQ(F(U16("%+ d"), 5), "+5");
  EXPECT_EQ(F(U16("%d"), INT32_MIN), "-2147483648");
  EXPECT_EQ(F(U16("%Ld"), static_cast<long long>(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(F(U16("%lld"), 1234567890123LL), "1234567890123");
  EXPECT_EQ(F(U16("%ld"), -3), "-3");  // "l" has no effect
}

TEST(FormatInteger, Precision) {
  EXPECT_EQ(F(U16("%.0d"), 0), "0");  // precision 0 means 1
  EXPECT_EQ(F(U16("%.3d"), 5), "005");
  EXPECT_EQ(F(U16("%.3d"), -5), "-005");
  EXPECT_EQ(F(U16("%.2d"), -15), "-15");
  EXPECT_EQ(F(U16("%#.5o"), 8), "00010");  // the zeros already say octal
  EXPECT_EQ(F(U16("%#o"), 8), "010");
  EXPECT_EQ(F(U16("%#.4x"), 255), "0x00ff");
  EXPECT_EQ(F(U16("%.*d"), -4, 7), "7");  // a negative precision becomes 1
  EXPECT_EQ(F(U16("%.9999d"), 1).size(), 308u);  // capped
}

TEST(FormatInteger, UnsignedBases) {
  EXPECT_EQ(F(U16("%+u"), 5), "5");  // unsigned conversions never get a sign
  EXPECT_EQ(F(U16("%u"), -1), "4294967295");
  EXPECT_EQ(F(U16("%Lu"), -1LL), "18446744073709551615");
  EXPECT_EQ(F(U16("%x %X"), 0xBEEF, 0xBEEF), "beef BEEF");
  EXPECT_EQ(F(U16("%#x"), 255), "0xff");
  EXPECT_EQ(F(U16("%#X"), 255), "0xFF");
  EXPECT_EQ(F(U16("%#06x"), 255), "0x00ff");
  EXPECT_EQ(F(U16("%o"), 8), "10");
  EXPECT_EQ(F(U16("%y"), 5), "101");
  EXPECT_EQ(F(U16("%#y"), 5), "0y101");
  EXPECT_EQ(F(U16("%#x"), 0), "0x0");
  EXPECT_EQ(F(U16("%Lx"), 0x123456789ABCDEF0LL), "123456789abcdef0");
}

TEST(FormatInteger, Grouping) {
  EXPECT_EQ(F(U16("%`d"), 1234567), "1 234 567");
  EXPECT_EQ(F(U16("%`d"), -123), "-123");
  EXPECT_EQ(F(U16("%`x"), 74565), "1 2345");
  EXPECT_EQ(F(U16("%`y"), 0xFF), "1111 1111");
  EXPECT_EQ(F(U16("%`o"), 01234), "1 234");
  EXPECT_EQ(F(U16("%`.6d"), 5), "000 005");  // separators counted again for the zeros
  EXPECT_EQ(F(U16("%`#x"), 0x12345), "0x1 2345");
}

TEST(FormatInteger, Width) {
  EXPECT_EQ(F(U16("%6x|"), 255), "    ff|");
  EXPECT_EQ(F(U16("%*d|"), 4, 1), "   1|");
  EXPECT_EQ(F(U16("%*d|"), -4, 1), "1   |");  // a negative * width left-justifies
  // At most ten width digits are read: the eleventh is taken as the letter, which is text.
  EXPECT_EQ(F(U16("%012345678901d"), 1), "1d");
}

#if !defined(_WIN32)
// Where the rules match C's (no precision, no "#"), glibc is an independent reference. (The
// Windows C runtime is not one: it signs unsigned conversions.)
TEST(FormatInteger, AgreesWithCWithoutPrecision) {
  std::mt19937 random(7);
  const char* flags[] = {"", "-", "0", "+", " ", "+0", "- "};
  const char letters[] = {'d', 'u', 'x', 'X', 'o'};
  for (int i = 0; i < 2000; ++i) {
    const int value = static_cast<int>(random()) >> (random() % 32);
    const char* flag = flags[random() % 7];
    const char letter = letters[random() % 5];
    const int width = static_cast<int>(random() % 14);
    char cFormat[32];
    snprintf(cFormat, sizeof cFormat, "%%%s%d%c", flag, width, letter);
    char expected[64];
    snprintf(expected, sizeof expected, cFormat, value);
    std::u16string wideFormat(cFormat, cFormat + strlen(cFormat));
    wideFormat.push_back(0);
    std::basic_string<WChar> format(wideFormat.begin(), wideFormat.end());
    SCOPED_TRACE(cFormat);
    ASSERT_EQ(F(format.c_str(), value), expected);
  }
}
#endif

TEST(FormatPointer, ThirtyTwoBitHex) {
  EXPECT_EQ(F(U16("%p"), reinterpret_cast<void*>(4660)), "00001234");
  EXPECT_EQ(F(U16("%P"), reinterpret_cast<void*>(0xabcdef)), "00ABCDEF");
  EXPECT_EQ(F(U16("%#p"), reinterpret_cast<void*>(0x10)), "0x00000010");
  EXPECT_EQ(F(U16("%p|"), nullptr), "  {null}|");
  EXPECT_EQ(F(U16("%#p|"), nullptr), "    {null}|");
  EXPECT_EQ(F(U16("%-12p|"), nullptr), "  {null}    |");
  EXPECT_EQ(F(U16("%+p"), reinterpret_cast<void*>(1)), "00000001");
}

#if defined(_WIN32)
// On the program's own target every address fits the 8 digits.
TEST(FormatPointer, RealAddressesOnWindows) {
  int local = 0;
  char expected[16];
  snprintf(expected, sizeof expected, "%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(&local)));
  EXPECT_EQ(F(U16("%P"), &local), expected);
}
#endif

TEST(FormatCharacter, UnitsAndEscapes) {
  EXPECT_EQ(F(U16("%c%C"), 'a', 0xE9), "a\xC3\xA9");
  EXPECT_EQ(F(U16("%3c|%-3c|%03c"), 'x', 'y', 'z'), "  x|y  |00z");
  EXPECT_EQ(F(U16("%#c"), 9), "{09}");
  EXPECT_EQ(F(U16("%#c"), 0xE9), "\xC3\xA9");  // "#" escapes control characters only
  EXPECT_EQ(F(U16("%$c%$C"), 0xE9, 0x7F), "{e9}{7F}");
  EXPECT_EQ(F(U16("%$c"), 0x20AC), "{ac}");  // the low 8 bits
  EXPECT_EQ(F(U16("%hc"), 'q'), "q");

  GString s;
  s.AssignWide(U16(""), 0);
  EXPECT_EQ(Format(s, U16("a%hcb"), 0xC3), 0);  // half a UTF-8 character
}

TEST(FormatString, WideText) {
  const WChar* hello = U16("hello");
  EXPECT_EQ(F(U16("%s"), hello), "hello");
  EXPECT_EQ(F(U16("%8s|%-8s|"), hello, hello), "   hello|hello   |");
  EXPECT_EQ(F(U16("%08s"), hello), "000hello");  // zeros go in front of text
  EXPECT_EQ(F(U16("%.2s"), hello), "he");
  EXPECT_EQ(F(U16("%s|"), static_cast<const WChar*>(nullptr)), "{null}|");
  EXPECT_EQ(F(U16("%8s|"), static_cast<const WChar*>(nullptr)), "  {null}|");
  EXPECT_EQ(F(U16("%#s"), U16("a\tb")), "a{09}b");
  EXPECT_EQ(F(U16("%$S"), U16("\u00E9")), "{E9}");
  EXPECT_EQ(F(U16("%#s"), U16("\u00E9")), "\xC3\xA9");
  EXPECT_EQ(F(U16("%Ls|"), hello), "|");  // consumed, nothing written

  // A negative precision copies exactly that many units, across a zero unit.
  const WChar withZero[] = {'a', 0, 'b', 'c'};
  GString s;
  ASSERT_TRUE(Format(s, U16("%.*s"), -3, withZero));
  ASSERT_EQ(s.Length(), 3);
  EXPECT_EQ(s.WideAt(0)[1], 0);
  EXPECT_EQ(s.WideAt(0)[2], 'b');
  EXPECT_EQ(F(U16("%.*s"), 3, withZero).size(), 1u);  // a positive one stops at the zero
}

TEST(FormatString, NarrowText) {
  const char* text = "a\xC3\xA9" "bc";
  EXPECT_EQ(F(U16("%.3hs"), text), "a\xC3\xA9" "b");  // characters, not bytes
  EXPECT_EQ(F(U16("%hs"), text), "a\xC3\xA9" "bc");
  EXPECT_EQ(F(U16("%6hs|"), "\xC3\xA9"), "     \xC3\xA9|");  // width in characters
  EXPECT_EQ(F(U16("%$hs"), "\xC3\xA9"), "{c3}{a9}");  // bytes one by one
  EXPECT_EQ(F(U16("%$.1hs"), "\xC3\xA9"), "{c3}");
  EXPECT_EQ(F(U16("%#hs"), "\xC3\xA9\t\xC3\xA9"), "\xC3\xA9{09}\xC3\xA9");
  EXPECT_EQ(F(U16("%hs"), static_cast<const char*>(nullptr)), "{null}");

  GString s;
  EXPECT_EQ(Format(s, U16("ok %hs"), "\xF0\x9F\x98\x80"), 0);  // no 4-byte sequences
  EXPECT_EQ(Utf8Of(s), "ok ");
}

TEST(FormatString, GStringsAndRecords) {
  GString wide;
  wide.AssignWide(U16("wide"), -1);
  GString narrow;
  narrow.AssignNarrow("n\xC3\xA9rrow", -1, 0);
  EXPECT_EQ(F(U16("%z/%Z"), &wide, &narrow), "wide/n\xC3\xA9rrow");
  EXPECT_EQ(F(U16("%.2z"), &narrow), "n\xC3\xA9");
  EXPECT_EQ(F(U16("%z"), static_cast<GString*>(nullptr)), "{null}");

  // A GString with an embedded zero is cut there; a negative precision stops at its length.
  GString zero;
  zero.AssignWide(reinterpret_cast<const WChar*>(u"ab\0cd"), 5);
  EXPECT_EQ(F(U16("%z"), &zero), "ab");
  GString shortText;
  shortText.AssignWide(U16("ab"), -1);
  GString s;
  ASSERT_TRUE(Format(s, U16("%.*z"), -50, &shortText));
  EXPECT_EQ(s.Length(), 2);

  // Records: narrow and wide, read no further than their word says.
  const unsigned char narrowRecord[] = {2, 0, 0, 0x80, 'h', 'i', 'X', 'X'};
  const unsigned char wideRecord[] = {2, 0, 0, 0, 'o', 0, 'k', 0, 'X', 0};
  EXPECT_EQ(F(U16("%hz %hZ"), narrowRecord, wideRecord), "hi ok");

  // The target itself as the argument.
  GString again;
  again.AssignWide(U16("12"), -1);
  FormatArg arg;
  arg.kind = FormatArg::kPointer;
  arg.p = &again;
  FormatArgs args(&arg, 1);
  ASSERT_TRUE(AppendFormatArgs(again, U16("-%z"), args));
  EXPECT_EQ(Utf8Of(again), "12-12-");  // the text as it stood at the conversion
}

TEST(FormatDump, Bytes) {
  const unsigned char b[] = {1, 2, 3, 4, 5, 6, 0xAB};
  EXPECT_EQ(F(U16("%.4b"), b), "01020304");
  EXPECT_EQ(F(U16("%# .4b"), b), "{01} {02} {03} {04}");
  EXPECT_EQ(F(U16("%#.2b"), b), "{01}{02}");
  EXPECT_EQ(F(U16("% .3b"), b), "01 02 03");
  EXPECT_EQ(F(U16("%`.6B"), b), "01020304 0506");
  EXPECT_EQ(F(U16("%` .6b"), b), "01 02 03 04  05 06");
  EXPECT_EQ(F(U16("%`#.6b"), b), "{01020304}{0506}");
  EXPECT_EQ(F(U16("%`# .6b"), b), "{01 02 03 04} {05 06}");
  EXPECT_EQ(F(U16("%`#.4b"), b), "{01020304}");
  EXPECT_EQ(F(U16("%.1b%.1B"), b + 6, b + 6), "abAB");
  EXPECT_EQ(F(U16("%b|%d"), b, 7), "|7");  // no precision: pointer consumed, nothing written
  EXPECT_EQ(F(U16("%8.2b|"), b), "    0102|");
  EXPECT_EQ(F(U16("%.4b"), nullptr), "{null}");
}

TEST(FormatFloating, ThroughTheEngine) {
  EXPECT_EQ(F(U16("%f"), 1.5), "1.500000");
  EXPECT_EQ(F(U16("%.2f"), -2.5), "-2.50");
  EXPECT_EQ(F(U16("%09.2f"), -2.5), "-00002.50");
  EXPECT_EQ(F(U16("%-8.1f|"), 2.5), "2.5     |");
  EXPECT_EQ(F(U16("%08f"), std::numeric_limits<double>::quiet_NaN()), "00{ nan}");
  EXPECT_EQ(F(U16("%f"), std::numeric_limits<double>::infinity()), "{+inf}");
  EXPECT_EQ(F(U16("%010a"), 1.0), "0x00001p+0");
  EXPECT_EQ(F(U16("%#F"), 0.0000047), "4.70 \xC2\xB5");  // the micro sign is one unit
  EXPECT_EQ(F(U16("%hF %LF"), 2000, 3000000LL), "2.00e+03 3.00e+06");
  EXPECT_EQ(F(U16("%#U|%I"), 1536, -500), "1.5 Ki|-0.5b10");
  EXPECT_EQ(F(U16("%#LU"), 1LL << 40), "1.0 Ti");
  EXPECT_EQ(F(U16("%9999f"), 1.0).size(), 512u);  // floating widths are capped
}

TEST(FormatAddress, Ipv4AndGuid) {
  const unsigned char address[] = {0x01, 0x00, 0xA8, 0xC0};
  EXPECT_EQ(F(U16("%W"), address), "192.168.0.1");
  EXPECT_EQ(F(U16("%0w"), address), "192.168.000.001");
  EXPECT_EQ(F(U16("%14w|"), address), "   192.168.0.1|");
  EXPECT_EQ(F(U16("%016w|"), address), " 192.168.000.001|");  // addresses fill with spaces
  EXPECT_EQ(F(U16("%08w|"), nullptr), "  {null}|");

  const unsigned char guid[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                                  0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  EXPECT_EQ(F(U16("%hW"), guid), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(F(U16("%hw"), guid), "{12345678-9abc-def0-0123-456789abcdef}");
  EXPECT_EQ(F(U16("%040hW|"), guid).size(), 41u);
  EXPECT_EQ(F(U16("%040hW|"), guid).substr(0, 3), "  {");
}

TEST(FormatCount, StoresUnitsOfThisCall) {
  GString s;
  s.AssignWide(U16("before"), -1);
  int count = -1;
  int second = -1;
  FormatArg args[2];
  args[0].kind = FormatArg::kPointer;
  args[0].p = &count;
  args[1].kind = FormatArg::kPointer;
  args[1].p = &second;
  FormatArgs source(args, 2);
  ASSERT_TRUE(AppendFormatArgs(s, U16("abc%n\u00E9%n"), source));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(second, 4);
  EXPECT_EQ(F(U16("%n."), nullptr), ".");
}

TEST(FormatFailure, StopsAndKeepsWhatWasWritten) {
  GString s;
  EXPECT_EQ(Format(s, U16("a%Tb"), 1), 0);
  EXPECT_EQ(Utf8Of(s), "a");
  EXPECT_EQ(Format(s, U16("%t"), 1), 0);
  EXPECT_EQ(Format(s, U16("%Y"), 1), 0);
  EXPECT_EQ(Format(s, nullptr), 0);

  GString narrow;
  narrow.AssignNarrow("n", 1, 0);
  FormatArgs empty(static_cast<const FormatArg*>(nullptr), 0);
  EXPECT_EQ(AppendFormatArgs(narrow, U16("x"), empty), 0);
  EXPECT_EQ(Utf8Of(narrow), "n");

  // Widths no allocation can satisfy fail cleanly.
  EXPECT_EQ(Format(s, U16("%2147483647d"), 1), 0);
}

TEST(FormatArguments, EachConversionTakesWhatItNeeds) {
  // The list form reports a mismatch when the engine reads another kind than was given.
  struct Row {
    const WChar* format;
    std::vector<FormatArg::Kind> kinds;
  } rows[] = {
      {U16("%d%Lx%c%s%hs%z%hz%b%f%hF%LF%F%I%LU%w%hW%p%n%N%%%q"),
       {FormatArg::kInt, FormatArg::kInt64, FormatArg::kInt, FormatArg::kPointer, FormatArg::kPointer,
        FormatArg::kPointer, FormatArg::kPointer, FormatArg::kPointer, FormatArg::kDouble, FormatArg::kInt,
        FormatArg::kInt64, FormatArg::kDouble, FormatArg::kInt, FormatArg::kInt64, FormatArg::kPointer,
        FormatArg::kPointer, FormatArg::kPointer, FormatArg::kPointer}},
      {U16("%*.*d"), {FormatArg::kInt, FormatArg::kInt, FormatArg::kInt}},
      {U16("%*.*Lu"), {FormatArg::kInt, FormatArg::kInt, FormatArg::kInt64}},
  };
  const unsigned char bytes[16] = {};
  const unsigned char record[8] = {1, 0, 0, 0x80, 'r'};
  GString g;
  int count;
  for (const Row& r : rows) {
    SCOPED_TRACE(Utf8Of(r.format, MeasureWide(r.format)));
    std::vector<FormatArg> args(r.kinds.size());
    int pointers = 0;
    for (size_t i = 0; i < args.size(); ++i) {
      args[i].kind = r.kinds[i];
      args[i].ll = 0;
      if (r.kinds[i] == FormatArg::kPointer) {
        const void* choices[] = {U16("w"), "n", &g, record, bytes, bytes, bytes, bytes, &count};
        args[i].p = choices[pointers++ % 9];
      }
    }
    FormatArgs source(args.data(), static_cast<int>(args.size()));
    GString s;
    s.AssignWide(U16(""), 0);
    AppendFormatArgs(s, r.format, source);
    EXPECT_FALSE(source.Mismatched());
    EXPECT_EQ(source.Taken(), static_cast<int>(args.size()));
  }
}

}  // namespace
