// Picture effect texts of animations ("zoom,10,20,150\blur,2"): effects
// separated by "\", fields by ",", read without regard to case. They are kept
// in this parsed form until the image filters apply them. The form is
// bounded: at most 16 effects, every value limited to a range the filter
// can use (a blur radius of at most 64, a gamma of at least 0.01, scales of
// 1..1000 %), unknown effect names and colour modes outside 0..5 dropped.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zel {

enum class TImageEffectKind : uint8_t { Zoom, Blur, Bright, Gamma, Range, ToneLine, Colour, Chroma, Mirror };

// The fields as the text gives them (defaults filled in):
//   Zoom x, y, h %, v %      Blur a, b        Bright a, b (hundredths)
//   Gamma g (hundredths)     Range low, high  ToneLine a, b, c, d
//   Colour colour, mode      Chroma c (hundredths)  Mirror h, v (0 or 1)
struct TImageEffect {
    TImageEffectKind kind = TImageEffectKind::Zoom;
    std::array<int64_t, 4> v{};
    bool operator==(const TImageEffect&) const = default;
};

inline constexpr size_t kMaxImageEffects = 16;

std::vector<TImageEffect> ParseImageEffects(std::string_view text);

}  // namespace zel
