// The animated wipe of the screen compositor: an image object that plays an
// ABMP animation over the screen at (0, 0) on the wipe layer, stretched in
// time to the transition's duration.
#pragma once

#include "anim/ImageLib.h"
#include "graphics/Compositor.h"

namespace zel {

class TImageWipe final : public IWipeAnimation {
public:
    TImageWipe(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr)
        : image_(files, resources, sound) {}

    bool Begin(const std::string& name, uint8_t effectChannel, uint8_t streamChannel) override;
    const TARGB8888* FirstPicture() override;
    int32_t Length() override;
    bool Advance(int32_t elapsedMs, double speed) override;
    void Draw(TARGB8888CellDraw& cells, int32_t mask) override;
    void Reset() override;
    void SaveState(TMemoryStream& s) override;
    void LoadState(TMemoryStream& s) override;

    const TImageLib& Image() const { return image_; }

private:
    TImageLib image_;
    double played_ = 0;  // animation time reached, ms
    double carry_ = 0;   // the fraction of a millisecond not yet handed on
};

}  // namespace zel
