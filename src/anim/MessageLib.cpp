#include "anim/MessageLib.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "anim/AnimationBmpLib.h"
#include "anim/MessageText.h"
#include "base/IntMath.h"
#include "base/SjisText.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ImageFileError.h"

namespace zel {

using namespace message_text;

namespace {

bool IsSpace(std::string_view ch) { return ch == " " || ch == "\x81\x40"; }

// Whether ch is one of the whole characters of set.
bool OneOf(std::string_view ch, std::string_view set) {
    for (size_t i = 0; i < set.size(); i = NextCharPos(set, i))
        if (set.substr(i, CharLen(set, i)) == ch) return true;
    return false;
}

}  // namespace

TMessageLib::TMessageLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound,
                         const TMessageServices* services)
    : TImageLib(files, resources, sound), services_(services) {
    ResetFields();
    layer_.NewImage(4, 4, kClearColour);
    Clear();
}

TMessageLib::~TMessageLib() = default;

void TMessageLib::ResetFields() {
    state_ = kIdle;
    vertical_ = 0;
    font_ = prevFont_ = 0;
    penX_ = penY_ = 0;
    pitchX_ = pitchY_ = prevPitchX_ = prevPitchY_ = 0;
    charW_ = charH_ = prevCharW_ = prevCharH_ = 32;
    colour_ = prevColour_ = 0xFFFFFFFF;
    rubyW_ = rubyH_ = 12;
    rubyColour_ = prevRubyColour_ = 0xFFFFFFFF;
    rubyFont_ = 7;
    rubyPitchX_ = rubyPitchY_ = 0;
    rubyOffX_ = 0;
    rubyOffY_ = -8;
    wait_ = 0;
    speed_ = -1;
    defaultSpeed_ = 50;
    accumulator_ = 0;
    limit_ = sinceLimit_ = lineHeight_ = 0;
    charsDrawn_ = charsOnLine_ = hangCount_ = 0;
    fadeLevel_ = fadeRate_ = 0;
    fadeStep_ = 1024000;
    hangOffset_ = 0;
    quotes_ = "\x81\x75\x81\x69";  // 「（
    pageBreaks_ = true;
    instant_ = scrollMode_ = autoCount_ = false;
    disabled_ = {};
    character_.clear();
    voiceFile_.clear();
    voiceVolume_ = 255;
    voiceSkip_ = voiceStart_ = voiceLevel_ = 0;
}

// ---------------------------------------------------------------------------
// Virtual slots

// The text area is kept: a reset window still has its place for text.
void TMessageLib::Reset() {
    Clear();
    TImageLib::Reset();
    ResetFields();
    Clear();
}

void TMessageLib::Update(uint32_t mask, int32_t elapsedMs) {
    TImageLib::Update(mask, elapsedMs);
    Animation().SetMessageSurface(&layer_);
    Animation().SetMessageOpacity(fadeLevel_ * 255 / 1024);
    const int32_t elapsed = std::max(0, elapsedMs);
    FadeBy(int64_t{std::min(elapsed, 1000)} * fadeRate_ / 1000);
    if (state_ == kIdle) {
        Step(false);
    } else if (state_ == kTyping) {
        int32_t left = elapsed;
        if (wait_ > 0) {
            const int32_t spent = std::min(wait_, left);
            wait_ -= spent;
            left -= spent;
        }
        if (wait_ == 0) {
            const int32_t speed = Speed();
            accumulator_ = SatInt32(int64_t{accumulator_} + left);
            for (int i = 0; i < 4096 && accumulator_ >= speed; ++i) {
                accumulator_ -= speed;
                Step(false);
                if (state_ != kTyping) {
                    accumulator_ = 0;
                    break;
                }
                // A step stopped by a wait typed nothing: its time is given
                // back, so the character after "[w,500]" comes 500 ms after
                // it would have come without the wait.
                if (wait_ > 0) {
                    accumulator_ += speed;
                    break;
                }
            }
        }
    }
    if (state_ == kPageFull)
        StartLabel("*OnScroll", false);
    else if (EqualsNoCase(LabelName(), "*OnScroll"))
        StartLabel("*OffScroll", true);
}

void TMessageLib::Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy) {
    TImageLib::Draw(cells, mask, dx, dy);
    Animation().SetMessageSurface(&layer_);
    if (Loaded() || (mask & static_cast<uint32_t>(DrawMask())) == 0 || fadeLevel_ <= 0) return;
    if (used_[0] >= used_[2] || used_[1] >= used_[3]) return;
    const int64_t x = int64_t{dx} + X() + areaLeft_ + used_[0];
    const int64_t y = int64_t{dy} + Y() + areaTop_ + used_[1];
    cells.AddImageCell(SatInt32(x), SatInt32(y), used_[0], used_[1], used_[2], used_[3], SatInt32(int64_t{Layer()} + 10),
                       0, &layer_, 0, fadeLevel_ * 255 / 1024, 0, 0xFFFFFF, 2);
}

