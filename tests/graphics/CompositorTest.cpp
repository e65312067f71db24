// The screen compositor: each transition kind at its first, middle and last
// frame, whole-screen and as a layer; capture; presents; saved state.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "CompositorTestSupport.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "graphics/Compositor.h"
#include "graphics/ImageFiles.h"
#include "storage/GameFiles.h"

using namespace zel;
using zel::test::Solid;
using zel::test::TRecordingDisplay;

namespace {

constexpr int W = 120, H = 120;
constexpr uint32_t kF = 0xFF2040A0u;  // the frozen picture
constexpr uint32_t kL = 0xFFC08020u;  // the live scene
constexpr uint32_t kRed = 0xFFFF0000u;

class TMapFiles final : public IGameFiles {
public:
    std::map<std::string, std::string> files;
    bool GameFileExists(std::string_view p) override { return files.count(std::string(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        auto it = files.find(std::string(p));
        return it == files.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }
};

// A wipe that shows one colour until it has played `length` ms.
class TFakeWipe final : public IWipeAnimation {
public:
    explicit TFakeWipe(int32_t length) : length_(length) { Solid(first_, W, H, 0xFF0000FFu); }
    bool Begin(const std::string& name, uint8_t, uint8_t) override {
        began = name;
        played = 0;
        return true;
    }
    const TARGB8888* FirstPicture() override { return &first_; }
    int32_t Length() override { return length_; }
    bool Advance(int32_t elapsed, double speed) override {
        lastSpeed = speed;
        played += elapsed * speed;
        return played >= length_;
    }
    void Draw(TARGB8888CellDraw& cells, int32_t mask) override {
        lastMask = mask;
        cells.AddColourCellARGB(0, 0, W, H, TZelGraphic::kWipeLayer, 0, 0xFF00FF00u, 2);
    }
    void Reset() override { ++resets; }
    void SaveState(TMemoryStream& s) override { s.WriteU32(0x57495045u); }
    void LoadState(TMemoryStream& s) override { loaded = s.ReadU32(); }

    std::string began;
    double played = 0, lastSpeed = 0;
    int32_t lastMask = 0, resets = 0;
    uint32_t loaded = 0;

private:
    int32_t length_;
    TARGB8888 first_;
};

// A compositor whose script shows one full-screen colour at layer 10 and,
// optionally, a red 20 x 20 square at layer 200.
struct TScene {
    TZelGraphic g;
    TMapFiles files;
    uint32_t live = kF;
    bool square = false;

    TScene() {
        g.SetScreenSize(W, H);
        g.SetGameFiles(&files);
        g.SetDrawCallback([this](bool drawMode, bool, int32_t limit) {
            Submit();
            g.Render(drawMode, limit);
        });
    }
    void Submit() {
        g.Cells().AddColourCellARGB(0, 0, W, H, 10, 0, live, 2);
        if (square) g.Cells().AddColourCellARGB(0, 0, 20, 20, 200, 0, kRed, 2);
    }
    void Frame(int32_t elapsed) {
        g.Advance(elapsed);
        Submit();
        g.Render(false, 0xFFFF);
    }
    uint32_t Shown(int x = 50, int y = 50) const { return g.OutputImage().Pixel(x, y); }
    // Frozen := kF, then the live scene becomes kL.
    void CaptureF() {
        live = kF;
        Frame(0);
        g.Capture(0xFFFF);
        live = kL;
    }
};

// What the cross-fade kernel makes of one pixel pair.
uint32_t Fade(uint32_t a, uint32_t b, int level) {
    TARGB8888 ia, ib, out;
    Solid(ia, 2, 1, a);
    Solid(ib, 2, 1, b);
    out.NewImage(2, 1);
    ia.CrossFade(out, ib, 0, 0, 0, 0, 2, 1, level);
    return out.Pixel(0, 0);
}

// What the colour blend kernel makes of colour over one pixel.
uint32_t ColourOver(uint32_t colour, uint32_t d, uint8_t mode) {
    TARGB8888 id, out;
    Solid(id, 2, 1, d);
    out.NewImage(2, 1);
    id.ColourBlendTo(out, 0, 0, 2, 1, colour, mode);
    return out.Pixel(0, 0);
}

std::string RuleBmp() {
    TARGB8888 rule;
    rule.NewImage(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) rule.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(2 * x));
    TMemoryStream s;
    EXPECT_TRUE(SaveBmp(rule, s));
    return s.ToString();
}

bool Between(uint32_t v, uint32_t a, uint32_t b) {
    for (int c = 0; c < 3; ++c) {
        const int x = (v >> (8 * c)) & 0xFF, p = (a >> (8 * c)) & 0xFF, q = (b >> (8 * c)) & 0xFF;
        if (x < std::min(p, q) || x > std::max(p, q)) return false;
    }
    return v != a && v != b;
}

bool Near(uint32_t a, uint32_t b, int tol = 3) {
    for (int c = 0; c < 4; ++c)
        if (std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)) > tol) return false;
    return true;
}

