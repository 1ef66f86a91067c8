// Console reporter that also prints, for each benchmark named "X/ours" with a partner
// "X/baseline" in the same run, the ratio of their CPU times (with --benchmark_repetitions, of
// their fastest or median repetitions): the figure that carries over between machines, unlike
// the times themselves.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions, each benchmark's fastest repetition where it reports one (the least
    // disturbed by other work on the machine), else its median; without, its one run.
    for (const Run& run : runs) {
      const std::string name = run.run_type == Run::RT_Aggregate ? run.run_name.str() : run.benchmark_name();
      int rank = 0;
      if (run.run_type == Run::RT_Aggregate) {
        rank = run.aggregate_name == "min" ? 2 : run.aggregate_name == "median" ? 1 : -1;
      } else if (run.iterations == 0) {
        rank = -1;
      }
      const auto known = m_rank.find(name);
      if (rank < 0 || (known != m_rank.end() && known->second > rank)) continue;
      m_rank[name] = rank;
      m_times[name] = run.GetAdjustedCPUTime();
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
  std::map<std::string, int> m_rank;  // where each time came from: 0 a run, 1 the median, 2 the minimum
};

// The "min" statistic over repetitions, for benchmarks whose ratio should come from their least
// disturbed runs: BENCHMARK(...)->ComputeStatistics("min", MinimumOf).
inline double MinimumOf(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// The main of every benchmark program: runs the benchmarks, then prints the ratios.
inline int RunBenchmarksWithRatios(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
