// The display device: mode choice and its fall-backs, full-screen toggling,
// the back buffer's lock and changed rows, lost outputs, the debug log, and
// the headless and SDL outputs.
#include <gtest/gtest.h>
#include <png.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Sjis.h"
#include "platform/HeadlessDisplay.h"
#include "platform/PngWriter.h"
#include "platform/SdlDisplay.h"
#include "platform/Window.h"
#include "platform/DisplayDevice.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

// An output whose modes and failures the test decides, and which records
// what the device asked of it.
class TFakeDisplay final : public TDDDD7 {
public:
    std::vector<TDisplayMode> modes;
    bool windowedFails = false, fullScreenFails = false, showFails = false, recreateFails = false;
    std::vector<std::string> calls;
    std::vector<std::vector<TRowSpan>> shown;

    void LoseOutput() { OutputLost(); }

protected:
    bool QueryModes(std::vector<TDisplayMode>& out) override {
        out = modes;
        return true;
    }
    bool OpenWindowed(int w, int h, int* depth) override {
        calls.push_back("window " + std::to_string(w) + "x" + std::to_string(h));
        *depth = 24;
        return !windowedFails;
    }
    bool OpenFullScreen(int w, int h, int depth) override {
        calls.push_back("full " + std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(depth));
        return !fullScreenFails;
    }
    bool ShowFrame(const uint32_t*, int, const std::vector<TRowSpan>& spans) override {
        shown.push_back(spans);
        return !showFails;
    }
    bool RecreateOutput() override {
        calls.push_back("recreate");
        return !recreateFails;
    }
};

std::vector<TDisplayMode> ModesAt(int w, int h, std::initializer_list<int> depths) {
    std::vector<TDisplayMode> m;
    for (int d : depths) m.push_back({w, h, 60, d});
    return m;
}

TEST(Display, ConfiguredSizesOutsideTheLimitsTakeTheDefault) {
    struct Case {
        int w, h, wantW, wantH;
    };
    for (const Case& c : {Case{5000, 600, 800, 600}, Case{0, 0, 800, 600}, Case{-3, 480, 800, 480},
                          Case{640, -1, 640, 600}, Case{4096, 1, 4096, 1}, Case{1280, 4097, 1280, 600}}) {
        THeadlessDisplay d;
        d.SetScreenSize(c.w, c.h);
        EXPECT_EQ(d.ScreenWidth(), c.wantW) << c.w;
        ASSERT_TRUE(d.Initialize(false));
        EXPECT_EQ(d.ScreenWidth(), c.wantW) << c.w;
        EXPECT_EQ(d.ScreenHeight(), c.wantH) << c.h;
        EXPECT_EQ(d.BackBuffer().size(), size_t(c.wantW) * c.wantH);
    }
}

TEST(Display, FullScreenDepthFollowsTheColourSetting) {
    struct Case {
        const char* what;
        bool highColour;
        std::initializer_list<int> depths;
        const char* wantCall;  // nullptr: falls back to a window with the error
    };
    for (const Case& c : {Case{"32 preferred", true, {16, 24, 32}, "full 640x480x32"},
                          Case{"24 when no 32", true, {16, 24}, "full 640x480x24"},
                          Case{"only 16-bit modes", true, {15, 16}, nullptr},
                          Case{"16 for high colour off", false, {15, 16, 32}, "full 640x480x16"},
                          Case{"15 when no 16", false, {15, 32}, "full 640x480x15"},
                          Case{"no 15/16 modes", false, {24, 32}, nullptr}}) {
        TFakeDisplay d;
        d.modes = ModesAt(640, 480, c.depths);
        d.modes.push_back({800, 600, 60, 32});  // another size does not count
        int errors = 0;
        std::vector<bool> reported;
        d.fullScreenError = [&] { ++errors; };
        d.fullScreenChanged = [&](bool f) { reported.push_back(f); };
        d.SetScreenSize(640, 480);
        d.SetHighColour(c.highColour);
        ASSERT_TRUE(d.Initialize(true)) << c.what;
        if (c.wantCall) {
            EXPECT_EQ(d.calls, std::vector<std::string>{c.wantCall}) << c.what;
            EXPECT_TRUE(d.IsFullScreen()) << c.what;
            EXPECT_EQ(errors, 0) << c.what;
        } else {
            EXPECT_EQ(d.calls, std::vector<std::string>{"window 640x480"}) << c.what;
            EXPECT_FALSE(d.IsFullScreen()) << c.what;
            EXPECT_EQ(errors, 1) << c.what;
        }
        EXPECT_EQ(reported, std::vector<bool>{c.wantCall != nullptr}) << c.what;
    }
}

