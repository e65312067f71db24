// The message window: layout by the kinsoku rules, the control codes, typing
// time and waits, ruby, the limit, page turns, saved state, and the bounds
// every reader of text and state keeps. Drawn with a fake rasteriser: a
// one-byte character inks the left half of its cell and advances half a
// cell, any other character inks and advances the whole cell.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "anim/AnimationBmpLib.h"
#include "anim/MessageLib.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888Font.h"

using namespace zel;

namespace {

struct FakeRaster : IGlyphRasterizer {
    std::vector<TGlyphRequest> calls;
    TTextSize Render(const TGlyphRequest& r, uint8_t* bm, int32_t w, int32_t h) override {
        calls.push_back(r);
        const int32_t inkW = r.code <= 0xFF ? w / 2 : w;
        for (int32_t y = 0; y < h; ++y) std::memset(bm + size_t(y) * size_t(w), 0x80, size_t(inkW));
        return {inkW, h};
    }
};

// Shift-JIS characters used below, as bytes.
const std::string A = "\x82\xa0";          // あ
const std::string I = "\x82\xa2";          // い
const std::string Comma = "\x81\x41";      // 、
const std::string Open = "\x81\x75";       // 「
const std::string WideSpace = "\x81\x40";  // full-width space
const std::string Kan = "\x8a\xbf";        // 漢
const std::string Ji = "\x8e\x9a";         // 字
const std::string Ka = "\x82\xa9", N = "\x82\xf1", Zi = "\x82\xb6";  // か ん じ

std::string Times(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class MessageWindow : public ::testing::Test {
protected:
    MessageWindow() : fonts(raster) {
        services.fonts = &fonts;
        win = std::make_unique<TMessageLib>(nullptr, res, nullptr, &services);
        EXPECT_TRUE(win->SetArea(0, 0, 200, 200));
    }
    void Type(const std::string& text) {
        win->AddText(text);
        win->Finish();
    }
    bool Inked(int x, int y) const { return (win->TextLayer().Pixel(x, y) >> 24) != 0; }
    // The colour of an inked pixel, each channel rounded to 0 or 255 (the
    // glyph edge blends lose a step).
    uint32_t Rgb(int x, int y) const {
        const uint32_t p = win->TextLayer().Pixel(x, y);
        if ((p >> 24) == 0) return 0x1000000;  // not inked
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) out |= (((p >> (8 * c)) & 0xFF) >= 0x80 ? 0xFFu : 0u) << (8 * c);
        return out;
    }
    // Milliseconds of 10 ms updates until n characters are drawn.
    int TimeUntilDrawn(int n) {
        int t = 0;
        while (win->CharactersDrawn() < n && t < 10000) {
            win->Update(255, 10);
            t += 10;
        }
        return t;
    }

    FakeRaster raster;
    TFontTable fonts;
    TMessageServices services;
    TAnimationResources res;
    std::unique_ptr<TMessageLib> win;
};

// The area is 200 wide with 32-pixel characters: five full-width characters
// leave the pen at 160, where a sixth has less than two cells left.
TEST_F(MessageWindow, MarginTable) {
    struct Case {
        const char* what;
        std::string text;
        int penX, penY;
    } cases[] = {
        {"an ordinary character wraps", Times(A, 6), 32, 32},
        {"a comma hangs beyond the margin", Times(A, 5) + Comma, 192, 0},
        {"a second comma starts a new line", Times(A, 5) + Comma + Comma, 32, 32},
        {"an opening quote wraps", Times(A, 5) + Open, 32, 32},
        {"a full-width space hangs", Times(A, 5) + WideSpace + WideSpace, 224, 0},
        {"a half-width space hangs", Times(A, 5) + " ", 176, 0},
    };
    for (const Case& c : cases) {
        win->Clear();
        Type(c.text);
        EXPECT_EQ(win->PenX(), c.penX) << c.what;
        EXPECT_EQ(win->PenY(), c.penY) << c.what;
        EXPECT_EQ(win->ReadPosition(), win->PendingText().size()) << c.what;
    }
    // The hung comma is drawn beyond the margin line; the wrapped character
    // starts the next line.
    win->Clear();
    Type(Times(A, 5) + Comma + I);
    EXPECT_TRUE(Inked(165, 5));
    EXPECT_TRUE(Inked(5, 37));
}

TEST_F(MessageWindow, OpeningQuoteAtALineStartIsOutdented) {
    win->SetHangOffset(16);
    win->Clear();
    Type(Open + A + Times(I, 3) + A + Open + A);
    // The first line starts at the hang offset, the quote 16 pixels before it.
    EXPECT_TRUE(Inked(2, 2));
    EXPECT_FALSE(Inked(2, 40));  // the wrapped line starts at 16 again ...
    EXPECT_TRUE(Inked(18, 40));
    // ... and a quote in the middle of a line is not moved.
    win->Clear();
    Type(A + Open);
    EXPECT_EQ(win->PenX(), 16 + 64);
}

TEST_F(MessageWindow, ColourSizeAndFontToggleBack) {
    Type("[c,$ffff0000]" + A + "[c]" + I);
    EXPECT_EQ(Rgb(2, 2), 0xFF0000u);
    EXPECT_EQ(Rgb(34, 2), 0xFFFFFFu);

    win->Clear();
    Type("[s,16,16]" + A + "[s]" + I);
    EXPECT_EQ(win->PenX(), 48);

    fonts.SetSystemFont(3, "FaceB", 0, false, 1, DefaultDecoration());
    win->Clear();
    raster.calls.clear();
    Type("[f,3]" + A + "[f]" + Ji + "[f,9]" + Kan);
    ASSERT_EQ(raster.calls.size(), 3u);
    EXPECT_EQ(raster.calls[0].face, "FaceB");
    EXPECT_NE(raster.calls[1].face, "FaceB");
    EXPECT_NE(raster.calls[2].face, "FaceB") << "a slot outside 0..7 is ignored";
}

TEST_F(MessageWindow, WaitDelaysExactlyAndIsIgnoredWhenInstant) {
    win->AddText("[spd,50]" + A + I);
    const int plain = TimeUntilDrawn(2);
    win->Clear();
    win->AddText("[spd,50]" + A + "[w,500]" + I);
    const int waited = TimeUntilDrawn(2);
    EXPECT_EQ(waited - plain, 500);

    win->Clear();
    Type("[spd,50]" + A + "[w,500]" + I);
    EXPECT_EQ(win->CharactersDrawn(), 2);
    EXPECT_EQ(win->WaitLeft(), 0);
    // Speed 0 types the text as it is added.
    win->Clear();
    Type("[spd,0]");
    win->AddText(A + "[w,500]" + I);
    EXPECT_EQ(win->CharactersDrawn(), 2);
    EXPECT_EQ(win->State(), TMessageLib::kIdle);
}

TEST_F(MessageWindow, ClickWhileTypingFinishesThePage) {
    win->AddText("[spd,50]" + Times(A, 10));
    TimeUntilDrawn(2);
    win->Click(0);  // outside the window's mouse mask: nothing
    EXPECT_EQ(win->CharactersDrawn(), 2);
    win->Click(1);
    EXPECT_EQ(win->CharactersDrawn(), 10);
    EXPECT_EQ(win->State(), TMessageLib::kIdle);
    EXPECT_EQ(win->FadeLevel(), 1024);
}

TEST_F(MessageWindow, LimitDropsWhatGoesBeyondIt) {
    Type("[lim,100]" + Times(A, 5));
    EXPECT_EQ(win->CharactersDrawn(), 2);
    EXPECT_EQ(win->ReadPosition(), win->PendingText().size());
    win->Clear();
    Type("[lim,100][lim,0]" + Times(A, 5));
    EXPECT_EQ(win->CharactersDrawn(), 5);
}

// Ruby in red, 12 pixels, 8 pixels above a line at y 16.
TEST_F(MessageWindow, RubyOverItsBase) {
    const std::string setup = "[pi,0,16][rc,$ffff0000]";
    // Narrower than its base: spread with equal gaps ((64 - 36) / 4 = 7).
    Type(setup + "[rb," + Kan + Ji + "," + Ka + N + Zi + "]");
    for (int x : {7, 26, 45}) {
        EXPECT_EQ(Rgb(x + 1, 10), 0xFF0000u) << x;
        EXPECT_FALSE(Inked(x - 1, 10)) << x;
    }
    EXPECT_EQ(win->PenX(), 64) << "the base is typed after its ruby";
    EXPECT_TRUE(Inked(2, 20));

    // Wider than its base: centred over it, here at 32 + (32 - 36) / 2 = 30.
    win->Clear();
    Type(setup + A + "[rb," + Kan + "," + Ka + N + Zi + "]");
    EXPECT_EQ(Rgb(31, 10), 0xFF0000u);
    EXPECT_FALSE(Inked(29, 10));
    // ... and never left of the layer.
    win->Clear();
    Type(setup + "[rb," + Kan + "," + Ka + N + Zi + "]");
    EXPECT_EQ(Rgb(0, 10), 0xFF0000u);
    EXPECT_EQ(Rgb(35, 10), 0xFF0000u);

    // At the margin the base wraps as a whole, ruby and all.
    win->Clear();
    Type(setup + Times(A, 4) + "[rb," + Kan + Ji + "," + Ka + N + Zi + "]");
    EXPECT_FALSE(Inked(136, 10));
    EXPECT_EQ(Rgb(8, 58), 0xFF0000u);
    EXPECT_EQ(win->PenY(), 64);
    EXPECT_EQ(win->PenX(), 64);
}

TEST_F(MessageWindow, PageFullWaitsForAClickThatScrollsOneLine) {
    ASSERT_TRUE(win->SetArea(0, 0, 200, 100));
    win->AddText("[spd,1]" + Times(A, 20));
    TimeUntilDrawn(20);
    EXPECT_EQ(win->State(), TMessageLib::kPageFull);
    EXPECT_EQ(win->CharactersDrawn(), 15);  // three lines of five
    win->Click(1);
    EXPECT_EQ(win->State(), TMessageLib::kTyping);
    EXPECT_EQ(win->PenY(), 64);
    EXPECT_TRUE(Inked(5, 5)) << "the second line moved up";
    EXPECT_FALSE(Inked(5, 69));
    TimeUntilDrawn(20);
    EXPECT_EQ(win->CharactersDrawn(), 20);
}

TEST_F(MessageWindow, SavedAtPageFullLoadsTheSamePixels) {
    ASSERT_TRUE(win->SetArea(0, 0, 200, 100));
    win->SetCharacterName("Aoi");
    win->AddText("[spd,1][c,$ff00ff00]" + Times(A, 7) + "[rb," + Kan + "," + Ka + N + "]" + Times(I, 12));
    TimeUntilDrawn(30);
    ASSERT_EQ(win->State(), TMessageLib::kPageFull);
    TMemoryStream s;
    win->SaveState(s);

    TMessageLib back(nullptr, res, nullptr, &services);
    s.Seek(0);
    ASSERT_TRUE(back.LoadState(s));
    EXPECT_EQ(back.State(), TMessageLib::kPageFull);
    EXPECT_EQ(back.CharacterName(), "Aoi");
    const TARGB8888 &a = win->TextLayer(), &b = back.TextLayer();
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << x << "," << y;
    // Both turn the page and finish alike.
    win->Click(1);
    back.Click(1);
    win->Finish();
    back.Finish();
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << x << "," << y;
}

TEST_F(MessageWindow, DamagedStateLoadsSafely) {
    Type("[rf,6]" + A + I);
    TMemoryStream s;
    win->SaveState(s);
    const std::vector<uint8_t> good = s.Bytes();
    const size_t block = good.size() - TMessageLib::kBlockSize - 4 - win->PendingText().size() - win->LogText().size();
    auto load = [&](std::vector<uint8_t> bytes, TMessageLib& into) {
        TMemoryStream in(bytes);
        return into.LoadState(in);
    };
    auto put = [](std::vector<uint8_t>& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); };

