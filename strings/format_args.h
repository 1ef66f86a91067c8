// Where the formatting engine takes its arguments from: a va_list (the program's own calls), or
// a typed list (tests and the fuzzer, which build the arguments a format needs at run time).
#pragma once

#include <cstdarg>
#include <cstdint>

#include "strings/unit16.h"

class GString;

struct FormatArg {
  enum Kind { kInt, kInt64, kDouble, kPointer } kind;
  union {
    int32_t i;
    int64_t ll;
    double d;
    const void* p;
  };
};

class FormatArgs {
 public:
  explicit FormatArgs(va_list args);
  FormatArgs(const FormatArg* list, int count);
  ~FormatArgs();
  FormatArgs(const FormatArgs&) = delete;
  FormatArgs& operator=(const FormatArgs&) = delete;

  int32_t NextInt();
  int64_t NextInt64();
  double NextDouble();
  const void* NextPointer();

  // List form only: arguments taken, and whether one was taken past the end or as another kind
  // than the list holds (that argument then reads as zero or null).
  int Taken() const { return m_next; }
  bool Mismatched() const { return m_mismatch; }

 private:
  const FormatArg* Take(FormatArg::Kind kind);

  va_list m_va;
  const FormatArg* m_list = nullptr;
  int m_count = 0;
  int m_next = 0;
  bool m_mismatch = false;
};

// The engine behind GString::AppendFormat.
int AppendFormatArgs(GString& target, const WChar* format, FormatArgs& args);
