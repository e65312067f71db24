// Message text on arbitrary bytes: the bytes are added as text to a window
// (codes, ruby, waits, limits, page turns and all) and typed step by step to
// the end, in horizontal and vertical text, clicking whenever the page is
// full; then typed again at once and replayed as after a load.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "anim/AnimationBmpLib.h"
#include "anim/MessageLib.h"
#include "graphics/ARGB8888Font.h"

namespace {

struct HalfRaster : zel::IGlyphRasterizer {
    zel::TTextSize Render(const zel::TGlyphRequest& r, uint8_t* bm, int32_t w, int32_t h) override {
        if (w > 0 && h > 0) bm[0] = 1;
        return {r.code <= 0xFF ? w / 2 : w, h};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    HalfRaster raster;
    TFontTable fonts(raster);
    TMessageServices services;
    services.fonts = &fonts;
    TAnimationResources res;
    for (int vertical = 0; vertical < 2; ++vertical) {
        TMessageLib win(nullptr, res, nullptr, &services);
        win.SetArea(0, 0, 160, 96);
        win.SetVertical(vertical != 0);
        win.SetHangOffset(8);
        win.AddText(text);
        for (int i = 0; i < 20000 && !win.Step(false); ++i) {
            if (win.State() == TMessageLib::kPageFull) win.Click(1);
            if (win.WaitLeft() > 0) win.Update(1, 1000);
        }
        const std::string pending = win.PendingText();
        win.Clear();
        win.AddText(text);
        win.Finish();
        win.ReplayText(pending, pending.size() / 2);
        win.Finish();
    }
    return 0;
}
