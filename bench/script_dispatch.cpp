// Segments per second of the interpreter's frame loop, one RunFrame (2048
// segments) per iteration:
//  - ForLoop: a \for loop whose body is \cal,s=s+i (each turn: the \cal, then
//    the \next that runs the step and the condition and jumps back);
//  - EmptyLoop: an endless \for whose body is a command that does nothing;
//  - SkippedIf: a 10,000-line \if,0 region of commands, then a jump back.
// The baseline evaluates the same expressions as the loop does (s=s+i, i=i+1,
// 1) straight through the evaluator, without dispatch: the ratio is the cost
// of the interpreter around the expressions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "script/ZelScriptLib.h"
#include "storage/GameFiles.h"

namespace {

using namespace zel;

class TMemFiles : public IGameFiles {
public:
    void Add(const std::string& name, std::string bytes) { files_[name] = std::move(bytes); }
    bool GameFileExists(std::string_view path) override { return files_.count(std::string(path)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view path) override {
        const auto it = files_.find(std::string(path));
        if (it == files_.end()) return nullptr;
        return std::make_unique<TMemoryStream>(std::string_view(it->second));
    }

private:
    std::map<std::string, std::string> files_;
};

struct TRun {
    TMemFiles files;
    std::unique_ptr<TZelScript> script;

    explicit TRun(std::string source) {
        SetErrorLogFolder("");
        files.Add("main.s", std::move(source));
        script = std::make_unique<TZelScript>(&files);
        script->ExecuteLine("\\go,@@top,main.s");
    }
};

// The loop's expressions alone, for one frame's worth of BM_ForLoop: 1024
// turns of s=s+i, i=i+1 and the condition. Returns the nanoseconds per frame.
double BaselineFrameNs() {
    TZelCalculation calc;
    calc.Declare("s", "int", false, 255, scGlobal, rkInteger, 0);
    calc.Declare("i", "int", false, 255, scGlobal, rkInteger, 0);
    constexpr int kFrames = 50;
    const auto t0 = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        for (int t = 0; t < 1024; ++t) {
            benchmark::DoNotOptimize(calc.Evaluate("s=s+i", 0));
            benchmark::DoNotOptimize(calc.Evaluate("i=i+1", 0));
            benchmark::DoNotOptimize(calc.Evaluate("1", 0));
        }
    }
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / kFrames;
}

// One RunFrame per iteration; reports segments per second and the frame time
// as a multiple of the baseline's.
void RunFrames(benchmark::State& state, TRun& run) {
    int64_t segments = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        run.script->RunFrame(25, true);
        segments += run.script->State().segmentsPerFrame;
    }
    const auto t1 = std::chrono::steady_clock::now();
    if (ErrorFlag()) state.SkipWithError("the script reported an error");
    const double frameNs =
        std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    state.counters["segments_per_s"] = benchmark::Counter(static_cast<double>(segments), benchmark::Counter::kIsRate);
    state.counters["x_baseline"] = frameNs / BaselineFrameNs();
}

void BM_ForLoop(benchmark::State& state) {
    TRun run("@@top\n\\gvar,int,s,i\n\\for,i=0,1,i=i+1\n\\cal,s=s+i\n\\next\n");
    RunFrames(state, run);
}
BENCHMARK(BM_ForLoop)->Unit(benchmark::kMicrosecond);

// The same loop with a body that does nothing: the interpreter's own cost.
void BM_EmptyLoop(benchmark::State& state) {
    TRun run("@@top\n\\for\n\\dout\n\\next\n");
    RunFrames(state, run);
}
BENCHMARK(BM_EmptyLoop)->Unit(benchmark::kMicrosecond);

void BM_SkippedIf(benchmark::State& state) {
    std::string source = "@@top\n\\gvar,int,s\n\\if,0\n";
    for (int i = 0; i < 10000; ++i) source += "\\cal,s=s+" + std::to_string(i) + "\n";
    source += "\\fi\n\\go,@@top\n";
    TRun run(std::move(source));
    RunFrames(state, run);
}
BENCHMARK(BM_SkippedIf)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
