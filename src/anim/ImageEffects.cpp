#include "anim/ImageEffects.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "base/Sjis.h"

namespace zel {
namespace {

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            out.push_back(s.substr(start, i - start));
            start = i + 1;
        } else if (sep == '\\' && IsLeadByte(s[i]) && i + 1 < s.size()) {
            ++i;  // a trail byte 0x5C is not a separator
        }
    }
    return out;
}

// Field i as a decimal or "$" hexadecimal integer, else the default.
int64_t Field(const std::vector<std::string_view>& f, size_t i, int64_t def) {
    if (i >= f.size()) return def;
    std::string_view t = TrimBlanks(f[i]);
    int base = 10;
    if (!t.empty() && t[0] == '$') t.remove_prefix(1), base = 16;
    int64_t v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, base);
    return (r.ec == std::errc() && r.ptr == t.data() + t.size() && !t.empty()) ? v : def;
}

}  // namespace

std::vector<TImageEffect> ParseImageEffects(std::string_view text) {
    std::vector<TImageEffect> out;
    const std::string lower = AsciiLower(text);
    for (std::string_view part : Split(lower, '\\')) {
        if (out.size() >= kMaxImageEffects) break;
        const auto f = Split(part, ',');
        const std::string_view name = TrimBlanks(f[0]);
        TImageEffect e;
        auto set = [&](size_t i, int64_t def, int64_t lo, int64_t hi) {
            e.v[i] = std::clamp(Field(f, i + 1, def), lo, hi);
        };
        if (name == "zoom") {
            e.kind = TImageEffectKind::Zoom;
            set(0, 0, -32768, 32767);
            set(1, 0, -32768, 32767);
            set(2, 100, 1, 1000);
            set(3, e.v[2], 1, 1000);
        } else if (name == "blur") {
            e.kind = TImageEffectKind::Blur;
            set(0, 4, 0, 64);
            set(1, e.v[0], 0, 64);
        } else if (name == "bright") {
            e.kind = TImageEffectKind::Bright;
            set(0, 0, -255, 255);
            set(1, 0, -255, 255);
        } else if (name == "gamma") {
            e.kind = TImageEffectKind::Gamma;
            set(0, 100, 1, 1000);
        } else if (name == "range") {
            e.kind = TImageEffectKind::Range;
            set(0, 0, 0, 255);
            set(1, 255, 0, 255);
        } else if (name == "toneline") {
            e.kind = TImageEffectKind::ToneLine;
            set(0, 0, 0, 255);
            set(1, 0, 0, 255);
            set(2, 255, 0, 255);
            set(3, 255, 0, 255);
        } else if (name == "color") {
            e.kind = TImageEffectKind::Colour;
            e.v[0] = Field(f, 1, 0) & 0xFFFFFFFF;
            e.v[1] = Field(f, 2, 0);
            if (e.v[1] < 0 || e.v[1] > 5) continue;  // the filter does nothing for other modes
        } else if (name == "chroma") {
            e.kind = TImageEffectKind::Chroma;
            set(0, 0, 0, 1000);
        } else if (name == "mirror") {
            e.kind = TImageEffectKind::Mirror;
            e.v[0] = Field(f, 1, 0) == 1;
            e.v[1] = Field(f, 2, 0) == 1;
        } else {
            continue;
        }
        out.push_back(e);
    }
    return out;
}

}  // namespace zel
