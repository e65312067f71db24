// The save and load screen: a layout-driven page of save slots over a frozen
// copy of the screen. The player selects a slot, confirms it to save or load,
// swaps or deletes saves, turns pages and reaches quick save and quick load.
// The screen hands the engine a result (the chosen file and the label to run
// after it) or a cancellation; the engine performs the save or the load.
//
// Drawing a page reads save headers and thumbnails only. Everything it needs
// of the game and the player goes through IFileSelectHost; its buttons,
// images and the newest-save marker are IFileEntry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "screens/ZelMenuLib.h"

namespace zel {

class TARGB8888;

// A button, an image or the marker of the screen.
class IFileEntry : public IMenuEntry {
public:
    virtual void SetVisible(bool on) = 0;
    virtual bool Visible() const = 0;
    virtual void SetText(const std::string& text) = 0;
    // A picture shown inside the entry (a slot thumbnail); null: none.
    virtual void SetPicture(const TARGB8888* picture) = 0;
    virtual void MoveTo(int32_t x, int32_t y, int32_t z) = 0;
    virtual int32_t X() const = 0;
    virtual int32_t Y() const = 0;
    virtual int32_t Z() const = 0;
};

// What a save header tells the screen.
struct TSaveSummary {
    double time = 0;
    std::string names[4];
    std::string text;
};

// The date and time fields of a save time (days since 1899-12-30).
struct TSaveDate {
    int32_t year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
TSaveDate SaveDateOf(double days);

// Replaces the placeholders of a slot template in one pass over the
// template; substituted text is never scanned again. number is the save
// number (shown + 1); summary null: only "%%%no" is replaced.
std::string FillSlotTemplate(const std::string& tmpl, int32_t number, const TSaveSummary* summary);

// The quick-save slot among count slots: the first missing one, else the
// readable one with the oldest time (a tie goes to the lower number), else
// 0. -1 when count is not positive. time(n): nullopt when slot n is missing
// or unreadable; exists(n) says whether a file is there at all.
int32_t ChooseQuickSaveSlot(int32_t count, const std::function<bool(int32_t)>& exists,
                            const std::function<std::optional<double>(int32_t)>& time);

// Swaps the contents of two files of one folder, either of which may be
// missing (a swap with a missing file moves the other). Both new files are
// written to temporaries first and renamed into place, so a failure at any
// step leaves both saves readable under their old names or swapped whole.
// False with why set on failure.
bool SwapFiles(const std::string& a, const std::string& b, std::string* why = nullptr);

class IFileSelectHost {
public:
    virtual ~IFileSelectHost() = default;
    // The layout name the script set for the save or the load screen ("" for none).
    virtual std::string LayoutName(bool save) const = 0;
    virtual bool GameFileExists(const std::string& path) = 0;
    virtual std::optional<std::string> ReadGameFile(const std::string& path) = 0;
    virtual bool LoadPicture(const std::string& path, TARGB8888& into) = 0;
    virtual bool CaptureScreen(TARGB8888& into) = 0;
    // The host folder of the save files.
    virtual std::string SaveFolder() const = 0;
    virtual uint32_t RecordKey() const = 0;
    virtual int32_t QuickSaveCount() const = 0;
    // A text of the message table.
    virtual std::string MessageText(const std::string& key) const = 0;
    virtual void Message(const std::string& text) = 0;
    virtual bool Confirm(const std::string& text, const std::string& yes, const std::string& no) = 0;
    // Shows the quick-load list: the index of the chosen line, or -1.
    virtual int32_t ChooseFromList(const std::string& caption, const std::vector<std::string>& lines,
                                   const std::vector<bool>& enabled) = 0;
    virtual TMenuInput Input() = 0;
    virtual std::unique_ptr<IFileEntry> MakeEntry(const std::string& first, const std::string& second, int32_t x,
                                                  int32_t y, int32_t z, const TMenuRect& hit,
                                                  const TMenuRect& textArea) = 0;
    virtual TARGB8888* DrawTarget() = 0;
    virtual void ShowDrawn() {}
};

class TZelFileselect final {
public:
    static constexpr int32_t kMaxSlots = 32;
    static constexpr int32_t kPages = 16;