void TMessageLib::Show() {
    TImageLib::Show();
    fadeLevel_ = 1024;
    fadeRate_ = fadeStep_;
}

void TMessageLib::Hide() {
    TImageLib::Hide();
    fadeLevel_ = 0;
    fadeRate_ = -fadeStep_;
}

void TMessageLib::Enable() {
    TImageLib::Enable();
    fadeRate_ = fadeStep_;
    FadeBy(fadeStep_ / 1000);
}

void TMessageLib::Disable() {
    TImageLib::Disable();
    fadeRate_ = -fadeStep_;
    FadeBy(-(fadeStep_ / 1000));
}

void TMessageLib::FadeBy(int64_t delta) {
    fadeLevel_ = static_cast<int32_t>(std::clamp<int64_t>(int64_t{fadeLevel_} + delta, 0, 1024));
}

void TMessageLib::SetFadeTime(int32_t ms) { fadeStep_ = ms <= 0 ? 1024000 : 1024000 / ms; }

// ---------------------------------------------------------------------------
// Adding text

void TMessageLib::AddText(std::string_view text) {
    if (Enabled()) Enable();
    const std::string converted = ConvertLineBreaks(text);
    pending_ += converted;
    log_ += converted;
    state_ = kTyping;
    if (Speed() == 0) Finish();
}

void TMessageLib::AddCode(std::string_view code) {
    // Appended piece by piece: GCC 12 at -O3 mistakes "[" + string&& for an
    // overlapping copy (-Wrestrict, GCC bug 105651).
    std::string c(1, '[');
    c += AsciiLower(code);
    c += ']';
    pending_ += c;
    log_ += c;
    state_ = kTyping;
}

namespace {
std::string Format(const char* fmt, int32_t a, int32_t b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}
std::string Colour(const char* code, uint32_t c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s,$%08x", code, c);
    return buf;
}
}  // namespace

void TMessageLib::SetPos(int32_t x, int32_t y) { AddCode(Format("p,%d,%d", x, y)); }
void TMessageLib::SetSize(int32_t w, int32_t h) { AddCode(Format("s,%d,%d", w, h)); }
void TMessageLib::SetColour(uint32_t colour) { AddCode(Colour("c", colour)); }
void TMessageLib::SetPitch(int32_t x, int32_t y) { AddCode(Format("pi,%d,%d", x, y)); }
void TMessageLib::SetFont(int32_t slot) { AddCode(Format("f,%d", slot)); }
void TMessageLib::SetSpeed(int32_t ms) { AddCode(Format("spd,%d", ms)); }
void TMessageLib::Wait(int32_t ms) {
    if (!instant_) AddCode(Format("w,%d", ms));
}
void TMessageLib::SetRubyColour(uint32_t colour) { AddCode(Colour("rc", colour)); }
void TMessageLib::SetRubyFont(int32_t slot) { AddCode(Format("rf,%d", slot)); }
void TMessageLib::SetRubyPitch(int32_t x, int32_t y) { AddCode(Format("rpi,%d,%d", x, y)); }
void TMessageLib::SetRubySize(int32_t w, int32_t h) { AddCode(Format("rs,%d,%d", w, h)); }
void TMessageLib::SetRubyOffset(int32_t x, int32_t y) { AddCode(Format("rp,%d,%d", x, y)); }

void TMessageLib::SetOpeningQuotes(std::string_view quotes) { quotes_ = CutAtChar(quotes, 127); }
void TMessageLib::SetCharacterName(std::string_view name) { character_ = CutAtChar(name, 127); }

int32_t TMessageLib::Speed() const {
    int32_t s = speed_;
    if (s < 0) s = useConfiguredSpeed_ && services_ && services_->configuredSpeed ? services_->configuredSpeed()
                                                                                    : defaultSpeed_;
    return std::max(0, s);
}

// ---------------------------------------------------------------------------
// Reading

bool TMessageLib::HasText() const { return sidePos_ < side_.size() || pendingPos_ < pending_.size(); }

bool TMessageLib::NextToken(TToken& t) const {
    t.side = sidePos_ < side_.size();
    const std::string& s = t.side ? side_ : pending_;
    const size_t at = t.side ? sidePos_ : pendingPos_;
    if (at >= s.size()) return false;
    t.begin = at;
    t.end = TokenEnd(s, at, &t.code, &t.closed);
    return true;
}

