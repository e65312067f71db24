// Text drawing with the installed Japanese outline font: a page of 400
// distinct kanji at 24 px with an empty glyph cache (every glyph rendered by
// FreeType) against the same page drawn again (every glyph from the cache),
// and a warm page with one decoration layer against all 16. Absolute times
// move with the machine; the ratios are what to compare.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "BenchRatio.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/FreeTypeRasterizer.h"

namespace {

using namespace zel;

constexpr int kCell = 24, kPerLine = 40, kLines = 10;

// 400 distinct kanji of JIS level 1 (lead bytes 0x88..0x8C), 40 to a line.
std::string KanjiLine(int line) {
    std::string s;
    for (int i = 0; i < kPerLine; ++i) {
        const int n = line * kPerLine + i;
        s.push_back(static_cast<char>(0x89 + n / 94));
        s.push_back(static_cast<char>(0x40 + n % 94 + (0x40 + n % 94 >= 0x7F ? 1 : 0)));
    }
    return s;
}

TFreeTypeRasterizer& Raster() {
    static TFreeTypeRasterizer r;
    return r;
}

void DrawPage(TFontTable& fonts, TARGB8888& img) {
    for (int l = 0; l < kLines; ++l)
        benchmark::DoNotOptimize(fonts.DrawText(img, 0, l * kCell, KanjiLine(l), kCell, kCell, 0xFFFFFFFF, 0, false));
}

void BM_Cold(benchmark::State& state) {
    TARGB8888 img;
    img.NewImage(kCell * kPerLine, kCell * kLines, 0);
    {
        TFontTable warmup(Raster());  // faces opened once, outside the timing
        DrawPage(warmup, img);
    }
    for (auto _ : state) {
        TFontTable fonts(Raster());
        DrawPage(fonts, img);
    }
}

void BM_Warm(benchmark::State& state, int layers) {
    TARGB8888 img;
    img.NewImage(kCell * kPerLine, kCell * kLines, 0);
    TFontTable fonts(Raster());
    TFontDecoration d;
    for (int i = 0; i < layers; ++i) d.layers[size_t(i)] = {i == layers - 1 ? 0xFFFFFFFFu : 0xFF203040u, i % 3 - 1, i / 3 % 3 - 1, 0, 0};
    fonts.SetSystemFont(0, "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e", 0, false, 2, d);
    DrawPage(fonts, img);
    for (auto _ : state) DrawPage(fonts, img);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("page_400_kanji_cold", BM_Cold)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("page_400_kanji_warm", BM_Warm, 1)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("page_400_kanji_warm_16_layers", BM_Warm, 16)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    zel::bench::RatioReporter::PrintHeading("Ratios, 400 kanji at 24 px, this run");
    auto ratio = [&](const char* what, const char* a, const char* b) { reporter.PrintRatio(what, a, b); };
    auto get = [&](const char* n) { return reporter.Time(n); };
    ratio("cold page / warm page", "page_400_kanji_cold", "page_400_kanji_warm");
    ratio("16 layers / 1 layer (warm)", "page_400_kanji_warm_16_layers", "page_400_kanji_warm");
    std::printf("%-44s %12.3f\n", "warm page, ms", get("page_400_kanji_warm") / 1000.0);
    return 0;
}
