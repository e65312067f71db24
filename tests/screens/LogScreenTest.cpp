// The backlog screen: its layout file, name styles, opening position,
// scrolling, closing and voice replay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/ZelLogdataLib.h"
#include "screens/ZelLogLib.h"

namespace {

using zel::TLogInput;
using zel::TLogLayout;
using zel::TZelLog;
using zel::TZelLogData;

TEST(LogLayout, ReadsValuesAndKeepsDefaults) {
    const TLogLayout d = TLogLayout::Parse("");
    EXPECT_EQ(d.defaultViewCount, 4);
    EXPECT_EQ(d.selectColour, 0x88FFFFFFu);
    EXPECT_EQ(d.hitArea.right, 600);
    EXPECT_EQ(d.textArea.bottom, 800);
    EXPECT_EQ(d.fontWidth, 24);
    EXPECT_EQ(d.styles[5].textColour, 0xFFFFFFFFu);
    EXPECT_FALSE(d.wheelDownReturnsGame);

    const TLogLayout l = TLogLayout::Parse(
        "defaultviewcount=0\r\n"
        "BeginMuteTime=300\r\n"
        "BGColor=$80102030\r\n"
        "msg.position=10,,20\r\n"
        "msg.HitSize=1,2,300\r\n"
        "Font.Size=x,16\r\n"
        "WheelDownReturnGame=1\r\n"
        "LockColor=TRUE\n"
        "LockSize=yes\n"
        "no[0]=$40000000, $FFFF0000, 0, aoi.png, Aoi, aoi2 // a comment, Ren\n"
        "no[3]=,,,,*\n"
        "no[40]=1,2,3,x.png,Nobody\n");
    EXPECT_EQ(l.defaultViewCount, 1);  // below 1 becomes 1
    EXPECT_EQ(l.beginMuteTime, 300);
    EXPECT_EQ(l.bgColour, 0x80102030u);
    EXPECT_EQ(l.listX, 10);
    EXPECT_EQ(l.listY, 20);  // the empty field is dropped
    EXPECT_EQ(l.hitArea.left, 1);
    EXPECT_EQ(l.hitArea.right, 300);
    EXPECT_EQ(l.hitArea.bottom, 800);  // missing: the default
    EXPECT_EQ(l.fontWidth, 24);        // not a number: the default
    EXPECT_EQ(l.fontHeight, 16);
    EXPECT_TRUE(l.wheelDownReturnsGame);
    EXPECT_TRUE(l.lockColour);
    EXPECT_FALSE(l.lockSize);
    EXPECT_EQ(l.styles[0].rowColour, 0x40000000u);
    EXPECT_EQ(l.styles[0].textColour, 0xFFFF0000u);
    EXPECT_EQ(l.styles[0].picture, "system\\log\\aoi.png");
    EXPECT_EQ(l.styles[0].names, (std::vector<std::string>{"Aoi", "aoi2"}));
    EXPECT_EQ(l.styles[3].names, (std::vector<std::string>{"*"}));
}

TEST(LogLayout, StylesAndNameLines) {
    TLogLayout l = TLogLayout::Parse("no[1]=0,0,0,,alice\nno[2]=0,0,0,,*\nno[0]=0,0,0,,bob\n"
                                     "DivideNameFormat=[c,%%%ActColor]%%%NAME:[n]\n");
    EXPECT_EQ(l.StyleOfName("Alice"), 1);
    EXPECT_EQ(l.StyleOfName("BOB"), 0);
    EXPECT_EQ(l.StyleOfName("Carol"), 2);  // "*" catches what earlier styles did not
    EXPECT_EQ(l.StyleOfName(""), 31);
    EXPECT_EQ(l.NameLine("Alice", 0xFF00AA11u), "[c,$FF00AA11]Alice:[n]");
    EXPECT_EQ(l.NameLine("", 0), "");
    l.divideNameText = "/";
    l.divideNameIndex = 1;
    EXPECT_EQ(l.NameLine("alice/Al", 0), "[c,$00000000]Al:[n]");
    EXPECT_EQ(l.NameLine("alice", 0), "[c,$00000000]alice:[n]");  // no second part: the whole name
}

struct Screen {
    TZelLogData log;
    std::vector<zel::TLogVoice> played;
    std::vector<int32_t> fades;
    TZelLog screen{log, {[this](const zel::TLogVoice& v) { played.push_back(v); },
                         [this](int32_t ms) { fades.push_back(ms); },
                         [](std::string_view who) { return who == "Aoi" ? 128 : 255; }}};
    explicit Screen(int entries, const std::string& layout = "") {
        for (int i = 0; i < entries; ++i)
            log.Add("m" + std::to_string(i), i % 2 ? "Aoi" : "Ren", 7, 200, 30, 40,
                    i == 8 ? "voice\\v8.ogg" : "");
        screen.SetLayout(TLogLayout::Parse(layout));
    }
};

TLogInput Key(int32_t code) {
    TLogInput in;
    in.keysPressed = {code};
    return in;
}

TEST(LogScreen, OpensAtTheBottomAndScrolls) {
    Screen s(10);
    s.screen.Open();
    EXPECT_EQ(s.screen.ScrollMaximum(), 9);
    EXPECT_EQ(s.screen.ScrollValue(), 6);
    EXPECT_EQ(s.screen.VisibleEntries(10), (std::vector<int32_t>{3, 2, 1, 0}));  // the newest at the bottom
    const struct {
        TLogInput in;
        int32_t value;
    } steps[] = {
        {Key(38), 5}, {Key(33), 0}, {Key(33), 0}, {Key(40), 1}, {Key(34), 6}, {Key(35), 9}, {Key(40), 9},
        {Key(36), 0}, {TLogInput{0, 0, false, false, -1, {}}, 1}, {TLogInput{0, 0, false, false, 1, {}}, 0},
    };
    for (const auto& st : steps) {
        EXPECT_EQ(s.screen.Step(16, st.in), 0);
        EXPECT_EQ(s.screen.ScrollValue(), st.value);
    }
    Screen empty(0);
    empty.screen.Open();
    EXPECT_EQ(empty.screen.ScrollMaximum(), 1);
    EXPECT_EQ(empty.screen.ScrollValue(), 0);
    EXPECT_TRUE(empty.screen.VisibleEntries(4).empty());
}

TEST(LogScreen, WheelDownAtTheBottomClosesOnlyWhenTheLayoutSaysSo) {
    for (const char* value : {"1", "0", "yes"}) {
        Screen s(3, std::string("WheelDownReturnGame=") + value + "\nDefaultViewCount=1\n");
        s.screen.Open();
        ASSERT_EQ(s.screen.ScrollValue(), s.screen.ScrollMaximum());
        TLogInput down;
        down.wheel = -1;
        EXPECT_EQ(s.screen.Step(16, down), 0);
        EXPECT_EQ(s.screen.Step(16, {}), std::string(value) == "1" ? -1 : 0) << value;
    }
}

TEST(LogScreen, MutedInputAndTheCloseOfTheNextStep) {
    Screen s(5, "BeginMuteTime=100\n");
    s.screen.Open();
    TLogInput right;
    right.rightReleased = true;
    EXPECT_EQ(s.screen.Step(60, right), 0);  // muted: ignored
    EXPECT_EQ(s.screen.Step(30, {}), 0);
    EXPECT_EQ(s.screen.Step(10, right), 0);  // the mute ran out: the request counts
    EXPECT_EQ(s.screen.Step(10, {}), -1);    // and takes effect now
    for (int32_t key : {27, 8, 13}) {
        Screen k(2);
        k.screen.Open();
        EXPECT_EQ(k.screen.Step(0, Key(key)), 0);
        EXPECT_EQ(k.screen.Step(0, {}), -1) << key;
    }
    s.screen.Close();
    EXPECT_FALSE(s.screen.IsOpen());
    EXPECT_EQ(s.fades, (std::vector<int32_t>{500}));
    EXPECT_EQ(s.screen.Step(10, {}), 0);  // closed: nothing
    s.screen.Open();
    EXPECT_EQ(s.screen.Step(200, {}), 0);  // a new opening forgets the old request
}

// Widgets that answer a click with fixed rows and note what reached them.
struct FakeWidgets : zel::ILogWidgets {
    std::vector<int32_t> picked;
    std::vector<std::string> calls;
    void Pointer(int32_t x, int32_t y, bool held) override {
        calls.push_back("pointer " + std::to_string(x) + "," + std::to_string(y) + (held ? " held" : ""));
    }
    std::vector<int32_t> ClickRows() override {
        calls.push_back("rows");
        return picked;
    }
    void ClickBar(int32_t x, int32_t y) override { calls.push_back("bar " + std::to_string(x) + "," + std::to_string(y)); }
    void Rescroll(int32_t v) override { calls.push_back("scroll " + std::to_string(v)); }
};

TEST(LogScreen, AClickReplaysTheVoicesOfThePickedRowsThenReachesTheBar) {
    Screen s(10, "BeginMuteTime=50\n");
    FakeWidgets w;
    s.screen.SetWidgets(&w);
    s.screen.Open();
    TLogInput click;
    click.leftReleased = true;
    click.leftHeld = true;
    click.x = 150;
    click.y = 55;
    w.picked = {9, 1, 1};  // entry 9 has no voice; entry 1 (the 9th message) has
    s.screen.Step(40, click);  // muted: nothing reaches the widgets
    EXPECT_TRUE(w.calls.empty());
    EXPECT_TRUE(s.played.empty());
    s.screen.Step(10, click);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"pointer 150,55 held", "rows", "bar 150,55"}));
    ASSERT_EQ(s.played.size(), 2u);  // both picks of entry 1, none for entry 9
    EXPECT_EQ(s.played[0].file, "voice\\v8.ogg");
    EXPECT_EQ(s.played[0].volume, 200 * 255 / 255);  // Ren's actor volume is 255
    EXPECT_EQ(s.played[0].seek, 40);
    EXPECT_EQ(s.played[0].threshold, 30);
    EXPECT_EQ(s.played[0].gain, 7);
    // Every scroll reaches the widgets, also one the clamp leaves where it was.
    w.calls.clear();
    s.screen.Step(10, Key(36));
    s.screen.Step(10, Key(38));
    EXPECT_EQ(w.calls, (std::vector<std::string>{"pointer 0,0", "scroll 0", "pointer 0,0", "scroll 0"}));
    TZelLogData one;
    one.Add("hi", "Aoi", 0, 200, 0, 0, "a.ogg");
    std::vector<zel::TLogVoice> got;
    TZelLog aoi(one, {[&got](const zel::TLogVoice& v) { got.push_back(v); }, nullptr,
                      [](std::string_view) { return 128; }});
    aoi.ReplayVoice(0);
    aoi.ReplayVoice(1);  // no such entry: no voice
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].volume, 200 * 128 / 255);
}

}  // namespace
