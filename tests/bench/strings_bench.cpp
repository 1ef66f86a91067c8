// The formatting engine against the C library's snprintf on the same message, and the cost of
// growing a string by repeated appends against one exact reservation.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "strings/gstring.h"
#include "tests/bench/ratio_reporter.h"

namespace {

void FormatMessage_ours(benchmark::State& state) {
  GString name;
  name.AssignWide(U16("Layout library"), -1);
  GString out;
  for (auto _ : state) {
    Format(out, U16("Step %d of %s: %z at 0x%x, %.2f%% done"), 7, U16("install"), &name, 0x7ffe1234, 42.125);
    benchmark::DoNotOptimize(out.WideAt(0));
  }
}

void FormatMessage_baseline(benchmark::State& state) {
  const char* name = "Layout library";
  char out[160];
  for (auto _ : state) {
    snprintf(out, sizeof out, "Step %d of %s: %s at 0x%x, %.2f%% done", 7, "install", name, 0x7ffe1234, 42.125);
    benchmark::DoNotOptimize(out);
  }
}

// Appending one unit at a time relies on the growth rule staying amortised.
void AppendGrowth_ours(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    GString s;
    s.AssignWide(U16(""), 0);
    for (int i = 0; i < count; ++i) s.AppendWide(U16("ab"), 2);
    benchmark::DoNotOptimize(s.WideAt(0));
  }
}

void AppendGrowth_baseline(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    GString s;
    s.AssignWide(U16(""), 0);
    s.Reserve(count * 2);
    for (int i = 0; i < count; ++i) s.AppendWide(U16("ab"), 2);
    benchmark::DoNotOptimize(s.WideAt(0));
  }
}

}  // namespace

BENCHMARK(FormatMessage_ours)->Name("FormatMessage/ours");
BENCHMARK(FormatMessage_baseline)->Name("FormatMessage/baseline");
BENCHMARK(AppendGrowth_ours)->Name("AppendGrowth/ours")->Arg(10000);
BENCHMARK(AppendGrowth_baseline)->Name("AppendGrowth/baseline")->Arg(10000);

int main(int argc, char** argv) { return RunBenchmarksWithRatios(argc, argv); }
