#include "anim/ButtonLib.h"

#include "anim/AnimationBmpLib.h"

#include <algorithm>
#include <array>

#include "base/Errors.h"
#include "base/IntMath.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "base/Sjis.h"

namespace zel {

namespace {

bool StartsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TButtonLib::TButtonLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound,
                       const TMessageServices* services)
    : TMessageLib(files, resources, sound, services) {
    ButtonDefaults();
}

// A caption appears at once and never waits for a page click.
void TButtonLib::ButtonDefaults() {
    SetPageBreaks(false);
    SetInstant(true);
    SetDefaultSpeed(-1);
}

void TButtonLib::StartEither(const std::string& first, const std::string& second) {
    if (Animation().FindMotion(first) >= 0) StartLabel(first, false);
    else StartLabel(second, false);
}

void TButtonLib::UpdateHover() {
    const bool over = HitTest(MouseX(), MouseY());
    auto current = [this] { return AsciiLower(LabelName()); };
    if (locked_ || checked_) {
        const std::string base = locked_ ? "*OnLock" : "*OnCheck";
        const std::string lower = AsciiLower(base);
        if (!StartsWith(current(), lower)) StartLabel(base, true);
        if (over) StartEither(base + "OnMouse", base);
        else if (current() == lower + "onmouse") StartEither(base + "OffMouse", base);
        return;
    }
    const std::string now = current();
    if (StartsWith(now, "*onlock")) StartEither("*OffLock", "*OffMouse");
    else if (StartsWith(now, "*oncheck")) StartEither("*OffCheck", "*OffMouse");
    else if (now == "*onclick") StartLabel("*OffMouse", false);
    TMessageLib::UpdateHover();
}

void TButtonLib::Reset() {
    TMessageLib::Reset();
    ButtonDefaults();
    checked_ = locked_ = 0;
    countdown_ = 0;
}

void TButtonLib::Update(uint32_t mask, int32_t elapsedMs) {
    TMessageLib::Update(mask, elapsedMs);
    if (countdown_ > 0) --countdown_;
}

bool TButtonLib::ClickAt(uint32_t mask, int32_t x, int32_t y) {
    TImageLib::SetMouse(0, x, y);  // records the position only
    if (!Enabled() || (mask & static_cast<uint32_t>(MouseMask())) == 0 || locked_ || !HitTest(x, y)) return false;
    StartLabel(checked_ ? "*OnCheckClick" : "*OnClick", true);
    countdown_ = kClickCountdown;
    if (onClick) onClick();
    return true;
}

void TButtonLib::SetLocked(bool on) {
    if (Locked() == on) return;
    locked_ = on ? 1 : 0;
    UpdateHover();
}

void TButtonLib::SetChecked(bool on) {
    if (Checked() == on) return;
    checked_ = on ? 1 : 0;
    UpdateHover();
    const std::function<void()>& callback = on ? onCheck : onUncheck;
    if (callback) callback();
}

void TButtonLib::SaveState(TMemoryStream& s) const {
    TMessageLib::SaveState(s);
    std::array<uint8_t, kButtonStateSize> b{};
    b[0] = checked_;
    b[1] = locked_;
    const auto c = static_cast<uint32_t>(countdown_);
    for (int i = 0; i < 4; ++i) b[static_cast<size_t>(2 + i)] = static_cast<uint8_t>(c >> (8 * i));
    s.Write(b.data(), b.size());
}

bool TButtonLib::LoadState(TMemoryStream& s, std::string* why) {
    if (!TMessageLib::LoadState(s, why)) return false;
    std::array<uint8_t, kButtonStateSize> b{};
    try {
        s.Require(kButtonStateSize);
        s.Read(b.data(), b.size());
    } catch (const EZelError& e) {
        if (why) *why = std::string("button state: ") + e.what();
        return false;
    }
    checked_ = b[0] != 0 ? 1 : 0;
    locked_ = b[1] != 0 ? 1 : 0;
    uint32_t c = 0;
    for (int i = 0; i < 4; ++i) c |= uint32_t{b[static_cast<size_t>(2 + i)]} << (8 * i);
    // A countdown outside 0..4 cannot come from a click.
    countdown_ = std::clamp(static_cast<int32_t>(c), 0, kClickCountdown);
    return true;
}

}  // namespace zel

// ---------------------------------------------------------------------------
// Selectable list

