#include "shell/ScriptScreen.h"

namespace zel {

TScriptScreen::TScriptScreen(int32_t width, int32_t height, IGameFiles* files) {
    graphic_.SetScreenSize(width, height);
    graphic_.SetGameFiles(files);
    graphic_.SetDrawCallback([this](bool drawMode, bool fullDraw, int32_t layerLimit) {
        Draw(drawMode, fullDraw, layerLimit);
    });
}

void TScriptScreen::Reset() {
    graphic_.Reset();
    camera_.Reset();
}

void TScriptScreen::InvalidateCells() {
    graphic_.Cells().InvalidateAll();
    graphic_.SetRedrawPending();
}

void TScriptScreen::Draw(bool interlaced, bool overlays, int32_t zLimit) {
    if (submitCells) submitCells(graphic_.Cells(), overlays);
    graphic_.Render(interlaced, zLimit);
}

}  // namespace zel
