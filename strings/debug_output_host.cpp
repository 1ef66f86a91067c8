#include <cstdio>

#include "strings/debug_output.h"
#include "strings/utf8.h"

namespace {

// Without a debugger, the text goes to standard error as UTF-8.
void WriteToStandardError(const WChar* text) {
  char buffer[256 * 3];
  int n = 0;
  while (text[n] != 0) ++n;
  for (int done = 0; done < n;) {
    const int chunk = n - done < 256 ? n - done : 256;
    fwrite(buffer, 1, static_cast<size_t>(Utf8Encode(text + done, chunk, buffer)), stderr);
    done += chunk;
  }
}

DebugSink g_sink = WriteToStandardError;

}  // namespace

DebugSink SetDebugSink(DebugSink sink) {
  DebugSink previous = g_sink;
  g_sink = sink ? sink : WriteToStandardError;
  return previous;
}

void WriteDebugText(const WChar* text) { g_sink(text); }
