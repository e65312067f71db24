#include "shell/LogScreen.h"

#include <algorithm>
#include <string>
#include <vector>

#include "anim/AnimationBmpLib.h"
#include "anim/ImageLib.h"
#include "anim/MessageLib.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "base/Errors.h"
#include "graphics/ARGB8888Lib.h"
#include "records/ZelLogdataLib.h"
#include "screens/ZelLogLib.h"
#include "screens/ZelLogView.h"
#include "script/ZelScriptLib.h"
#include "shell/EngineScript.h"
#include "shell/EngineSound.h"
#include "shell/ScriptScreen.h"
#include "shell/SystemConfigLib.h"
#include "shell/ZelSystemLib.h"
#include "shell/uInputDevice.h"
#include "sound/OggPlayerLib.h"
#include "sound/Sound.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

constexpr size_t kLogLayoutSlot = 3;  // load, save, menu, log
constexpr int32_t kTopLayerLimit = 0xFFFF;
constexpr uint32_t kLeftUp = 0x10001, kRightUp = 0x10002;
constexpr int32_t kKeys[] = {27, 8, 13, 38, 40, 36, 35, 33, 34};

class TLogScreen final : public IScreen {
public:
    TLogScreen(IGameFiles& files, const TInput* input, TEngineSound* sound, TFontTable* fonts)
        : files_(files), input_(input), sound_(sound) {
        services_.fonts = fonts;
    }

    void SetGame(TEngineScript* game) {
        Reset();
        game_ = game;
        model_.reset();
        view_.reset();
        if (!game_) return;
        TZelLog::TServices s;
        s.playVoice = [this](const TLogVoice& v) { Play(v); };
        s.fadeVoice = [this](int32_t ms) {
            if (sound_) sound_->Sound().Streams().SetVolume(TLogVoice::kChannel, 0, ms);
        };
        s.actorVolume = [](std::string_view speaker) {
            const TSystemData& cfg = ActiveSettings();
            return cfg.ActorVolume[static_cast<size_t>(ActorOfName(cfg.ActorList, speaker))];
        };
        model_ = std::make_unique<TZelLog>(game_->LogData(), std::move(s));
        view_ = std::make_unique<TLogView>(&files_, resources_, &services_);
        view_->onScroll = [this](int32_t v) { model_->SetScrollValue(v); };
        model_->SetWidgets(view_.get());
    }

    void Open(bool) override {
        if (!game_ || !model_) return;
        LoadLayout();
        model_->Open();
        Capture();
        view_->Open(model_->ScrollValue(), model_->ScrollMaximum());
        view_->FillRows(game_->LogData());
    }

    int32_t Step(int32_t elapsedMs) override {
        if (!model_ || !model_->IsOpen()) return -1;
        TLogInput in;
        if (input_) {
            in.x = input_->PointerX();
            in.y = input_->PointerY();
            in.leftReleased = input_->Test(kLeftUp);
            in.rightReleased = input_->Test(kRightUp);
            in.leftHeld = (input_->Modifiers() & TInput::kLeft) != 0;
            in.wheel = input_->WheelDelta();
            for (int32_t k : kKeys)
                if (input_->Test(static_cast<uint32_t>(k))) in.keysPressed.push_back(k);
        }
        const int32_t r = model_->Step(elapsedMs, in);
        if (r != 0) return r;
        view_->Update(elapsedMs);
        view_->FillRows(game_->LogData());
        return 0;
    }

    void Draw() override {
        if (!game_ || !model_ || !model_->IsOpen()) return;
        TARGB8888CellDraw& cells = Cells();
        cells.AddImageCell(0, 0, 0, 0, backdrop_.Width(), backdrop_.Height(), -1000, 0, &backdrop_, 0, 255, 0,
                           0xFFFFFFFFu, 2);
        view_->Draw(cells);
        cells.Render(0xFF000000u, false, kTopLayerLimit);
    }

    void Close() override {
        if (model_) model_->Close();
        if (view_) view_->Close();
    }

    void Reset() override {
        if (view_) view_->Close();
        loadedLayout_.clear();
    }

private:
    TARGB8888CellDraw& Cells() { return game_->Screen().Graphic().Cells(); }

    void LoadLayout() {
        const std::string named = game_->Script().State().layoutNames[kLogLayoutSlot];
        std::string name = "System\\Log\\" + named;
        if (named.empty() || !files_.GameFileExists(name)) name = "System\\Log\\Layout.dat";
        if (name == loadedLayout_) return;
        loadedLayout_ = name;
        // Without a layout file every value takes its default.
        std::string text;
        if (auto s = files_.OpenGameFile(name)) text = s->ToString();
        model_->SetLayout(TLogLayout::Parse(text));
        view_->LoadLayout(model_->Layout());
    }

    // The game screen as it stands, without the fixed pass, opaque, tinted.
    void Capture() {
        game_->Draw(false, false, kTopLayerLimit);
        TARGB8888CellDraw& cells = Cells();
        CopyTopLeft(cells.FrameBuffer(), backdrop_, cells.Width(), cells.Height());
        if (backdrop_.Empty()) return;
        backdrop_.SetAlphaRect(0, 0, backdrop_.Width(), backdrop_.Height(), 255);
        if (const uint32_t tint = model_->Layout().bgColour; tint != 0)
            backdrop_.FillRectEx(0, 0, backdrop_.Width(), backdrop_.Height(), tint, 2, 0, 1024);
        backdrop_.Touch();
    }

    void Play(const TLogVoice& v) {
        if (!sound_) return;
        constexpr int32_t kVoiceGroup = 1;
        TSSound& streams = sound_->Sound().Streams();
        const int c = TLogVoice::kChannel;
        streams.Clear(c);
        streams.SetVolume(c, v.volume, 0);
        try {
            if (!streams.Load(c, v.file, 0, true, kVoiceGroup)) return;
        } catch (const EZelError&) {
            return;
        }
        if (v.seek > 0) streams.Seek(c, v.seek);
        if (v.threshold > 0) streams.SkipSilence(c, v.threshold);
        streams.SetVoiceAgc(c, v.gain);
        streams.Play(c, false);
    }

    IGameFiles& files_;
    const TInput* input_;
    TEngineSound* sound_;
    TMessageServices services_;
    TAnimationResources resources_;
    TEngineScript* game_ = nullptr;
    std::unique_ptr<TZelLog> model_;
    std::unique_ptr<TLogView> view_;
    TARGB8888 backdrop_;
    std::string loadedLayout_;
};

}  // namespace

void AttachLogScreen(TZelSystemParts& parts, IGameFiles& files, const TInput* input, TEngineSound* sound,
                     TFontTable* fonts) {
    auto owned = std::make_unique<TLogScreen>(files, input, sound, fonts);
    TLogScreen* screen = owned.get();
    parts.logScreen = std::move(owned);
    if (!parts.makeScript) return;
    parts.makeScript = [make = std::move(parts.makeScript), screen](TZelSystem& sys, IEngineScript* parent) {
        std::unique_ptr<IEngineScript> script = make(sys, parent);
        if (!parent) screen->SetGame(dynamic_cast<TEngineScript*>(script.get()));
        return script;
    };
}

}  // namespace zel
