#include "app/command_line.h"

#include <initializer_list>

namespace {

// Whether text equals the lower-case ASCII name, without regard to case.
bool Is(const WChar* text, const char* name) {
  for (; *name; ++text, ++name) {
    WChar c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<WChar>(c - 'A' + 'a');
    if (c != static_cast<WChar>(*name)) return false;
  }
  return *text == 0;
}

// Up to `digits` hexadecimal digits, at least one, up to the end or the stop unit.
bool Hex(const WChar*& text, int digits, WChar stop, uint32_t& out) {
  out = 0;
  int read = 0;
  for (; *text && *text != stop; ++text, ++read) {
    const WChar c = *text;
    uint32_t value;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else return false;
    if (read == digits) return false;
    out = out << 4 | value;
  }
  return read > 0;
}

bool YesNo(const WChar* value, int32_t& out) {
  if (Is(value, "yes")) out = 1;
  else if (Is(value, "no")) out = 0;
  else return false;
  return true;
}

// One switch that takes a value; false when the value is malformed.
bool TakeValue(const WChar* name, const WChar* value, Switches& out) {
  uint32_t number = 0;
  if (Is(name, "log")) {
    out.logPath = value;
    return *value != 0;
  }
  if (Is(name, "variant")) {
    if (!Hex(value, 1, 0, number) || number > 2) return false;
    out.variant = static_cast<int32_t>(number);
    return true;
  }
  if (Is(name, "decimalkey")) {
    if (Is(value, "comma")) out.decimalKey = 0;
    else if (Is(value, "layout")) out.decimalKey = 1;
    else return false;
    return true;
  }
  if (Is(name, "language")) {
    if (!Hex(value, 4, 0, number) || number == 0) return false;
    out.languageId = static_cast<int32_t>(number);
    return true;
  }
  if (Is(name, "key")) {
    uint32_t scanCode = 0, virtualKey = 0;
    if (out.keyCount == Switches::kMaxKeys || !Hex(value, 4, '=', scanCode) || *value++ != '=' ||
        !Hex(value, 4, 0, virtualKey) || scanCode == 0)
      return false;
    out.keys[out.keyCount++] = {static_cast<uint16_t>(scanCode), static_cast<uint16_t>(virtualKey)};
    return true;
  }
  if (Is(name, "altimage")) return YesNo(value, out.altImage);
  if (Is(name, "default")) return YesNo(value, out.makeDefault);
  if (Is(name, "switchkeys")) return YesNo(value, out.switchKeys);
  if (Is(name, "desktoplinks")) return YesNo(value, out.desktopLinks);
  return false;
}

bool TakesValue(const WChar* name) {
  for (const char* known : {"log", "variant", "decimalkey", "language", "key", "altimage", "default", "switchkeys",
                            "desktoplinks"})
    if (Is(name, known)) return true;
  return false;
}

}  // namespace

const WChar* ArgumentsOf(const WChar* commandLine) {
  const WChar* p = commandLine;
  if (*p == '"') {
    for (++p; *p && *p != '"'; ++p) {
    }
    if (*p) ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

int ParseSwitches(const WChar* const* arguments, int count, Switches& out, int& bad) {
  for (int i = 0; i < count; ++i) {
    bad = i;
    const WChar* argument = arguments[i];
    if (!argument || (argument[0] != '/' && argument[0] != '-')) return 0;
    const WChar* name = argument + 1;
    if (Is(name, "quiet") || Is(name, "q") || Is(name, "qn")) out.quiet = true;
    else if (Is(name, "norestart")) out.noRestart = true;
    else if (Is(name, "uninstall") || Is(name, "x")) out.uninstall = true;
    else if (Is(name, "?") || Is(name, "h") || Is(name, "help")) out.help = true;
    else if (Is(name, "peruser")) out.perUser = true;
    else if (Is(name, "elevated")) out.elevated = true;
    else if (!TakesValue(name) || i + 1 == count || !TakeValue(name, arguments[++i], out)) return 0;
  }
  bad = -1;
  return 1;
}
