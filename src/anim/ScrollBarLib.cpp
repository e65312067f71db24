#include "anim/ScrollBarLib.h"

#include <algorithm>
#include <vector>

#include "base/Errors.h"
#include "base/IntMath.h"

namespace zel {

namespace {

constexpr size_t kX = 0, kY = 4, kLayer = 8, kOrientation = 12, kKnobFile = 16, kTrackFile = 144, kValue = 272,
                 kMaximum = 276, kMouseMask = 280, kDrawMask = 284, kDrag = 288, kFileField = 128;

void Put(uint8_t* b, size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t Get(const uint8_t* b, size_t at) {
    uint32_t u = 0;
    for (size_t i = 0; i < 4; ++i) u |= uint32_t{b[at + i]} << (8 * i);
    return static_cast<int32_t>(u);
}

void PutName(uint8_t* b, size_t at, const std::string& name) {
    const size_t n = std::min<size_t>(name.size(), kFileField - 1);
    b[at] = static_cast<uint8_t>(n);
    std::copy_n(name.data(), n, b + at + 1);
}

std::string GetName(const uint8_t* b, size_t at) {
    const size_t n = std::min<size_t>(b[at], kFileField - 1);
    return std::string(reinterpret_cast<const char*>(b + at + 1), n);
}

}  // namespace

TImageScrollBar::TImageScrollBar(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound)
    : knob_(files, resources, sound), track_(files, resources, sound) {}

void TImageScrollBar::Reset() {
    knob_.Reset();
    track_.Reset();
    knobW_ = knobH_ = trackW_ = trackH_ = 0;
    start_ = 0;
    end_ = 1;
    x_ = y_ = layer_ = 0;
    vertical_ = 0;
    knobFile_.clear();
    trackFile_.clear();
    value_ = 0;
    maximum_ = kDefaultMaximum;
    SetMasks(255, 255);
    dragCountdown_ = 0;
}

bool TImageScrollBar::Load(const std::string& knob, const std::string& track, bool vertical) {
    Reset();
    vertical_ = vertical ? 1 : 0;
    const bool knobOk = knob_.Load(knob);
    const bool ok = track_.Load(track) && knobOk;
    knobFile_ = knob.substr(0, kFileField - 1);
    trackFile_ = track.substr(0, kFileField - 1);
    Recompute();
    return ok;
}

void TImageScrollBar::Recompute() {
    knobW_ = knob_.Width();
    knobH_ = knob_.Height();
    trackW_ = track_.Width();
    trackH_ = track_.Height();
    start_ = (vertical_ ? knobH_ : knobW_) / 2;
    end_ = (vertical_ ? trackH_ : trackW_) - start_;
    if (end_ <= start_) end_ = start_ + 1;
    PlaceKnob();
}

void TImageScrollBar::PlaceKnob() {
    const int64_t along = int64_t{start_} + int64_t{end_ - start_} * value_ / maximum_;
    int64_t kx = 0, ky = 0;
    if (vertical_) {
        kx = int64_t{x_} + (int64_t{trackW_} - knobW_) / 2;
        ky = int64_t{y_} + along - knobH_ / 2;
    } else {
        kx = int64_t{x_} + along - knobW_ / 2;
        ky = int64_t{y_} + (int64_t{trackH_} - knobH_) / 2;
    }
    knob_.MoveTo(SatInt32(kx), SatInt32(ky), SatInt32(int64_t{layer_} + 10), 0);
}

void TImageScrollBar::SetPosition(int32_t x, int32_t y, int32_t layer) {
    x_ = x;
    y_ = y;
    layer_ = layer;
    track_.MoveTo(x, y, layer, 0);
    PlaceKnob();
}

void TImageScrollBar::SetValue(int32_t value) {
    const int32_t v = std::clamp(value, 0, maximum_);
    if (v == value_) return;
    value_ = v;
    PlaceKnob();
    if (onChange) onChange(value_);
}

void TImageScrollBar::SetValueQuiet(int32_t value) { value_ = std::clamp(value, 0, maximum_); }

void TImageScrollBar::SetMaximum(int32_t maximum) {
    if (maximum <= 0) return;
    maximum_ = maximum;
    value_ = std::min(value_, maximum_);
    PlaceKnob();
}

void TImageScrollBar::ClickAt(uint32_t mask, int32_t x, int32_t y) {
    if ((mask & static_cast<uint32_t>(mouseMask_)) == 0 || !track_.HitTest(x, y)) return;
    const int64_t along = vertical_ ? int64_t{y} - y_ - start_ : int64_t{x} - x_ - start_;
    const double exact = static_cast<double>(along) * maximum_ / (end_ - start_);
    const int32_t v = std::clamp(RoundHalfEven(exact), 0, maximum_);
    if (v == value_) return;
    SetValue(v);
    dragCountdown_ = kDragCountdown;
}

void TImageScrollBar::SetMouse(uint32_t mask, uint32_t modifiers, int32_t x, int32_t y) {
    knob_.SetMouse(mask, x, y);
    track_.SetMouse(mask, x, y);
    if ((mask & static_cast<uint32_t>(mouseMask_)) != 0 && (modifiers & kLeftButton) != 0) ClickAt(mask, x, y);
}

void TImageScrollBar::Update(uint32_t mask, int32_t elapsedMs) {
    PlaceKnob();
    track_.Update(mask, elapsedMs);
    knob_.Update(mask, elapsedMs);
    if (dragCountdown_ > 0) --dragCountdown_;
}

void TImageScrollBar::Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy) {
    track_.Draw(cells, mask, dx, dy);
    knob_.Draw(cells, mask, dx, dy);
}

void TImageScrollBar::Enable() {
    track_.Enable();
    knob_.Enable();
}

void TImageScrollBar::Disable() {
    track_.Disable();
    knob_.Disable();
}

void TImageScrollBar::SetMasks(int32_t mouseMask, int32_t drawMask) {
    mouseMask_ = mouseMask;
    drawMask_ = drawMask;
    track_.SetMasks(mouseMask, drawMask);
    knob_.SetMasks(mouseMask, drawMask);
}

void TImageScrollBar::SetStreamChannel(int32_t channel) {
    track_.SetStreamChannel(channel);
    knob_.SetStreamChannel(channel);
}

void TImageScrollBar::SetEffectChannel(int32_t channel) {
    track_.SetEffectChannel(channel);
    knob_.SetEffectChannel(channel);
}

void TImageScrollBar::RecordDeferred() {
    track_.RecordDeferred();
    knob_.RecordDeferred();
}

void TImageScrollBar::ApplyDeferred() {
    track_.ApplyDeferred();
    knob_.ApplyDeferred();
    Recompute();
}

void TImageScrollBar::SaveState(TMemoryStream& s) const {
    std::vector<uint8_t> block(kStateSize, 0);
    uint8_t* b = block.data();
    Put(b, kX, x_);
    Put(b, kY, y_);
    Put(b, kLayer, layer_);
    Put(b, kOrientation, vertical_);
    PutName(b, kKnobFile, knobFile_);
    PutName(b, kTrackFile, trackFile_);
    Put(b, kValue, value_);
    Put(b, kMaximum, maximum_);
    Put(b, kMouseMask, mouseMask_);
    Put(b, kDrawMask, drawMask_);
    Put(b, kDrag, dragCountdown_);
    s.Write(b, block.size());
    knob_.SaveState(s);
    track_.SaveState(s);
}

bool TImageScrollBar::LoadState(TMemoryStream& s, std::string* why) {
    std::vector<uint8_t> block(kStateSize);
    try {
        s.Require(kStateSize);
        s.Read(block.data(), block.size());
    } catch (const EZelError& e) {
        if (why) *why = std::string("scroll bar state: ") + e.what();
        return false;
    }
    if (!knob_.LoadState(s, why) || !track_.LoadState(s, why)) return false;
    const uint8_t* b = block.data();
    x_ = Get(b, kX);
    y_ = Get(b, kY);
    layer_ = Get(b, kLayer);
    vertical_ = Get(b, kOrientation) != 0 ? 1 : 0;
    knobFile_ = GetName(b, kKnobFile);
    trackFile_ = GetName(b, kTrackFile);
    // The knob position divides by the maximum: a damaged one falls back to
    // the default.
    maximum_ = Get(b, kMaximum);
    if (maximum_ <= 0) maximum_ = kDefaultMaximum;
    value_ = std::clamp(Get(b, kValue), 0, maximum_);
    mouseMask_ = Get(b, kMouseMask);
    drawMask_ = Get(b, kDrawMask);
    dragCountdown_ = std::clamp(Get(b, kDrag), 0, kDragCountdown);
    Recompute();
    return true;
}

}  // namespace zel
