// The animation player, one frame at a time: advancing by a 25 ms frame and
// handing every layer to the cell drawer as a cell (the drawer is emptied
// outside the timing). The animations loop, so every frame does the same
// steady work; the program ends with each frame's share of the 25 ms frame
// budget of 40 fps.
//   frame_100x8      100 animations of 8 moving, fading picture layers
//   frame_1x255      one animation of 255 such layers (the most a motion holds)
// Run with --benchmark_repetitions=N: the fastest repetition of each counts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "anim/AnimationBmpLib.h"
#include "anim/AnimationBmpWriter.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ImageFiles.h"
#include "BenchRatio.h"

using namespace zel;

namespace {

constexpr double kFrameBudgetUs = 25000;

// Layers of a picture moving right and back over 2 s with interpolated
// position, angle and opacity, looping at key 2.
std::vector<uint8_t> LoopingAnimation(int layers) {
    TARGB8888 pic;
    pic.NewImage(32, 32, 0xFF808080);
    TMemoryStream bmp;
    SaveBmp(pic, bmp);
    TABMPFile f;
    f.images.push_back({"pic", afBmp, bmp.TakeBytes()});
    TABMPMotion m;
    m.name = "loop";
    for (int i = 0; i < layers; ++i) {
        TABMPLayer l;
        for (int k = 0; k < 3; ++k) {
            TABMPKey& key = l.keys[k];
            key.time = k == 0 ? 0 : k * 1000 + i;
            key.kind = akImage;
            key.dst = {static_cast<int16_t>(k == 1 ? 200 : 0), static_cast<int16_t>(i % 400), 0, 0};
            key.dstInterp = 1 + i % 5;
            key.colourInterp = 1;
            key.opacity = k == 1 ? 128 : 255;
            key.layer = static_cast<int16_t>(i);
        }
        l.keys[2].action = 1;
        m.layers.push_back(l);
    }
    f.motions.push_back(std::move(m));
    std::vector<uint8_t> out;
    WriteABMP(f, 11, out);
    return out;
}

void BM_Frame(benchmark::State& state, int objects, int layers) {
    TAnimationResources res;
    const std::vector<uint8_t> file = LoopingAnimation(layers);
    std::vector<std::unique_ptr<TAnimationBmp>> anims;
    for (int i = 0; i < objects; ++i) {
        anims.push_back(std::make_unique<TAnimationBmp>(res, nullptr));
        TMemoryStream s(file);
        anims.back()->LoadFromStream(s, "bench.b");
        anims.back()->Advance(i * 17);  // out of step with each other
    }
    TARGB8888CellDraw drawer;
    drawer.SetSize(800, 600);
    for (auto _ : state) {
        for (int i = 0; i < objects; ++i) {
            anims[i]->Advance(25);
            anims[i]->Draw(drawer, i % 10 * 60, i / 10 * 50, 255, i * 10);
        }
        state.PauseTiming();
        if (drawer.SubmittedCount() != objects * layers) {
            std::fprintf(stderr, "%d cells of %d\n", drawer.SubmittedCount(), objects * layers);
            state.SkipWithError("cells went missing");
            break;
        }
        drawer.Clear();
        state.ResumeTiming();
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("frame_100x8", BM_Frame, 100, 8)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("frame_1x255", BM_Frame, 1, 255)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nShare of the 25 ms frame budget, this run\n%-24s %12s %12s\n", "frame", "us", "ratio");
    for (const char* n : {"frame_100x8", "frame_1x255"}) {
        if (!reporter.times.count(n)) continue;
        const double us = reporter.times[n];
        std::printf("%-24s %12.1f %12.4f\n", n, us, us / kFrameBudgetUs);
    }
    return 0;
}
