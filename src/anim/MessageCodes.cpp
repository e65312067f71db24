// The control codes of message text and the ruby code.
#include <algorithm>

#include "anim/MessageLib.h"
#include "anim/MessageText.h"
#include "base/IntMath.h"
#include "base/SjisText.h"
#include "graphics/ARGB8888Font.h"

namespace zel {

using namespace message_text;

namespace {

int32_t Percent(int32_t value, int64_t percent) { return SatInt32(int64_t{value} * percent / 100); }

}  // namespace

bool TMessageLib::ExecuteCode(std::string_view code) {
    const std::vector<std::string_view> items = CodeItems(code);
    const std::string name = AsciiLower(items[0]);
    const size_t argc = items.size() - 1;
    // Argument i (from 0); def when missing or not a number.
    auto arg = [&](size_t i, int64_t def) -> int32_t {
        return static_cast<int32_t>(i + 1 < items.size() ? CodeNumber(items[i + 1], def) : def);
    };
    auto has = [&](size_t i) { return i + 1 < items.size() && !items[i + 1].empty(); };
    auto off = [&](int byte, int bit) { return (disabled_[static_cast<size_t>(byte)] >> bit & 1) != 0; };
    const bool none = argc == 0 || (argc == 1 && items[1].empty());

    if (name == "n" || name == "np" || name == "nn" || name == "nnp") {
        const bool nn = name[1] == 'n';
        if (off(0, nn ? 1 : 0)) return true;
        int32_t advance = arg(0, 0);
        if (name.back() == 'p') advance = Percent(SatInt32(int64_t{charH_} + pitchY_), arg(0, 100));
        NewLine(advance);
        if (nn) Along() = 0;
    } else if (name == "pi" || name == "pip") {
        if (off(0, 2)) return true;
        if (name == "pip") {
            prevPitchX_ = pitchX_;
            prevPitchY_ = pitchY_;
            pitchX_ = Percent(pitchX_, arg(0, 100));
            pitchY_ = Percent(pitchY_, arg(1, 100));
        } else if (none) {
            std::swap(pitchX_, prevPitchX_);
            std::swap(pitchY_, prevPitchY_);
        } else {
            prevPitchX_ = pitchX_;
            prevPitchY_ = pitchY_;
            pitchX_ = arg(0, 32);
            pitchY_ = arg(1, 32);
        }
        if (!vertical_) penY_ = std::max(penY_, pitchY_);
        else penX_ = SatInt32(std::min<int64_t>(penX_, int64_t{layer_.Width()} - pitchY_));
    } else if (name == "c") {
        if (off(0, 3)) return true;
        if (none) {
            std::swap(colour_, prevColour_);
        } else {
            prevColour_ = colour_;
            colour_ = static_cast<uint32_t>(CodeNumber(items[1], -1));
        }
    } else if (name == "s" || name == "sp") {
        if (off(0, 4)) return true;
        if (none) {
            std::swap(charW_, prevCharW_);
            std::swap(charH_, prevCharH_);
        } else {
            const int32_t w = name == "sp" ? Percent(charW_, arg(0, 100)) : arg(0, 32);
            const int32_t h = name == "sp" ? Percent(charH_, arg(1, 100)) : arg(1, 32);
            prevCharW_ = charW_;
            prevCharH_ = charH_;
            charW_ = w;
            charH_ = h;
        }
    } else if (name == "p" || name == "pp") {
        if (off(0, 5)) return true;
        int32_t x = arg(0, 0), y = arg(1, 0);
        if (name == "pp") {
            x = Percent(areaW_, x);
            y = Percent(areaH_, y);
        }
        penX_ = std::clamp(x, 0, areaW_);
        penY_ = std::clamp(y, 0, areaH_);
        hangCount_ = 0;
    } else if (name == "f") {
        if (off(0, 6)) return true;
        if (none) {
            std::swap(font_, prevFont_);
        } else {
            const int32_t slot = arg(0, -1);
            if (slot >= 0 && slot < 8) {
                prevFont_ = font_;
                font_ = slot;
            }
        }
    } else if (name == "w") {
        if (off(0, 7) || instant_) return true;
        wait_ = std::max(0, arg(0, 100));
    } else if (name == "spd") {
        if (off(1, 0)) return true;
        speed_ = arg(0, -1);
    } else if (name == "rpi") {
        if (off(1, 1)) return true;
        rubyPitchX_ = arg(0, 0);
        rubyPitchY_ = arg(1, 0);
    } else if (name == "rs") {
        if (off(1, 2)) return true;
        rubyW_ = none ? 12 : arg(0, 32);
        rubyH_ = none ? 12 : arg(1, 32);
    } else if (name == "rb") {
        if (off(1, 3) || argc < 2) return true;
        return Ruby(items[1], CodeRest(code, 2));
    } else if (name == "rp") {
        if (off(1, 4)) return true;
        rubyOffX_ = none ? 0 : arg(0, 0);
        rubyOffY_ = none ? -12 : arg(1, 0);
    } else if (name == "rf") {
        if (off(1, 5)) return true;
        // A slot outside the font table is ignored like one of "f".
        const int32_t slot = none ? 7 : arg(0, -1);
        if (slot >= 0 && slot < 8) rubyFont_ = slot;
    } else if (name == "rc") {
        if (off(1, 6)) return true;
        prevRubyColour_ = rubyColour_;
        rubyColour_ = none ? 0xFFFFFFFF : static_cast<uint32_t>(CodeNumber(items[1], -1));
    } else if (name == "i" || name == "ip") {
        if (off(2, 0) || !has(0)) return true;
        int64_t by = arg(0, 0);
        if (name == "ip") by = by * (int64_t{charW_} + pitchX_) / 100;
        Along() = SatInt32(int64_t{Along()} + by);
        penX_ = std::max(0, penX_);
        penY_ = std::max(0, penY_);
    } else if (name == "pc" || name == "pr") {
        const bool centre = name == "pc";
        if (off(2, centre ? 1 : 2) || !has(0)) return true;
        const std::string_view text = CodeRest(code, 1);
        const int64_t extent = AlongExtent(), width = TextWidth(text);
        Along() = SatInt32(std::max<int64_t>(0, centre ? (extent - width) / 2 : extent - width - charW_));
        QueueSide(text);
    } else if (name == "lim") {
        if (off(2, 4) || !has(0)) return true;
        limit_ = arg(0, 0);
        sinceLimit_ = 0;
    }
    return true;
}

namespace {

// Width of a ruby or its base: each character its pitch plus its cell (half
// the cell for a one-byte character), and one pitch more.
int64_t RubyWidth(std::string_view s, int64_t cell, int64_t pitch) {
    int64_t w = 0;
    for (size_t i = 0; i < s.size(); i = NextCharPos(s, i)) w += pitch + (CharLen(s, i) == 2 ? cell : cell / 2);
    return s.empty() ? 0 : w + pitch;
}

}  // namespace

bool TMessageLib::Ruby(std::string_view base, std::string_view ruby) {
    if (AreaEmpty() || (limit_ != 0 && int64_t{limit_} < int64_t{sinceLimit_} + charW_)) return true;
    if (base.empty() || ruby.empty()) {
        QueueSide(base);
        return true;
    }
    if (wait_ > 0) return false;
    // The base wraps and turns the page as one character would.
    if (charsOnLine_ > 0 && Overflows(base.size())) {
        NewLine(0);
        return false;
    }
    if (PageFull()) return false;
    if (!vertical_) {
        const int64_t b = RubyWidth(base, charW_, pitchX_), r = RubyWidth(ruby, rubyW_, rubyPitchX_);
        int64_t x, gap;
        if (b < r) {
            x = int64_t{penX_} + rubyOffX_ + (b - r) / 2;
            gap = rubyPitchX_;
        } else {
            const int64_t n = CharCount(ruby);
            gap = (b - n * rubyW_) / (n + 1);
            x = int64_t{penX_} + rubyOffX_ + gap;
        }
        x = std::max<int64_t>(0, x);
        const int64_t y = int64_t{penY_} + rubyOffY_;
        for (size_t i = 0; i < ruby.size(); i = NextCharPos(ruby, i)) {
            const std::string_view ch = ruby.substr(i, CharLen(ruby, i));
            const TTextSize size = DrawGlyphs(ch, SatInt32(x), SatInt32(y), rubyW_, rubyH_, rubyColour_, rubyFont_);
            GrowUsed(x, y, x + size.width + 2, y + rubyH_ + 2);
            x += size.width + gap;
        }
    } else {
        const int64_t baseSpan = int64_t(base.size()) * (int64_t{charW_} + pitchX_) / 2;
        const int64_t rubySpan = (int64_t(ruby.size()) - 1) * (int64_t{rubyW_} + rubyPitchX_) / 2;
        const int64_t x = int64_t{penX_} + rubyOffY_;
        int64_t y = std::max<int64_t>(0, int64_t{penY_} + rubyOffX_ + (baseSpan - rubySpan) / 2);
        for (size_t i = 0; i < ruby.size(); i = NextCharPos(ruby, i)) {
            const std::string_view ch = ruby.substr(i, CharLen(ruby, i));
            const TTextSize size = DrawGlyphs(ch, SatInt32(x), SatInt32(y), rubyH_, rubyW_, rubyColour_, rubyFont_);
            GrowUsed(x, y, x + rubyH_ + 2, y + size.height + 2);
            y += size.height + rubyPitchX_;
        }
    }
    layer_.Touch();
    QueueSide(base);
    return true;
}

}  // namespace zel
