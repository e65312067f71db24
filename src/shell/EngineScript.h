// The script interpreter as the engine shell drives it: IEngineScript over a
// TZelScript. The parts of a frame that later subsystems provide (drawing,
// presenting, save files) go through the script's services; where none is
// present there is nothing to draw, and a save or load says it cannot be done.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "script/ZelScriptLib.h"
#include "shell/ShellInterfaces.h"

namespace zel {

class IDialogHost;
class IDisplayDevice;
class TScriptScreen;
class TEngineSound;
class TZelSystemKey;
class TFontTable;
struct TMessageServices;
struct TAnimationResources;
class TZelRecords;
class TZelLogData;
class IMessageLog;
class IScriptReadLog;

class TEngineScript final : public IEngineScript {
public:
    // parent: the game script, for the system script. display: where frames
    // are presented (none: frames are composed but not shown); the screen
    // takes its size. dialogs: where the screen's picture messages go (none:
    // standard error). saveFolder: the host folder of the save files; the
    // game script reads its system data from there at once.
    TEngineScript(IGameFiles& files, IRegExp* regexp, ILineRewriter* rewriter, TEngineScript* parent,
                  IDisplayDevice* display = nullptr, IDialogHost* dialogs = nullptr,
                  std::string saveFolder = "SaveData");
    ~TEngineScript() override;

    TZelScript& Script() { return *script_; }
    // Plays through the engine's sound: the snd and dsnd words, and the
    // waits on sound channels.
    void AttachSound(TEngineSound& sound);
    // The run's system keys go into this script's saves and come back with them.
    void AttachSystemKeys(TZelSystemKey& keys);
    // Message windows draw their text with these font slots.
    void AttachFonts(TFontTable& fonts);
    TScriptScreen& Screen() { return *screen_; }
    TZelRecords& Records() { return *records_; }
    // The message log, shared by the game script and its system script.
    TZelLogData& LogData() { return *logData_; }

    void ResetScript() override;
    bool ExecuteLine(const std::string& text) override;
    void RunFrame(int32_t elapsedMs, bool processInput) override;
    void Draw(bool interlaced, bool overlays, int32_t zLimit) override;
    void ShowFrame(bool force, bool interlaced) override;
    void ShowCells(bool force, bool interlaced) override;
    void InvalidateCells() override;
    void RefreshCells() override;
    void ToggleFrameParity() override;
    void SetPlayMode(int32_t mode) override;
    int32_t GetPlayMode() const override;
    void SkipTimeOnce() override;
    bool Save(const std::string& file, bool packed) override;
    bool Load(const std::string& file) override;
    int32_t Request() const override;
    std::string RequestArgument() const override;
    void SetAfterLoadLabel(const std::string& label) override;
    bool NoWait() const override;
    bool IsLocked(ScriptLock lock) const override;
    bool InButtonWait() const override;
    bool HasReadTextToSkip() const override;
    bool CanSceneReturn() const override;
    void SceneReturn() override;
    std::optional<std::string> CaptureScreenBmp() override;

private:
    void SetUpRecords(TEngineScript* parent, std::string saveFolder);
    // The picture and sound caches of the animations, shared by the game
    // script and its system script; they outlive every object.
    std::shared_ptr<TAnimationResources> resources_;
    // What the message windows use of the engine; it outlives every object.
    std::shared_ptr<TMessageServices> messageServices_;
    // The message log outlives both scripts and their windows; the read-label log
    // answers from the game script's records.
    std::shared_ptr<TZelLogData> logData_;
    std::unique_ptr<IMessageLog> logSink_;
    std::unique_ptr<IScriptReadLog> readLog_;
    bool isGameScript_ = true;
    // The screen outlives the script, whose object host reaches it.
    std::unique_ptr<TScriptScreen> screen_;
    std::unique_ptr<TZelScript> script_;
    std::unique_ptr<TZelRecords> records_;
    IDisplayDevice* display_ = nullptr;
    IDialogHost* dialogs_ = nullptr;
};

// The interpreter behind an engine script made by TEngineScript; null for any other.
TZelScript* ScriptOf(IEngineScript* script);

}  // namespace zel
