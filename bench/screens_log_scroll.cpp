// One scroll step of the backlog over a full log of 256 long entries (about
// 100 characters each, three lines at 24 px in a 720 x 520 list), with the
// installed Japanese outline font and a warm glyph cache: the rows typed
// anew from the new scroll value, then the screen's cells (the frozen game
// screen, the rows, a speaker picture, a voice icon and a line a row, the
// scroll bar) submitted and rendered at 800 x 600. The scroll value
// alternates between two neighbours, so every step types other rows and
// redraws the bands they cover. The budget is a tenth of a 40 fps frame,
// 4 ms; the baseline is drawing the same visible text straight with
// DrawText. Absolute times move with the machine; the ratios are what to
// compare.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "anim/AnimationBmpLib.h"
#include "anim/ButtonLib.h"
#include "anim/MessageLib.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/FreeTypeRasterizer.h"
#include "graphics/ImageFiles.h"
#include "records/ZelLogdataLib.h"
#include "screens/ZelLogLib.h"
#include "screens/ZelLogView.h"
#include "storage/GameFiles.h"

namespace {

using namespace zel;

constexpr int kEntries = 256, kChars = 96;
constexpr double kBudgetMs = 4.0;

class TMemFiles final : public IGameFiles {
public:
    void Add(const std::string& name, int w, int h, uint32_t colour) {
        TARGB8888 img;
        img.NewImage(w, h, colour);
        TMemoryStream s;
        SaveBmp(img, s);
        files_[AsciiLower(name)] = s.TakeBytes();
    }
    bool GameFileExists(std::string_view p) override { return files_.count(AsciiLower(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        const auto it = files_.find(AsciiLower(p));
        return it == files_.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }

private:
    std::map<std::string, std::vector<uint8_t>> files_;
};

std::string Kanji(int n) {
    n %= 94 * 20;
    std::string s;
    s.push_back(static_cast<char>(0x89 + n / 94));
    const int t = 0x40 + n % 94;
    s.push_back(static_cast<char>(t + (t >= 0x7F ? 1 : 0)));
    return s;
}

// Entry e: a colour code, kChars kanji taken from a pool of 1880, a ruby.
std::string EntryText(int e) {
    std::string s = "[c,$FFE0E0FF]";
    for (int i = 0; i < kChars; ++i) s += Kanji(e * 37 + i * 11);
    return s + "[rb,abc,def]";
}

const char* const kLayout =
    "msg.position=40,40\n"
    "msg.TextSize=0,0,720,520\n"
    "msg.HitSize=0,0,720,520\n"
    "Font.Size=24,24\n"
    "msg.Space=8\n"
    "DivideNameFormat=[c,%%%actcolor]%%%name[n]\n"
    "CharctorImagePosition=-36,0\n"
    "VoiceIconImagePosition=690,0\n"
    "VoiceIconImage=icon.bmp\n"
    "BorderLineColor=$80FFFFFF\n"
    "no[0]=$20000000,$FFFFFF00,0,aoi.bmp,Aoi\n"
    "no[1]=$20000040,$FF00FFFF,0,ren.bmp,Ren\n"
    "scrollbar.button.filename=knob.bmp\n"
    "scrollbar.bar.filename=track.bmp\n"
    "scrollbar.type=1\n"
    "ScrollBar.Position=770,40,200\n";

TFreeTypeRasterizer& Raster() {
    static TFreeTypeRasterizer r;
    return r;
}

struct Screen {
    TFontTable fonts{Raster()};
    TMessageServices services;
    TAnimationResources res;
    TMemFiles files;
    TZelLogData log;
    TARGB8888 backdrop;
    TARGB8888CellDraw cells;
    TLogView view{&files, res, &services};
    int32_t maximum = kEntries - 1;

    Screen() {
        services.fonts = &fonts;
        files.Add("system\\log\\aoi.bmp", 32, 64, 0xFFE00080u);
        files.Add("system\\log\\ren.bmp", 32, 64, 0xFF0080E0u);
        files.Add("System\\Log\\icon.bmp", 24, 24, 0xFF00C000u);
        files.Add("System\\Log\\knob.bmp", 16, 32, 0xFFFFFFFFu);
        files.Add("System\\Log\\track.bmp", 16, 520, 0xFF404040u);
        files.Add("voice\\v.ogg", 1, 1, 0);
        for (int e = 0; e < kEntries; ++e)
            log.Add(EntryText(e), e % 2 ? "Ren" : "Aoi", 0, 255, 0, 0, e % 3 == 0 ? "voice\\v.ogg" : "");
        cells.SetSize(800, 600);
        backdrop.NewImage(800, 600, 0xFF203040u);
        view.LoadLayout(TLogLayout::Parse(kLayout));
        view.Open(0, maximum);
    }
    // One step: rows from value, then the frame drawn.
    void Step(int32_t value) {
        view.Rescroll(value);
        view.Update(25);
        view.FillRows(log);
        cells.AddImageCell(0, 0, 0, 0, 800, 600, -1000, 0, &backdrop, 0, 255, 0, 0xFFFFFFFFu, 2);
        view.Draw(cells);
        cells.Render(0xFF000000u, false, 0xFFFF);
    }
};

void BM_ScrollStep(benchmark::State& state) {
    Screen s;
    int32_t value = 100;
    for (int i = 0; i < 8; ++i) s.Step(value + (i & 1));  // warms the glyph cache
    for (auto _ : state) {
        value ^= 1;  // 100, 101, 100, ...
        s.Step(value);
        benchmark::DoNotOptimize(s.view.List()->RowCount());
    }
    state.counters["rows"] = s.view.List()->RowCount();
}

// The text of the rows of scroll value 100, drawn straight into a picture.
void BM_DrawTextBaseline(benchmark::State& state) {
    Screen s;
    s.Step(100);
    std::vector<std::string> texts;
    for (int32_t i = 0; i < s.view.List()->RowCount(); ++i) {
        std::string t;
        const std::string raw = EntryText(s.view.List()->RowValue(i));
        for (size_t p = raw.find(']') + 1; p + 1 < raw.size() && raw[p] != '['; p += 2) t += raw.substr(p, 2);
        texts.push_back(t);
    }
    TARGB8888 img;
    img.NewImage(720, 520, 0);
    for (auto _ : state)
        for (size_t i = 0; i < texts.size(); ++i)
            for (size_t line = 0; line * 60 < texts[i].size(); ++line)
                benchmark::DoNotOptimize(s.fonts.DrawText(img, 0, static_cast<int32_t>(i * 80 + line * 24),
                                                          std::string_view(texts[i]).substr(line * 60, 60), 24,
                                                          24, 0xFFFFFFFFu, 0, false));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("log_scroll_step_256", BM_ScrollStep)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("drawtext_visible_rows", BM_DrawTextBaseline)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    zel::bench::RatioReporter::PrintHeading("Ratios, this run");
    reporter.PrintRatio("scroll step / DrawText of the visible text", "log_scroll_step_256", "drawtext_visible_rows");
    const double ms = reporter.Time("log_scroll_step_256") / 1000.0;
    if (ms > 0) {
        std::printf("%-44s %12.2f\n", "scroll step / 4 ms budget (goal < 1)", ms / kBudgetMs);
        std::printf("%-44s %12.3f\n", "scroll step, ms (goal < 4)", ms);
    }
    return 0;
}