TEST(Compositor, WholeScreenFadesAtFirstMiddleAndLastFrame) {
    struct Case {
        const char* what;
        bool fadeIn;
        uint32_t first, middle, last;
        uint8_t endKind;
    } cases[] = {
        // Level at 500 of 1000 ms: 500 * 255 div 1000 = 127, inverse 128.
        {"fade in", true, kF, Fade(kF, kL, 128), kL, tkNone},
        {"fade out", false, Fade(kF, kL, 0), Fade(kF, kL, 127), kF, tkFrozen},
    };
    for (const Case& c : cases) {
        TScene s;
        s.CaptureF();
        if (c.fadeIn)
            s.g.FadeIn(1000, 0xFFFF, "");
        else
            s.g.FadeOut(1000, 0xFFFF, "");
        s.Frame(0);
        EXPECT_EQ(s.Shown(), c.first) << c.what;
        s.Frame(500);
        EXPECT_EQ(s.Shown(), c.middle) << c.what;
        EXPECT_EQ(&s.g.OutputImage(), &s.g.Output()) << c.what;
        s.Frame(500);
        EXPECT_EQ(s.g.Kind(), c.endKind) << c.what;
        EXPECT_EQ(s.Shown(), c.last) << c.what;
        EXPECT_EQ(&s.g.OutputImage(), &s.g.Cells().FrameBuffer()) << c.what;
    }
}

TEST(Compositor, RuleFadesUseThePictureAsTheFrozenAlpha) {
    for (bool fadeIn : {true, false}) {
        TScene s;
        s.files.files["rule.bmp"] = RuleBmp();
        s.CaptureF();
        if (fadeIn)
            s.g.FadeIn(1000, 0xFFFF, "rule.bmp");
        else
            s.g.FadeOut(1000, 0xFFFF, "rule.bmp");
        EXPECT_EQ(s.g.Kind(), fadeIn ? tkRuleFadeIn : tkRuleFadeOut);
        EXPECT_EQ(s.g.WipeName(), "rule.bmp");
        EXPECT_EQ(s.g.Frozen().Pixel(30, 9) >> 24, 60u) << "blue of the rule at x = 30";
        for (int32_t step : {0, 500, 500}) {
            s.Frame(step);
            if (s.g.Kind() == tkNone || s.g.Kind() == tkFrozen) break;
            TARGB8888 frozen, live, expect;
            Solid(frozen, W, H, kF);
            TMemoryStream rs(RuleBmp());
            TARGB8888 rule;
            LoadFromStream(rule, &rs, "rule.bmp");
            frozen.CopyAlpha(rule);
            Solid(live, W, H, kL);
            expect.NewImage(W, H);
            const int level = s.g.Level();
            frozen.RuleCrossFade(expect, live, 0, 0, 0, 0, W, H, fadeIn ? 255 - level : level);
            for (int x : {0, 30, 60, 119})
                ASSERT_EQ(s.Shown(x, 7), expect.Pixel(x, 7)) << fadeIn << " step " << step << " x " << x;
        }
        s.Frame(500);
        EXPECT_EQ(s.Shown(), fadeIn ? kL : s.g.Frozen().Pixel(50, 50));
    }
    // A missing rule picture leaves the frozen alpha as it was.
    TScene s;
    s.CaptureF();
    s.g.FadeIn(1000, 0xFFFF, "missing.png");
    EXPECT_EQ(s.g.Kind(), tkRuleFadeIn);
    EXPECT_EQ(s.g.Frozen().Pixel(30, 9), kF);
}

