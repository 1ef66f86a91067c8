#include <windows.h>

#include "strings/debug_output.h"

namespace {
void WriteToDebugger(const WChar* text) { OutputDebugStringW(text); }
DebugSink g_sink = WriteToDebugger;
}  // namespace

DebugSink SetDebugSink(DebugSink sink) {
  DebugSink previous = g_sink;
  g_sink = sink ? sink : WriteToDebugger;
  return previous;
}

void WriteDebugText(const WChar* text) { g_sink(text); }