TEST(Display, AFailedSwitchToFullScreenOpensAWindow) {
    TFakeDisplay d;
    d.modes = ModesAt(800, 600, {32});
    d.fullScreenFails = true;
    int errors = 0;
    d.fullScreenError = [&] { ++errors; };
    ASSERT_TRUE(d.Initialize(true));
    EXPECT_EQ(d.calls, (std::vector<std::string>{"full 800x600x32", "window 800x600"}));
    EXPECT_FALSE(d.IsFullScreen());
    EXPECT_EQ(errors, 1);
    // Not even a window: initialisation fails (the shell's display error).
    TFakeDisplay none;
    none.windowedFails = true;
    EXPECT_FALSE(none.Initialize(false));
    EXPECT_FALSE(none.IsInitialized());
    EXPECT_EQ(none.Lock(nullptr), nullptr);
}

TEST(Display, ToggleTwiceReturnsAndCallsTheOwnerEachTime) {
    TFakeDisplay d;
    d.modes = ModesAt(800, 600, {32});
    std::vector<std::string> log;
    d.beforeReset = [&] { log.push_back("before"); };
    d.afterReset = [&] { log.push_back("after"); };
    d.fullScreenChanged = [&](bool f) { log.push_back(f ? "full" : "window"); };
    ASSERT_TRUE(d.Initialize(false));
    EXPECT_FALSE(d.IsFullScreen());
    ASSERT_TRUE(d.ToggleFullScreen());
    EXPECT_TRUE(d.IsFullScreen());
    ASSERT_TRUE(d.ToggleFullScreen());
    EXPECT_FALSE(d.IsFullScreen());
    EXPECT_EQ(log, (std::vector<std::string>{"window", "before", "full", "after", "before", "window", "after"}));
    EXPECT_EQ(d.calls, (std::vector<std::string>{"window 800x600", "full 800x600x32", "window 800x600"}));
    // The picture survives the switches and is shown whole afterwards.
    int pitch = 0;
    uint32_t* p = d.Lock(&pitch);
    ASSERT_NE(p, nullptr);
    p[5] = 0xFF123456u;
    d.Unlock();
    d.ToggleFullScreen();
    EXPECT_EQ(d.BackBuffer()[5], 0xFF123456u);
    d.Present(false);
    ASSERT_FALSE(d.shown.empty());
    EXPECT_EQ(d.shown.back().size(), 1u);
    EXPECT_EQ(d.shown.back()[0].bottom - d.shown.back()[0].top, 600);
}

TEST(Display, ModeListKeepsAtMost511Entries) {
    TFakeDisplay d;
    for (int i = 0; i < 700; ++i) d.modes.push_back({640 + i, 480, 60, 32});
    ASSERT_TRUE(d.EnumerateModes());
    EXPECT_EQ(d.Modes().size(), 511u);
    EXPECT_TRUE(d.HasMode(640, 480, 0, 0));
    EXPECT_TRUE(d.HasMode(640, 480, 60, 32));
    EXPECT_FALSE(d.HasMode(640, 480, 75, 0));
    EXPECT_FALSE(d.HasMode(640 + 600, 480, 0, 0));
}

TEST(Display, PresentShowsOnlyTheChangedRows) {
    TFakeDisplay d;
    d.SetScreenSize(16, 10);
    ASSERT_TRUE(d.Initialize(false));
    d.Present(false);  // the first frame shows everything
    ASSERT_EQ(d.shown.size(), 1u);
    EXPECT_EQ(d.LastShownRows(), std::vector<uint8_t>(10, 1));

    d.Present(false);  // nothing changed: the output is not bothered
    EXPECT_EQ(d.shown.size(), 1u);
    EXPECT_EQ(d.LastShownRows(), std::vector<uint8_t>(10, 0));

    d.MarkRows(2, 4);
    d.MarkRows(3, 6);
    d.MarkRows(9, 50);  // clamped
    d.MarkRows(-5, 1);
    d.Present(false);
    ASSERT_EQ(d.shown.size(), 2u);
    ASSERT_EQ(d.shown[1].size(), 3u);
    EXPECT_EQ(d.shown[1][0].top, 0);
    EXPECT_EQ(d.shown[1][0].bottom, 1);
    EXPECT_EQ(d.shown[1][1].top, 2);
    EXPECT_EQ(d.shown[1][1].bottom, 6);
    EXPECT_EQ(d.shown[1][2].top, 9);
    EXPECT_EQ(d.shown[1][2].bottom, 10);

    d.Present(true);  // forced: every row
    EXPECT_EQ(d.LastShownRows(), std::vector<uint8_t>(10, 1));
}