TEST(Compositor, ColourFadesStayOnAnOpaqueColourAndEndOnATransparentOne) {
    TScene s;
    s.live = kL;
    s.Frame(0);
    s.g.ColourFade(1000, 0xFFFF, 0, 0xFF000000u);
    EXPECT_EQ(s.g.StartColour(), 0u);
    s.Frame(0);
    EXPECT_EQ(s.Shown(), ColourOver(0, kL, 2)) << "level 0: the start colour, transparent";
    s.Frame(500);
    EXPECT_EQ(s.Shown(), ColourOver(LerpColour(0, 0xFF000000u, 127), kL, 2));
    EXPECT_TRUE(Between(s.Shown(), kL, 0xFF000000u)) << std::hex << s.Shown();
    s.Frame(500);
    s.Frame(500);
    EXPECT_EQ(s.g.Kind(), tkColourFade) << "an opaque colour stays";
    EXPECT_EQ(s.Shown(), 0xFF000000u);
    s.g.ColourFade(1000, 0xFFFF, 0, 0x00000000u);
    EXPECT_EQ(s.g.StartColour(), 0xFF000000u);
    s.Frame(0);
    EXPECT_EQ(s.Shown(), 0xFF000000u) << "starts from black";
    s.Frame(1000);
    EXPECT_EQ(s.g.Kind(), tkNone);
    s.Frame(0);
    EXPECT_EQ(s.Shown(), kL);

    // Without a duration a colour fade shows its colour at once (blend index
    // 1 is screen, which brightens); an index above 6 draws nothing.
    TScene t;
    t.live = 0xFF404040u;
    t.g.ColourFade(0, 0xFFFF, 1, 0xFF808080u);
    t.Frame(0);
    EXPECT_EQ(t.g.Kind(), tkColourFade);
    EXPECT_GT(t.Shown() & 0xFF, 0x80u) << std::hex << t.Shown();
    t.g.ColourFade(0, 0xFFFF, 9, 0xFFFFFFFFu);
    t.Frame(0);
    EXPECT_EQ(t.Shown(), 0xFF404040u);
}

TEST(Compositor, TransitionsAtALayerAreDrawnAmongTheObjects) {
    TScene s;
    s.CaptureF();
    s.square = true;
    s.g.FadeIn(1000, 100, "");
    s.Frame(0);
    EXPECT_EQ(&s.g.OutputImage(), &s.g.Cells().FrameBuffer());
    EXPECT_EQ(s.Shown(50, 50), kF);
    EXPECT_EQ(s.Shown(5, 5), kRed) << "layer 200 is drawn over the transition";
    s.Frame(500);
    EXPECT_TRUE(Between(s.Shown(50, 50), kF, kL));
    EXPECT_EQ(s.Shown(5, 5), kRed);
    s.Frame(500);
    EXPECT_EQ(s.Shown(50, 50), kL);

    // Capture below a layer: the frozen picture leaves out the square, and
    // is shown at that layer under it.
    TScene c;
    c.live = kL;
    c.square = true;
    c.Frame(0);
    c.g.Capture(100);
    EXPECT_EQ(c.g.Frozen().Pixel(5, 5), kL);
    EXPECT_EQ(c.g.Cells().FrameBuffer().Pixel(5, 5), kRed) << "the full scene was drawn again";
    c.live = kF;
    c.Frame(16);
    EXPECT_EQ(c.Shown(50, 50), kL);
    EXPECT_EQ(c.Shown(5, 5), kRed);
    // A second capture while frozen does nothing.
    c.g.Capture(0xFFFF);
    EXPECT_EQ(c.g.Layer(), 100);
    c.g.EndTransition();
    c.Frame(16);
    EXPECT_EQ(c.Shown(50, 50), kF);
}

TEST(Compositor, AnimatedWipePlaysAboveAllLayers) {
    TScene s;
    auto wipe = std::make_unique<TFakeWipe>(500);
    TFakeWipe* w = wipe.get();
    s.g.SetWipeAnimation(std::move(wipe));
    s.g.SetWipeEffectChannel(3);
    s.CaptureF();
    s.g.FadeIn(1000, 0xFFFF, "Wipe.B");
    EXPECT_EQ(s.g.Kind(), tkWipe);
    EXPECT_EQ(w->began, "Wipe.B");
    EXPECT_EQ(s.g.Frozen().Pixel(1, 1), 0xFF0000FFu) << "the first picture was frozen";
    s.Frame(0);
    EXPECT_EQ(s.Shown(), 0xFF00FF00u);
    EXPECT_EQ(w->lastMask, 60000);
    s.Frame(500);
    EXPECT_DOUBLE_EQ(w->lastSpeed, 0.5);
    EXPECT_EQ(s.g.Kind(), tkWipe);
    s.Frame(500);
    EXPECT_EQ(s.g.Kind(), tkNone);
    s.Frame(0);
    EXPECT_EQ(s.Shown(), kL);
    // A wipe only fades in.
    s.g.FadeOut(1000, 0xFFFF, "x.b");
    EXPECT_EQ(s.g.Kind(), tkNone);

    // Nothing to play it with: the plain fade in.
    TScene p;
    p.CaptureF();
    p.g.FadeIn(1000, 0xFFFF, "wipe.b");
    EXPECT_EQ(p.g.Kind(), tkFadeIn);
}

