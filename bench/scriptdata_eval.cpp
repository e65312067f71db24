// Cost of evaluating script arguments against a store of realistic size:
// 5,000 globals, 20 locals on each of ten routine levels, evaluated at level 10.
// The argument mix: a single variable, a condition, an indexed sum and a string
// concatenation. Reported per argument, with the heap allocations per
// evaluation and the ratio to a baseline that does the same lookups and
// arithmetic natively with std::unordered_map.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "scriptdata/ZelCalculationLib.h"

namespace {

std::atomic<uint64_t> g_allocations{0};

std::string Numbered(const char* prefix, int n) {
    std::string s(prefix);
    s += std::to_string(n);
    return s;
}

}  // namespace

// Counting replacements of the global allocation functions. After inlining, GCC
// pairs the free() below with a new-expression and warns; the pairing is right.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace zel;

constexpr int32_t kLevel = 10;

const char* const kArguments[] = {
    "g2500",
    "f==1 && g==2",
    "a[i+1]+b*c[j-1]",
    "s+\"abc\"",
};
constexpr int kArgumentCount = 4;

struct TWorld {
    TZelCalculation calc;

    TWorld() {
        for (int n = 0; n < 5000; ++n) Int(Numbered("g", n), scGlobal, 0, n);
        Int("f", scGlobal, 0, 1);
        Int("g", scGlobal, 0, 2);
        Int("b", scGlobal, 0, 3);
        Int("a[100]", scGlobal, 0, 0);
        Int("c[100]", scGlobal, 0, 0);
        calc.Declare("s", "str", false, 255, scGlobal, rkString, 0);
        calc.Assign("s", 0, TReturnValue::String("name"));
        for (int level = 1; level <= kLevel; ++level)
            for (int n = 0; n < 18; ++n) Int(Numbered("loc", n), scLocal, level, n);
        Int("i", scLocal, kLevel, 4);
        Int("j", scLocal, kLevel, 7);
        calc.Evaluate("a[5]=11", kLevel);
        calc.Evaluate("c[6]=13", kLevel);
    }
    void Int(const std::string& decl, int scope, int32_t level, int32_t v) {
        calc.Declare(decl, "int", false, 255, scope, rkInteger, level);
        const std::string name = decl.substr(0, decl.find('['));
        calc.Assign(name, level, TReturnValue::Integer(v));
    }
};

// The same work written directly: names looked up in hash maps, arithmetic inline.
struct TNative {
    std::unordered_map<std::string, int32_t> ints;
    std::unordered_map<std::string, std::vector<int32_t>> arrays;
    std::unordered_map<std::string, std::string> strings;

    TNative() {
        for (int n = 0; n < 5000; ++n) ints[Numbered("g", n)] = n;
        ints["f"] = 1;
        ints["g"] = 2;
        ints["b"] = 3;
        ints["i"] = 4;
        ints["j"] = 7;
        arrays["a"] = std::vector<int32_t>(100);
        arrays["c"] = std::vector<int32_t>(100);
        arrays["a"][5] = 11;
        arrays["c"][6] = 13;
        strings["s"] = "name";
    }
    int64_t Run() {
        int64_t sum = ints.find("g2500")->second;
        sum += (ints.find("f")->second == 1 && ints.find("g")->second == 2);
        sum += arrays.find("a")->second[static_cast<size_t>(ints.find("i")->second + 1)] +
               ints.find("b")->second * arrays.find("c")->second[static_cast<size_t>(ints.find("j")->second - 1)];
        std::string s = strings.find("s")->second;
        s += "abc";
        sum += static_cast<int64_t>(s.size());
        return sum;
    }
};

int64_t RunArguments(TZelCalculation& calc) {
    int64_t sum = 0;
    for (const char* arg : kArguments) {
        const TReturnValue v = calc.Evaluate(arg, kLevel);
        sum += v.IntValue + static_cast<int64_t>(v.Text.size());
    }
    return sum;
}

void BM_EvaluateArgumentMix(benchmark::State& state) {
    TWorld world;
    TNative native;
    // Check the results once, and warm the evaluator's working memory.
    const TReturnValue cond = world.calc.Evaluate(kArguments[1], kLevel);
    const TReturnValue sum = world.calc.Evaluate(kArguments[2], kLevel);
    const TReturnValue text = world.calc.Evaluate(kArguments[3], kLevel);
    if (cond.IntValue != 1 || sum.IntValue != 11 + 3 * 13 || text.Text != "nameabc") {
        state.SkipWithError("wrong results");
        return;
    }
    RunArguments(world.calc);

    using Clock = std::chrono::steady_clock;
    std::chrono::nanoseconds engine{0}, baseline{0};
    uint64_t rounds = 0, allocations = 0;
    for (auto _ : state) {
        const uint64_t before = g_allocations.load(std::memory_order_relaxed);
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(RunArguments(world.calc));
        const auto t1 = Clock::now();
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        benchmark::DoNotOptimize(native.Run());
        const auto t2 = Clock::now();
        engine += t1 - t0;
        baseline += t2 - t1;
        ++rounds;
    }
    const double args = static_cast<double>(rounds) * kArgumentCount;
    state.counters["ns_per_argument"] = static_cast<double>(engine.count()) / args;
    state.counters["allocs_per_evaluation"] = static_cast<double>(allocations) / args;
    state.counters["ratio_to_native"] =
        static_cast<double>(engine.count()) / std::max<double>(1.0, static_cast<double>(baseline.count()));
    state.SetItemsProcessed(static_cast<int64_t>(args));
}
BENCHMARK(BM_EvaluateArgumentMix)->Repetitions(5)->ReportAggregatesOnly(true);

// Each argument on its own, for finding where the time goes.
void BM_EvaluateOne(benchmark::State& state) {
    TWorld world;
    const char* arg = kArguments[state.range(0)];
    world.calc.Evaluate(arg, kLevel);
    const uint64_t before = g_allocations.load(std::memory_order_relaxed);
    for (auto _ : state) benchmark::DoNotOptimize(world.calc.Evaluate(arg, kLevel));
    state.counters["allocs_per_evaluation"] =
        static_cast<double>(g_allocations.load(std::memory_order_relaxed) - before) /
        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.SetLabel(arg);
}
BENCHMARK(BM_EvaluateOne)->DenseRange(0, kArgumentCount - 1);

}  // namespace

BENCHMARK_MAIN();