TEST(Display, InterlacedPresentChangesRowsOfOneParity) {
    for (int parity : {0, 1}) {
        THeadlessDisplay d;
        d.SetScreenSize(8, 9);
        ASSERT_TRUE(d.Initialize(false));
        d.Present(false);
        d.MarkRowsOfParity(0, 9, parity);
        d.Present(false);
        for (int y = 0; y < 9; ++y) EXPECT_EQ(d.LastShownRows()[size_t(y)], (y & 1) == parity ? 1 : 0) << y;
    }
}

TEST(Display, LockIsExclusiveAndUnlockWithoutLockIsLogged) {
    const fs::path log = fs::temp_directory_path() / ("zel_dddd_" + std::to_string(::getpid()) + ".debug");
    THeadlessDisplay d;
    d.SetDebugOptions(ddoHaltOnError | ddoDebugMessage);
    d.SetDebugLogPath(log.string());
    d.SetScreenSize(4, 4);
    EXPECT_EQ(d.Lock(nullptr), nullptr);  // not open yet
    ASSERT_TRUE(d.Initialize(false));
    int pitch = 0;
    ASSERT_NE(d.Lock(&pitch), nullptr);
    EXPECT_EQ(pitch, 16);
    EXPECT_EQ(d.Lock(&pitch), nullptr);  // busy
    d.Unlock();
    d.Unlock();
    std::ifstream f(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(f)), {});
    EXPECT_EQ(text.rfind("debug#00001 InitWindowed(4, 4)\r\n", 0), 0u) << text;
    EXPECT_NE(text.find(Sj("サーフェスのアンロックに失敗しました")), std::string::npos);
    EXPECT_EQ(text.find("Mode "), std::string::npos);  // detailed lines need the detailed option
    fs::remove(log);
}

TEST(Display, DebugLogIsRecreatedByTheFirstLineAndHoldsDetailsOnRequest) {
    const fs::path log = fs::temp_directory_path() / ("zel_dddd2_" + std::to_string(::getpid()) + ".debug");
    { std::ofstream(log) << "old run\n"; }
    THeadlessDisplay d;
    d.SetDebugOptions(ddoDebugMessage | ddoDetailedLog);
    d.SetDebugLogPath(log.string());
    d.SetScreenSize(4, 4);
    ASSERT_TRUE(d.Initialize(false));
    d.LogFailure("Blt", 0x887601C2u);
    std::ifstream f(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(f)), {});
    EXPECT_EQ(text.find("old run"), std::string::npos);
    EXPECT_NE(text.find("debug#00001 Mode 4x4 60Hz 15bit\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("PixelFormat: AMask=ff000000 RMask=00ff0000 GMask=0000ff00 BMask=000000ff"),
              std::string::npos);
    EXPECT_NE(text.find("Blt(Error Code(887601c2))"), std::string::npos);
    // Without the message option nothing is written.
    fs::remove(log);
    THeadlessDisplay quiet;
    quiet.SetDebugLogPath(log.string());
    ASSERT_TRUE(quiet.Initialize(false));
    EXPECT_FALSE(fs::exists(log));
}

TEST(Display, LostOutputIsRecreatedAndShownWhole) {
    TFakeDisplay d;
    d.SetScreenSize(8, 6);
    ASSERT_TRUE(d.Initialize(false));
    d.Present(false);
    d.LoseOutput();
    d.MarkRows(1, 2);
    d.Present(false);
    EXPECT_EQ(d.calls.back(), "recreate");
    EXPECT_EQ(d.LastShownRows(), std::vector<uint8_t>(6, 1));

    // A failed show loses the output too.
    d.showFails = true;
    d.MarkRows(0, 1);
    d.Present(false);
    d.showFails = false;
    d.Present(false);
    EXPECT_EQ(d.calls.back(), "recreate");

    // When it cannot be recreated, Lock fails until Restore succeeds.
    d.LoseOutput();
    d.recreateFails = true;
    d.Present(false);
    EXPECT_EQ(d.Lock(nullptr), nullptr);
    EXPECT_FALSE(d.Restore());
    EXPECT_EQ(d.Lock(nullptr), nullptr);
    d.recreateFails = false;
    EXPECT_TRUE(d.Restore());
    EXPECT_NE(d.Lock(nullptr), nullptr);
    d.Unlock();
    const size_t before = d.shown.size();
    d.Present(false);
    ASSERT_EQ(d.shown.size(), before + 1);
    EXPECT_EQ(d.LastShownRows(), std::vector<uint8_t>(6, 1));
}

