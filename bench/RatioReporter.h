#pragma once
// A console reporter that also remembers each benchmark's real time per iteration (the median
// when repeated), so that a benchmark program can print the ratios of its rows after the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

// A timed row repeated 5 times, reported by its median (and mean and spread): the row the
// reporter below takes. Use as BENCHMARK(...)->Apply(bench::medianOfFive).
inline void medianOfFive(benchmark::internal::Benchmark* row) {
    row->Repetitions(5)->ReportAggregatesOnly(true);
}

// The same for a row timed in milliseconds of real time.
inline void realMillisecondsMedianOfFive(benchmark::internal::Benchmark* row) {
    medianOfFive(row->Unit(benchmark::kMillisecond)->UseRealTime());
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0)
                continue;
            const double perIteration =
                run.real_accumulated_time / static_cast<double>(run.iterations);
            // With repetitions the median stands for the row; a single run stands for itself.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_[run.run_name.str()] = perIteration;
                for (const auto& [name, counter] : run.counters)
                    medianCounters_[run.run_name.str() + "/" + name] = counter.value;
            } else if (run.run_type == Run::RT_Iteration) {
                seconds_[run.run_name.str()] = perIteration;
                for (const auto& [name, counter] : run.counters)
                    counters_[run.run_name.str() + "/" + name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "label: time(numerator) / time(denominator)" when both rows ran. A ratio above 1
    // means the numerator row is slower.
    void printRatio(const std::string& label, const std::string& numerator,
                    const std::string& denominator) const {
        const double n = timeOf(numerator);
        const double d = timeOf(denominator);
        if (n <= 0 || d <= 0)
            return;
        std::printf("%-60s %6.2fx\n", label.c_str(), n / d);
    }

    // time(numerator) / time(denominator); 0 unless both rows ran.
    double ratio(const std::string& numerator, const std::string& denominator) const {
        const double n = timeOf(numerator);
        const double d = timeOf(denominator);
        return n > 0 && d > 0 ? n / d : 0;
    }

    // A counter of a row (the median when repeated); 0 unless the row ran and set it.
    double counter(const std::string& row, const std::string& name) const {
        const std::string key = row + "/" + name;
        if (auto it = medianCounters_.find(key); it != medianCounters_.end())
            return it->second;
        auto it = counters_.find(key);
        return it == counters_.end() ? 0 : it->second;
    }

  private:
    double timeOf(const std::string& name) const {
        if (auto it = medians_.find(name); it != medians_.end())
            return it->second;
        auto it = seconds_.find(name);
        return it == seconds_.end() ? 0 : it->second;
    }

    std::map<std::string, double> seconds_;
    std::map<std::string, double> medians_;
    std::map<std::string, double> counters_;
    std::map<std::string, double> medianCounters_;
};

}  // namespace bench
