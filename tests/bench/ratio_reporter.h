// Console reporter that also prints, for each benchmark named "X/ours" with a partner
// "X/baseline" in the same run, the ratio of their CPU times: the figure that carries over
// between machines, unlike the times themselves.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      m_times[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& entry : m_times) {
      const std::string& name = entry.first;
      const size_t slash = name.find("/ours");
      if (slash == std::string::npos) continue;
      std::string partner = name;
      partner.replace(slash, 5, "/baseline");
      const auto found = m_times.find(partner);
      if (found == m_times.end() || found->second <= 0) continue;
      printf("ratio %-40s %.2f x baseline\n", name.substr(0, slash).c_str(), entry.second / found->second);
    }
  }

 private:
  std::map<std::string, double> m_times;
};

// The main of every benchmark program: runs the benchmarks, then prints the ratios.
inline int RunBenchmarksWithRatios(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
