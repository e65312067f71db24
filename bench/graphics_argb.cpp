// Full-screen (1280x720) pixel operations against the memory limit and
// against pixman. Absolute times move with the load of a shared machine, so
// the program ends with a table of ratios taken from this one run:
//   memcpy    one frame (3.5 MiB read, 3.5 MiB written): the memory limit
//   DrawEx    alpha blend of a translucent picture: reads source and
//             destination, writes the destination
//   pixman    OVER of the same picture (premultiplied) onto the same frame
//   CrossFade reads two frames, writes a third
//   CopyToSurface  reads a frame, writes a 32-bit surface
// Each operation runs with every kernel table this processor has. The
// frames of the plain runs stay in a large last-level cache between
// iterations; the "_cold" runs cycle through 16 frames (56 MiB) so that the
// pixels come from main memory, as the memory limit is meant. Run with
// --benchmark_repetitions=N: the fastest repetition of each counts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#if __has_include(<pixman.h>)
#include <pixman.h>
#define ZEL_HAVE_PIXMAN 1
#elif __has_include(<pixman-1/pixman.h>)
#include <pixman-1/pixman.h>
#define ZEL_HAVE_PIXMAN 1
#endif

#include "graphics/ARGB8888Kernels.h"
#include "graphics/ARGB8888Lib.h"
#include "BenchRatio.h"

using namespace zel;