    {  // cut short anywhere: refused
        TMessageLib w(nullptr, res, nullptr, &services);
        for (size_t n : {size_t{10}, block + 100, good.size() - 1})
            EXPECT_FALSE(load(std::vector<uint8_t>(good.begin(), good.begin() + long(n)), w)) << n;
    }
    {  // an area no picture may have: refused
        std::vector<uint8_t> bad = good;
        put(bad, block + 10, INT_MIN);
        put(bad, block + 18, INT_MAX);
        TMessageLib w(nullptr, res, nullptr, &services);
        EXPECT_FALSE(load(bad, w));
    }
    {  // long names, a read position past the end and odd slots are held in bounds
        std::vector<uint8_t> bad = good;
        bad[block + 118] = 255;
        std::memset(bad.data() + block + 119, 'n', 127);
        put(bad, block + 66, INT_MAX);
        put(bad, block + 2, 99);
        put(bad, block + 94, -3);
        TMessageLib w(nullptr, res, nullptr, &services);
        ASSERT_TRUE(load(bad, w));
        EXPECT_EQ(w.CharacterName(), std::string(127, 'n'));
        EXPECT_EQ(w.ReadPosition(), w.PendingText().size());
        w.Finish();
    }
    {  // a read position inside a double-byte character or a code goes back to its start
        std::vector<uint8_t> bad = good;
        const size_t textAt = win->PendingText().size() - 3;  // inside あ
        put(bad, block + 66, int32_t(textAt));
        TMessageLib w(nullptr, res, nullptr, &services);
        ASSERT_TRUE(load(bad, w));
        EXPECT_EQ(w.ReadPosition(), textAt - 1);
    }
}

