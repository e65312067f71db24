// The system menu: a layout-driven overlay of entries over a frozen copy of
// the screen. The player picks one entry; the menu hands the engine a result
// code (1 cancel .. 19 sceneskipnoload) or runs a "script:" label or toggles
// a "value:" variable itself. What it needs of the game script goes through
// IMenuHost; its entries are IMenuEntry, drawn from their two pictures and
// hit-tested on their rectangles.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zel {

class TARGB8888;

struct TMenuRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// One entry of the menu, a button or an image.
class IMenuEntry {
public:
    virtual ~IMenuEntry() = default;
    virtual void Reset() = 0;  // shown, fully opaque, not hovered
    virtual void SetLocked(bool locked) = 0;
    virtual bool Locked() const = 0;
    virtual void SetChecked(bool checked) = 0;
    virtual bool Checked() const = 0;
    virtual void Hover(int32_t x, int32_t y) = 0;
    virtual bool Hit(int32_t x, int32_t y) const = 0;
    virtual void Hide() = 0;  // starts the hide transition
    virtual void Advance(int32_t ms) = 0;
    virtual void Draw(TARGB8888& frame) const = 0;
};

// The input of one frame as the menu reads it.
struct TMenuInput {
    int32_t x = 0, y = 0;
    bool leftReleased = false;  // input code 65537
    bool cancel = false;        // right release, Esc, Backspace or Enter pressed, or the "menu" system key
};

class IMenuHost {
public:
    virtual ~IMenuHost() = default;
    // The layout name set by the script ("" for none).
    virtual std::string LayoutName() const = 0;
    virtual bool GameFileExists(const std::string& path) = 0;
    virtual std::optional<std::string> ReadGameFile(const std::string& path) = 0;
    // The scene drawn afresh into a picture of the screen's size.
    virtual bool CaptureScreen(TARGB8888& into) = 0;
    virtual uint32_t LockBits() const = 0;
    // Whether "skip", "logskip" or "auto" may be entered now.
    virtual bool PlayModeAllowed(const std::string& word) const = 0;
    virtual bool SceneReturnPossible() const = 0;
    virtual bool SceneSkipSwitch() const = 0;
    virtual bool SaveFileExists(const std::string& name) const = 0;
    virtual std::optional<int32_t> ReadVariable(const std::string& name) = 0;
    virtual void WriteVariable(const std::string& name, int32_t value) = 0;
    virtual void RunLabel(const std::string& label) = 0;
    virtual TMenuInput Input() = 0;
    // An entry from its two picture files (game paths), at (x, y, z).
    virtual std::unique_ptr<IMenuEntry> MakeEntry(const std::string& first, const std::string& second, int32_t x,
                                                  int32_t y, int32_t z, const TMenuRect& hit) = 0;
    // Where the open menu draws (the frame the shell shows).
    virtual TARGB8888* DrawTarget() = 0;
    virtual void ShowDrawn() {}
};

// The lock bits the menu reads.
namespace menulock {
constexpr uint32_t Screen = 1, Save = 2, Load = 4, Config = 8, Log = 16, View = 32, Auto = 64, Skip = 128, Jump = 256,
                   Menu = 512, Reset = 1024;
}

// The result code of an action word (lower case), 0 for none.
uint8_t MenuResultCode(const std::string& word);

// The shell runs it as its menu screen (an IScreen over these calls).
class TZelMenu final {
public:
    explicit TZelMenu(IMenuHost& host);
    ~TZelMenu();

    // Chooses the layout file and loads it when it differs from the loaded one.
    void LoadLayout();
    void OpenMenu();
    int32_t Update(int32_t elapsedMs);
    void DrawMenu(TARGB8888& frame) const;
    void ReleaseLayout();

    // Draws into the host's target and shows it.
    void Draw();
    // The engine closes the menu after taking its result.
    void Close();

    bool IsOpen() const { return open_; }
    uint8_t ResultCode() const { return result_; }
    int32_t RemainingMute() const { return mute_; }
    const std::string& LoadedPath() const { return loaded_; }
    uint32_t BlendColour() const { return blend_; }
    size_t ButtonCount() const { return buttons_.size(); }
    size_t ImageCount() const { return images_.size(); }
    IMenuEntry& Button(size_t i) { return *buttons_[i].entry; }
    const std::string& Action(size_t i) const { return buttons_[i].action; }
    int32_t LayoutLoads() const { return loads_; }
    // The action handler a button's click calls.
    void OnClick(size_t button);

private:
    struct TButton {
        std::string action;
        std::unique_ptr<IMenuEntry> entry;
    };
    void Parse(const std::string& text);
    bool LockedByAction(const std::string& action, IMenuEntry& entry);

    IMenuHost& host_;
    std::unique_ptr<TARGB8888> backdrop_;
    uint32_t blend_ = 0;
    std::vector<TButton> buttons_;
    std::vector<std::unique_ptr<IMenuEntry>> images_;
    int32_t beginMute_ = 0, endMute_ = 0, clickMute_ = 0, mute_ = 0;
    bool open_ = false;
    uint8_t result_ = 0;
    std::string loaded_;
    int32_t loads_ = 0;
};

}  // namespace zel
