#include "anim/ImageWipe.h"

#include <cmath>

#include "anim/AnimationBmpLib.h"
#include "base/MemStream.h"

namespace zel {

bool TImageWipe::Begin(const std::string& name, uint8_t effectChannel, uint8_t streamChannel) {
    image_.Reset();
    played_ = carry_ = 0;
    if (!image_.Load(name, {}, false, true)) return false;
    image_.MoveTo(0, 0, TZelGraphic::kWipeLayer, 0);
    image_.SetEffectChannel(effectChannel);
    image_.SetStreamChannel(streamChannel);
    image_.Show();
    image_.StartLabelNumber(0, true);
    image_.Update(0xFFFFFFFFu, 0);
    return true;
}

const TARGB8888* TImageWipe::FirstPicture() { return image_.Animation().Picture(0); }

int32_t TImageWipe::Length() {
    // The length the file states, else the time its current motion's layers
    // take to reach their last keys.
    const TAnimationBmp& a = image_.Animation();
    if (a.TotalTime() > 0) return a.TotalTime();
    int32_t longest = 0;
    const TABMPFile& f = a.Model();
    const int m = a.CurrentMotion();
    if (m >= 0 && m < static_cast<int>(f.motions.size()))
        for (const TABMPLayer& l : f.motions[static_cast<size_t>(m)].layers)
            longest = std::max(longest, l.keys[TABMPLayer::kKeys - 1].time);
    return longest;
}

bool TImageWipe::Advance(int32_t elapsedMs, double speed) {
    if (!image_.Loaded()) return true;
    const double step = std::max(0, elapsedMs) * (std::isfinite(speed) && speed > 0 ? speed : 1.0) + carry_;
    const auto whole = static_cast<int32_t>(std::min(step, 600000.0));
    carry_ = step - whole;
    image_.Update(0xFFFFFFFFu, whole);
    played_ += whole;
    const int32_t length = Length();
    return length <= 0 || played_ >= length || image_.Animation().Finished();
}

void TImageWipe::Draw(TARGB8888CellDraw& cells, int32_t mask) {
    image_.Draw(cells, static_cast<uint32_t>(mask), 0, 0);
}

void TImageWipe::Reset() {
    image_.Reset();
    played_ = carry_ = 0;
}

void TImageWipe::SaveState(TMemoryStream& s) { image_.SaveState(s); }

void TImageWipe::LoadState(TMemoryStream& s) {
    // A damaged record leaves the stream where it was; the wipe restarts empty.
    if (!image_.LoadState(s)) Reset();
    played_ = carry_ = 0;
}

}  // namespace zel