TEST_F(MessageWindow, LineBreaksAndTextEndsAreReadInBounds) {
    struct Case {
        std::string in, pendingTail;
    } cases[] = {
        {"a\r\nb", "a[n]b"}, {"a\rb", "a[n]b"}, {"a\r", "a[n]"}, {"\r", "[n]"}, {"a\nb", "a[n]b"},
        {"\x82\r", "[n]"},  // a lead byte before a line break is no character
    };
    for (const Case& c : cases) {
        win->Clear();
        const size_t before = win->PendingText().size();
        win->AddText(c.in);
        EXPECT_EQ(win->PendingText().substr(before), c.pendingTail);
    }
    // A lead byte as the last byte, and "[" without "]", end the text.
    for (const std::string& tail : {std::string("\x82"), std::string("[c,$ff"), std::string("[rb,[a,b")}) {
        win->Clear();
        Type(A + tail);
        EXPECT_EQ(win->ReadPosition(), win->PendingText().size()) << tail;
        EXPECT_EQ(win->State(), TMessageLib::kIdle);
    }
}

TEST_F(MessageWindow, RubyFontSlotOutsideTheTableIsIgnored) {
    fonts.SetSystemFont(7, "RubyFace", 0, false, 1, DefaultDecoration());
    raster.calls.clear();
    Type("[rf,12][rb," + Kan + "," + Ka + "]");
    ASSERT_FALSE(raster.calls.empty());
    EXPECT_EQ(raster.calls[0].face, "RubyFace");
}

