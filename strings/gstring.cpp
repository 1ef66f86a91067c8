#include "strings/gstring.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "strings/measure.h"
#include "strings/utf8.h"

namespace {

const char kEmptyNarrow[1] = {0};
const WChar kEmptyWide[1] = {0};

// Block layout: a 4-byte header word (nothing reads it), then the text area.
constexpr int kHeaderSize = 4;
// Largest block we ever ask for, so that sizes stay within int after rounding to the granule.
constexpr int64_t kMaxBlockSize = INT_MAX - 4096;

}  // namespace

GString::GString() = default;

GString::GString(WChar unit, int count) {
  m_wide = 1;
  if (count > 0) AppendRepeated(unit, count);
}

GString::~GString() {
  free(m_block);
  delete m_temp;
  m_block = nullptr;
  m_temp = nullptr;
  m_length = m_start = m_blockSize = 0;
  m_granule = 64;
  m_codePage = 0;
  m_wide = 0;
  m_dumpWidth = 80;
}

// ---- storage ------------------------------------------------------------------------------

int GString::Capacity() const {
  if (!m_block) return 0;
  int cap = (m_blockSize - kHeaderSize) / UnitSize() - m_start - 1;
  return cap < 0 ? 0 : cap;
}

unsigned char* GString::TextBytes() const {
  return m_block + kHeaderSize + static_cast<size_t>(m_start) * UnitSize();
}

int GString::Reserve(int n) {
  if (n < 0) return 1;
  if (n <= m_length) return Compact();
  const int unit = UnitSize();
  // At least 50 % growth keeps repeated appends amortised.
  int64_t target = n > m_length + m_length / 2 ? n : m_length + m_length / 2;
  int64_t need = (target + 1) * unit + kHeaderSize;
  if (need > kMaxBlockSize) {
    target = n;
    need = (target + 1) * unit + kHeaderSize;
    if (need > kMaxBlockSize) return 0;
  }
  if (need <= m_blockSize) {
    if (Capacity() >= target) return 1;
    Compact();  // the room in front of the text, left by EraseFront, is enough
    return 1;
  }
  const int64_t size = (need + m_granule - 1) / m_granule * m_granule;
  unsigned char* block = static_cast<unsigned char*>(malloc(static_cast<size_t>(size)));
  if (!block) return 0;
  memset(block, 0, kHeaderSize);
  if (m_length > 0) memcpy(block + kHeaderSize, TextBytes(), static_cast<size_t>(m_length) * unit);
  free(m_block);
  m_block = block;
  m_blockSize = static_cast<int>(size);
  m_start = 0;
  Terminate();
  return 1;
}

int GString::EnsureFree(int k) {
  if (k <= 0 || Capacity() - m_length >= k) return 1;
  if (static_cast<int64_t>(m_length) + k > INT_MAX) return 0;
  return Reserve(m_length + k);
}

int GString::Compact() {
  if (!m_block) return 0;
  if (m_start != 0) {
    const int unit = UnitSize();
    memmove(m_block + kHeaderSize, TextBytes(), static_cast<size_t>(m_length + 1) * unit);
    m_start = 0;
  }
  return 1;
}

void* GString::Terminate() {
  if (!m_block) return nullptr;
  unsigned char* text = TextBytes();
  memset(text + static_cast<size_t>(m_length) * UnitSize(), 0, UnitSize());
  return text;
}

int GString::SetLength(int n) {
  if (!m_block) return 0;
  const int cap = Capacity();
  if (n < 0) {
    const unsigned char* text = TextBytes();
    const int unit = UnitSize();
    n = 0;
    for (int i = 0; i < cap; ++i) {
      if (text[i * unit] == 0 && (unit == 1 || text[i * unit + 1] == 0)) {
        n = i;
        break;
      }
    }
  }
  if (n > cap) n = cap;
  m_length = n;
  if (n == 0) m_start = 0;
  Terminate();
  return 1;
}

int GString::EraseFront(int n) {
  if (n <= 0) return 0;
  if (n >= m_length) {
    m_length = 0;
    m_start = 0;
    Terminate();  // the end moved to the front of the block
    return 1;
  }
  m_start += n;
  m_length -= n;
  return 1;
}

// ---- accessors ----------------------------------------------------------------------------

const char* GString::NarrowAt(int i) const {
  if (m_wide || m_length == 0 || i < 0 || !m_block) return kEmptyNarrow;
  return reinterpret_cast<const char*>(TextBytes()) + (i < m_length ? i : m_length);
}

