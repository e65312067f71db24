// The fonts of a run: the outline rasteriser, the game's eight font slots
// (filled from the settings' font table) and the font of the engine's own
// script-error screen.
#pragma once

#include <string>
#include <vector>

#include "graphics/ARGB8888Font.h"
#include "graphics/FreeTypeRasterizer.h"

namespace zel {

class IDisplayDevice;

struct TEngineFonts {
    TFreeTypeRasterizer raster;
    TFontTable slots{raster};
    TFontTable errorFont{raster};

    // The script-error screen over the presented frame: "■スクリプトエラー"
    // at (20, 100) and up to 31 lines of the error list from (20, 150), 12
    // pixels a line, in "ＭＳ ゴシック" 12 px, RGB (255, 255, 136) on black.
    void PaintErrorScreen(IDisplayDevice& display, const std::vector<std::string>& lines);
};

}  // namespace zel
