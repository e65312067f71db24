#include "shell/FileSelectScreen.h"

#include <algorithm>
#include <optional>
#include <string>

#include "anim/AnimationBmpLib.h"
#include "anim/ImageLib.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ImageFiles.h"
#include "platform/Dialogs.h"
#include "records/ZelSaveData.h"
#include "screens/ZelFileSelect.h"
#include "script/ZelScriptLib.h"
#include "shell/EngineScript.h"
#include "shell/ScreenCanvas.h"
#include "shell/ScreenEntry.h"
#include "shell/ScriptScreen.h"
#include "shell/SystemConfigLib.h"
#include "shell/ZelSystemLib.h"
#include "shell/uInputDevice.h"
#include "shell/uZelSystemKey.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

constexpr size_t kLoadLayoutSlot = 0, kSaveLayoutSlot = 1;  // load, save, menu, log
constexpr int32_t kTopLayerLimit = 0xFFFF;
constexpr int32_t kTextCell = 16;
constexpr uint32_t kTextColour = 0xFFFFFFFFu;

// A button, image or marker of the layout; over its picture its text (in
// the text area) or its picture (a thumbnail at the entry's position), drawn
// into a layer of its own.
class TFileEntry final : public IFileEntry {
public:
    TFileEntry(IGameFiles& files, TAnimationResources& resources, TARGB8888CellDraw& cells, TFontTable* fonts,
               const std::string& first, const std::string& second, int32_t x, int32_t y, int32_t z,
               const TMenuRect& hit, const TMenuRect& textArea)
        : cells_(cells), fonts_(fonts), entry_(files, resources, cells, first, second, hit), textArea_(textArea) {
        entry_.MoveTo(x, y, z);
        entry_.Reset();
    }

    void Reset() override { entry_.Reset(); }
    void SetLocked(bool locked) override { entry_.locked = locked; }
    bool Locked() const override { return entry_.locked; }
    void SetChecked(bool checked) override { entry_.checked = checked; }
    bool Checked() const override { return entry_.checked; }
    void Hover(int32_t x, int32_t y) override {
        if (visible_) entry_.Hover(x, y);
        else entry_.Unhover();
    }
    bool Hit(int32_t x, int32_t y) const override { return entry_.Hit(x, y); }
    void Hide() override { entry_.Hide(); }
    void Advance(int32_t ms) override { entry_.Advance(ms); }
    void Draw(TARGB8888&) const override {
        const int32_t a = entry_.Opacity();
        if (a <= 0 || !visible_) return;
        entry_.DrawPicture();
        const int32_t x = entry_.X(), y = entry_.Y(), z = entry_.Z();
        if (picture_ && !picture_->Empty())
            cells_.AddImageCell(x, y, 0, 0, picture_->Width(), picture_->Height(), z, 0, picture_, 0, a, 0,
                                0xFFFFFFFFu, 0);
        if (!text_.empty() && !textImage_.Empty())
            cells_.AddImageCell(x + textArea_.left, y + textArea_.top, 0, 0, textImage_.Width(), textImage_.Height(),
                                z, 0, &textImage_, 0, a, 0, 0xFFFFFFFFu, 0);
    }
    void SetVisible(bool on) override { visible_ = on; }
    bool Visible() const override { return visible_; }
    void SetText(const std::string& text) override {
        if (text == text_) return;
        text_ = text;
        textImage_.Clear();
        if (text_.empty() || !fonts_) return;
        const int32_t w = textArea_.right > textArea_.left ? textArea_.right - textArea_.left : 640;
        const int32_t h = textArea_.bottom > textArea_.top ? textArea_.bottom - textArea_.top : kTextCell + 4;
        textImage_.NewImage(std::min(w, 4096), std::min(h, 4096), 0);
        int32_t y = 0;
        for (const std::string& line : SplitLines(text_)) {
            fonts_->DrawText(textImage_, 0, y, line, kTextCell, kTextCell, kTextColour, 0, false);
            y += kTextCell + 2;
        }
        textImage_.Touch();
    }
    void SetPicture(const TARGB8888* picture) override { picture_ = picture; }
    void MoveTo(int32_t x, int32_t y, int32_t z) override { entry_.MoveTo(x, y, z); }
    int32_t X() const override { return entry_.X(); }
    int32_t Y() const override { return entry_.Y(); }
    int32_t Z() const override { return entry_.Z(); }

private:
    // Lines of a slot text: "\n" in a template (written as the two characters) or a real line break.
    static std::vector<std::string> SplitLines(const std::string& text) {
        std::vector<std::string> lines(1);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' || (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n')) {
                if (text[i] == '\\') ++i;
                lines.emplace_back();
            } else if (IsLeadByte(text[i]) && i + 1 < text.size()) {
                lines.back() += text.substr(i, 2);
                ++i;
            } else {
                lines.back() += text[i];
            }
        }
        return lines;
    }

    TARGB8888CellDraw& cells_;
    TFontTable* fonts_;
    TScreenEntry entry_;
    TMenuRect textArea_;
    bool visible_ = true;
    std::string text_;
    TARGB8888 textImage_;
    const TARGB8888* picture_ = nullptr;
};

}  // namespace

