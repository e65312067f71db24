// The multi-line text viewer: where its parts sit for a client size.
#pragma once

#include <cstdint>

namespace zel {

struct TMemoRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const TMemoRect&) const = default;
};

struct TMemoLayout {
    TMemoRect text, copy, ok, cancel;
};

constexpr int32_t kMemoButtonHeight = 24;
constexpr int32_t kMemoButtonWidth = 126;
constexpr int32_t kMemoCopyWidth = 180;

// The text area 8 pixels in from the left, top and right edges and 48 above
// the bottom; the copy button 8 from the left, OK 278 and cancel 134 from the
// right edge, all 32 above the bottom.
TMemoLayout MemoLayout(int32_t width, int32_t height);

}  // namespace zel
