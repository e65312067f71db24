// The picture a built-in screen (the system menu, the save and load screens)
// draws its backdrop into: sized to the game script's cell drawer and laid
// under the screen's own cells there, so the frame the shell presents holds
// both.
#pragma once

#include <cstdint>

#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

class TScreenCanvas {
public:
    // The canvas at the cell drawer's size (made anew when that changed).
    TARGB8888* Target(const TARGB8888CellDraw& cells) {
        if (canvas_.Width() != cells.Width() || canvas_.Height() != cells.Height())
            canvas_.NewImage(cells.Width(), cells.Height(), 0xFF000000u);
        return &canvas_;
    }
    // Frees the picture once the screen has closed; Target makes a new one.
    void Release() { canvas_.Clear(); }
    // Lays what was drawn under the screen's cells and renders every layer.
    void Show(TARGB8888CellDraw& cells, uint32_t background) {
        canvas_.Touch();
        cells.AddImageCell(0, 0, 0, 0, canvas_.Width(), canvas_.Height(), -1, 0, &canvas_, 0, 255, 0, 0xFFFFFFFFu, 0);
        cells.Render(background, false, kAllLayers);
    }

private:
    static constexpr int32_t kAllLayers = 0xFFFF;
    TARGB8888 canvas_;
};

}  // namespace zel
