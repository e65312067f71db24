// A console reporter that also keeps each benchmark's fastest real time, so a
// benchmark program can print ratios between its own runs after they finish.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace zel::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            // With repetitions the fastest run counts: slower ones met other load.
            const std::string name = r.run_name.function_name;
            const double t = r.GetAdjustedRealTime();
            if (!times.count(name) || t < times[name]) times[name] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;

    // The fastest real time of a benchmark, 0 when it did not run.
    double Time(const std::string& name) const {
        const auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    }
    // The heading of the ratio table, then one line a ratio of two runs
    // (left out when either did not run).
    static void PrintHeading(const char* title) { std::printf("\n%s\n%-44s %12s\n", title, "comparison", "ratio"); }
    void PrintRatio(const char* what, const char* a, const char* b) const {
        if (Time(a) > 0 && Time(b) > 0) std::printf("%-44s %12.2f\n", what, Time(a) / Time(b));
    }
};

}  // namespace zel::bench
