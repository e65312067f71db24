// What the backlog screen shows and the player handles: the entries typed
// as the rows of one selectable list, the scroll bar, the layout's
// background image, a speaker picture beside each row, a voice icon on rows
// whose voice can be replayed, and a line under each row.
//
// Rows run from the scroll value down: the first row is the entry with
// that many older entries above it, each next row the next newer entry,
// until the list's hit area is full or the log ends. Every scroll types the
// rows anew (the next FillRows after Rescroll or a move of the knob).
//
// Cells, relative to the list's position P and its text area's top T, with
// y0 and y1 a row's start and the next row's start in the list:
//   speaker picture  (CharctorImagePosition + P, centred on (y0 + y1) / 2
//                    below T), layer 100
//   line under row   BorderLineColor from (P.x + hit left, P.y + T + y1 - 1)
//                    to (P.x + hit right, P.y + T + y1), layer 50
//   voice icon       VoiceIconImagePosition + P, at T + y0, layer 110
// the list itself at layer 100 (row colours 108, the hovered row 109, text
// 110), the background image at layer 0, the scroll bar at its own layer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "graphics/ARGB8888Lib.h"
#include "screens/ZelLogLib.h"

namespace zel {

class IGameFiles;
class TARGB8888CellDraw;
class TImageLib;
class TImageScrollBar;
class TMessageSelect;
struct TAnimationResources;
struct TMessageServices;

class TLogView final : public ILogWidgets {
public:
    static constexpr int32_t kListLayer = 100;

    // files and resources: where the pictures come from; services: the font
    // table the rows are typed with (may be null: rows are then laid out
    // without glyphs).
    TLogView(IGameFiles* files, TAnimationResources& resources, const TMessageServices* services);
    ~TLogView() override;
    TLogView(const TLogView&) = delete;
    TLogView& operator=(const TLogView&) = delete;

    // The layout's pictures and the scroll bar. Pictures that cannot be
    // opened are not drawn.
    void LoadLayout(const TLogLayout& layout);
    // A fresh list and the scroll bar at value of maximum, as the screen opens.
    void Open(int32_t value, int32_t maximum);
    // Frees the list (the pictures stay for the next opening).
    void Close();

    void Pointer(int32_t x, int32_t y, bool leftHeld) override;
    std::vector<int32_t> ClickRows() override;
    void ClickBar(int32_t x, int32_t y) override;
    void Rescroll(int32_t value) override;

    void Update(int32_t elapsedMs);
    // Types the rows when a scroll asked for them.
    void FillRows(const TZelLogData& log);
    void Draw(TARGB8888CellDraw& cells) const;

    // A move of the knob by the player: the new value.
    std::function<void(int32_t value)> onScroll;

    const TMessageSelect* List() const { return list_.get(); }
    const TImageScrollBar& Bar() const { return *bar_; }
    int32_t Value() const { return value_; }

private:
    void Configure(TMessageSelect& list) const;

    IGameFiles* files_;
    TAnimationResources& resources_;
    const TMessageServices* services_;
    TLogLayout layout_;
    std::unique_ptr<TMessageSelect> list_;
    std::unique_ptr<TImageScrollBar> bar_;
    std::unique_ptr<TImageLib> background_;
    TARGB8888 icon_;
    std::array<TARGB8888, 32> pictures_;
    // The style of each row's speaker; -1 for the row of an empty log.
    std::vector<int32_t> rowStyles_;
    int32_t value_ = 0;
    bool dirty_ = false;
};

}  // namespace zel