std::string_view TMessageLib::TokenText(const TToken& t) const {
    const std::string& s = t.side ? side_ : pending_;
    return std::string_view(s).substr(t.begin, t.end - t.begin);
}

void TMessageLib::Advance(const TToken& t) { (t.side ? sidePos_ : pendingPos_) = t.end; }

void TMessageLib::Rewind(const TToken& t) { (t.side ? sidePos_ : pendingPos_) = t.begin; }

// Text queued by ruby, centring and right alignment is read before what was
// left of the side queue.
void TMessageLib::QueueSide(std::string_view text) {
    side_ = std::string(text) + side_.substr(std::min(sidePos_, side_.size()));
    sidePos_ = 0;
}

bool TMessageLib::Step(bool force) {
    if (!HasText()) {
        state_ = kIdle;
        return true;
    }
    state_ = kTyping;
    if (wait_ > 0) {
        if (!force) return false;
        wait_ = 0;
    }
    TToken t;
    while (NextToken(t)) {
        // A copy: executing a code may change the queues.
        const std::string text(TokenText(t));
        Advance(t);
        if (t.code) {
            if (!t.closed) continue;  // "[" without "]": ignored
            const bool ruby = CodeName(text) == "rb";
            if (!ExecuteCode(text)) {
                Rewind(t);
                return false;
            }
            if (ruby) return false;
            continue;
        }
        if (!TypeChar(text)) Rewind(t);
        return false;
    }
    return false;
}

// A character at the start of a line that is an opening quote moves back by
// the hang offset; the move is undone when the character is not drawn on
// this line.
bool TMessageLib::TypeChar(std::string_view ch) {
    const int32_t penX = penX_, penY = penY_, drawn = charsDrawn_, onLine = charsOnLine_;
    if (charsOnLine_ == 0 && OneOf(ch, quotes_)) {
        ++charsDrawn_;
        ++charsOnLine_;
        Along() = static_cast<int32_t>(std::max<int64_t>(0, int64_t{Along()} - hangOffset_));
    }
    if (DrawChar(ch)) return true;
    if (charsOnLine_ == onLine + 1) {
        penX_ = penX;
        penY_ = penY;
        charsDrawn_ = drawn;
        charsOnLine_ = onLine;
    }
    return false;
}

void TMessageLib::Finish() {
    const bool was = instant_;
    instant_ = true;
    for (int i = 0; i < 4097 && state_ != kIdle; ++i) {
        wait_ = 0;
        Step(true);
    }
    instant_ = was;
    accumulator_ = 0;
}

void TMessageLib::Click(uint32_t mask) {
    if ((mask & static_cast<uint32_t>(MouseMask())) == 0) return;
    if (state_ == kTyping) {
        Finish();
        fadeRate_ = fadeStep_;
        fadeLevel_ = 1024;
    } else if (state_ == kPageFull) {
        Scroll();
    }
}

// ---------------------------------------------------------------------------
// Layout

bool TMessageLib::Overflows(size_t bytes) const {
    const int64_t along = vertical_ ? penY_ : penX_;
    const double v = (static_cast<double>(bytes) + 2) * (static_cast<double>(charW_) + pitchX_) / 2 +
                     static_cast<double>(along);
    return RoundHalfEven64(v) >= AlongExtent();
}

bool TMessageLib::PageFull() {
    if (!pageBreaks_ || AreaEmpty()) return false;
    const bool full = vertical_ ? penX_ < 0 : int64_t{penY_} + charH_ > areaH_;
    if (!full) return false;
    // The first line of a page that cannot hold one line is drawn clipped:
    // turning the page would never make room.
    if (!vertical_ && penY_ <= std::max(0, pitchY_)) return false;
    if (instant_ || scrollMode_) {
        Scroll();
    } else {
        state_ = kPageFull;
        if (autoCount_ && services_ && services_->addAutoWait && services_->autoPageTime)
            services_->addAutoWait(services_->autoPageTime());
    }
    return true;
}

void TMessageLib::MovePenBy(int32_t dx, int32_t dy) {
    penX_ = SatInt32(int64_t{penX_} + dx);
    penY_ = SatInt32(int64_t{penY_} + dy);
}

void TMessageLib::NewLine(int32_t advance) {
    const int64_t a = advance > 0 ? advance : int64_t{std::max(lineHeight_, charH_)} + pitchY_;
    if (!vertical_) {
        penX_ = hangOffset_;
        penY_ = SatInt32(int64_t{penY_} + a);
    } else {
        penX_ = SatInt32(int64_t{penX_} - a);
        penY_ = hangOffset_;
    }
    charsOnLine_ = lineHeight_ = hangCount_ = 0;
}