TEST(Compositor, EdgeTimings) {
    // Duration 0: the frozen picture until the next Advance.
    TScene s;
    s.CaptureF();
    s.g.FadeIn(0, 0xFFFF, "");
    s.Submit();
    s.g.Render(false, 0xFFFF);
    EXPECT_EQ(s.Shown(), kF);
    s.Frame(0);
    EXPECT_EQ(s.g.Kind(), tkNone);
    EXPECT_EQ(s.Shown(), kL);

    // Long durations: the level product does not overflow.
    s.g.FadeIn(INT32_MAX, 0xFFFF, "");
    s.g.Advance(INT32_MAX / 2);
    EXPECT_EQ(s.g.Level(), 127);

    // A fade out cut short keeps the picture shown last.
    TScene o;
    o.CaptureF();
    o.g.FadeOut(1000, 0xFFFF, "");
    o.Frame(500);
    const uint32_t mid = o.Shown();
    o.g.EndTransition();
    EXPECT_EQ(o.g.Cells().FrameBuffer().Pixel(50, 50), mid);
    EXPECT_EQ(o.g.Kind(), tkNone);
    // The frozen picture is opaque black again: a fade out now goes to black.
    o.g.FadeOut(1000, 0xFFFF, "");
    o.Frame(500);
    EXPECT_EQ(o.Shown(), Fade(0xFF000000u, kL, 127));
}

TEST(Compositor, PresentShowsTheOutputOrTheChangedBands) {
    TScene s;
    TRecordingDisplay disp(W, H);
    s.live = kL;
    s.Frame(0);
    s.g.Present(disp, false, false);
    EXPECT_EQ(disp.Pixel(50, 50), kL);
    for (int i = 0; i < 4; ++i) {
        s.Frame(16);
        s.g.Present(disp, false, false);
    }
    EXPECT_TRUE(disp.lastRows.empty()) << "a still scene presents nothing";
    s.g.Present(disp, true, false);
    EXPECT_EQ(disp.lastRows.size(), size_t{H}) << "forced: everything";

    s.g.Capture(0xFFFF);
    s.live = kF;
    s.g.FadeIn(1000, 0xFFFF, "");
    s.Frame(500);
    disp.failLock = true;
    s.g.Present(disp, false, false);
    EXPECT_TRUE(s.g.RedrawPending()) << "a failed present still owes the frame";
    disp.failLock = false;
    s.g.Present(disp, false, false);
    EXPECT_FALSE(s.g.RedrawPending());
    EXPECT_EQ(disp.Pixel(50, 50), Fade(kL, kF, 128));
    EXPECT_EQ(disp.lastRows.size(), size_t{H});
}

TEST(Compositor, AStillWholeScreenTransitionPresentsNothing) {
    // A colour fade to an opaque colour stays on the screen: once it is
    // reached, frames without changes upload no row; a change under it goes
    // up band by band, a new colour or a forced present everywhere.
    for (bool interlaced : {false, true}) {
        TScene s;
        s.square = true;
        TRecordingDisplay disp(W, H);
        s.g.ColourFade(100, 0xFFFF, 0, 0x80FF0000u);
        auto frame = [&](int32_t elapsed) {
            s.g.Cells().ToggleFrameParity();
            s.g.Advance(elapsed);
            s.Submit();
            s.g.Render(interlaced, 0xFFFF);
            s.g.Present(disp, false, interlaced);
        };
        frame(0);
        frame(100);
        for (int i = 0; i < 5; ++i) frame(16);
        ASSERT_EQ(s.g.Kind(), tkColourFade);
        EXPECT_TRUE(disp.lastRows.empty()) << "interlaced " << interlaced;
        const uint32_t held = disp.Pixel(50, 50), heldOdd = disp.Pixel(50, 51);
        EXPECT_EQ(held & 0xFFFFFFu, ColourOver(0x80FF0000u, kF, 2) & 0xFFFFFFu);
        EXPECT_EQ(heldOdd, held);

        // The square (band 0) moves away: only band 0 goes up, both parities.
        s.square = false;
        std::set<int> rows;
        for (int i = 0; i < 4; ++i) {
            frame(16);
            rows.insert(disp.lastRows.begin(), disp.lastRows.end());
            EXPECT_EQ(disp.LastBands(), disp.lastRows.empty() ? std::set<int>{} : std::set<int>{0});
        }
        EXPECT_TRUE(rows.count(10) && rows.count(11)) << "interlaced " << interlaced;
        EXPECT_EQ(disp.Pixel(10, 10), held);
        EXPECT_EQ(disp.Pixel(10, 11), held);

        s.g.Present(disp, true, false);
        EXPECT_EQ(disp.lastRows.size(), size_t{H}) << "forced: everything";
        // A new colour: every row of both parities, then nothing again.
        s.g.ColourFade(0, 0xFFFF, 0, 0xFF0000FFu);
        rows.clear();
        for (int i = 0; i < 2; ++i) {
            frame(16);
            rows.insert(disp.lastRows.begin(), disp.lastRows.end());
        }
        EXPECT_EQ(rows.size(), size_t{H}) << "interlaced " << interlaced;
        EXPECT_EQ(disp.Pixel(50, 50), 0xFF0000FFu);
        EXPECT_EQ(disp.Pixel(50, 51), 0xFF0000FFu);
        for (int i = 0; i < 2; ++i) frame(16);
        EXPECT_TRUE(disp.lastRows.empty()) << "interlaced " << interlaced;
    }
}