const WChar* GString::WideAt(int i) const {
  if (!m_wide || m_length == 0 || i < 0 || !m_block) return kEmptyWide;
  return reinterpret_cast<const WChar*>(TextBytes()) + (i < m_length ? i : m_length);
}

// ---- width conversion ---------------------------------------------------------------------

GString* GString::Temp() const {
  if (!m_temp) {
    m_temp = new (std::nothrow) GString();
    if (!m_temp) return nullptr;
  }
  m_temp->Empty(false);
  m_temp->m_codePage = m_codePage;
  return m_temp;
}

void GString::Empty(bool wide) {
  m_wide = wide ? 1 : 0;
  m_length = 0;
  m_start = 0;
  Terminate();
}

void GString::TakeText(GString& other) {
  unsigned char* block = m_block;
  m_block = other.m_block;
  other.m_block = block;
  int v = m_blockSize;
  m_blockSize = other.m_blockSize;
  other.m_blockSize = v;
  v = m_length;
  m_length = other.m_length;
  other.m_length = v;
  v = m_start;
  m_start = other.m_start;
  other.m_start = v;
  v = m_wide;
  m_wide = other.m_wide;
  other.m_wide = v;
}

const WChar* GString::AsWide(int cp) {
  const int tag = cp == 0 ? 0 : m_codePage;
  if (!m_wide) {
    if (m_length == 0) {
      Empty(true);
    } else {
      GString* work = Temp();
      if (!work) return nullptr;
      work->Empty(true);
      if (!work->AppendUtf8AsUnits(reinterpret_cast<const char*>(TextBytes()), m_length)) return nullptr;
      TakeText(*work);
    }
  }
  m_codePage = tag;
  return WideAt(0);
}

const char* GString::AsNarrow(int cp) {
  const int tag = cp == 0 ? 0 : m_codePage;
  if (m_wide) {
    if (m_length == 0) {
      Empty(false);
    } else {
      GString* work = Temp();
      if (!work) return nullptr;
      if (!work->AppendWideAsUtf8(reinterpret_cast<const WChar*>(TextBytes()), m_length)) return nullptr;
      TakeText(*work);
    }
    m_codePage = tag;
  }
  return NarrowAt(0);
}

WChar* GString::WideTail(int n) {
  if (!AsWide(-1) || !EnsureFree(n) || !m_block) return nullptr;
  return reinterpret_cast<WChar*>(TextBytes()) + m_length;
}

char* GString::NarrowTail(int n) {
  if (!AsNarrow(-1) || !EnsureFree(n) || !m_block) return nullptr;
  return reinterpret_cast<char*>(TextBytes()) + m_length;
}

int GString::ToOwnWidth(const void* p, int n, bool wide, const void** converted, int* length) const {
  if (wide == IsWide()) {
    *converted = p;
    *length = n;
    return 1;
  }
  GString* work = Temp();
  if (!work) return 0;
  work->Empty(IsWide());
  const int ok = IsWide() ? work->AppendUtf8AsUnits(static_cast<const char*>(p), n)
                          : work->AppendWideAsUtf8(static_cast<const WChar*>(p), n);
  if (!ok) return 0;
  *converted = work->m_block ? work->TextBytes() : nullptr;
  *length = work->m_length;
  return 1;
}

// ---- assignment ---------------------------------------------------------------------------

int GString::AssignWide(const WChar* p, int n) {
  if (p && PointsIntoBlock(p)) {
    // Emptying would overwrite the source: build the new text aside and take it.
    GString* work = Temp();
    if (!work) return 0;
    work->Empty(true);
    if (!work->AppendWide(p, n)) return 0;
    TakeText(*work);
    return 1;
  }
  Empty(true);
  return AppendWide(p, n);
}

int GString::AssignNarrow(const char* p, int n, int cp) {
  m_codePage = cp == 0 ? 0 : m_codePage;
  if (p && PointsIntoBlock(p)) {
    GString* work = Temp();
    if (!work) return 0;
    if (!work->AppendNarrow(p, n, cp)) return 0;
    TakeText(*work);
    return 1;
  }
  Empty(false);
  return AppendNarrow(p, n, cp);
}

int GString::AssignUtf8AsWide(const char* p, int n, int cp) {
  m_codePage = cp == 0 ? 0 : m_codePage;
  GString* work = nullptr;
  if (p && PointsIntoBlock(p)) {
    work = Temp();
    if (!work || !work->AppendNarrow(p, n, cp)) return 0;
    p = reinterpret_cast<const char*>(work->TextBytes());
    n = work->m_length;
  }
  Empty(true);
  return AppendNarrow(p, n, cp);
}