class TFileSelectScreen::THost final : public IFileSelectHost {
public:
    THost(IGameFiles& files, const TInput* input, const TZelSystemKey* keys, IDialogHost* dialogs, TFontTable* fonts)
        : files_(files), input_(input), keys_(keys), dialogs_(dialogs), fonts_(fonts), screen_(*this) {}

    TZelFileselect& Screen() { return screen_; }
    void CloseScreen() {
        screen_.Close();
        canvas_.Release();
    }
    bool HasGame() const { return game_ != nullptr; }
    void SetGame(TZelSystem* system, TEngineScript* game) {
        screen_.Close();
        system_ = system;
        game_ = game;
    }

    std::string LayoutName(bool save) const override {
        return game_ ? game_->Script().State().layoutNames[save ? kSaveLayoutSlot : kLoadLayoutSlot] : std::string();
    }
    bool GameFileExists(const std::string& path) override { return files_.GameFileExists(path); }
    std::optional<std::string> ReadGameFile(const std::string& path) override {
        auto s = files_.OpenGameFile(path);
        if (!s) return std::nullopt;
        return s->ToString();
    }
    bool LoadPicture(const std::string& path, TARGB8888& into) override {
        auto s = files_.OpenGameFile(path);
        return s && LoadFromStream(into, s.get(), path, dialogs_) && !into.Empty();
    }
    bool CaptureScreen(TARGB8888& into) override {
        if (!game_) return false;
        game_->Draw(false, true, kTopLayerLimit);
        TARGB8888CellDraw& cells = Cells();
        CopyTopLeft(cells.FrameBuffer(), into, cells.Width(), cells.Height());
        return !into.Empty();
    }
    std::string SaveFolder() const override { return system_ ? system_->SaveFolder() : std::string("SaveData"); }
    uint32_t RecordKey() const override { return zel::RecordKey(ActiveSettings().CodeKey); }
    int32_t QuickSaveCount() const override { return ActiveSettings().QuickSaveCount; }
    std::string MessageText(const std::string& key) const override { return Messages().Text(key); }
    void Message(const std::string& text) override {
        if (dialogs_) dialogs_->Message(text, Messages().Text("OK"));
    }
    bool Confirm(const std::string& text, const std::string& yes, const std::string& no) override {
        return dialogs_ && dialogs_->Confirm(text, yes, no) == 1;
    }
    // The dialog host has no list: each quick save is offered in turn.
    int32_t ChooseFromList(const std::string& caption, const std::vector<std::string>& lines,
                           const std::vector<bool>& enabled) override {
        if (!dialogs_) return -1;
        const TMessageTable& m = Messages();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!enabled[i]) continue;
            std::string q = caption;
            if (!q.empty()) q += '\n';
            q += lines[i];
            if (dialogs_->Confirm(q, m.Text("YES"), m.Text("NO")) == 1) return static_cast<int32_t>(i);
        }
        return -1;
    }
    TMenuInput Input() override {
        TMenuInput in;
        if (!input_) return in;
        in.x = input_->PointerX();
        in.y = input_->PointerY();
        in.leftReleased = input_->Test(0x10001);
        const TSystemKeyData* fired = keys_ ? keys_->Fired() : nullptr;
        const int32_t action = fired ? SystemKeyActionCode(fired->action) : 0;
        in.cancel = input_->Test(0x10002) || input_->Test(27) || input_->Test(8) || input_->Test(13) ||
                    (fired && (action == SystemKeyActionCode("save") || action == SystemKeyActionCode("load")));
        return in;
    }
    std::unique_ptr<IFileEntry> MakeEntry(const std::string& first, const std::string& second, int32_t x, int32_t y,
                                          int32_t z, const TMenuRect& hit, const TMenuRect& textArea) override {
        if (!game_) return nullptr;
        return std::make_unique<TFileEntry>(files_, resources_, Cells(), fonts_, first, second, x, y, z, hit,
                                            textArea);
    }
    TARGB8888* DrawTarget() override { return game_ ? canvas_.Target(Cells()) : nullptr; }
    void ShowDrawn() override {
        if (game_) canvas_.Show(Cells(), game_->Screen().Graphic().Background());
    }

