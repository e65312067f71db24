#include "shell/EngineScript.h"

#include <filesystem>

#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "platform/Devices.h"
#include "platform/Dialogs.h"
#include "records/LogCommands.h"
#include "records/RecordCommands.h"
#include "records/ZelLogdataLib.h"
#include "records/ZelRecords.h"
#include "records/ZelSaveData.h"
#include "anim/AnimationBmpLib.h"
#include "anim/ImageWipe.h"
#include "anim/ImageLib.h"
#include "scriptdata/ImageCommands.h"
#include "scriptdata/MessageCommands.h"
#include "scriptdata/ScreenEffectCommands.h"
#include "scriptdata/ScrollBarCommands.h"
#include "scriptdata/SoundCommands.h"
#include "scriptdata/SystemCommands.h"
#include "shell/EngineSound.h"
#include "shell/uZelSystemKey.h"
#include "sound/Sound.h"
#include "scriptdata/uZelObjectManager.h"
#include "shell/ScriptScreen.h"
#include "shell/SystemConfigLib.h"

namespace zel {

namespace {

// Lock bits of the play modes the shell asks about.
constexpr uint32_t kLockView = 32, kLockAuto = 64, kLockSkip = 128;

}  // namespace

TEngineScript::TEngineScript(IGameFiles& files, IRegExp* regexp, ILineRewriter* rewriter, TEngineScript* parent,
                             IDisplayDevice* display, IDialogHost* dialogs, std::string saveFolder)
    : display_(display), dialogs_(dialogs) {
    const TSystemData& cfg = ActiveSettings();
    screen_ = std::make_unique<TScriptScreen>(display ? display->ScreenWidth() : cfg.ScreenWidth,
                                              display ? display->ScreenHeight() : cfg.ScreenHeight, &files);
    script_ = std::make_unique<TZelScript>(&files, regexp, rewriter, parent ? parent->script_.get() : nullptr);
    RegisterScreenEffectCommands(script_->Objects().Handlers(), screen_->Graphic(), screen_->Camera());
    screen_->Graphic().SetMessageHost(dialogs);
    // Image objects play through the animation player's shared caches and
    // submit their cells every frame.
    resources_ = parent ? parent->resources_ : std::make_shared<TAnimationResources>();
    if (!parent) resources_->SetCacheSize(cfg.CacheSize);
    messageServices_ = std::make_shared<TMessageServices>();
    messageServices_->configuredSpeed = [] { return ActiveSettings().MessageSpeed; };
    // Every window of both scripts hands its finished pages to one log.
    isGameScript_ = parent == nullptr;
    logData_ = parent ? parent->logData_ : std::make_shared<TZelLogData>();
    logSink_ = MakeMessageLogSink(*logData_);
    messageServices_->log = logSink_.get();
    if (auto* objects = dynamic_cast<TZelObjectManager*>(&script_->Objects())) {
        RegisterImageKinds(*objects, &files, *resources_);
        RegisterMessageKinds(*objects, &files, *resources_, nullptr, messageServices_.get());
        RegisterScrollBarKind(*objects, &files, *resources_);
    }
    // The animated wipe (a fade in with a ".b" file) plays through an image object.
    screen_->Graphic().SetWipeAnimation(std::make_unique<TImageWipe>(&files, *resources_));
    // Message text lines reach the scoped window through the reader's
    // text-line prefix, which the "rep" words set.
    RegisterTextLineWords(script_->Objects().Handlers(),
                          {[](ICommandContext& c, const std::string& t) { c.TargetScript().Reader().SetTextPrefix(t); },
                           [](ICommandContext& c, const std::string& t) {
                               c.TargetScript().Reader().SetEmptyLineText(t);
                           }});
    // The wait-cursor and notice layers are drawn above the game in every
    // frame with the fixed pass, which View mode leaves out.
    script_->SetSystemLayers(std::make_unique<TImageLib>(&files, *resources_),
                             std::make_unique<TImageLib>(&files, *resources_));
    RegisterSystemCommands(script_->Objects().Handlers(), nullptr);
    screen_->submitCells = [this](TARGB8888CellDraw& cells, bool fixedPass) {
        script_->Objects().DrawAll(cells, script_->State().layerMask[1], fixedPass);
        if (!fixedPass || script_->State().playMode == PlayMode::View) return;
        for (TImageLib* layer : {script_->CursorLayer(), script_->NoticeLayer()})
            if (layer) layer->Draw(cells, 0xFFFFFFFFu, 0, 0);
    };
    TScriptServices services;
    services.display = screen_.get();
    services.screenWidth = display ? display->ScreenWidth() : cfg.ScreenWidth;
    services.screenHeight = display ? display->ScreenHeight() : cfg.ScreenHeight;
    services.saveExists = [folder = saveFolder](const std::string& name) {
        std::error_code ec;
        return std::filesystem::is_regular_file(std::filesystem::path(folder) / name, ec);
    };
    services.autoPlayClickTime = [] { return ActiveSettings().AutoPlayClickTime; };
    script_->SetServices(services);
    SetUpRecords(parent, std::move(saveFolder));
    // What has been read is kept in the game script's records (its system data).
    TZelRecords& labels = parent ? *parent->records_ : *records_;
    readLog_ = MakeReadLabelLog(labels);
    services = script_->Services();
    services.readLog = readLog_.get();
    script_->SetServices(services);
    AttachLogToRecords(*records_, *logData_, labels);
    RegisterLogCommands(script_->Objects().Handlers(), *logData_, labels);
}

// The records of the script: the screen's compositor and camera are its own
// records of the game state, the thumbnail is the screen drawn afresh and
// scaled to the configured size.
void TEngineScript::SetUpRecords(TEngineScript* parent, std::string saveFolder) {
    TRecordsConfig rc;
    rc.folder = std::move(saveFolder);
    rc.key = RecordKey(ActiveSettings().CodeKey);
    rc.thumbnail = [this](TARGB8888& thumb) {
        const int32_t w = ActiveSettings().ThumWidth, h = ActiveSettings().ThumHeight;
        if (w <= 0 || h <= 0) return false;
        Draw(false, true, 0xFFFF);
        const TARGB8888& shown = screen_->Graphic().OutputImage();
        if (shown.Width() <= 0 || shown.Height() <= 0) return false;
        thumb.NewImage(w, h, 0xFF000000u);
        shown.StretchDraw(thumb, 0, 0, w, h, 0, 0, shown.Width(), shown.Height(), 0, 0xFFFFFFFFu, 255, 0, 0, h);
        return true;
    };
    rc.showReadError = [this] {
        const TMessageTable& m = Messages();
        std::string text = m.Text("ReadSaveFileError");
        if (text.empty()) text = "ReadSaveFileError: the save file cannot be read";
        if (dialogs_) dialogs_->Message(text, m.Text("OK"));
        else LogLine(text);
    };
    records_ = std::make_unique<TZelRecords>(*script_, std::move(rc));
    TGameStateParts& parts = records_->Parts();
    parts.compositor.save = [this](TMemoryStream& s) { screen_->Graphic().SaveState(s); };
    parts.compositor.load = [this](TMemoryStream& s) {
        screen_->Graphic().LoadState(s);
        return true;
    };
    parts.camera.save = [this](TMemoryStream& s) { screen_->Camera().Save(s); };
    parts.camera.load = [this](TMemoryStream& s) {
        screen_->Camera().Load(s);
        return true;
    };
    RegisterRecordCommands(script_->Objects().Handlers(), *records_, parent ? parent->records_.get() : nullptr);
    if (!parent) records_->LoadSystemDataAtStart();
}

void TEngineScript::AttachSystemKeys(TZelSystemKey& keys) {
    if (!records_) return;
    TGameStateParts& parts = records_->Parts();
    parts.systemKeys.save = [&keys](TMemoryStream& s) { keys.Save(s); };
    parts.systemKeys.load = [&keys](TMemoryStream& s) {
        try {
            keys.Load(s);
            return true;
        } catch (const EZelError&) {
            return false;
        }
    };
}

// The game script writes the system data as it goes.
void TEngineScript::AttachFonts(TFontTable& fonts) { messageServices_->fonts = &fonts; }

void TEngineScript::AttachSound(TEngineSound& sound) {
    RegisterSoundCommands(script_->Objects().Handlers(), sound.Sound());
    TScriptServices services = script_->Services();
    services.sound = &sound;
    script_->SetServices(services);
    // Message windows speak their voices through it.
    messageServices_->voice = &sound.Voice();
    // The channels go into the game's saves (the record of the sound set).
    if (records_) {
        TSound* channels = &sound.Sound();
        TGameStateParts& parts = records_->Parts();
        parts.sound.save = [channels](TMemoryStream& s) { channels->SaveState(s); };
        parts.sound.load = [channels](TMemoryStream& s) {
            try {
                channels->LoadState(s);
                return true;
            } catch (const EZelError&) {
                return false;
            }
        };
    }
}

TEngineScript::~TEngineScript() {
    if (records_) records_->SaveSystemData(TZelRecords::kSystemDataName);
}

// Only an engine reset resets the game script: the message log starts empty then.
void TEngineScript::ResetScript() {
    script_->ResetScript();
    if (isGameScript_) logData_->Clear();
}

bool TEngineScript::ExecuteLine(const std::string& text) { return script_->ExecuteLine(text); }

void TEngineScript::RunFrame(int32_t elapsedMs, bool processInput) {
    script_->RunFrame(elapsedMs, processInput);
    records_->Advance(elapsedMs);
}

void TEngineScript::Draw(bool interlaced, bool overlays, int32_t zLimit) {
    if (IScriptDisplay* d = script_->Services().display) d->Draw(interlaced, overlays, zLimit);
}

void TEngineScript::ShowFrame(bool force, bool interlaced) {
    if (display_) screen_->Graphic().Present(*display_, force, interlaced);
}

// The built-in screens draw into the cell drawer's frame themselves.
void TEngineScript::ShowCells(bool force, bool interlaced) {
    if (display_) screen_->Graphic().Cells().PresentBands(*display_, force, interlaced);
}

void TEngineScript::InvalidateCells() {
    if (IScriptDisplay* d = script_->Services().display) d->InvalidateCells();
}

void TEngineScript::RefreshCells() { screen_->InvalidateCells(); }

void TEngineScript::ToggleFrameParity() { screen_->Graphic().Cells().ToggleFrameParity(); }

void TEngineScript::SetPlayMode(int32_t mode) { script_->SetPlayMode(mode); }

int32_t TEngineScript::GetPlayMode() const { return script_->State().playMode; }

void TEngineScript::SkipTimeOnce() { script_->SkipTimeOnce(); }

bool TEngineScript::Save(const std::string& file, bool packed) { return records_->SaveGame(file, packed); }

bool TEngineScript::Load(const std::string& file) { return records_->LoadGame(file); }

int32_t TEngineScript::Request() const { return script_->State().request; }

std::string TEngineScript::RequestArgument() const { return script_->State().requestArgument; }

void TEngineScript::SetAfterLoadLabel(const std::string& label) { script_->State().afterLoadLabel = label; }

bool TEngineScript::NoWait() const { return script_->State().noWait; }

bool TEngineScript::IsLocked(ScriptLock lock) const {
    const uint32_t bit = lock == ScriptLock::View ? kLockView : lock == ScriptLock::Auto ? kLockAuto : kLockSkip;
    return (script_->State().lockWord & bit) != 0;
}

bool TEngineScript::InButtonWait() const { return script_->Thread().Top()->waitState == wsButton; }

bool TEngineScript::HasReadTextToSkip() const { return script_->CanLogSkip(); }
bool TEngineScript::CanSceneReturn() const { return script_->SceneReturnPossible(); }
void TEngineScript::SceneReturn() { script_->SceneReturn(); }

std::optional<std::string> TEngineScript::CaptureScreenBmp() {
    TMemoryStream bmp;
    if (!screen_->Graphic().SaveScreenBmp(bmp)) return std::nullopt;
    return bmp.ToString();
}

TZelScript* ScriptOf(IEngineScript* script) {
    auto* s = dynamic_cast<TEngineScript*>(script);
    return s ? &s->Script() : nullptr;
}

}  // namespace zel