void GString::Assign(const GString& other) {
  if (&other == this) return;
  m_codePage = other.m_codePage;
  Empty(other.IsWide());
  if (other.m_length > 0) AppendSameWidth(other.TextBytes(), other.m_length);
}

int GString::AssignAsWide(const GString* other) {
  if (other == this) return AsWide(0) != nullptr;
  Empty(true);
  if (!other) return 0;
  if (other->m_length == 0) return 1;
  if (other->IsWide()) return AppendSameWidth(other->TextBytes(), other->m_length);
  return AppendUtf8AsUnits(reinterpret_cast<const char*>(other->TextBytes()), other->m_length);
}

int GString::AssignAsNarrow(const GString* other) {
  if (other == this) return AsNarrow(0) != nullptr;
  Empty(false);
  if (!other) return 0;
  if (other->m_length == 0) return 1;
  if (!other->IsWide()) return AppendSameWidth(other->TextBytes(), other->m_length);
  return AppendWideAsUtf8(reinterpret_cast<const WChar*>(other->TextBytes()), other->m_length);
}

int GString::AssignRecord(const void* record) {
  if (!record) {
    Empty(IsWide());
    return 0;
  }
  // Counted text record:
  //   +0  u32 LE  bit 31: 1 = UTF-8 bytes follow, 0 = UTF-16LE units follow
  //               bits 0-28: length in units
  //   +4  the text, no terminator required
  const unsigned char* b = static_cast<const unsigned char*>(record);
  const uint32_t word = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
  const int length = static_cast<int>(word & 0x1FFFFFFFu);
  const bool narrow = (word & 0x80000000u) != 0;
  Empty(!narrow);
  return length == 0 ? 1 : AppendSameWidth(b + 4, length);
}

// ---- appending ----------------------------------------------------------------------------

bool GString::PointsIntoBlock(const void* p) const {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return m_block && b >= m_block && b < m_block + m_blockSize;
}

int GString::AppendSameWidth(const void* p, int n) {
  if (n <= 0) return 1;
  const size_t bytes = static_cast<size_t>(n) * UnitSize();
  if (PointsIntoBlock(p)) {
    // Growing may move or free the source: copy it out first.
    void* copy = malloc(bytes);
    if (!copy) return 0;
    memcpy(copy, p, bytes);
    const int ok = AppendSameWidth(copy, n);
    free(copy);
    return ok;
  }
  if (!EnsureFree(n)) return 0;
  memcpy(TextBytes() + static_cast<size_t>(m_length) * UnitSize(), p, bytes);
  m_length += n;
  Terminate();
  return 1;
}

int GString::AppendWideAsUtf8(const WChar* p, int n) {
  if (n <= 0) return 1;
  const int size = Utf8Size(p, n);
  if (size < 0 || !EnsureFree(size)) return 0;
  m_length += Utf8Encode(p, n, reinterpret_cast<char*>(TextBytes()) + m_length);
  Terminate();
  return 1;
}

int GString::AppendUtf8AsUnits(const char* p, int n) {
  if (n <= 0) return 1;
  const int count = Utf8Count(p, n);
  if (!EnsureFree(count)) return 0;
  WChar* out = reinterpret_cast<WChar*>(TextBytes()) + m_length;
  const int written = Utf8Decode(p, n, out, count);
  if (written < 0) {
    Terminate();  // the units written lie beyond the length; only the terminator needs mending
    return 0;
  }
  m_length += written;
  Terminate();
  return 1;
}

int GString::AppendWide(const WChar* p, int n) {
  if (!p) return 1;
  if (n < 0) n = MeasureWide(p);
  if (n == 0) return 1;
  return IsWide() ? AppendSameWidth(p, n) : AppendWideAsUtf8(p, n);
}

int GString::AppendNarrow(const char* p, int n, int cp) {
  (void)cp;  // UTF-8 is the only code page
  if (!p) return 1;
  if (n < 0) n = MeasureNarrow(p);
  if (n == 0) return 1;
  return IsWide() ? AppendUtf8AsUnits(p, n) : AppendSameWidth(p, n);
}

void GString::Append(const GString& other) {
  if (other.m_length == 0) return;
  if (other.IsWide())
    AppendWide(reinterpret_cast<const WChar*>(other.TextBytes()), other.m_length);
  else
    AppendNarrow(reinterpret_cast<const char*>(other.TextBytes()), other.m_length, other.m_codePage);
}

