// Cost of one frame of the object manager over 500 mixed objects (the visual
// kinds with a payload that does a little work, the handle kinds that take no
// part in the passes): UpdateAll + DrawAll + PointerMoveAll, reported per frame
// against the 100 us budget, with the heap allocations per frame (the passes
// make none). Then Find by name: names the 16-entry cache holds, names it
// must scan the list for, and names that are not registered.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "graphics/ARGB8888CellDrawLib.h"
#include "scriptdata/uZelObjectManager.h"

namespace {

std::atomic<uint64_t> g_allocations{0};

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

constexpr double kBudgetNs = 100000.0;  // 100 us per frame
constexpr int kObjects = 500;

// Stands for an image, button or message window: a position that moves, a
// hover flag, a draw that only counts (the cell drawer is not what is timed).
struct TBenchPayload final : IObjectPayload {
    int32_t x = 0, y = 0, w = 64, h = 32, layer = 0;
    int64_t elapsed = 0, drawn = 0;
    bool hover = false;
    bool SaveToStream(TMemoryStream&) const override { return true; }
    bool LoadFromStream(TMemoryStream&) override { return true; }
    void Update(uint32_t mask, int32_t ms) override {
        if (!(mask & 1)) return;
        elapsed += ms;
        x = static_cast<int32_t>((x + ms) % 640);
    }
    void Draw(TARGB8888CellDraw&, uint32_t mask, int32_t sx, int32_t sy) override {
        if (mask & 1) drawn += x + sx + y + sy;
    }
    void PointerMove(uint32_t, int32_t px, int32_t py) override {
        hover = px >= x && px < x + w && py >= y && py < y + h;
    }
    int32_t Layer() const override { return layer; }
};

std::string NameOf(int i) { return "0_obj," + std::to_string(i); }

struct TWorld {
    TZelObjectManager mgr;
    TARGB8888CellDraw cells;
    std::vector<std::string> names;

    TWorld() {
        for (uint8_t no : {kKindImage, kKindMessage, kKindButton, kKindSysImage, kKindSysButton})
            mgr.SetPayloadFactory(no, [](uint8_t, std::string_view) { return std::make_unique<TBenchPayload>(); });
        // A game's mix: mostly images and buttons, some windows, the handle kinds.
        const char* const words[] = {"img", "img", "img", "btn", "btn", "msg", "simg", "sbtn", "list", "sys", "snd"};
        for (int i = 0; i < kObjects; ++i) {
            names.push_back(NameOf(i));
            mgr.Add(mgr.CreateObject(words[i % 11], names.back()));
        }
        int i = 0;
        for (size_t s = 0; s < mgr.Slots(); ++s)
            if (auto* p = dynamic_cast<TBenchPayload*>(mgr.At(s)->Payload())) {
                p->y = (i * 37) % 480;
                p->layer = (i++ % 25 == 0) ? kFixedLayer : 10;
            }
    }
    void Frame(int32_t n) {
        mgr.SetScrollOffset(n & 7, 0);
        mgr.UpdateAll(0x0FFFFFFF, 16, kFrameClasses);
        mgr.DrawAll(cells, 0x0FFFFFFF, kFrameClasses, (n & 1) != 0);
        mgr.PointerMoveAll(0x0FFFFFFF, 320, n % 480, kSystemPointerClasses | kWaitPointerClasses);
    }
};

void BM_Frame500Objects(benchmark::State& state) {
    TWorld world;
    world.Frame(0);
    using Clock = std::chrono::steady_clock;
    std::chrono::nanoseconds spent{0};
    uint64_t frames = 0, allocations = 0;
    for (auto _ : state) {
        const uint64_t before = g_allocations.load(std::memory_order_relaxed);
        const auto t0 = Clock::now();
        world.Frame(static_cast<int32_t>(frames));
        const auto t1 = Clock::now();
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        spent += t1 - t0;
        ++frames;
    }
    const double perFrame = static_cast<double>(spent.count()) / static_cast<double>(frames);
    state.counters["us_per_frame"] = perFrame / 1000.0;
    state.counters["ratio_to_budget"] = perFrame / kBudgetNs;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(frames);
}
BENCHMARK(BM_Frame500Objects)->Repetitions(5)->ReportAggregatesOnly(true);

// range(0): 0 = names in the cache, 1 = registered names the cache misses,
// 2 = names that are not registered.
void BM_Find(benchmark::State& state) {
    TWorld world;
    const int mode = static_cast<int>(state.range(0));
    std::vector<std::string> asked;
    if (mode == 0) {
        for (int i = 0; i < 16; ++i) asked.push_back(NameOf(i * 31));
    } else if (mode == 1) {
        for (int i = 0; i < 64; ++i) asked.push_back(NameOf((i * 97) % kObjects));
    } else {
        for (int i = 0; i < 64; ++i) asked.push_back("0_none," + std::to_string(i));
    }
    for (const std::string& n : asked) world.mgr.Find(n);
    size_t at = 0;
    const uint64_t before = g_allocations.load(std::memory_order_relaxed);
    for (auto _ : state) {
        benchmark::DoNotOptimize(world.mgr.Find(asked[at]));
        at = at + 1 == asked.size() ? 0 : at + 1;
    }
    state.counters["allocs_per_find"] =
        static_cast<double>(g_allocations.load(std::memory_order_relaxed) - before) /
        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.SetLabel(mode == 0 ? "cache hits" : mode == 1 ? "cache misses (list scan)" : "absent names");
}
BENCHMARK(BM_Find)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
