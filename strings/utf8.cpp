#include "strings/utf8.h"

#include <cstring>

namespace {

// Length of the sequence a lead byte starts, 0 for a byte that cannot lead.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC0) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  return 0;
}

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

}  // namespace

int Utf8Size(const WChar* p, int n) {
  int64_t size = 0;
  for (int i = 0; i < n; ++i) {
    unsigned u = static_cast<uint16_t>(p[i]);
    size += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
  }
  return size > INT32_MAX ? -1 : static_cast<int>(size);
}

int Utf8Encode(const WChar* p, int n, char* out) {
  unsigned char* o = reinterpret_cast<unsigned char*>(out);
  for (int i = 0; i < n; ++i) {
    unsigned u = static_cast<uint16_t>(p[i]);
    if (u < 0x80) {
      *o++ = static_cast<unsigned char>(u);
    } else if (u < 0x800) {
      *o++ = static_cast<unsigned char>(0xC0 | (u >> 6));
      *o++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
    } else {
      *o++ = static_cast<unsigned char>(0xE0 | (u >> 12));
      *o++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
    }
  }
  return static_cast<int>(o - reinterpret_cast<unsigned char*>(out));
}

int Utf8Count(const char* p, int n) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
  int count = 0;
  for (int i = 0; i < n; ++count) {
    int step = SequenceLength(b[i]);
    i += step == 0 ? 1 : step;
  }
  return count;
}

int Utf8Decode(const char* p, int n, WChar* out, int outCap) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
  int written = 0;
  for (int i = 0; i < n;) {
    if (written >= outCap) return -1;
    unsigned lead = b[i];
    int step = SequenceLength(static_cast<unsigned char>(lead));
    if (step == 0 || step == 4 || step > n - i) return -1;
    unsigned u = lead;
    if (step == 2) {
      if (!IsContinuation(b[i + 1])) return -1;
      u = (lead & 0x1F) << 6 | (b[i + 1] & 0x3F);
    } else if (step == 3) {
      if (!IsContinuation(b[i + 1]) || !IsContinuation(b[i + 2])) return -1;
      u = (lead & 0x0F) << 12 | (b[i + 1] & 0x3F) << 6 | (b[i + 2] & 0x3F);
    }
    out[written++] = static_cast<WChar>(u);
    i += step;
  }
  return written;
}

const char* Utf8Skip(const char* p, int n, int k) {
  if (k < 0) return nullptr;
  if (k == 0) return p;
  if (n < 0) n = p ? static_cast<int>(strlen(p)) : 0;
  if (n == 0 || k >= n) return nullptr;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
  int pos = 0;
  for (int i = 0; i < k && pos < n; ++i) {
    int step = SequenceLength(b[pos]);
    if (step == 0) {
      pos += 4;  // a damaged text ends the walk; the bytes so far stay one piece
      break;
    }
    pos += step;
  }
  return pos >= n ? nullptr : p + pos;
}
