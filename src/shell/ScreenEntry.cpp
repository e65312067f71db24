#include "shell/ScreenEntry.h"

#include <algorithm>

#include "graphics/ARGB8888CellDrawLib.h"

namespace zel {

namespace {

constexpr int32_t kHideMs = 150;      // the fade of a hidden entry
constexpr int32_t kLockedAlpha = 96;  // a locked entry shows faintly

}  // namespace

TScreenEntry::TScreenEntry(IGameFiles& files, TAnimationResources& resources, TARGB8888CellDraw& cells,
                           const std::string& first, const std::string& second, const TMenuRect& hit)
    : cells_(cells), normal_(&files, resources), hover_(&files, resources), hit_(hit) {
    if (!first.empty()) normal_.Load(first);
    if (!second.empty()) hover_.Load(second);
}

void TScreenEntry::MoveTo(int32_t x, int32_t y, int32_t z) {
    x_ = x;
    y_ = y;
    z_ = std::max(0, z);
    for (TImageLib* i : {&normal_, &hover_}) {
        i->MoveTo(x_, y_, z_, 0);
        i->Update(~0u, 0);
    }
}

void TScreenEntry::Reset() {
    hovered = hiding_ = false;
    alpha_ = 255;
    for (TImageLib* i : {&normal_, &hover_})
        if (i->Loaded()) i->Show();
}

bool TScreenEntry::Hit(int32_t x, int32_t y) const {
    TMenuRect r = hit_;
    if (r.right <= r.left || r.bottom <= r.top) r = {0, 0, normal_.Width(), normal_.Height()};
    const int64_t dx = int64_t{x} - x_, dy = int64_t{y} - y_;
    return r.left <= dx && dx < r.right && r.top <= dy && dy < r.bottom;
}

void TScreenEntry::Advance(int32_t ms) {
    if (hiding_) alpha_ = static_cast<int32_t>(std::max<int64_t>(0, alpha_ - int64_t{std::max(0, ms)} * 255 / kHideMs));
    for (TImageLib* i : {&normal_, &hover_}) i->Update(~0u, ms);
}

int32_t TScreenEntry::Opacity() const { return (locked ? kLockedAlpha : 255) * alpha_ / 255; }

void TScreenEntry::DrawPicture() const {
    const int32_t a = Opacity();
    TImageLib& shown = (hovered || checked) && hover_.Loaded() ? hover_ : normal_;
    if (a <= 0 || !shown.Loaded()) return;
    shown.FadeTo(a, 0);
    shown.Update(~0u, 0);
    shown.Draw(cells_, ~0u, 0, 0);
}

}  // namespace zel