TEST_F(MessageWindow, CharactersThatCanNeverFitAreDrawnClipped) {
    ASSERT_TRUE(win->SetArea(0, 0, 20, 200));  // narrower than one character
    Type(Times(A, 3));
    EXPECT_EQ(win->CharactersDrawn(), 3);
    EXPECT_EQ(win->PenY(), 64);
    ASSERT_TRUE(win->SetArea(0, 0, 200, 20));  // lower than one line
    Type(Times(A, 8));
    EXPECT_EQ(win->ReadPosition(), win->PendingText().size());
    // Vertical columns leave on the left; the page turns instead of hanging.
    ASSERT_TRUE(win->SetArea(0, 0, 100, 100));
    win->SetVertical(true);
    Type(Times(A, 30));
    EXPECT_EQ(win->ReadPosition(), win->PendingText().size());
    EXPECT_EQ(win->State(), TMessageLib::kIdle);
}

TEST_F(MessageWindow, AreaSizeIsComputedIn64BitsAndCapped) {
    EXPECT_FALSE(win->SetArea(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
    EXPECT_FALSE(win->SetArea(0, 0, 100000, 100000));
    EXPECT_EQ(win->TextLayer().Width(), 200);
    EXPECT_TRUE(win->SetArea(10, 10, 5, 5));  // an empty area: a 4 x 4 layer, nothing drawn
    EXPECT_EQ(win->TextLayer().Width(), 4);
    Type(A);
    EXPECT_EQ(win->CharactersDrawn(), 0);
}

TEST_F(MessageWindow, VerticalScrollMovesByHeightMinusPitch) {
    ASSERT_TRUE(win->SetArea(0, 0, 100, 200));
    win->SetVertical(true);
    win->SetScrollMode(true);
    Type("[pi,0,8]" + Times(A, 30));
    // Every column after the page is full moves the text right by 32 - 8.
    EXPECT_EQ(win->State(), TMessageLib::kIdle);
    EXPECT_GE(win->PenX(), 0);
}

TEST_F(MessageWindow, LogTextAndItsHandOff) {
    struct Log : IMessageLog {
        std::vector<TMessageLogEntry> got;
        void Add(const TMessageLogEntry& e) override { got.push_back(e); }
    } log;
    services.log = &log;
    win->AddCode("c,$FF00FF00");
    EXPECT_FALSE(win->HasLogText()) << "codes alone are no message";
    win->HandToLog();
    EXPECT_TRUE(log.got.empty());
    win->SetCharacterName("Ren");
    win->AddText(A);
    EXPECT_TRUE(win->HasLogText());
    win->HandToLog();
    ASSERT_EQ(log.got.size(), 1u);
    EXPECT_EQ(log.got[0].character, "Ren");
    EXPECT_NE(log.got[0].text.find(A), std::string::npos);
    EXPECT_TRUE(win->LogText().empty());
    services.log = nullptr;
}

}  // namespace
