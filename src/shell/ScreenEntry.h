// An entry of a built-in screen (the system menu, the save and load screens):
// its first picture normally, its second while hovered or checked, faint
// while locked, fading out once hidden. The hit rectangle is relative to the
// entry's position; an empty one is the first picture's bounds.
#pragma once

#include <cstdint>
#include <string>

#include "anim/ImageLib.h"
#include "screens/ZelMenuLib.h"

namespace zel {

class TARGB8888CellDraw;
struct TAnimationResources;
class IGameFiles;

class TScreenEntry {
public:
    TScreenEntry(IGameFiles& files, TAnimationResources& resources, TARGB8888CellDraw& cells, const std::string& first,
                 const std::string& second, const TMenuRect& hit);

    void MoveTo(int32_t x, int32_t y, int32_t z);
    void Reset();
    void Hover(int32_t x, int32_t y) { hovered = !locked && !hiding_ && Hit(x, y); }
    void Unhover() { hovered = false; }
    bool Hit(int32_t x, int32_t y) const;
    void Hide() { hiding_ = true; }
    void Advance(int32_t ms);
    // The entry's opacity now: locked and hiding both take from it.
    int32_t Opacity() const;
    // Draws the picture that shows (nothing when the opacity is 0).
    void DrawPicture() const;

    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }
    int32_t Z() const { return z_; }

    bool locked = false, checked = false, hovered = false;

private:
    TARGB8888CellDraw& cells_;
    // Drawing moves an image's fade; the entry itself stays as it was.
    mutable TImageLib normal_, hover_;
    int32_t x_ = 0, y_ = 0, z_ = 0;
    TMenuRect hit_;
    bool hiding_ = false;
    int32_t alpha_ = 255;
};

}  // namespace zel
