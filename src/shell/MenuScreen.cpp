#include "shell/MenuScreen.h"

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>

#include "anim/AnimationBmpLib.h"
#include "anim/ImageLib.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "records/ZelGameState.h"
#include "records/ZelRecords.h"
#include "screens/DialogCommands.h"
#include "screens/ZelMenuLib.h"
#include "screens/ZelTextDialog.h"
#include "script/ZelScriptLib.h"
#include "scriptdata/ZelCalculationLib.h"
#include "scriptdata/ZelReturnValue.h"
#include "shell/EngineScript.h"
#include "shell/ScreenCanvas.h"
#include "shell/ScreenEntry.h"
#include "shell/ScriptScreen.h"
#include "shell/ZelSystemLib.h"
#include "shell/uInputDevice.h"
#include "shell/uZelSystemKey.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

constexpr size_t kMenuLayoutSlot = 2;  // load, save, menu, log
// One entry of the menu: a button or an image of its layout.
class TImageEntry final : public IMenuEntry {
public:
    TImageEntry(IGameFiles& files, TAnimationResources& resources, TARGB8888CellDraw& cells, const std::string& first,
                const std::string& second, int32_t x, int32_t y, int32_t z, const TMenuRect& hit)
        : entry_(files, resources, cells, first, second, hit) {
        entry_.MoveTo(x, y, z);
        entry_.Reset();
    }

    void Reset() override { entry_.Reset(); }
    void SetLocked(bool locked) override { entry_.locked = locked; }
    bool Locked() const override { return entry_.locked; }
    void SetChecked(bool checked) override { entry_.checked = checked; }
    bool Checked() const override { return entry_.checked; }
    void Hover(int32_t x, int32_t y) override { entry_.Hover(x, y); }
    bool Hit(int32_t x, int32_t y) const override { return entry_.Hit(x, y); }
    void Hide() override { entry_.Hide(); }
    void Advance(int32_t ms) override { entry_.Advance(ms); }
    void Draw(TARGB8888&) const override { entry_.DrawPicture(); }

private:
    TScreenEntry entry_;
};

}  // namespace

class TMenuScreen::THost final : public IMenuHost {
public:
    THost(IGameFiles& files, const TInput* input, const TZelSystemKey* keys)
        : files_(files), input_(input), keys_(keys), menu_(*this) {}

    TZelMenu& Menu() { return menu_; }
    void CloseMenu() {
        menu_.Close();
        canvas_.Release();
    }
    void SetGame(TZelSystem* system, TEngineScript* game) {
        menu_.Close();
        menu_.ReleaseLayout();
        system_ = system;
        game_ = game;
    }
    bool HasGame() const { return game_ != nullptr; }

