// The cell drawer and the compositor at 1280x720. Absolute times move with
// the load of a shared machine, so the program ends with ratios from this
// one run:
//   still_scene_20_layers   a frame of a scene that does not change: the 20
//                           cells are submitted, compared band by band and
//                           nothing is drawn or presented
//   full_redraw_20_layers   the same scene with every band invalidated, drawn
//                           and presented whole (what the band cache saves)
//   alpha_redraw_20_full    20 full-screen translucent pictures blended each
//                           frame, against memcpy of the same bytes written
//   crossfade_frame         a frame of a running whole-screen fade in (1024 ms
//                           at 16 ms a frame, started again when it ends):
//                           render (one full-screen cell, unchanged),
//                           cross-fade and present
// Run with --benchmark_repetitions=N: the fastest repetition of each counts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/Compositor.h"
#include "platform/Devices.h"
#include "BenchRatio.h"

using namespace zel;

namespace {

constexpr int32_t kW = 1280, kH = 720;
constexpr size_t kFrameBytes = size_t(kW) * kH * 4;
constexpr int kLayers = 20;

// A back buffer in memory; presents only count.
class TMemoryDisplay final : public IDisplayDevice {
public:
    TMemoryDisplay() : back_(size_t(kW) * kH) {}
    void SetScreenSize(int, int) override {}
    int ScreenWidth() const override { return kW; }
    int ScreenHeight() const override { return kH; }
    void SetMemoryTypes(int, int) override {}
    bool Initialize(bool) override { return true; }
    bool IsInitialized() const override { return true; }
    bool IsFullScreen() const override { return false; }
    bool ToggleFullScreen() override { return false; }
    uint32_t* Lock(int* pitch) override {
        *pitch = kW * 4;
        return back_.data();
    }
    void Unlock() override {}
    void MarkRows(int top, int bottom) override { rows += bottom - top; }
    void Present(bool) override {}
    bool Restore() override { return true; }
    int64_t rows = 0;

private:
    std::vector<uint32_t> back_;
};

TARGB8888 Picture(int32_t w, int32_t h, uint32_t seed, bool opaque) {
    std::mt19937 rng(seed);
    TARGB8888 img;
    img.NewImage(w, h);
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = img.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t a = opaque ? 255u : (((x + y) * 255 / (w + h) + (rng() & 15)) & 0xFF);
            row[x] = a << 24 | (rng() & 0xFFFFFF);
        }
    }
    img.UpdateTransparency();
    return img;
}

// A typical scene: an opaque background picture, then 19 translucent
// layers (characters, a message window, buttons) of various sizes.
struct TScene {
    std::vector<TARGB8888> pictures;
    std::vector<std::pair<int32_t, int32_t>> places;

    TScene() {
        pictures.push_back(Picture(kW, kH, 1, true));
        places.emplace_back(0, 0);
        std::mt19937 rng(7);
        for (int i = 1; i < kLayers; ++i) {
            const int32_t w = 100 + int32_t(rng() % 500), h = 60 + int32_t(rng() % 400);
            pictures.push_back(Picture(w, h, uint32_t(i + 1), false));
            places.emplace_back(int32_t(rng() % (kW - w)), int32_t(rng() % (kH - h)));
        }
    }
    void Submit(TARGB8888CellDraw& d) const {
        for (size_t i = 0; i < pictures.size(); ++i) {
            const TARGB8888& p = pictures[i];
            d.AddImageCell(places[i].first, places[i].second, 0, 0, p.Width(), p.Height(), int32_t(10 + i), 0, &p,
                           0, 255, 0, 0xFFFFFF, 2);
        }
    }
};

