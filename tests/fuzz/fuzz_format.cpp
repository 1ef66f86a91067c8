// The formatting engine on fuzzed formats. The harness parses each format with the engine's own
// parser and builds exactly the arguments its conversions take, always valid ones (texts long
// enough for any precision it allows), so every finding is the engine's.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "strings/format_args.h"
#include "strings/format_spec.h"
#include "strings/gstring.h"

namespace {

constexpr int kMaxField = 4096;  // widths and precisions beyond this only test the allocator

class Stream {
 public:
  Stream(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  uint32_t Word() { return Byte() | Byte() << 8 | Byte() << 16 | static_cast<uint32_t>(Byte()) << 24; }
  uint64_t Quad() { return Word() | static_cast<uint64_t>(Word()) << 32; }
  int Field() { return static_cast<int>(Word() % (2 * kMaxField + 1)) - kMaxField; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

// Arguments that stay valid for any conversion the harness allows.
struct Pool {
  WChar wide[kMaxField + 1];
  char narrow[2 * kMaxField + 2];  // any bytes, then enough whole characters for any precision
  unsigned char bytes[kMaxField];
  unsigned char record[4 + 2 * 64];
  GString wideString;
  GString narrowString;
  int count = 0;

  explicit Pool(Stream& s) {
    for (int i = 0; i < kMaxField; ++i) wide[i] = static_cast<WChar>(s.Byte() | (s.Byte() & 1) << 8);
    wide[kMaxField] = 0;
    for (int i = 0; i < kMaxField; ++i) narrow[i] = static_cast<char>(s.Byte());
    for (int i = kMaxField; i < 2 * kMaxField + 1; ++i) narrow[i] = 'a';
    narrow[2 * kMaxField + 1] = 0;
    for (int i = 0; i < kMaxField; ++i) bytes[i] = s.Byte();
    const uint8_t kind = s.Byte();
    const uint32_t length = kind % 64;
    const uint32_t word = length | ((kind & 0x80) ? 0x80000000u : 0);
    memcpy(record, &word, 4);
    for (size_t i = 4; i < sizeof record; ++i) record[i] = s.Byte();
    wideString.AssignWide(wide, s.Byte());
    narrowString.AssignNarrow(narrow, s.Byte(), 0);
  }
};

FormatArg Int(int32_t v) {
  FormatArg a;
  a.kind = FormatArg::kInt;
  a.i = v;
  return a;
}
FormatArg Int64(int64_t v) {
  FormatArg a;
  a.kind = FormatArg::kInt64;
  a.ll = v;
  return a;
}
FormatArg Double(double v) {
  FormatArg a;
  a.kind = FormatArg::kDouble;
  a.d = v;
  return a;
}
FormatArg Pointer(const void* p) {
  FormatArg a;
  a.kind = FormatArg::kPointer;
  a.p = p;
  return a;
}

// The arguments one conversion takes, or false when the harness does not allow it.
bool AddArguments(const ConversionSpec& s, Stream& in, Pool& pool, std::vector<FormatArg>& args) {
  if (!s.widthFromArg && s.width > kMaxField) return false;
  if (!s.precisionFromArg && s.precision > kMaxField) return false;
  if (s.widthFromArg) args.push_back(Int(in.Field()));
  if (s.precisionFromArg) args.push_back(Int(in.Field()));
  const bool null = in.Byte() % 8 == 0;
  const bool is64 = s.size == kSize64;
  const bool narrow = s.size == kSizeNarrow;
  switch (s.letter) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'y': case 'I': case 'U':
      args.push_back(is64 ? Int64(static_cast<int64_t>(in.Quad())) : Int(static_cast<int32_t>(in.Word())));
      break;
    case 'c': case 'C': case 'T': case 't': case 'Y':
      args.push_back(Int(static_cast<int32_t>(in.Word())));
      break;
    case 'p': case 'P':
      args.push_back(Pointer(null ? nullptr : &pool));
      break;
    case 's': case 'S':
      args.push_back(Pointer(null ? nullptr : narrow ? static_cast<const void*>(pool.narrow) : pool.wide));
      break;
    case 'z': case 'Z': {
      const void* g = (in.Byte() & 1) ? &pool.wideString : &pool.narrowString;
      args.push_back(Pointer(null ? nullptr : narrow ? static_cast<const void*>(pool.record) : g));
      break;
    }
    case 'b': case 'B': case 'w': case 'W':
      args.push_back(Pointer(null ? nullptr : pool.bytes));
      break;
    case 'n':
      args.push_back(Pointer(null ? nullptr : &pool.count));
      break;
    case 'f': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
      const uint64_t bits = in.Quad();
      double d;
      memcpy(&d, &bits, sizeof d);
      args.push_back(Double(d));
      break;
    }
    case 'F': {
      const uint64_t bits = in.Quad();
      double d;
      memcpy(&d, &bits, sizeof d);
      args.push_back(narrow ? Int(static_cast<int32_t>(bits)) : is64 ? Int64(static_cast<int64_t>(bits)) : Double(d));
      break;
    }
    default:
      break;  // "%%", "N" and letters without a conversion take nothing
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The format is the bytes up to the first zero (at most 256), bytes from 0xF0 up standing for
  // units outside Latin-1; what follows feeds the argument values.
  size_t formatLength = 0;
  while (formatLength < size && formatLength < 256 && data[formatLength] != 0) ++formatLength;
  std::vector<WChar> format(formatLength + 1, 0);
  for (size_t i = 0; i < formatLength; ++i)
    format[i] = static_cast<WChar>(data[i] >= 0xF0 ? 0x2000 + data[i] : data[i]);
  const size_t skip = formatLength < size ? formatLength + 1 : size;
  Stream in(data + skip, size - skip);
  Pool pool(in);

  std::vector<FormatArg> args;
  for (const WChar* p = format.data(); *p;) {
    if (*p++ != '%') continue;
    ConversionSpec conv;
    p = ParseConversion(p, &conv);
    if (!conv.letter) break;
    if (!AddArguments(conv, in, pool, args)) return 0;
  }

  GString out;
  if (in.Byte() & 1) out.AssignWide(reinterpret_cast<const WChar*>(u"prefix:"), -1);
  else out.AssignWide(nullptr, 0);
  FormatArgs source(args.data(), static_cast<int>(args.size()));
  const int ok = AppendFormatArgs(out, format.data(), source);
  // The engine takes exactly what the conversions it got through need.
  if (source.Mismatched()) abort();
  if (ok && source.Taken() != static_cast<int>(args.size())) abort();
  if (ok && out.Length() > 0 && out.WideAt(0)[out.Length()] != 0) abort();
  return 0;
}