// ---------------------------------------------------------------- headless screenshot

std::vector<uint8_t> DecodeRgbPng(const std::string& path, int* w, int* h) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return {};
    img.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return {};
    *w = int(img.width);
    *h = int(img.height);
    return px;
}

TEST(Display, HeadlessScreenshotIsTheBackBufferMadeOpaque) {
    THeadlessDisplay d;
    d.SetScreenSize(37, 11);
    ASSERT_TRUE(d.Initialize(false));
    int pitch = 0;
    uint32_t* p = d.Lock(&pitch);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 37 * 11; ++i) p[i] = uint32_t(i * 2654435761u);  // alpha bytes of every kind
    d.Unlock();
    d.MarkRows(0, 11);
    d.Present(false);
    const fs::path file = fs::temp_directory_path() / ("zel_shot_" + std::to_string(::getpid()) + ".png");
    std::string err;
    ASSERT_TRUE(d.SaveScreenshot(file.string(), &err)) << err;
    int w = 0, h = 0;
    const std::vector<uint8_t> got = DecodeRgbPng(file.string(), &w, &h);
    fs::remove(file);
    ASSERT_EQ(w, 37);
    ASSERT_EQ(h, 11);
    for (int i = 0; i < 37 * 11; ++i) {
        uint32_t px;
        std::memcpy(&px, got.data() + 4 * i, 4);
        ASSERT_EQ(px, d.BackBuffer()[size_t(i)] | 0xFF000000u) << i;
    }
    THeadlessDisplay closed;
    EXPECT_FALSE(closed.SaveScreenshot(file.string(), &err));
    EXPECT_FALSE(fs::exists(file));
}

TEST(Display, PngWriterRefusesBadArguments) {
    std::vector<uint8_t> out;
    const uint32_t px[4] = {};
    EXPECT_FALSE(EncodePng(nullptr, 2, 2, 8, true, out));
    EXPECT_FALSE(EncodePng(px, 0, 2, 8, true, out));
    EXPECT_FALSE(EncodePng(px, 2, 2, 4, true, out));  // pitch shorter than a row
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(EncodePng(px, 2, 2, 8, false, out));
    EXPECT_EQ(out[1], 'P');
    std::string err;
    EXPECT_FALSE(WritePngFile("/nonexistent-dir/x.png", px, 2, 2, 8, true, &err));
    EXPECT_FALSE(err.empty());
}

// ---------------------------------------------------------------- SDL

class SdlDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        std::string err;
        window_ = TSdlWindow::Create(&err);
        ASSERT_NE(window_, nullptr) << err;
    }
    void TearDown() override {
        window_.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    std::unique_ptr<TSdlWindow> window_;
};

// Draws a pattern into the back buffer and marks the rows.
void Paint(TDDDD7& d, uint32_t seed, int top, int bottom, int step = 1) {
    int pitch = 0;
    uint32_t* p = d.Lock(&pitch);
    ASSERT_NE(p, nullptr);
    const int w = pitch / 4;
    for (int y = top; y < bottom; y += step) {
        for (int x = 0; x < w; ++x) p[y * w + x] = (seed + uint32_t(x * 40503u + y * 977u)) | 0x01000000u;
        d.MarkRows(y, y + 1);
    }
    d.Unlock();
}

TEST_F(SdlDisplayTest, OpensPresentsAndShowsTheBackBuffer) {
    TSdlDisplay d(window_->Handle(), TSdlDisplay::TRenderer::Software);
    window_->SetClientSize(64, 48);
    d.SetScreenSize(64, 48);
    ASSERT_TRUE(d.Initialize(false));
    EXPECT_TRUE(d.SoftwareRenderer());
    EXPECT_TRUE(d.HasMode(64, 48, 0, 16));  // the virtual list offers every depth
    EXPECT_TRUE(d.HasMode(64, 48, 0, 15));
    window_->Show();
    Paint(d, 7, 0, 48);
    d.Present(false);
    EXPECT_EQ(d.UploadedRows(), 48);
    EXPECT_EQ(d.UploadCalls(), 1);
    EXPECT_EQ(d.FramesShown(), 1);

    // The window shows the back buffer 1:1 (alpha plays no part).
    SDL_Renderer* r = SDL_GetRenderer(window_->Handle());
    ASSERT_NE(r, nullptr);
    std::vector<uint32_t> shown(64 * 48);
    ASSERT_EQ(SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), 64 * 4), 0) << SDL_GetError();
    int differ = 0;
    for (size_t i = 0; i < shown.size(); ++i) differ += (shown[i] & 0xFFFFFF) != (d.BackBuffer()[i] & 0xFFFFFF);
    EXPECT_EQ(differ, 0);

    // An interlaced frame uploads only its rows, one call each.
    Paint(d, 99, 1, 48, 2);
    d.Present(false);
    EXPECT_EQ(d.UploadedRows(), 48 + 24);
    EXPECT_EQ(d.UploadCalls(), 1 + 24);
    for (int y = 0; y < 48; ++y) EXPECT_EQ(d.LastShownRows()[size_t(y)], y & 1) << y;

    // Nothing changed: nothing is drawn.
    d.Present(false);
    EXPECT_EQ(d.FramesShown(), 2);
}