    std::string LayoutName() const override {
        return game_ ? game_->Script().State().layoutNames[kMenuLayoutSlot] : std::string();
    }
    bool GameFileExists(const std::string& path) override { return files_.GameFileExists(path); }
    std::optional<std::string> ReadGameFile(const std::string& path) override {
        auto s = files_.OpenGameFile(path);
        if (!s) return std::nullopt;
        return s->ToString();
    }
    bool CaptureScreen(TARGB8888& into) override {
        if (!game_) return false;
        game_->Draw(false, true, 0xFFFF);
        TARGB8888CellDraw& cells = Cells();
        CopyTopLeft(cells.FrameBuffer(), into, cells.Width(), cells.Height());
        return !into.Empty();
    }
    uint32_t LockBits() const override { return game_ ? game_->Script().State().lockWord : ~0u; }
    bool PlayModeAllowed(const std::string& word) const override {
        if (!game_) return false;
        const int32_t mode = word == "skip" ? PlayMode::Skip : word == "auto" ? PlayMode::Auto : PlayMode::LogSkip;
        return game_->Script().ModeMayEnter(mode);
    }
    bool SceneReturnPossible() const override { return game_ && game_->Script().SceneReturnPossible(); }
    bool SceneSkipSwitch() const override { return game_ && game_->Script().State().sceneSkip != 0; }
    bool SaveFileExists(const std::string& name) const override {
        if (!system_) return false;
        std::string path = system_->SaveFolder();
        path += '/';
        path += name;
        return ::access(path.c_str(), F_OK) == 0;
    }
    std::optional<int32_t> ReadVariable(const std::string& name) override {
        if (!game_ || name.empty()) return std::nullopt;
        TZelScript& s = game_->Script();
        if (s.Calc().FindScope(name, s.Level()).Scope == scNone) return std::nullopt;
        return s.Calc().Evaluate(name, s.Level()).IntValue;
    }
    void WriteVariable(const std::string& name, int32_t value) override {
        if (!game_) return;
        TZelScript& s = game_->Script();
        s.Calc().Assign(name, s.Level(), TReturnValue::Integer(value));
    }
    void RunLabel(const std::string& label) override {
        if (system_) system_->RunSystemScript(label);
    }
    TMenuInput Input() override {
        TMenuInput in;
        if (!input_) return in;
        in.x = input_->PointerX();
        in.y = input_->PointerY();
        in.leftReleased = input_->Test(0x10001);
        const TSystemKeyData* fired = keys_ ? keys_->Fired() : nullptr;
        in.cancel = input_->Test(0x10002) || input_->Test(27) || input_->Test(8) || input_->Test(13) ||
                    (fired && SystemKeyActionCode(fired->action) == SystemKeyActionCode("menu"));
        return in;
    }
    std::unique_ptr<IMenuEntry> MakeEntry(const std::string& first, const std::string& second, int32_t x, int32_t y,
                                          int32_t z, const TMenuRect& hit) override {
        return std::make_unique<TImageEntry>(files_, resources_, Cells(), first, second, x, y, z, hit);
    }
    // The menu draws the backdrop here; ShowDrawn lays it under the entries'
    // cells and renders the cell drawer's frame, which the shell presents.
    TARGB8888* DrawTarget() override { return game_ ? canvas_.Target(Cells()) : nullptr; }
    void ShowDrawn() override {
        if (game_) canvas_.Show(Cells(), game_->Screen().Graphic().Background());
    }

private:
    TARGB8888CellDraw& Cells() { return game_->Screen().Graphic().Cells(); }

    IGameFiles& files_;
    const TInput* input_;
    const TZelSystemKey* keys_;
    TZelSystem* system_ = nullptr;
    TEngineScript* game_ = nullptr;
    TAnimationResources resources_;
    TScreenCanvas canvas_;
    TZelMenu menu_;  // last: its entries use the resources and the canvas
};

TMenuScreen::TMenuScreen(IGameFiles& files, const TInput* input, const TZelSystemKey* keys)
    : host_(std::make_unique<THost>(files, input, keys)) {}

TMenuScreen::~TMenuScreen() = default;

void TMenuScreen::SetGame(TZelSystem* system, TEngineScript* game) { host_->SetGame(system, game); }

void TMenuScreen::Open(bool) {
    if (host_->HasGame()) host_->Menu().OpenMenu();
}

// Without a game script there is nothing to show: the menu cancels at once.
int32_t TMenuScreen::Step(int32_t elapsedMs) {
    if (!host_->HasGame() || !host_->Menu().IsOpen()) return 1;
    return host_->Menu().Update(elapsedMs);
}

void TMenuScreen::Draw() { host_->Menu().Draw(); }

void TMenuScreen::Close() { host_->CloseMenu(); }

void AttachScreens(TZelSystemParts& parts, IGameFiles& files, const TInput* input, const TZelSystemKey* keys,
                   IDialogHost* dialogs) {
    auto menu = std::make_unique<TMenuScreen>(files, input, keys);
    TMenuScreen* screen = menu.get();
    parts.menu = std::move(menu);
    if (!parts.makeScript) return;
    auto textDialog = std::make_shared<TZelTextDialog>();
    // The engine owns the menu and the scripts alike and lets the menu go first.
    parts.makeScript = [make = std::move(parts.makeScript), screen, textDialog, dialogs](TZelSystem& sys,
                                                                                         IEngineScript* parent) {
        std::unique_ptr<IEngineScript> script = make(sys, parent);
        auto* engine = dynamic_cast<TEngineScript*>(script.get());
        if (!parent) screen->SetGame(&sys, engine);
        if (!engine) return script;
        RegisterTextDialogWords(engine->Script().Objects().Handlers(), textDialog, dialogs);
        if (!parent) {
            TGameStateParts& records = engine->Records().Parts();
            records.textDialog.save = [textDialog](TMemoryStream& s) { textDialog->Save(s); };
            records.textDialog.load = [textDialog](TMemoryStream& s) {
                textDialog->Load(s);
                return true;
            };
        }
        return script;
    };
}

void TMenuScreen::Reset() {
    host_->CloseMenu();
    host_->Menu().ReleaseLayout();
}

}  // namespace zel