void BM_StillScene(benchmark::State& state, bool invalidate) {
    static const TScene scene;
    TARGB8888CellDraw d;
    d.SetSize(kW, kH);
    TMemoryDisplay disp;
    for (int i = 0; i < 4; ++i) {
        scene.Submit(d);
        d.Render(0xFF000000u, false, 0xFFFF);
        d.PresentBands(disp, false, false);
    }
    disp.rows = 0;
    for (auto _ : state) {
        if (invalidate) d.InvalidateAll();
        scene.Submit(d);
        d.Render(0xFF000000u, false, 0xFFFF);
        d.PresentBands(disp, invalidate, false);
        benchmark::ClobberMemory();
    }
    state.counters["rows_presented_per_frame"] = double(disp.rows) / double(state.iterations());
}

void BM_AlphaRedraw(benchmark::State& state) {
    std::vector<TARGB8888> layers;
    for (int i = 0; i < kLayers; ++i) layers.push_back(Picture(kW, kH, uint32_t(100 + i), false));
    TARGB8888CellDraw d;
    d.SetSize(kW, kH);
    for (auto _ : state) {
        d.InvalidateAll();
        for (int i = 0; i < kLayers; ++i)
            d.AddImageCell(0, 0, 0, 0, kW, kH, 10 + i, 0, &layers[size_t(i)], 0, 255, 0, 0xFFFFFF, 2);
        d.Render(0xFF000000u, false, 0xFFFF);
        benchmark::ClobberMemory();
    }
}

void BM_MemcpyLayers(benchmark::State& state, int frames) {
    std::vector<uint32_t> src(size_t(kW) * kH, 0x12345678u), dst(size_t(kW) * kH);
    for (auto _ : state) {
        for (int i = 0; i < frames; ++i) {
            std::memcpy(dst.data(), src.data(), kFrameBytes);
            benchmark::ClobberMemory();
        }
    }
}

void BM_CrossFadeFrame(benchmark::State& state) {
    const TARGB8888 picture = Picture(kW, kH, 42, true);
    TZelGraphic g;
    g.SetScreenSize(kW, kH);
    TMemoryDisplay disp;
    g.Cells().AddImageCell(0, 0, 0, 0, kW, kH, 10, 0, &picture, 0, 255, 0, 0xFFFFFF, 2);
    // A fade of 64 frames of 16 ms, started again (outside the timing) each
    // time it ends, so that every timed frame is a frame of a running fade.
    auto restart = [&] {
        g.Cells().AddImageCell(0, 0, 0, 0, kW, kH, 10, 0, &picture, 0, 255, 0, 0xFFFFFF, 2);
        g.Render(false, 0xFFFF);
        g.Capture(0xFFFF);
        g.FadeIn(64 * 16, 0xFFFF, "");
    };
    restart();
    int64_t faded = 0;
    for (auto _ : state) {
        if (g.Kind() != tkFadeIn) {
            state.PauseTiming();
            restart();
            state.ResumeTiming();
        }
        g.Advance(16);
        faded += g.Kind() == tkFadeIn ? 1 : 0;
        g.Cells().AddImageCell(0, 0, 0, 0, kW, kH, 10, 0, &picture, 0, 255, 0, 0xFFFFFF, 2);
        g.Render(false, 0xFFFF);
        g.Present(disp, false, false);
        benchmark::ClobberMemory();
    }
    state.counters["fraction_fading"] = double(faded) / double(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("still_scene_20_layers", BM_StillScene, false)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("full_redraw_20_layers", BM_StillScene, true)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("alpha_redraw_20_full", BM_AlphaRedraw)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("memcpy_20_frames", BM_MemcpyLayers, kLayers)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("crossfade_frame", BM_CrossFadeFrame)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("memcpy_1_frame", BM_MemcpyLayers, 1)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    zel::bench::RatioReporter::PrintHeading("Ratios, 1280x720, this run");
    auto ratio = [&](const char* what, const char* a, const char* b) { reporter.PrintRatio(what, a, b); };
    ratio("full redraw / still scene (20 layers)", "full_redraw_20_layers", "still_scene_20_layers");
    ratio("20 alpha layers / memcpy of 20 frames", "alpha_redraw_20_full", "memcpy_20_frames");
    ratio("cross-fade frame + present / memcpy frame", "crossfade_frame", "memcpy_1_frame");
    return 0;
}