TTextSize TMessageLib::DrawGlyphs(std::string_view text, int32_t x, int32_t y, int32_t cw, int32_t ch,
                                  uint32_t colour, int slot) {
    TTextSize size;
    if (services_ && services_->fonts)
        size = services_->fonts->DrawText(layer_, x, y, text, cw, ch, colour, slot, vertical_ != 0);
    int32_t& along = vertical_ ? size.height : size.width;
    if (along == 0) {
        // No font (or no glyph): a full-width character takes its cell, a
        // one-byte one half of it.
        const int32_t cell = vertical_ ? ch : cw;
        int64_t a = 0;
        for (size_t i = 0; i < text.size(); i = NextCharPos(text, i)) a += CharLen(text, i) == 2 ? cell : cell / 2;
        along = SatInt32(a);
        (vertical_ ? size.width : size.height) = vertical_ ? cw : ch;
    }
    return size;
}

void TMessageLib::GrowUsed(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    used_[0] = static_cast<int32_t>(std::clamp<int64_t>(std::min<int64_t>(used_[0], left), 0, areaW_));
    used_[1] = static_cast<int32_t>(std::clamp<int64_t>(std::min<int64_t>(used_[1], top), 0, areaH_));
    used_[2] = static_cast<int32_t>(std::clamp<int64_t>(std::max<int64_t>(used_[2], right), 0, areaW_));
    used_[3] = static_cast<int32_t>(std::clamp<int64_t>(std::max<int64_t>(used_[3], bottom), 0, areaH_));
}

bool TMessageLib::DrawChar(std::string_view ch) {
    if (AreaEmpty()) return true;
    if (limit_ != 0 && int64_t{limit_} < (3 * int64_t{pitchX_} + 3 * int64_t{charW_}) / 2 + sinceLimit_) return true;
    if (wait_ > 0) return false;
    // An empty line takes any character, clipped if it must be: wrapping it
    // would never make it fit.
    if (charsOnLine_ > 0 && Overflows(ch.size())) {
        if (MayNotEndLine(ch)) {
            NewLine(0);
            return false;
        }
        if (IsSpace(ch)) {
            ++hangCount_;
        } else if (MayNotBeginLine(ch) && hangCount_ == 0) {
            ++hangCount_;
        } else {
            NewLine(0);
            return false;
        }
    }
    if (PageFull()) return false;
    const int32_t cw = vertical_ ? charH_ : charW_, chh = vertical_ ? charW_ : charH_;
    const TTextSize size = DrawGlyphs(ch, penX_, penY_, cw, chh, colour_, font_);
    const int32_t drawn = vertical_ ? size.height : size.width;
    if (vertical_)
        GrowUsed(penX_, penY_, int64_t{penX_} + cw + 2, int64_t{penY_} + drawn + 2);
    else
        GrowUsed(penX_, penY_, int64_t{penX_} + drawn + 2, int64_t{penY_} + chh + 2);
    layer_.Touch();
    ++charsDrawn_;
    ++charsOnLine_;
    Along() = SatInt32(int64_t{Along()} + drawn + pitchX_);
    sinceLimit_ = SatInt32(int64_t{sinceLimit_} + drawn + pitchX_);
    lineHeight_ = std::max(lineHeight_, charH_);
    if (autoCount_ && services_ && services_->addAutoWait) {
        const int32_t perChar = services_->autoCharTime ? services_->autoCharTime() : 0;
        const int32_t speed = services_->configuredSpeed ? services_->configuredSpeed() : 0;
        services_->addAutoWait(std::max(perChar, speed));
    }
    return true;
}

int32_t TMessageLib::TextWidth(std::string_view text) const {
    int64_t w = 0;
    for (size_t i = 0; i < text.size();) {
        bool code = false, closed = false;
        const size_t end = TokenEnd(text, i, &code, &closed);
        if (!code) w += (end - i == 2 ? charW_ : charW_ / 2) + int64_t{pitchX_};
        i = end;
    }
    return SatInt32(w);
}

