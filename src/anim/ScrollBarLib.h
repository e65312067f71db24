// TImageScrollBar: a horizontal or vertical slider made of two image
// objects, a track and a knob, behind the script's "bar" objects. The value
// runs from 0 to a maximum (100 unless set); a click or a drag on the track
// moves the knob there, and the change callback hears every change of the
// value.
//
// The knob travels along the track from half the knob's extent to the
// track's extent less that (at least one pixel of travel).
//
// State (706 bytes, little-endian, offsets from its start), then the knob's
// and the track's image-object states:
//     0  4  x           4  4  y           8  4  layer
//    12  4  orientation (0 horizontal, 1 vertical)
//    16 128 knob file (length byte + 127 bytes)   144 128 track file
//   272  4  value     276  4  maximum     280 4  mouse mask   284 4 draw mask
//   288  4  drag countdown                292 124 reserved (zero)
//   416  2  reserved word (zero)          418 288 zero
// A loaded maximum of 0 or less (which no setter allows) becomes 100 and the
// value is clamped to the maximum.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "anim/ImageLib.h"

namespace zel {

class TImageScrollBar {
public:
    static constexpr size_t kStateSize = 706;
    static constexpr int32_t kDefaultMaximum = 100;
    static constexpr int32_t kDragCountdown = 4;
    static constexpr uint32_t kLeftButton = 8;  // the modifier flag of the left button

    TImageScrollBar(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr);

    void Reset();
    // False when either picture cannot be loaded.
    bool Load(const std::string& knob, const std::string& track, bool vertical);
    void SetPosition(int32_t x, int32_t y, int32_t layer);
    void SetValue(int32_t value);
    void SetValueQuiet(int32_t value);
    void SetMaximum(int32_t maximum);  // ignored when <= 0
    // A press at (x, y): the value under it when it is on the track.
    void ClickAt(uint32_t mask, int32_t x, int32_t y);
    void SetMouse(uint32_t mask, uint32_t modifiers, int32_t x, int32_t y);
    void Update(uint32_t mask, int32_t elapsedMs);
    void Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy);
    void Enable();
    void Disable();
    void SetMasks(int32_t mouseMask, int32_t drawMask);
    void SetStreamChannel(int32_t channel);
    void SetEffectChannel(int32_t channel);
    void RecordDeferred();
    void ApplyDeferred();

    int32_t Value() const { return value_; }
    int32_t Maximum() const { return maximum_; }
    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }
    int32_t Layer() const { return layer_; }
    bool Vertical() const { return vertical_ != 0; }
    int32_t TravelStart() const { return start_; }
    int32_t TravelEnd() const { return end_; }
    int32_t DragCountdown() const { return dragCountdown_; }
    const std::string& KnobFile() const { return knobFile_; }
    const std::string& TrackFile() const { return trackFile_; }
    bool Visible() const { return track_.Visible(); }
    TImageLib& Knob() { return knob_; }
    TImageLib& Track() { return track_; }
    const TImageLib& Knob() const { return knob_; }
    const TImageLib& Track() const { return track_; }

    std::function<void(int32_t value)> onChange;

    void SaveState(TMemoryStream& s) const;
    bool LoadState(TMemoryStream& s, std::string* why = nullptr);

private:
    void Recompute();
    void PlaceKnob();

    TImageLib knob_, track_;
    int32_t knobW_ = 0, knobH_ = 0, trackW_ = 0, trackH_ = 0;
    int32_t start_ = 0, end_ = 1;
    int32_t x_ = 0, y_ = 0, layer_ = 0;
    uint8_t vertical_ = 0;
    std::string knobFile_, trackFile_;
    int32_t value_ = 0, maximum_ = kDefaultMaximum;
    int32_t mouseMask_ = 255, drawMask_ = 255;
    int32_t dragCountdown_ = 0;
};

}  // namespace zel
