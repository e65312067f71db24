// A console reporter that also keeps each benchmark's fastest real time, so a
// benchmark program can print ratios between its own runs after they finish.
#pragma once

#include <benchmark/benchmark.h>

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
};

}  // namespace zel::bench
