// The message window with the installed Japanese outline font and a warm
// glyph cache: a page of 400 characters typed at once (1000 x 300 area, 24
// px, ten lines of 40), the same page replayed as after a load (Clear, then
// every byte typed again), and one scroll of a 1280 x 300 text layer. The
// baseline is drawing the same 400 characters straight with DrawText, and a
// memmove of the text layer's bytes for the scroll. Absolute times move with
// the machine; the ratios are what to compare.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "anim/AnimationBmpLib.h"
#include "anim/MessageLib.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/FreeTypeRasterizer.h"

namespace {

using namespace zel;

constexpr int kCell = 24, kPerLine = 40, kLines = 10;

std::string Kanji(int n) {
    std::string s;
    s.push_back(static_cast<char>(0x89 + n / 94));
    s.push_back(static_cast<char>(0x40 + n % 94 + (0x40 + n % 94 >= 0x7F ? 1 : 0)));
    return s;
}

// 400 distinct kanji, a line break after every 40.
std::string PageText() {
    std::string s = "[s,24,24]";
    for (int l = 0; l < kLines; ++l) {
        for (int i = 0; i < kPerLine; ++i) s += Kanji(l * kPerLine + i);
        s += "[n]";
    }
    return s;
}

TFreeTypeRasterizer& Raster() {
    static TFreeTypeRasterizer r;
    return r;
}

struct Window {
    TFontTable fonts{Raster()};
    TMessageServices services;
    TAnimationResources res;
    TMessageLib win{nullptr, res, nullptr, &services};
    Window(int w, int h) {
        services.fonts = &fonts;
        win.SetArea(0, 0, w, h);
    }
};

void BM_DrawTextBaseline(benchmark::State& state) {
    Window w(kCell * kPerLine + 64, kCell * kLines + 16);
    TARGB8888 img;
    img.NewImage(kCell * kPerLine + 64, kCell * kLines + 16, 0);
    std::vector<std::string> lines;
    for (int l = 0; l < kLines; ++l) {
        std::string s;
        for (int i = 0; i < kPerLine; ++i) s += Kanji(l * kPerLine + i);
        lines.push_back(s);
    }
    for (const auto& s : lines) w.fonts.DrawText(img, 0, 0, s, kCell, kCell, 0xFFFFFFFF, 0, false);
    for (auto _ : state)
        for (int l = 0; l < kLines; ++l)
            benchmark::DoNotOptimize(w.fonts.DrawText(img, 0, l * kCell, lines[size_t(l)], kCell, kCell, 0xFFFFFFFF, 0, false));
}

void BM_InstantPage(benchmark::State& state) {
    Window w(kCell * kPerLine + 64, kCell * kLines + 16);
    const std::string text = PageText();
    w.win.AddText(text);
    w.win.Finish();  // warms the glyph cache
    for (auto _ : state) {
        w.win.Clear();
        w.win.AddText(text);
        w.win.Finish();
        benchmark::DoNotOptimize(w.win.CharactersDrawn());
    }
}

void BM_ReplayPage(benchmark::State& state) {
    Window w(kCell * kPerLine + 64, kCell * kLines + 16);
    w.win.AddText(PageText());
    w.win.Finish();
    const std::string pending = w.win.PendingText();
    for (auto _ : state) {
        w.win.ReplayText(pending, pending.size());
        benchmark::DoNotOptimize(w.win.CharactersDrawn());
    }
}

void BM_Scroll(benchmark::State& state) {
    Window w(1280, 300);
    w.win.SetScrollMode(true);
    w.win.AddText(PageText());
    w.win.Finish();
    for (auto _ : state) {
        // A pen below the page: every scroll moves the layer by one line.
        w.win.AddText("[p,0,300]");
        w.win.Finish();
        w.win.Scroll();
        benchmark::DoNotOptimize(w.win.PenY());
    }
}

void BM_MoveBaseline(benchmark::State& state) {
    std::vector<uint32_t> px(size_t{1280} * 300, 0x00888888);
    for (auto _ : state) {
        std::memmove(px.data(), px.data() + 1280 * 32, (px.size() - 1280 * 32) * 4);
        benchmark::DoNotOptimize(px.data());
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("drawtext_400_kanji", BM_DrawTextBaseline)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("instant_page_400", BM_InstantPage)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("replay_page_400", BM_ReplayPage)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("scroll_1280x300", BM_Scroll)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("memmove_1280x300", BM_MoveBaseline)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    zel::bench::RatioReporter::PrintHeading("Ratios, this run");
    auto ratio = [&](const char* what, const char* a, const char* b) { reporter.PrintRatio(what, a, b); };
    auto get = [&](const char* n) { return reporter.Time(n); };
    ratio("instant page / DrawText of the same text", "instant_page_400", "drawtext_400_kanji");
    ratio("replayed page / instant page", "replay_page_400", "instant_page_400");
    ratio("scroll (with its typing) / memmove", "scroll_1280x300", "memmove_1280x300");
    std::printf("%-44s %12.3f\n", "instant page, ms (goal < 2)", get("instant_page_400") / 1000.0);
    return 0;
}