TEST(Compositor, TransitionPicturesAreHeldOnlyWhileNeeded) {
    // A fade in that is over keeps the picture it started from (a later fade
    // out without a capture goes back to it); a picture of one colour is kept
    // as that colour alone.
    for (bool square : {false, true}) {
        TScene s;
        s.live = kL;
        s.Frame(0);
        EXPECT_TRUE(s.g.Frozen().Empty() && s.g.Output().Empty()) << "no transition";
        s.square = square;
        s.CaptureF();
        s.square = false;
        s.Frame(0);
        EXPECT_FALSE(s.g.Frozen().Empty()) << "captured";
        EXPECT_TRUE(s.g.Output().Empty()) << "the capture is drawn as a cell";
        s.g.FadeIn(1000, 0xFFFF, "");
        s.Frame(500);
        EXPECT_FALSE(s.g.Frozen().Empty());
        EXPECT_FALSE(s.g.Output().Empty()) << "a whole-screen fade composes into the output";
        s.Frame(500);
        EXPECT_EQ(s.g.Kind(), tkNone);
        s.Frame(0);
        EXPECT_TRUE(s.g.Output().Empty()) << "the fade is over";
        EXPECT_EQ(s.g.Frozen().Empty(), !square) << "square " << square;
        EXPECT_EQ(s.Shown(), kL);
        s.g.FadeOut(1000, 0xFFFF, "");
        s.Frame(1000);
        EXPECT_EQ(s.g.Kind(), tkFrozen);
        s.Frame(0);
        EXPECT_EQ(s.Shown(50, 50), kF) << "square " << square;
        EXPECT_EQ(s.Shown(10, 10), square ? kRed : kF) << "square " << square;
        // A fade at a layer is a cell: no output image.
        s.g.ColourFade(1000, 5, 0, 0xFFFF0000u);
        s.Frame(500);
        EXPECT_TRUE(s.g.Output().Empty());
        s.g.EndTransition();
        EXPECT_TRUE(s.g.Frozen().Empty() && s.g.Output().Empty()) << "ended";
        s.Frame(0);
        EXPECT_EQ(s.Shown(), kL);
    }
}

