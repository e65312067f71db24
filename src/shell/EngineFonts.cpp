#include "shell/EngineFonts.h"

#include <algorithm>

#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "platform/Devices.h"

namespace zel {

namespace {

constexpr int32_t kCell = 12;

// Width of a text in the 12 px font: half a cell for a one-byte character.
int32_t TextWidth(const std::string& s) {
    int32_t w = 0;
    for (size_t i = 0; i < s.size(); i = NextCharPos(s, i)) w += CharLen(s, i) == 2 ? kCell : kCell / 2;
    return w;
}

}  // namespace

void TEngineFonts::PaintErrorScreen(IDisplayDevice& display, const std::vector<std::string>& lines) {
    int pitch = 0;
    uint32_t* pixels = display.Lock(&pitch);
    if (!pixels) return;
    const int32_t w = display.ScreenWidth(), h = display.ScreenHeight();
    TARGB8888 screen;
    bool drawn = false;
    try {
        screen.AttachBuffer({pixels, w, h, pitch / 4});
        auto line = [&](const std::string& text, int32_t y) {
            const int32_t right = std::min<int32_t>(20 + TextWidth(text), w);
            for (int32_t r = std::max(y, 0); r < std::min(y + kCell, h); ++r)
                std::fill(screen.Row(r) + std::min(20, w), screen.Row(r) + right, 0xFF000000u);
            errorFont.DrawText(screen, 20, y, text, kCell, kCell, 0xFFFFFF88u, 0, false);
        };
        line(Sj("■スクリプトエラー"), 100);
        for (size_t i = 0; i < lines.size() && i < 31; ++i) line(lines[i], 150 + kCell * static_cast<int32_t>(i));
        drawn = true;
    } catch (const EImageError&) {
        // A back buffer the image cannot borrow: nothing is drawn.
    }
    screen.DetachBuffer();
    display.Unlock();
    if (!drawn) return;
    display.MarkRows(std::min(100, h), std::min<int32_t>(150 + kCell * 31, h));
    display.Present(false);
}

}  // namespace zel