private:
    TARGB8888CellDraw& Cells() { return game_->Screen().Graphic().Cells(); }

    IGameFiles& files_;
    const TInput* input_;
    const TZelSystemKey* keys_;
    IDialogHost* dialogs_;
    TFontTable* fonts_;
    TZelSystem* system_ = nullptr;
    TEngineScript* game_ = nullptr;
    TAnimationResources resources_;
    TScreenCanvas canvas_;
    TZelFileselect screen_;  // last: its entries use the resources and the canvas
};

TFileSelectScreen::TFileSelectScreen(IGameFiles& files, const TInput* input, const TZelSystemKey* keys,
                                     IDialogHost* dialogs, TFontTable* fonts)
    : host_(std::make_unique<THost>(files, input, keys, dialogs, fonts)) {}

TFileSelectScreen::~TFileSelectScreen() = default;

void TFileSelectScreen::SetGame(TZelSystem* system, TEngineScript* game) { host_->SetGame(system, game); }

void TFileSelectScreen::Open(bool save) {
    if (host_->HasGame()) host_->Screen().Open(save);
}

// Without a game script there is nothing to save or load: cancelled at once.
int32_t TFileSelectScreen::Step(int32_t elapsedMs) {
    if (!host_->HasGame() || !host_->Screen().IsOpen()) return -1;
    return host_->Screen().Update(elapsedMs);
}

void TFileSelectScreen::Draw() { host_->Screen().Draw(); }

void TFileSelectScreen::Close() { host_->CloseScreen(); }

void TFileSelectScreen::Reset() { host_->CloseScreen(); }

std::string TFileSelectScreen::ChosenFile() const { return host_->Screen().ResultFile(); }
std::string TFileSelectScreen::ChosenLabel() const { return host_->Screen().ResultLabel(); }
std::string TFileSelectScreen::QuickSaveFileName() const { return host_->Screen().QuickSaveName(); }
std::string TFileSelectScreen::QuickLoadChoice() { return host_->Screen().QuickLoadChoice(); }

void AttachFileSelect(TZelSystemParts& parts, IGameFiles& files, const TInput* input, const TZelSystemKey* keys,
                      IDialogHost* dialogs, TFontTable* fonts) {
    auto made = std::make_unique<TFileSelectScreen>(files, input, keys, dialogs, fonts);
    TFileSelectScreen* screen = made.get();
    parts.fileSelect = std::move(made);
    parts.quickLoadDialog = [screen] { return screen->QuickLoadChoice(); };
    if (!parts.makeScript) return;
    // The engine owns the screen and the scripts alike and lets the screen go first.
    parts.makeScript = [make = std::move(parts.makeScript), screen](TZelSystem& sys, IEngineScript* parent) {
        std::unique_ptr<IEngineScript> script = make(sys, parent);
        if (!parent) screen->SetGame(&sys, dynamic_cast<TEngineScript*>(script.get()));
        return script;
    };
}

}  // namespace zel