int GString::AppendRepeated(WChar ch, int count) {
  if (ch == 0 || count == 0) return 1;
  if (count < 0) return 0;
  if (!IsWide()) return static_cast<uint16_t>(ch) < 128 ? AppendRepeated(static_cast<char>(ch), count) : 0;
  if (!EnsureFree(count)) return 0;
  WChar* out = reinterpret_cast<WChar*>(TextBytes()) + m_length;
  for (int i = 0; i < count; ++i) out[i] = ch;
  m_length += count;
  Terminate();
  return 1;
}

int GString::AppendRepeated(char ch, int count) {
  if (ch == 0 || count == 0) return 1;
  if (count < 0) return 0;
  if (IsWide()) return static_cast<unsigned char>(ch) < 128 ? AppendRepeated(static_cast<WChar>(ch), count) : 0;
  if (!EnsureFree(count)) return 0;
  memset(TextBytes() + m_length, static_cast<unsigned char>(ch), static_cast<size_t>(count));
  m_length += count;
  Terminate();
  return 1;
}

int GString::AppendUnit(WChar u) {
  if (!IsWide() || !EnsureFree(1)) return 0;
  reinterpret_cast<WChar*>(TextBytes())[m_length++] = u;
  return 1;
}

void GString::AppendNewline() {
  if (IsWide())
    AppendWide(U16("\r\n"), 2);
  else
    AppendNarrow("\r\n", 2, m_codePage);
}

// ---- suffixes and paths -------------------------------------------------------------------

int GString::EnsureSuffixSameWidth(const void* s, int n) {
  const size_t bytes = static_cast<size_t>(n) * UnitSize();
  if (m_length >= n && memcmp(TextBytes() + static_cast<size_t>(m_length - n) * UnitSize(), s, bytes) == 0)
    return 1;
  return AppendSameWidth(s, n);
}

int GString::EnsureSuffix(const char* s, int n) {
  if (!s || n == 0) return 0;
  if (n < 0) n = MeasureNarrow(s);
  if (n == 0) return 0;
  const void* own;
  int length;
  if (!ToOwnWidth(s, n, false, &own, &length) || length == 0) return 0;
  return EnsureSuffixSameWidth(own, length);
}

int GString::EnsureSuffix(const WChar* s, int n) {
  if (!s || n == 0) return 0;
  if (n < 0) n = MeasureWide(s);
  if (n == 0) return 0;
  const void* own;
  int length;
  if (!ToOwnWidth(s, n, true, &own, &length) || length == 0) return 0;
  return EnsureSuffixSameWidth(own, length);
}

int GString::AppendPathSameWidth(const void* s, int n) {
  const unsigned char* c = static_cast<const unsigned char*>(s);
  const int unit = UnitSize();
  if (n > 0) {
    const unsigned first = unit == 1 ? c[0] : static_cast<unsigned>(c[0] | c[1] << 8);
    if (first == '\\' || first == '/') {
      c += unit;
      --n;
    }
  }
  void* copy = nullptr;
  if (n > 0 && PointsIntoBlock(c)) {
    // Adding the separator may move the block the component lives in.
    copy = malloc(static_cast<size_t>(n) * unit);
    if (!copy) return 0;
    memcpy(copy, c, static_cast<size_t>(n) * unit);
    c = static_cast<const unsigned char*>(copy);
  }
  static const char kNarrowSeparator[1] = {'\\'};
  static const WChar kWideSeparator[1] = {U16('\\')};
  const void* separator = IsWide() ? static_cast<const void*>(kWideSeparator) : kNarrowSeparator;
  int ok = EnsureSuffixSameWidth(separator, 1);
  if (ok && n > 0) ok = AppendSameWidth(c, n);
  free(copy);
  return ok;
}

int GString::AppendPath(const char* s, int n) {
  if (s && n < 0) n = MeasureNarrow(s);
  if (!s || n <= 0) return AppendPathSameWidth(nullptr, 0);
  const void* own;
  int length;
  if (!ToOwnWidth(s, n, false, &own, &length)) return 0;
  return AppendPathSameWidth(own, length);
}

int GString::AppendPath(const WChar* s, int n) {
  if (s && n < 0) n = MeasureWide(s);
  if (!s || n <= 0) return AppendPathSameWidth(nullptr, 0);
  const void* own;
  int length;
  if (!ToOwnWidth(s, n, true, &own, &length)) return 0;
  return AppendPathSameWidth(own, length);
}

GString& GString::AppendPath(const GString& component) {
  if (component.IsWide())
    AppendPath(component.WideAt(0), component.m_length);
  else
    AppendPath(component.NarrowAt(0), component.m_length);
  return *this;
}