TEST(Compositor, SavedStateRestoresThePictures) {
    // No transition: only the frame is stored.
    {
        TScene s;
        s.live = kL;
        s.Frame(0);
        s.g.SetBackground(0x123456);
        TMemoryStream st;
        s.g.SaveState(st);
        ASSERT_GT(st.Size(), TZelGraphic::kStateSize);
        EXPECT_EQ(st.Data()[3], 0xFF) << "background alpha";
        EXPECT_EQ(st.Data()[157], 0);
        EXPECT_EQ(st.Data()[158], 1);
        st.Seek(TZelGraphic::kStateSize);
        EXPECT_EQ(ReadLenString(st), "Buffer.jpg");
        const int32_t n = st.ReadI32();
        EXPECT_EQ(static_cast<size_t>(n), st.Remaining());

        TScene back;
        TRecordingDisplay disp(W, H);
        st.Rewind();
        back.g.LoadState(st);
        EXPECT_EQ(back.g.Background(), 0xFF123456u);
        back.g.Present(disp, false, false);
        EXPECT_TRUE(Near(disp.Pixel(50, 50), kL)) << std::hex << disp.Pixel(50, 50);
    }
    // A rule fade in the middle: frozen picture, rule alpha and progress.
    TScene s;
    s.files.files["rule.bmp"] = RuleBmp();
    s.CaptureF();
    s.g.FadeIn(1000, 0xFFFF, "rule.bmp");
    s.Frame(300);
    const uint32_t alphaBefore = s.g.Frozen().Pixel(30, 9);
    TMemoryStream st;
    s.g.SaveState(st);
    EXPECT_EQ(s.g.Frozen().Pixel(30, 9), alphaBefore) << "saving leaves the running rule alone";
    EXPECT_EQ(st.Data()[133], tkRuleFadeIn);
    EXPECT_EQ(st.Data()[157], 1);

    TScene back;
    back.files.files["rule.bmp"] = RuleBmp();
    back.live = kL;
    st.Rewind();
    back.g.LoadState(st);
    EXPECT_EQ(back.g.Kind(), tkRuleFadeIn);
    EXPECT_EQ(back.g.Progress(), 300);
    EXPECT_EQ(back.g.Duration(), 1000);
    EXPECT_EQ(back.g.Layer(), 0xFFFF);
    EXPECT_EQ(back.g.WipeName(), "rule.bmp");
    EXPECT_EQ(back.g.Frozen().Pixel(30, 9) >> 24, 60u);
    EXPECT_TRUE(Near(back.g.Frozen().Pixel(30, 9), alphaBefore));
    back.Frame(0);
    s.Frame(0);
    for (int x : {0, 30, 60, 118}) EXPECT_TRUE(Near(back.Shown(x, 5), s.Shown(x, 5))) << x;

    // The wipe object stores its state between the block and the pictures.
    TScene w;
    auto wipe = std::make_unique<TFakeWipe>(100);
    TFakeWipe* fw = wipe.get();
    w.g.SetWipeAnimation(std::move(wipe));
    TMemoryStream ws;
    w.g.SaveState(ws);
    ws.Rewind();
    w.g.LoadState(ws);
    EXPECT_EQ(fw->loaded, 0x57495045u);
}

TEST(Compositor, DamagedStateIsRefusedAndChangesNothing) {
    TScene s;
    s.live = kL;
    s.Frame(0);
    TMemoryStream good;
    s.g.SaveState(good);
    const std::string bytes = good.ToString();

    auto expectRefused = [&](std::string b, const char* what) {
        TScene t;
        t.CaptureF();
        TMemoryStream st(b);
        EXPECT_THROW(t.g.LoadState(st), EZelError) << what;
        EXPECT_EQ(t.g.Kind(), tkFrozen) << what;
        EXPECT_EQ(t.g.Frozen().Pixel(3, 3), kF) << what;
    };
    expectRefused(bytes.substr(0, 2208), "short block");
    std::string b = bytes;
    b[5] = char(200);
    expectRefused(b, "wipe name length byte 200");
    b = bytes;
    b[133] = 6;
    expectRefused(b, "transition kind 6");
    b = bytes;
    b[TZelGraphic::kStateSize + 2 + 10] = char(0xFF);  // the picture length's low byte
    b[TZelGraphic::kStateSize + 2 + 10 + 3] = 0x7F;
    expectRefused(b, "picture longer than the record");
    b = bytes;
    b[TZelGraphic::kStateSize + 2 + 10 + 3] = char(0x80);
    expectRefused(b, "negative picture length");
    expectRefused(bytes.substr(0, bytes.size() - 1), "cut picture");
}

TEST(Compositor, ScreenBmpIsTheShownPictureOpaque) {
    TScene s;
    s.live = 0x80C08020u;  // translucent over black
    s.Frame(0);
    TMemoryStream bmp;
    ASSERT_TRUE(s.g.SaveScreenBmp(bmp));
    bmp.Rewind();
    TARGB8888 img;
    LoadFromStream(img, &bmp, "screen.bmp");
    ASSERT_EQ(img.Width(), W);
    ASSERT_EQ(img.Height(), H);
    EXPECT_EQ(img.Pixel(50, 50) >> 24, 0xFFu);
    EXPECT_EQ(img.Pixel(50, 50) & 0xFFFFFF, s.g.Cells().FrameBuffer().Pixel(50, 50) & 0xFFFFFF);
}

}  // namespace
