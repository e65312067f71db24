// The backlog's widgets: which entry each row holds and which rows can
// replay a voice, the speaker pictures, voice icons and lines drawn at their
// rows, the hovered row, the knob that follows the scroll value and the
// track that scrolls, the style colour that a colour lock keeps, and a list
// that cannot take another row.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "anim/AnimTestSupport.h"
#include "anim/ButtonLib.h"
#include "anim/ScrollBarLib.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Font.h"
#include "records/ZelLogdataLib.h"
#include "screens/ZelLogView.h"
#include "storage/GameFiles.h"
#include "storage/MemoryGameFiles.h"

using namespace zel;
using namespace zeltest;

namespace {

struct InkRaster : IGlyphRasterizer {
    TTextSize Render(const TGlyphRequest&, uint8_t* bm, int32_t w, int32_t h) override {
        std::memset(bm, 0xFF, size_t(w) * size_t(h));
        return {w, h};
    }
};

constexpr uint32_t kPicture = 0xFFFF0000u, kIcon = 0xFF00FF00u, kLine = 0xFF0000FFu, kHover = 0xFF808000u;
constexpr int32_t kListX = 40, kListY = 20, kTextTop = 10;

const char* const kLayout =
    "msg.position=40,20\n"
    "msg.TextSize=0,10,240,200\n"
    "msg.HitSize=0,0,240,200\n"
    "Font.Size=16,16\n"
    "msg.Space=4\n"
    "DivideNameFormat=[c,$FFFF0000]%%%name \n"
    "CharctorImagePosition=-30,0\n"
    "VoiceIconImagePosition=200,2\n"
    "VoiceIconImage=icon.bmp\n"
    "BorderLineColor=$FF0000FF\n"
    "msg.SelectColor=$FF808000\n"
    "no[0]=0,$FFFFFF00,0,aoi.bmp,Aoi\n"
    "no[1]=0,$FF00FFFF,0,,Ren\n"
    "scrollbar.button.filename=knob.bmp\n"
    "scrollbar.bar.filename=track.bmp\n"
    "scrollbar.type=1\n"
    "ScrollBar.Position=300,20,5\n"
    "BGImage=bg.bmp\n";

class LogView : public ::testing::Test {
protected:
    LogView() : fonts(raster) {
        services.fonts = &fonts;
        files.Add("system\\log\\aoi.bmp", BmpBytes(16, 12, kPicture));
        files.Add("System\\Log\\icon.bmp", BmpBytes(8, 8, kIcon));
        files.Add("System\\Log\\knob.bmp", BmpBytes(10, 10, 0xFFFFFFFFu));
        files.Add("System\\Log\\track.bmp", BmpBytes(10, 200, 0xFF404040u));
        files.Add("System\\Log\\bg.bmp", BmpBytes(320, 240, 0xFF102030u));
        files.Add("voice\\here.ogg", {1, 2, 3});
        cells.SetSize(320, 240);
    }
    // Entries of even numbers are Aoi's, odd ones Ren's; entry 1 (the
    // newest but one) carries a voice that exists, entry 2 one that does not.
    void Fill(int n, const std::string& layout = kLayout) {
        for (int i = 0; i < n; ++i) {
            const int entry = n - 1 - i;
            log.Add("m" + std::to_string(i), entry % 2 ? "Ren" : "Aoi", 0, 255, 0, 0,
                    entry == 1 ? "voice\\here.ogg" : entry == 2 ? "voice\\gone.ogg" : "");
        }
        view = std::make_unique<TLogView>(&files, res, &services);
        view->LoadLayout(TLogLayout::Parse(layout));
        view->onScroll = [this](int32_t v) { scrolled.push_back(v); };
    }
    void Open(int32_t value) {
        view->Open(value, std::max(log.Count() - 1, 1));
        view->Update(10);
        view->FillRows(log);
        view->Update(10);
    }
    // Draws the screen; Px then reads it.
    void Frame() {
        view->Draw(cells);
        cells.Render(0xFF000000u, false, 0xFFFF);
    }
    uint32_t Px(int32_t x, int32_t y) const { return cells.FrameBuffer().Row(y)[x] & 0xFFFFFFu; }
    uint32_t At(int32_t x, int32_t y) {
        Frame();
        return Px(x, y);
    }
    int32_t RowTop(int32_t i) const { return kListY + kTextTop + view->List()->RowStartY(i); }

