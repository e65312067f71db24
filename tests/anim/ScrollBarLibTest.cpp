// Scroll bars: the knob's travel and position, clicks and drags on the
// track (rounding half to even), the maximum, and the saved state.
#include <gtest/gtest.h>

#include <map>

#include "AnimTestSupport.h"
#include "anim/ScrollBarLib.h"
#include "base/Sjis.h"
#include "storage/GameFiles.h"
#include "storage/MemoryGameFiles.h"

using namespace zel;
using namespace zeltest;

namespace {

class ScrollBar : public ::testing::Test {
protected:
    void SetUp() override {
        files.Add("knob.bmp", BmpBytes(20, 10, 0xFFFFFFFF));
        files.Add("track.bmp", BmpBytes(120, 8, 0xFF808080));
        files.Add("vtrack.bmp", BmpBytes(8, 120, 0xFF808080));
    }
    // A horizontal bar at (100, 50): travel 10..110 along the track.
    std::unique_ptr<TImageScrollBar> Make(bool vertical = false) {
        auto bar = std::make_unique<TImageScrollBar>(&files, res);
        EXPECT_TRUE(bar->Load("knob.bmp", vertical ? "vtrack.bmp" : "track.bmp", vertical));
        bar->SetPosition(100, 50, 20);
        bar->Enable();
        bar->Track().SetHitArea(0, 0, vertical ? 8 : 120, vertical ? 120 : 8);
        bar->Update(255, 10);
        return bar;
    }
    TMemoryGameFiles files;
    TAnimationResources res;
};

TEST_F(ScrollBar, GeometryAndKnobPosition) {
    auto bar = Make();
    EXPECT_EQ(bar->TravelStart(), 10);
    EXPECT_EQ(bar->TravelEnd(), 110);
    EXPECT_EQ(bar->Knob().Layer(), 30);
    bar->SetValue(50);
    // x + 10 + 100 * 50 / 100 - 10, and centred across the track.
    EXPECT_EQ(bar->Knob().X(), 150);
    EXPECT_EQ(bar->Knob().Y(), 49);
    auto v = Make(true);
    v->SetValue(25);
    EXPECT_EQ(v->Knob().X(), 100 - 6);
    EXPECT_EQ(v->Knob().Y(), 50 + 5 + 110 * 25 / 100 - 5);
    // A track no longer than the knob still has one pixel of travel.
    files.Add("short.bmp", BmpBytes(10, 8, 0xFF808080));
    TImageScrollBar s(&files, res);
    ASSERT_TRUE(s.Load("knob.bmp", "short.bmp", false));
    EXPECT_EQ(s.TravelEnd(), s.TravelStart() + 1);
}

TEST_F(ScrollBar, ClicksOnTheTrack) {
    struct Case {
        int32_t maximum, along, expected;
    };
    // along: pixels from the track's left edge.
    const Case cases[] = {
        {100, 60, 50},   // 50 of 100 travel pixels
        {100, 10, 0},    {100, 110, 100},
        {100, 2, 0},     // before the travel start: clamped
        {100, 118, 100}, // after its end: clamped
        {5, 20, 0},      // 0.5 rounds to even
        {5, 40, 2},      // 1.5 rounds to even
        {5, 60, 2},      // 2.5 rounds to even
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.maximum) + " at " + std::to_string(c.along));
        auto bar = Make();
        bar->SetMaximum(c.maximum);
        bar->SetValue(c.expected == 1 ? 3 : 1);  // differs from every expected value
        std::vector<int32_t> heard;
        bar->onChange = [&](int32_t v) { heard.push_back(v); };
        bar->ClickAt(255, 100 + c.along, 52);
        EXPECT_EQ(bar->Value(), c.expected);
        EXPECT_EQ(heard, std::vector<int32_t>{c.expected});
        EXPECT_EQ(bar->DragCountdown(), TImageScrollBar::kDragCountdown);
    }
    auto bar = Make();
    bar->ClickAt(255, 160, 70);  // off the track
    bar->ClickAt(0, 160, 52);    // a layer it is not on
    EXPECT_EQ(bar->Value(), 0);
    // A move with the left button held drags; without it, nothing.
    bar->SetMouse(255, 0, 160, 52);
    EXPECT_EQ(bar->Value(), 0);
    bar->SetMouse(255, TImageScrollBar::kLeftButton, 160, 52);
    EXPECT_EQ(bar->Value(), 50);
    for (int i = 0; i < 5; ++i) bar->Update(255, 10);
    EXPECT_EQ(bar->DragCountdown(), 0);
}

TEST_F(ScrollBar, ValueAndMaximum) {
    auto bar = Make();
    int calls = 0;
    bar->onChange = [&](int32_t) { ++calls; };
    bar->SetValue(150);
    EXPECT_EQ(bar->Value(), 100);
    bar->SetValue(100);
    EXPECT_EQ(calls, 1);
    bar->SetMaximum(0);
    bar->SetMaximum(-5);
    EXPECT_EQ(bar->Maximum(), 100);
    bar->SetMaximum(40);
    EXPECT_EQ(bar->Value(), 40);
    EXPECT_EQ(bar->Knob().X(), 100 + 110 - 10);
    bar->SetValueQuiet(-3);
    EXPECT_EQ(bar->Value(), 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(ScrollBar, StateRoundTripsAndADamagedMaximumIsRepaired) {
    auto bar = Make(true);
    bar->SetMaximum(30);
    bar->SetValue(12);
    TMemoryStream s;
    bar->SaveState(s);
    std::vector<uint8_t> bytes = s.TakeBytes();
    ASSERT_GT(bytes.size(), TImageScrollBar::kStateSize);
    EXPECT_EQ(bytes[12], 1);                   // vertical
    EXPECT_EQ(bytes[16], 8);                   // "knob.bmp" length
    EXPECT_EQ(bytes[272], 12);                 // value
    EXPECT_EQ(bytes[276], 30);                 // maximum
    for (size_t i = 292; i < TImageScrollBar::kStateSize; ++i) EXPECT_EQ(bytes[i], 0) << i;

    TImageScrollBar back(&files, res);
    TMemoryStream in(bytes);
    ASSERT_TRUE(back.LoadState(in));
    EXPECT_EQ(back.Value(), 12);
    EXPECT_EQ(back.Maximum(), 30);
    EXPECT_TRUE(back.Vertical());
    EXPECT_EQ(back.KnobFile(), "knob.bmp");
    EXPECT_EQ(back.TrackFile(), "vtrack.bmp");
    EXPECT_EQ(back.Knob().Y(), bar->Knob().Y());

    // A maximum of 0 in the record: the default, the value clamped to it.
    for (int32_t bad : {0, -7}) {
        std::vector<uint8_t> damaged = bytes;
        for (size_t i = 0; i < 4; ++i) damaged[276 + i] = static_cast<uint8_t>(static_cast<uint32_t>(bad) >> (8 * i));
        damaged[272] = 200;
        TImageScrollBar d(&files, res);
        TMemoryStream din(damaged);
        ASSERT_TRUE(d.LoadState(din));
        EXPECT_EQ(d.Maximum(), TImageScrollBar::kDefaultMaximum);
        EXPECT_EQ(d.Value(), TImageScrollBar::kDefaultMaximum);
        d.Update(255, 10);  // places the knob: no division by zero
    }
    // A short record is refused.
    TMemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100));
    TImageScrollBar c(&files, res);
    EXPECT_FALSE(c.LoadState(cut));
}

}  // namespace
