#include "tools/packager/utf.h"

#include <cstdio>

namespace {

void AppendEscaped(char32_t c, std::string* out) {
  switch (c) {
    case '\r': *out += "\\r"; return;
    case '\n': *out += "\\n"; return;
    case '\t': *out += "\\t"; return;
    case '\\': *out += "\\\\"; return;
    case '"': *out += "\\\""; return;
    default: break;
  }
  char buffer[16];
  if (c < 0x20 || c == 0x7F) {
    snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c));
    *out += buffer;
  } else if (c >= 0xD800 && c <= 0xDFFF) {
    snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
    *out += buffer;
  } else {
    AppendUtf8(c, out);
  }
}

}  // namespace

bool DecodeUtf8(std::string_view text, std::u32string* out, size_t* badOffset) {
  const auto* b = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  out->clear();
  for (size_t i = 0; i < n;) {
    const unsigned lead = b[i];
    int extra;
    char32_t c;
    char32_t minimum;
    if (lead < 0x80) {
      out->push_back(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      if (badOffset) *badOffset = i;
      return false;
    }
    if (n - i <= static_cast<size_t>(extra)) {
      if (badOffset) *badOffset = i;
      return false;
    }
    for (int k = 1; k <= extra; ++k) {
      const unsigned next = b[i + k];
      if ((next & 0xC0) != 0x80) {
        if (badOffset) *badOffset = i;
        return false;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      if (badOffset) *badOffset = i;
      return false;
    }
    out->push_back(c);
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::u16string ToUtf16(const std::u32string& codePoints) {
  std::u16string out;
  out.reserve(codePoints.size());
  for (char32_t c : codePoints) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string DisplayUtf16(const char16_t* units, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    AppendEscaped(c, &out);
  }
  return out;
}

std::string DisplayText(std::string_view utf8) {
  std::string out;
  std::u32string one;
  size_t i = 0;
  while (i < utf8.size()) {
    // Decode one sequence at a time so that a bad byte costs only itself.
    const unsigned lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length > utf8.size() - i) length = 1;
    if (DecodeUtf8(utf8.substr(i, length), &one, nullptr) && one.size() == 1) {
      AppendEscaped(one[0], &out);
      i += length;
    } else {
      char buffer[8];
      snprintf(buffer, sizeof buffer, "\\x%02X", lead);
      out += buffer;
      ++i;
    }
  }
  return out;
}