namespace zel {

TMessageSelect::TMessageSelect(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound,
                               const TMessageServices* services)
    : TMessageLib(files, resources, sound, services) {
    SelectDefaults();
}

// Rows appear at once, never wait for a page click and never fade.
void TMessageSelect::SelectDefaults() {
    SetPageBreaks(false);
    SetInstant(true);
    SetDefaultSpeed(0);
    SetFadeTime(0);
}

void TMessageSelect::ClearRowData() {
    startX_ = {};
    startY_ = {};
    values_ = {};
    colours_ = {};
    texts_ = {};
    toggled_ = {};
    count_ = 0;
}

void TMessageSelect::Reset() {
    TMessageLib::Reset();
    SelectDefaults();
    ClearRowData();
    hover_ = 0;
}

void TMessageSelect::ClearRows() {
    ClearRowData();
    Clear();
    startX_[0] = SatInt32(int64_t{PenX()} - PitchX());
    startY_[0] = SatInt32(int64_t{PenY()} - PitchY());
    Show();
}

void TMessageSelect::AddRow(uint32_t colour) {
    if (count_ >= kMaxRows) return;
    const TARGB8888& layer = TextLayer();
    if (PenX() < 0 || PenY() < 0 || PenX() >= layer.Width() || PenY() >= layer.Height()) return;
    Finish();
    AddCode("n");
    Finish();
    const auto i = static_cast<size_t>(count_);
    colours_[i] = colour;
    startX_[i + 1] = SatInt32(int64_t{PenX()} - PitchX());
    startY_[i + 1] = SatInt32(int64_t{PenY()} - PitchY());
    ++count_;
}

void TMessageSelect::SetRowValue(int32_t value) {
    if (count_ > 0) values_[static_cast<size_t>(count_ - 1)] = value;
}

void TMessageSelect::SetRowText(std::string_view text) {
    if (count_ > 0) texts_[static_cast<size_t>(count_ - 1)] = text;
}

const std::string& TMessageSelect::RowText(int32_t i) const {
    static const std::string kNone;
    return i >= 0 && i < count_ ? texts_[static_cast<size_t>(i)] : kNone;
}

int32_t TMessageSelect::RowAt(int32_t x, int32_t y) const {
    const int64_t left = int64_t{X()} + HitArea()[0], right = int64_t{X()} + HitArea()[2];
    if (!(left < x && x < right)) return -1;
    const int64_t top = int64_t{Y()} + AreaTop();
    for (int32_t i = 0; i < count_; ++i) {
        const auto k = static_cast<size_t>(i);
        if (top + startY_[k] < y && y < top + startY_[k + 1]) return i;
    }
    return -1;
}

int32_t TMessageSelect::ClickRow(uint32_t mask) {
    if ((mask & static_cast<uint32_t>(MouseMask())) == 0 || !HitTest(MouseX(), MouseY())) return -1;
    const int32_t row = RowAt(MouseX(), MouseY());
    if (row >= 0) toggled_[static_cast<size_t>(row)] ^= 1;
    return row;
}

void TMessageSelect::Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy) {
    TMessageLib::Draw(cells, mask, dx, dy);
    if (!Visible() || (mask & static_cast<uint32_t>(DrawMask())) == 0) return;
    const int64_t left = int64_t{dx} + X() + HitArea()[0], right = int64_t{dx} + X() + HitArea()[2];
    const int64_t top = int64_t{dy} + Y() + AreaTop();
    auto band = [&](int32_t i, int32_t layerAbove, uint32_t colour) {
        const auto k = static_cast<size_t>(i);
        cells.AddColourCellARGB(SatInt32(left), SatInt32(top + startY_[k]), SatInt32(right),
                                SatInt32(top + startY_[k + 1] - 1), SatInt32(int64_t{Layer()} + layerAbove), 0,
                                colour, 2);
    };
    for (int32_t i = 0; i < count_; ++i)
        if (colours_[static_cast<size_t>(i)] != 0) band(i, 8, colours_[static_cast<size_t>(i)]);
    if (hover_ == 0 || !HitTest(MouseX(), MouseY())) return;
    const int32_t row = RowAt(MouseX(), MouseY());
    if (row >= 0) band(row, 9, hover_);
}

void TMessageSelect::SaveState(TMemoryStream& s) const {
    TMessageLib::SaveState(s);
    s.WriteI32(count_);
    s.WriteU32(hover_);
    for (size_t i = 0; i < kSlots; ++i) {
        s.WriteI32(startX_[i]);
        s.WriteI32(startY_[i]);
        s.WriteU32(colours_[i]);
        s.WriteI32(values_[i]);
    }
    s.Write(toggled_.data(), toggled_.size());
    for (int32_t i = 0; i < count_; ++i) WriteLenString(s, texts_[static_cast<size_t>(i)]);
}

bool TMessageSelect::LoadState(TMemoryStream& s, std::string* why) {
    if (!TMessageLib::LoadState(s, why)) return false;
    std::array<int32_t, kSlots> x{}, y{}, values{};
    std::array<uint32_t, kSlots> colours{};
    std::array<std::string, kSlots> texts;
    std::array<uint8_t, kSlots> toggled{};
    int32_t count = 0;
    uint32_t hover = 0;
    try {
        count = s.ReadI32();
        if (count < 0 || count > kMaxRows) {
            if (why) *why = "list state: " + std::to_string(count) + " rows";
            return false;
        }
        hover = s.ReadU32();
        for (size_t i = 0; i < kSlots; ++i) {
            x[i] = s.ReadI32();
            y[i] = s.ReadI32();
            colours[i] = s.ReadU32();
            values[i] = s.ReadI32();
        }
        s.Read(toggled.data(), toggled.size());
        for (int32_t i = 0; i < count; ++i) texts[static_cast<size_t>(i)] = ReadLenString(s);
    } catch (const EZelError& e) {
        if (why) *why = std::string("list state: ") + e.what();
        return false;
    }
    count_ = count;
    hover_ = hover;
    startX_ = x;
    startY_ = y;
    values_ = values;
    colours_ = colours;
    texts_ = std::move(texts);
    for (size_t i = 0; i < kSlots; ++i) toggled_[i] = toggled[i] != 0 ? 1 : 0;
    return true;
}

}  // namespace zel
