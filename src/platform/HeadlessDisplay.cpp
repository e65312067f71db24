#include "platform/HeadlessDisplay.h"

#include <algorithm>
#include <cstddef>

namespace zel {

void THeadlessDisplay::SetScreenSize(int w, int h) {
    // A size of 0 or below would make an empty buffer: keep the default.
    width_ = w > 0 ? w : 800;
    height_ = h > 0 ? h : 600;
}

bool THeadlessDisplay::Initialize(bool fullScreen) {
    full_ = fullScreen;
    back_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0xFF000000u);
    presented_ = back_;
    init_ = true;
    return true;
}

bool THeadlessDisplay::ToggleFullScreen() {
    if (beforeReset) beforeReset();
    full_ = !full_;
    if (afterReset) afterReset();
    return true;
}

uint32_t* THeadlessDisplay::Lock(int* pitchBytes) {
    if (!init_) return nullptr;
    if (pitchBytes) *pitchBytes = width_ * 4;
    return back_.data();
}

void THeadlessDisplay::MarkRows(int top, int bottom) {
    top = std::clamp(top, 0, height_);
    bottom = std::clamp(bottom, 0, height_);
    if (top >= bottom) return;
    if (dirtyTop_ >= dirtyBottom_) {
        dirtyTop_ = top;
        dirtyBottom_ = bottom;
    } else {
        dirtyTop_ = std::min(dirtyTop_, top);
        dirtyBottom_ = std::max(dirtyBottom_, bottom);
    }
}

void THeadlessDisplay::Present(bool force) {
    if (!init_) return;
    if (force) {
        dirtyTop_ = 0;
        dirtyBottom_ = height_;
    }
    const size_t w = static_cast<size_t>(width_);
    for (int y = dirtyTop_; y < dirtyBottom_; ++y)
        std::copy_n(back_.begin() + static_cast<std::ptrdiff_t>(y * w), w, presented_.begin() + static_cast<std::ptrdiff_t>(y * w));
    lastTop_ = dirtyTop_;
    lastBottom_ = dirtyBottom_;
    dirtyTop_ = dirtyBottom_ = 0;
    ++presents_;
}

}  // namespace zel
