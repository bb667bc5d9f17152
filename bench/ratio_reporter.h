// A console reporter that also prints the ratio of each measured case to its baseline.
//
// Benchmarks name their baseline with the label "baseline:<group>" and the cases measured
// against it with "case:<group>". After the run one line per case gives the ratio of mean
// real times, case / baseline, and the target that the case should meet.
#ifndef TARNWICK_BENCH_RATIO_REPORTER_H_
#define TARNWICK_BENCH_RATIO_REPORTER_H_

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchutil {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      const std::string& label = run.report_label;
      const auto colon = label.find(':');
      if (colon == std::string::npos) continue;
      const std::string role = label.substr(0, colon);
      const std::string group = label.substr(colon + 1);
      if (role == "baseline") baselines_[group] = {run.benchmark_name(), seconds};
      if (role == "case") cases_.push_back({group, run.benchmark_name(), seconds});
    }
  }

  // Mean seconds of the first run of `role` ("baseline" or "case") in `group`; 0 when none.
  double SecondsOf(const std::string& role, const std::string& group) const {
    if (role == "baseline") {
      const auto b = baselines_.find(group);
      return b == baselines_.end() ? 0 : b->second.seconds;
    }
    for (const Case& c : cases_) {
      if (c.group == group) return c.seconds;
    }
    return 0;
  }

  // Prints one table row per case: what was measured, its baseline, the ratio of their times
  // and the target (a target of 0 prints none). Rows begin with "| " for scripts/bench.sh.
  void PrintRatios(const std::map<std::string, double>& targets) const {
    std::printf("\n| measured | time | baseline | time | ratio | target |\n");
    for (const Case& c : cases_) {
      const auto b = baselines_.find(c.group);
      if (b == baselines_.end()) continue;
      const auto t = targets.find(c.group);
      const double ratio = c.seconds / b->second.seconds;
      std::string target = "-";
      if (t != targets.end() && t->second > 0) {
        target = "<= " + Format(t->second) + (ratio <= t->second ? " met" : " MISSED");
      }
      std::printf("| %s | %.1f ms | %s | %.1f ms | %.2fx | %s |\n", Short(c.name).c_str(),
                  c.seconds * 1e3, Short(b->second.name).c_str(), b->second.seconds * 1e3, ratio,
                  target.c_str());
    }
  }

 private:
  // The benchmark's name without Google Benchmark's suffixes.
  static std::string Short(const std::string& name) {
    std::string s = name.substr(0, name.find("/min_time"));
    s = s.substr(0, s.find("/real_time"));
    return s.rfind("BM_", 0) == 0 ? s.substr(3) : s;
  }
  static std::string Format(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1fx", v);
    return buf;
  }
  struct Baseline {
    std::string name;
    double seconds;
  };
  struct Case {
    std::string group, name;
    double seconds;
  };
  std::map<std::string, Baseline> baselines_;
  std::vector<Case> cases_;
};

}  // namespace benchutil

#endif  // TARNWICK_BENCH_RATIO_REPORTER_H_