    explicit TZelFileselect(IFileSelectHost& host);
    ~TZelFileselect();

    void Open(bool save);
    // 0 while open, 1 with a result, -1 cancelled.
    int32_t Update(int32_t elapsedMs);
    void Draw();
    void DrawInto(TARGB8888& frame) const;
    void Close();

    bool IsOpen() const { return open_; }
    int32_t Result() const { return result_; }
    const std::string& ResultFile() const { return resultFile_; }
    const std::string& ResultLabel() const { return resultLabel_; }
    int32_t Page() const { return page_; }
    int32_t SlotsPerPage() const { return slots_; }
    bool SwapLayout() const { return layoutKind_ == 0; }
    int32_t SelectedNumber() const { return selectedNumber_; }
    const std::string& SelectedName() const { return selected_; }
    size_t ButtonCount() const { return buttons_.size(); }
    IFileEntry& Button(size_t i) { return *buttons_[i].entry; }
    const std::string& Action(size_t i) const { return buttons_[i].action; }
    size_t ImageCount() const { return images_.size(); }
    IFileEntry& Image(size_t i) { return *images_[i].entry; }
    IFileEntry* Marker() { return marker_.get(); }
    const std::string& LoadedPath() const { return loaded_; }
    // Save headers read so far (each slot's once a page).
    int32_t HeaderReads() const { return headerReads_; }

    void OnClick(size_t button);
    // The save name quick save writes to; empty when quick save is unavailable.
    std::string QuickSaveName() const;
    // The quick-load list: the chosen save name, or empty.
    std::string QuickLoadChoice();

    static std::string SlotName(int32_t number);
    static std::string QuickSaveSlotName(int32_t n);

private:
    struct TEntry {
        std::string action;
        std::unique_ptr<IFileEntry> entry;
    };
    struct TSlot {
        std::string name;  // empty: no such slot
        bool read = false, ok = false;
        TSaveSummary summary;
        std::unique_ptr<TARGB8888> thumbnail;
    };

    void LoadLayout(bool save);
    void Parse(const std::string& text);
    void Rebuild();
    TSlot& Slot(int32_t j);
    const TSlot* ReadSlot(TSlot& slot);
    std::string HostPath(const std::string& name) const;
    bool FileExists(const std::string& name) const;
    std::optional<TSaveSummary> ReadSummary(const std::string& name, TARGB8888* thumbnail) const;
    const std::string& NewestSave();
    void FillButton(IFileEntry& e, bool selectButton, int32_t j);
    void ClearSelection();
    void Confirmed();
    void DoSave();
    void DoLoad();
    void DoDelete();
    void DoSwap(int32_t target);
    void Finish(const std::string& file, const std::string& label);
    void Error(const std::string& key);
    // The slot index j of a "dataJ" action on this page, or -1.
    int32_t DataIndex(const std::string& action) const;
    int32_t PageIndex(const std::string& action) const;

    IFileSelectHost& host_;
    bool open_ = false, save_ = true, busy_ = false;
    int32_t layoutKind_ = 0, slots_ = 0, page_ = 0;
    std::string existsText_, selectText_, emptyExistsText_, emptySelectText_, noDataFile_;
    uint32_t blend_ = 0;
    int32_t beginMute_ = 0, clickMute_ = 0, endMute_ = 0, mute_ = 0;
    std::string selected_;  // save name of the selection, empty for none
    int32_t selectedNumber_ = -1;
    std::optional<std::string> newest_;
    int32_t result_ = 0;
    std::string resultFile_, resultLabel_, loaded_;
    mutable int32_t headerReads_ = 0;
    std::vector<TEntry> buttons_, images_;
    std::unique_ptr<IFileEntry> marker_;
    std::unique_ptr<TARGB8888> backdrop_, noData_;
    std::vector<TSlot> table_;
    TSlot selectedSlot_;
};

}  // namespace zel
