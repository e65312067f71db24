// TButtonLib: the button behind the script's "btn" and "sbtn" objects. A
// button is a message window (so it can carry a caption) that reacts to
// clicks and can be checked and locked; each state shows through the labels
// of its animation:
//   locked:   *OnLock, *OnLockOnMouse, *OnLockOffMouse (back: *OffLock)
//   checked:  *OnCheck, *OnCheckOnMouse, *OnCheckOffMouse (back: *OffCheck)
//   clicked:  *OnClick, or *OnCheckClick while checked
//   neither:  the image object's *OnMouse / *OffMouse
// A label the animation lacks falls back to the next plainer one (for
// instance *OnLockOnMouse to *OnLock, *OffLock to *OffMouse).
//
// A click leaves a countdown at 4 that every update lowers by one, so the
// object commands can tell a button that was clicked in the last updates.
//
// State: the message window's state, then 132 bytes: checked (1), locked
// (1), click countdown (int32, little-endian), 126 zero bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "anim/MessageLib.h"

namespace zel {

class TButtonLib : public TMessageLib {
public:
    static constexpr size_t kButtonStateSize = 132;
    static constexpr int32_t kClickCountdown = 4;

    TButtonLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr,
               const TMessageServices* services = nullptr);

    void UpdateHover() override;
    void Reset() override;
    void Update(uint32_t mask, int32_t elapsedMs) override;

    // A pointer click at (x, y): true when it hit the enabled, unlocked
    // button on a layer of mask (the click label started, the countdown
    // set and the click callback run).
    bool ClickAt(uint32_t mask, int32_t x, int32_t y);
    void SetLocked(bool on);
    // A change runs the check or the uncheck callback once.
    void SetChecked(bool on);
    bool Locked() const { return locked_ != 0; }
    bool Checked() const { return checked_ != 0; }
    int32_t ClickCountdown() const { return countdown_; }
    void SetClickCountdown(int32_t n) { countdown_ = n; }

    std::function<void()> onClick, onCheck, onUncheck;

    void SaveState(TMemoryStream& s) const;
    bool LoadState(TMemoryStream& s, std::string* why = nullptr);

private:
    // Starts the first label when the animation has it, else the second,
    // leaving either alone when it already plays.
    void StartEither(const std::string& first, const std::string& second);
    void ButtonDefaults();

    uint8_t checked_ = 0, locked_ = 0;
    int32_t countdown_ = 0;
};

// TMessageSelect: a message window whose text is a list of rows, each of
// which can be highlighted under the pointer and toggled by a click (the
// message log lists its messages with it). Rows are typed one after the
// other: AddRow ends the row being typed and starts the next on a new line.
// Row i spans the window's hit area across and, down, from its start to the
// start of row i + 1; a row may have a background colour (0: none), and the
// row under the pointer is drawn in the hover colour.
//
// State: the message window's state, then int32 row count (0..127), hover
// colour, 128 x (start x, start y, colour, value) as int32, 128 toggled
// bytes, and the texts of the rows (u16 length + bytes each, count of them).
class TMessageSelect : public TMessageLib {
public:
    static constexpr int32_t kMaxRows = 127;
    static constexpr size_t kSlots = 128;

    TMessageSelect(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr,
                   const TMessageServices* services = nullptr);

    void Reset() override;
    void Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy) override;

    void ClearRows();
    // Ends the row being typed with the given background colour; nothing
    // once kMaxRows rows exist or the pen has left the text layer.
    void AddRow(uint32_t colour);
    // For the last added row; nothing before the first.
    void SetRowValue(int32_t value);
    void SetRowText(std::string_view text);
    void SetHoverColour(uint32_t colour) { hover_ = colour; }
    // The row under the pointer toggled, its index returned; -1 when the
    // pointer is on no row (or the mask misses the window's).
    int32_t ClickRow(uint32_t mask);
    void SetRowToggled(int32_t i, bool on) {
        if (i >= 0 && i < count_) toggled_[static_cast<size_t>(i)] = on ? 1 : 0;
    }

    int32_t RowCount() const { return count_; }
    int32_t RowStartX(int32_t i) const { return Slot(startX_, i); }
    int32_t RowStartY(int32_t i) const { return Slot(startY_, i); }
    uint32_t RowColour(int32_t i) const { return static_cast<uint32_t>(Slot(colours_, i)); }
    int32_t RowValue(int32_t i) const { return Slot(values_, i); }
    const std::string& RowText(int32_t i) const;
    bool RowToggled(int32_t i) const { return i >= 0 && i < count_ && toggled_[static_cast<size_t>(i)] != 0; }
    uint32_t HoverColour() const { return hover_; }

    void SaveState(TMemoryStream& s) const;
    bool LoadState(TMemoryStream& s, std::string* why = nullptr);

private:
    template <class A>
    static int32_t Slot(const A& a, int32_t i) {
        return i >= 0 && static_cast<size_t>(i) < kSlots ? static_cast<int32_t>(a[static_cast<size_t>(i)]) : 0;
    }
    void SelectDefaults();
    void ClearRowData();
    // The row whose band holds (x, y), strictly inside; -1 for none.
    int32_t RowAt(int32_t x, int32_t y) const;

    std::array<int32_t, kSlots> startX_{}, startY_{}, values_{};
    std::array<uint32_t, kSlots> colours_{};
    std::array<std::string, kSlots> texts_;
    std::array<uint8_t, kSlots> toggled_{};
    uint32_t hover_ = 0;
    int32_t count_ = 0;
};

}  // namespace zel
