#include "strings/format_args.h"

FormatArgs::FormatArgs(va_list args) { va_copy(m_va, args); }

FormatArgs::FormatArgs(const FormatArg* list, int count) : m_list(list), m_count(count) {}

FormatArgs::~FormatArgs() {
  if (!m_list) va_end(m_va);
}

const FormatArg* FormatArgs::Take(FormatArg::Kind kind) {
  if (m_next >= m_count || m_list[m_next].kind != kind) {
    m_mismatch = true;
    ++m_next;
    return nullptr;
  }
  return &m_list[m_next++];
}

int32_t FormatArgs::NextInt() {
  if (!m_list) return va_arg(m_va, int32_t);
  const FormatArg* a = Take(FormatArg::kInt);
  return a ? a->i : 0;
}

int64_t FormatArgs::NextInt64() {
  if (!m_list) return va_arg(m_va, long long);
  const FormatArg* a = Take(FormatArg::kInt64);
  return a ? a->ll : 0;
}

double FormatArgs::NextDouble() {
  if (!m_list) return va_arg(m_va, double);
  const FormatArg* a = Take(FormatArg::kDouble);
  return a ? a->d : 0.0;
}

const void* FormatArgs::NextPointer() {
  if (!m_list) return va_arg(m_va, const void*);
  const FormatArg* a = Take(FormatArg::kPointer);
  return a ? a->p : nullptr;
}