    InkRaster raster;
    TFontTable fonts;
    TMessageServices services;
    TMemoryGameFiles files;
    TAnimationResources res;
    TZelLogData log;
    TARGB8888CellDraw cells;
    std::unique_ptr<TLogView> view;
    std::vector<int32_t> scrolled;
};

TEST_F(LogView, RowsHoldTheirEntriesAndDrawTheirPicturesIconsAndLines) {
    Fill(6);
    Open(1);  // one older entry above: rows of entries 4, 3, 2, 1, 0
    const TMessageSelect& list = *view->List();
    ASSERT_EQ(list.RowCount(), 5);
    EXPECT_EQ(At(2, 230), 0x102030u);  // the background image, under everything
    for (int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const int32_t entry = 4 - i;
        EXPECT_EQ(list.RowValue(i), entry);
        // Only the voice that can be found makes a row replayable.
        EXPECT_EQ(list.RowText(i), entry == 1 ? "voice\\here.ogg" : "");
        const int32_t y0 = RowTop(i), y1 = RowTop(i + 1);
        ASSERT_GT(y1 - y0, 16);
        // Aoi (entries 4, 2, 0) has a picture: 16 x 12 at x - 30, centred on the row.
        const int32_t mid = (y0 + y1) / 2;
        const bool aoi = entry % 2 == 0;
        EXPECT_EQ(At(kListX - 30 + 8, mid) == (kPicture & 0xFFFFFF), aoi);
        EXPECT_EQ(At(kListX - 30 + 8, mid - 6) == (kPicture & 0xFFFFFF), aoi);
        EXPECT_NE(At(kListX - 30 + 8, mid - 7), kPicture & 0xFFFFFF);
        // The voice icon at (200, 2) from the row's start.
        EXPECT_EQ(At(kListX + 200 + 4, y0 + 2 + 4) == (kIcon & 0xFFFFFF), entry == 1);
        // The line closes the row, across the hit area.
        EXPECT_EQ(At(kListX + 120, y1 - 1), kLine & 0xFFFFFF);
        EXPECT_NE(At(kListX + 120, y1 - 2), kLine & 0xFFFFFF);
    }
}

TEST_F(LogView, TheHoveredRowAndTheRowsAClickPicks) {
    Fill(6);
    Open(1);
    const int32_t x = kListX + 230;  // right of the text, inside the hit area
    struct Case {
        int32_t row;
    } cases[] = {{0}, {3}};
    for (const Case& c : cases) {
        const int32_t mid = (RowTop(c.row) + RowTop(c.row + 1)) / 2;
        view->Pointer(x, mid, false);
        view->Update(10);
        for (int32_t r = 0; r < 5; ++r)
            EXPECT_EQ(At(x, (RowTop(r) + RowTop(r + 1)) / 2) == (kHover & 0xFFFFFF), r == c.row) << c.row << " " << r;
        EXPECT_EQ(view->ClickRows(), std::vector<int32_t>{4 - c.row});
        EXPECT_FALSE(view->List()->RowToggled(c.row));  // handled: a second click picks it again
        EXPECT_EQ(view->ClickRows(), std::vector<int32_t>{4 - c.row});
    }
    view->Pointer(x, RowTop(5) + 40, false);  // below the rows
    EXPECT_TRUE(view->ClickRows().empty());
}

TEST_F(LogView, TheKnobFollowsTheValueAndTheTrackScrolls) {
    Fill(11);  // maximum 10
    Open(10);
    const int32_t bottom = view->Bar().Knob().Y();
    view->Rescroll(0);
    view->Update(10);
    const int32_t top = view->Bar().Knob().Y();
    EXPECT_EQ(top, 20);            // travel 5..195 on the track at y 20, knob 10 high
    EXPECT_EQ(bottom, 20 + 190);
    EXPECT_EQ(At(305, top + 5), 0xFFFFFFu);
    EXPECT_NE(At(305, bottom + 5), 0xFFFFFFu);
    view->FillRows(log);
    EXPECT_EQ(view->List()->RowValue(0), 10);  // the oldest at the top
    EXPECT_TRUE(scrolled.empty());             // a scroll from the behaviour is not echoed back
    // A click half way down the track, then a drag to its end.
    view->ClickBar(305, 20 + 5 + 95);
    EXPECT_EQ(view->Value(), 5);
    view->Pointer(305, 20 + 199, true);
    EXPECT_EQ(view->Value(), 10);
    EXPECT_EQ(scrolled, (std::vector<int32_t>{5, 10}));
    view->FillRows(log);
    EXPECT_EQ(view->List()->RowValue(0), 0);
    EXPECT_EQ(view->List()->RowCount(), 1);
    view->Pointer(100, 100, false);  // moving without the button drags nothing
    EXPECT_EQ(view->Value(), 10);
}

TEST_F(LogView, SpeakersKeepTheirStyleColourUnderAColourLock) {
    for (const bool lock : {false, true}) {
        log.Clear();
        Fill(2, std::string(kLayout) + (lock ? "LockColor=true\n" : ""));
        Open(0);
        // The name line asks for red; the entry text after it is the speaker's colour.
        Frame();
        int red = 0, aoi = 0, ren = 0;
        for (int32_t y = RowTop(0); y < RowTop(2); ++y)
            for (int32_t x = kListX; x < kListX + 200; ++x) {
                const uint32_t c = Px(x, y);
                // Glyphs blend, so a channel may miss its full value by a step.
                const bool r = (c >> 16 & 0xFF) > 200, g = (c >> 8 & 0xFF) > 200, b = (c & 0xFF) > 200;
                red += r && !g && !b;
                aoi += r && g && !b;
                ren += !r && g && b;
            }
        // Unlocked, the name line's colour stays for the text after it.
        EXPECT_EQ(red > 0, !lock) << lock;
        EXPECT_EQ(aoi > 0 && ren > 0, lock) << lock;
    }
}

TEST_F(LogView, AListThatTakesNoMoreRowsStopsTyping) {
    // A hit area far taller than the text layer: rows end where the layer does.
    Fill(256, "msg.TextSize=0,0,200,100\nmsg.HitSize=0,0,200,5000\nFont.Size=16,16\n");
    Open(0);
    const TMessageSelect& list = *view->List();
    ASSERT_GT(list.RowCount(), 0);
    EXPECT_LE(list.RowCount(), 7);
    for (int32_t i = 0; i < list.RowCount(); ++i) EXPECT_EQ(list.RowValue(i), 255 - i);
    // Each shown entry was typed once (not again and again for a row that never came).
    const size_t typed = list.LogText().size();
    EXPECT_LT(typed, 1000u);
    view->FillRows(log);  // nothing to do until the next scroll
    EXPECT_EQ(list.LogText().size(), typed);
}

}  // namespace