TEST_F(SdlDisplayTest, ScalesToTheWindowWithBlackBars) {
    TSdlDisplay d(window_->Handle(), TSdlDisplay::TRenderer::Software);
    window_->SetClientSize(100, 30);  // three times as wide as the picture's shape
    d.SetScreenSize(40, 30);
    ASSERT_TRUE(d.Initialize(false));
    int pitch = 0;
    uint32_t* p = d.Lock(&pitch);
    ASSERT_NE(p, nullptr);
    std::fill(p, p + 40 * 30, 0x803366CCu);  // alpha plays no part on the screen
    d.Unlock();
    d.Present(true);
    SDL_Renderer* r = SDL_GetRenderer(window_->Handle());
    ASSERT_NE(r, nullptr);
    // Read in window pixels, not in the picture's logical ones.
    SDL_RenderSetLogicalSize(r, 0, 0);
    SDL_RenderSetScale(r, 1.0f, 1.0f);
    SDL_RenderSetViewport(r, nullptr);
    std::vector<uint32_t> shown(100 * 30);
    ASSERT_EQ(SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), 100 * 4), 0) << SDL_GetError();
    EXPECT_EQ(shown[15 * 100 + 5] & 0xFFFFFF, 0u);           // left bar
    EXPECT_EQ(shown[15 * 100 + 95] & 0xFFFFFF, 0u);          // right bar
    EXPECT_EQ(shown[15 * 100 + 50] & 0xFFFFFF, 0x3366CCu);   // the picture, centred
    EXPECT_EQ(shown[1 * 100 + 35] & 0xFFFFFF, 0x3366CCu);
}

TEST_F(SdlDisplayTest, RenderDeviceResetRecreatesTheTextureAndUploadsEverything) {
    TSdlDisplay d(window_->Handle());
    window_->SetClientSize(32, 24);
    d.SetScreenSize(32, 24);
    ASSERT_TRUE(d.Initialize(false));
    d.Present(false);
    EXPECT_EQ(d.TextureCreations(), 1);
    const int64_t before = d.UploadedRows();
    SDL_Event e{};
    e.type = SDL_RENDER_DEVICE_RESET;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    SDL_PumpEvents();
    Paint(d, 3, 5, 6);
    d.Present(false);
    EXPECT_EQ(d.TextureCreations(), 2);
    EXPECT_EQ(d.UploadedRows() - before, 24);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

TEST_F(SdlDisplayTest, ToggleFullScreenKeepsThePictureAndTheFlagsAgree) {
    TSdlDisplay d(window_->Handle());
    window_->SetClientSize(40, 30);
    d.SetScreenSize(40, 30);
    int before = 0, after = 0, errors = 0;
    bool reported = false;
    d.beforeReset = [&] { ++before; };
    d.afterReset = [&] { ++after; };
    d.fullScreenError = [&] { ++errors; };
    d.fullScreenChanged = [&](bool f) { reported = f; };
    ASSERT_TRUE(d.Initialize(false));
    Paint(d, 11, 0, 30);
    const std::vector<uint32_t> picture = d.BackBuffer();
    ASSERT_TRUE(d.ToggleFullScreen());
    EXPECT_EQ(reported, d.IsFullScreen());
    EXPECT_EQ(errors, d.IsFullScreen() ? 0 : 1);
    EXPECT_EQ((SDL_GetWindowFlags(window_->Handle()) & SDL_WINDOW_FULLSCREEN) != 0, d.IsFullScreen());
    ASSERT_TRUE(d.ToggleFullScreen());
    EXPECT_FALSE(d.IsFullScreen());
    EXPECT_EQ(before, 2);
    EXPECT_EQ(after, 2);
    EXPECT_EQ(d.BackBuffer(), picture);
    d.Present(false);
    EXPECT_EQ(d.LastShownRows(), std::vector<uint8_t>(30, 1));
}

}  // namespace
}  // namespace zel
