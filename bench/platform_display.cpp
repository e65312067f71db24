// A full-frame present through the display device against copying the frame
// with memcpy, at 1280x720. The present is what the frame loop pays: lock
// the back buffer, copy the composed frame into it (CopyToSurface's job;
// here a row-wise memcpy), mark the rows, unlock and present, with the
// changed-row bookkeeping. The headless output shows nothing, so this
// measures the device's own cost; "interlaced" marks every other row. The
// program ends with a table of ratios from this run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/HeadlessDisplay.h"
#include "BenchRatio.h"

using namespace zel;

namespace {

constexpr int kW = 1280, kH = 720;

const std::vector<uint32_t>& Frame() {
    static const std::vector<uint32_t> f = [] {
        std::vector<uint32_t> v(size_t(kW) * kH);
        for (size_t i = 0; i < v.size(); ++i) v[i] = uint32_t(i * 2654435761u) | 0xFF000000u;
        return v;
    }();
    return f;
}

void BM_Memcpy(benchmark::State& state) {
    const std::vector<uint32_t>& src = Frame();
    std::vector<uint32_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

void BM_Present(benchmark::State& state, bool interlaced) {
    const std::vector<uint32_t>& src = Frame();
    THeadlessDisplay d;
    d.SetScreenSize(kW, kH);
    if (!d.Initialize(false)) {
        state.SkipWithError("display");
        return;
    }
    int parity = 0;
    for (auto _ : state) {
        int pitch = 0;
        uint32_t* p = d.Lock(&pitch);
        const int step = interlaced ? 2 : 1;
        for (int y = interlaced ? parity : 0; y < kH; y += step)
            std::memcpy(reinterpret_cast<uint8_t*>(p) + ptrdiff_t(pitch) * y, src.data() + size_t(y) * kW, kW * 4);
        if (interlaced)
            d.MarkRowsOfParity(0, kH, parity);
        else
            d.MarkRows(0, kH);
        d.Unlock();
        d.Present(false);
        parity ^= 1;
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("memcpy_frame", BM_Memcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("present_full_frame", BM_Present, false)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("present_interlaced_frame", BM_Present, true)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto& t = reporter.times;
    if (!t.count("memcpy_frame") || t["memcpy_frame"] <= 0) return 0;
    std::printf("\nRatios, %dx%d, this run (time / memcpy of one frame):\n", kW, kH);
    for (const auto& [name, time] : t)
        std::printf("%-26s %9.1f us %8.2f\n", name.c_str(), time, time / t["memcpy_frame"]);
    return 0;
}