namespace {

constexpr int32_t kW = 1280, kH = 720;
constexpr size_t kFrameBytes = size_t(kW) * kH * 4;

// A picture with alpha across its whole area, as a full-screen overlay or a
// faded background would have: colours random, alpha a diagonal ramp with
// noise, so that no register is all opaque or all clear.
TARGB8888 Picture(uint32_t seed) {
    std::mt19937 rng(seed);
    TARGB8888 img;
    img.NewImage(kW, kH);
    for (int32_t y = 0; y < kH; ++y) {
        uint32_t* row = img.Row(y);
        for (int32_t x = 0; x < kW; ++x) {
            const uint32_t a = ((x + y) * 255 / (kW + kH) + (rng() & 15)) & 0xFF;
            row[x] = a << 24 | (rng() & 0xFFFFFF);
        }
    }
    img.UpdateTransparency();
    return img;
}

// A sprite sheet as games draw them: opaque shapes on a clear ground with
// soft edges (a third each).
TARGB8888 Sprite(uint32_t seed) {
    std::mt19937 rng(seed);
    TARGB8888 img;
    img.NewImage(kW, kH);
    for (int32_t y = 0; y < kH; ++y) {
        uint32_t* row = img.Row(y);
        for (int32_t x = 0; x < kW; ++x) {
            const int32_t band = ((x / 64) + (y / 48)) % 3;
            const uint32_t a = band == 0 ? 0 : band == 1 ? 255 : (rng() & 0xFF);
            row[x] = a << 24 | (rng() & 0xFFFFFF);
        }
    }
    img.UpdateTransparency();
    return img;
}

struct Frames {
    TARGB8888 picture = Picture(1), sprite = Sprite(2), other = Picture(3), dest = Picture(4);
    std::vector<uint32_t> surface = std::vector<uint32_t>(size_t(kW) * kH);
};

Frames& F() {
    static Frames f;
    return f;
}

// Eight source and eight destination frames, more than a last-level cache holds.
constexpr int kColdPairs = 8;
struct ColdFrames {
    std::vector<TARGB8888> src, dst;
    ColdFrames() {
        for (int i = 0; i < kColdPairs; ++i) {
            src.push_back(Picture(100 + i));
            dst.push_back(Picture(200 + i));
        }
    }
};

ColdFrames& Cold() {
    static ColdFrames c;
    return c;
}

const char* LevelName(TKernelLevel l) {
    return l == TKernelLevel::Scalar ? "scalar" : l == TKernelLevel::Sse2 ? "sse2" : "avx2";
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> a(kFrameBytes, 1), b(kFrameBytes, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kFrameBytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_MemcpyCold(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> a(kColdPairs, std::vector<uint8_t>(kFrameBytes, 1));
    std::vector<std::vector<uint8_t>> b(kColdPairs, std::vector<uint8_t>(kFrameBytes, 2));
    int i = 0;
    for (auto _ : state) {
        std::memcpy(b[i].data(), a[i].data(), kFrameBytes);
        benchmark::DoNotOptimize(b[i].data());
        benchmark::ClobberMemory();
        i = (i + 1) % kColdPairs;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_DrawExAlphaCold(benchmark::State& state, TKernelLevel level) {
    SelectKernels(level);
    ColdFrames& c = Cold();
    int i = 0;
    for (auto _ : state) {
        c.src[i].DrawEx(c.dst[i], 0, 0, 0, 0, kW, kH, 0, 0xFFFFFFFF, 255, 2, 0, kH);
        benchmark::ClobberMemory();
        i = (i + 1) % kColdPairs;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_DrawExAlpha(benchmark::State& state, TKernelLevel level, bool sprite, uint8_t alpha) {
    SelectKernels(level);
    Frames& f = F();
    const TARGB8888& src = sprite ? f.sprite : f.picture;
    for (auto _ : state) {
        src.DrawEx(f.dest, 0, 0, 0, 0, kW, kH, 0, 0xFFFFFFFF, alpha, 2, 0, kH);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_CrossFade(benchmark::State& state, TKernelLevel level) {
    SelectKernels(level);
    Frames& f = F();
    for (auto _ : state) {
        f.picture.CrossFade(f.dest, f.other, 0, 0, 0, 0, kW, kH, 100);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_CopyToSurface(benchmark::State& state, TKernelLevel level) {
    SelectKernels(level);
    Frames& f = F();
    const TLockedSurface s{f.surface.data(), ptrdiff_t{kW} * 4, kW, kH, 32, 0};
    for (auto _ : state) {
        f.picture.CopyToSurface(&s, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

#ifdef ZEL_HAVE_PIXMAN
// pixman works on premultiplied pixels: the same picture, premultiplied once.
void BM_PixmanOver(benchmark::State& state, bool sprite) {
    Frames& f = F();
    const TARGB8888& pic = sprite ? f.sprite : f.picture;
    std::vector<uint32_t> src(size_t(kW) * kH), dst(size_t(kW) * kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            const uint32_t p = pic.Row(y)[x], a = p >> 24;
            uint32_t q = a << 24;
            for (int s = 0; s < 24; s += 8) q |= (((p >> s) & 0xFF) * a / 255) << s;
            src[size_t(y) * kW + x] = q;
            dst[size_t(y) * kW + x] = f.dest.Row(y)[x] | 0xFF000000u;
        }
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, src.data(), kW * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, dst.data(), kW * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
#endif

// Keeps the time per iteration of every benchmark for the ratio table.
}  // namespace

int main(int argc, char** argv) {
    std::vector<TKernelLevel> levels{TKernelLevel::Scalar, TKernelLevel::Sse2};
    if (Avx2Kernels() != nullptr) levels.push_back(TKernelLevel::Avx2);

    benchmark::RegisterBenchmark("memcpy", BM_Memcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("memcpy_cold", BM_MemcpyCold)->Unit(benchmark::kMicrosecond);
    for (TKernelLevel l : levels) {
        const std::string n = LevelName(l);
        benchmark::RegisterBenchmark(("DrawEx_alpha_picture/" + n).c_str(), BM_DrawExAlpha, l, false, uint8_t{255})
            ->Unit(benchmark::kMicrosecond);
        if (l != TKernelLevel::Scalar)
            benchmark::RegisterBenchmark(("DrawEx_alpha_picture_cold/" + n).c_str(), BM_DrawExAlphaCold, l)
                ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("DrawEx_alpha_sprite/" + n).c_str(), BM_DrawExAlpha, l, true, uint8_t{255})
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("DrawEx_alpha_picture_fade128/" + n).c_str(), BM_DrawExAlpha, l, false,
                                     uint8_t{128})
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("CrossFade/" + n).c_str(), BM_CrossFade, l)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("CopyToSurface32/" + n).c_str(), BM_CopyToSurface, l)
            ->Unit(benchmark::kMicrosecond);
    }
#ifdef ZEL_HAVE_PIXMAN
    benchmark::RegisterBenchmark("pixman_OVER_picture", BM_PixmanOver, false)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("pixman_OVER_sprite", BM_PixmanOver, true)->Unit(benchmark::kMicrosecond);
#endif
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& t = reporter.times;
    auto get = [&](const std::string& n) { return t.count(n) ? t[n] : 0.0; };
    const double hot = get("memcpy"), cold = get("memcpy_cold");
    if (hot <= 0) return 0;
    std::printf("\nRatios, 1280x720, this run (time / memcpy of one frame, from main memory for the _cold runs;\n"
                "time / pixman OVER of the same picture)\n");
    std::printf("%-34s %10s %10s %10s\n", "operation", "us", "x memcpy", "x pixman");
    for (const auto& [name, time] : t) {
        const double base = (name.find("_cold") != std::string::npos && cold > 0) ? cold : hot;
        double pix = 0;
        if (name.rfind("DrawEx_alpha_picture/", 0) == 0) pix = get("pixman_OVER_picture");
        if (name.rfind("DrawEx_alpha_sprite/", 0) == 0) pix = get("pixman_OVER_sprite");
        if (pix > 0) std::printf("%-34s %10.1f %10.2f %10.2f\n", name.c_str(), time, time / base, time / pix);
        else std::printf("%-34s %10.1f %10.2f %10s\n", name.c_str(), time, time / base, "-");
    }
    return 0;
}