void TMessageLib::Scroll() {
    const int64_t d = charH_, p = pitchY_;
    int64_t dx = 0, dy = 0;
    if (!vertical_) {
        if (penY_ > areaH_ - d) dy = -(d + p);
        else if (penY_ < 0) dy = d + p;
        penY_ = SatInt32(penY_ + dy);
        penX_ = hangOffset_;
    } else {
        if (penX_ > areaW_) dx = -(d + p);
        else if (penX_ < 0) dx = d - p;
        penX_ = SatInt32(penX_ + dx);
        penY_ = hangOffset_;
    }
    if (dx != 0 || dy != 0) {
        layer_.ScrollImage(SatInt32(dx), SatInt32(dy), kClearColour);
        if (used_[0] < used_[2] && used_[1] < used_[3]) {
            used_[0] = static_cast<int32_t>(std::max<int64_t>(0, used_[0] + dx));
            used_[1] = static_cast<int32_t>(std::max<int64_t>(0, used_[1] + dy));
            used_[2] = static_cast<int32_t>(std::min<int64_t>(areaW_, used_[2] + dx));
            used_[3] = static_cast<int32_t>(std::min<int64_t>(areaH_, used_[3] + dy));
        }
        layer_.Touch();
    }
    state_ = kTyping;
}

// ---------------------------------------------------------------------------
// Clearing and replaying

void TMessageLib::RequeueSettings() {
    const std::array<uint8_t, 3> disabled = disabled_;
    disabled_ = {};
    if (!vertical_)
        AddCode(Format("p,%d,%d", hangOffset_, std::max(0, pitchY_)));
    else
        AddCode(Format("p,%d,%d", SatInt32(int64_t{areaW_} - charH_ - pitchY_), hangOffset_));
    AddCode(Format("spd,%d", speed_));
    AddCode(Format("f,%d", font_));
    AddCode(Colour("c", colour_));
    AddCode(Format("pi,%d,%d", pitchX_, pitchY_));
    AddCode(Format("s,%d,%d", charW_, charH_));
    AddCode(Format("rf,%d", rubyFont_));
    AddCode(Colour("rc", rubyColour_));
    AddCode(Format("rpi,%d,%d", rubyPitchX_, rubyPitchY_));
    AddCode(Format("rs,%d,%d", rubyW_, rubyH_));
    AddCode(Format("rp,%d,%d", rubyOffX_, rubyOffY_));
    Finish();
    disabled_ = disabled;
}

void TMessageLib::Clear() {
    Finish();
    for (int32_t y = 0; y < layer_.Height(); ++y) std::fill_n(layer_.Row(y), layer_.Width(), kClearColour);
    layer_.Touch();
    pending_.clear();
    pendingPos_ = 0;
    log_.clear();
    side_.clear();
    sidePos_ = 0;
    limit_ = sinceLimit_ = lineHeight_ = 0;
    wait_ = 0;
    RequeueSettings();
    used_ = {1000, 1000, 0, 0};
    charsDrawn_ = charsOnLine_ = hangCount_ = 0;
    if (!loading_ && services_ && services_->voice && !character_.empty()) services_->voice->FadeOut(character_, 500);
    fadeRate_ = -fadeStep_;
    fadeLevel_ = 0;
    state_ = kIdle;
    accumulator_ = 0;
}

void TMessageLib::ReplayText(const std::string& text, size_t count) {
    Clear();
    count = std::min(count, text.size());
    // Only the typed part is read while replaying, so nothing after it runs.
    const std::string head = pending_;
    pending_ = head + text.substr(0, count);
    pendingPos_ = head.size();
    const bool was = instant_;
    instant_ = true;
    const size_t cap = 4 * (count + side_.size()) + 4097;
    for (size_t i = 0; i < cap && HasText(); ++i) {
        wait_ = 0;
        Step(true);
    }
    instant_ = was;
    pending_ = text;
    pendingPos_ = count;
    state_ = HasText() ? kTyping : kIdle;
    accumulator_ = 0;
}

bool TMessageLib::SetArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left == areaLeft_ && top == areaTop_ && right == areaRight_ && bottom == areaBottom_) return true;
    const int64_t w = std::max<int64_t>(0, int64_t{right} - left), h = std::max<int64_t>(0, int64_t{bottom} - top);
    const int64_t lw = std::max<int64_t>(4, w), lh = std::max<int64_t>(4, h);
    if (lw > kMaxLayerSide || lh > kMaxLayerSide || lw * lh > kMaxImageFilePixels) return false;
    Finish();
    areaLeft_ = left;
    areaTop_ = top;
    areaRight_ = right;
    areaBottom_ = bottom;
    areaW_ = static_cast<int32_t>(w);
    areaH_ = static_cast<int32_t>(h);
    layer_.NewImage(static_cast<int32_t>(lw), static_cast<int32_t>(lh), kClearColour);
    Clear();
    return true;
}

void TMessageLib::SetVertical(bool on) {
    vertical_ = on ? 1 : 0;
    Clear();
}

}  // namespace zel
