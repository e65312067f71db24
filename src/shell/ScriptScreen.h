// The screen of one script: its compositor (with the cell drawer) and its
// camera, as the interpreter reaches them through IScriptDisplay.
//
// A frame of the script draws by submitting every visible object as cells
// (through `submitCells`, which the object manager fills in; without it the
// screen shows the background and the transitions) and letting the
// compositor render. The compositor's capture re-draws through the same path.
#pragma once

#include <functional>

#include "graphics/ZelCameraLib.h"
#include "graphics/Compositor.h"
#include "script/ZelScriptServices.h"

namespace zel {

class TScriptScreen final : public IScriptDisplay {
public:
    TScriptScreen(int32_t width, int32_t height, IGameFiles* files);

    void Reset() override;
    uint32_t BackColour() const override { return graphic_.Background(); }
    void AdvanceCamera(int32_t elapsedMs) override { camera_.Advance(elapsedMs); }
    void CameraOffset(int32_t& x, int32_t& y) const override {
        x = camera_.OffsetX();
        y = camera_.OffsetY();
    }
    void AdvanceCompositor(int32_t elapsedMs) override { graphic_.Advance(elapsedMs); }
    void InvalidateCells() override;
    // Submits the objects (overlays: the fixed pass with the system layers)
    // and renders the frame up to layer zLimit.
    void Draw(bool interlaced, bool overlays, int32_t zLimit) override;

    TZelGraphic& Graphic() { return graphic_; }
    TCamera& Camera() { return camera_; }

    // Submits the cells of every visible object.
    std::function<void(TARGB8888CellDraw& cells, bool fixedPass)> submitCells;

private:
    TZelGraphic graphic_;
    TCamera camera_;
};

}  // namespace zel
