// TZelSystem: the engine system object. It owns every long-lived subsystem
// (the game and system scripts, sound, input, the built-in screens, the movie
// player), runs one frame per Tick in the current mode, carries out the
// request a script leaves after its frame, and serves the pseudo files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/ShellInterfaces.h"

namespace zel {

class IClock;
class IDialogHost;
class IDisplayDevice;
class ISoundDevice;
class IWindow;
class TMemoryStream;
struct TLiveInput;

// The platform stand-ins the engine runs on (each may be null in tests).
struct TPlatform {
    IWindow* window = nullptr;
    IClock* clock = nullptr;
    IDialogHost* dialogs = nullptr;
    IDisplayDevice* display = nullptr;
    ISoundDevice* sound = nullptr;
    // The live keyboard, mouse and pad state that the window's events (or
    // the headless input script) fill; none: the engine reads no input.
    TLiveInput* input = nullptr;
};

class TZelSystem;

// What Setup builds the subsystems from. Every member may be empty: a part
// that does not exist is reported when a path needs it.
struct TZelSystemParts {
    // Creates and initialises a script interpreter; parent is null for the
    // game script. Returns null when Init fails.
    std::function<std::unique_ptr<IEngineScript>(TZelSystem& sys, IEngineScript* parent)> makeScript;
    std::unique_ptr<ISoundSystem> sound;
    std::unique_ptr<IInputDevice> input;
    std::unique_ptr<IScreen> menu, logScreen, fileSelect;
    std::unique_ptr<IConfigScreen> config;
    std::unique_ptr<IMoviePlayer> movie;
    std::unique_ptr<ILogData> logData;
    // Loads the random, voice and font tables through the file lookup.
    std::function<void(IGameFiles&)> loadTables;
    // Shows the quick-load list; the chosen file name, or empty.
    std::function<std::string()> quickLoadDialog;
    // The thumbnail of a save file (its host path) as a BMP file image.
    std::function<std::optional<std::string>(const std::string& path)> saveThumbnailBmp;
    // Paints the script-error screen over the presented frame.
    std::function<void(const std::vector<std::string>& lines)> paintErrorScreen;
};

class TZelSystem {
public:
    TZelSystem(IClock& clock, IDialogHost& dialogs, IGameStorage* storage, std::string saveFolder);
    ~TZelSystem();
    TZelSystem(const TZelSystem&) = delete;
    TZelSystem& operator=(const TZelSystem&) = delete;

    bool Setup(const TPlatform& platform, TZelSystemParts parts);
    void Start();
    // One turn of the frame loop: the mode after the frame when a frame ran, else 0.
    uint8_t Tick();
    bool LastTickRanFrame() const { return ranFrame_; }
    // Headless runs: every Tick runs a frame of exactly ms milliseconds
    // (0 = real pacing from the clock).
    void SetFixedFrameStep(int32_t ms) { fixedStep_ = ms; }
    void Present(bool force);
    void Reset(const std::string& label = {}, const std::string& file = {});
    bool RunSystemScript(const std::string& label);
    void SetActive(bool active);
    bool Active() const { return active_; }
    void SetMode(SystemMode mode, int32_t argument = 0);
    SystemMode Mode() const { return mode_; }
    int32_t ModeArgument() const { return modeArg_; }
    int32_t FramesInMode() const { return framesInMode_; }
    bool ErrorScreenShown() const { return errorScreen_ == 3; }
    IEngineScript* CurrentScript() const;
    IEngineScript* GameScript() const { return game_.get(); }
    IEngineScript* SystemScriptObj() const { return system_.get(); }
    IMoviePlayer* MoviePlayer() const { return movie_.get(); }
    bool MoviePlaying() const;
    // Host folder of the save files and the system data.
    const std::string& SaveFolder() const { return saveFolder_; }

    bool PseudoFileExists(const std::string& name);
    std::unique_ptr<TMemoryStream> OpenPseudoFile(const std::string& name);
    void BeforeDisplayReset();
    void AfterDisplayReset();
    // A dialog in the game window has been answered: the time it was open
    // is not frame time, and the input it took is not the game's.
    void DialogClosed();

    // The window-caption statistics (for tests).
    int32_t AverageWorkTime() const { return avgWork_; }

private:
    void RunModeHandler(int32_t elapsed);
    void ScriptFrame(int32_t elapsed);
    void CarryOutRequest(IEngineScript& s, int32_t req, const std::string& arg);
    void MenuFrame(int32_t elapsed);
    void LogFrame(int32_t elapsed);
    void FileSelectFrame(int32_t elapsed, bool save);
    void QuickSave();
    void QuickLoad();
    void SelectionLoad();
    void DoSceneReturn();
    void ToggleScreen();
    void OnEntry();
    void ClearCursorHide();
    void PollInput();
    void UpdateCaption(int32_t elapsed, uint64_t workMs);
    std::optional<std::string> ThreadImage(IEngineScript* s, bool overlays, int32_t zLimit);
    bool SaveFileExists(const std::string& name) const;
    // Reports once per kind that a built-in part is not available.
    void Missing(const char* what);

    IClock& clock_;
    IDialogHost& dialogs_;
    IGameStorage* storage_;
    std::string saveFolder_;

    bool initialised_ = false;
    bool active_ = false;
    std::unique_ptr<TMemoryStream> savedMovie_;
    TPlatform platform_;
    std::unique_ptr<ISoundSystem> sound_;
    std::unique_ptr<IInputDevice> input_;
    std::unique_ptr<IEngineScript> game_, system_;
    std::unique_ptr<IScreen> menu_, logScreen_, fileSelect_;
    std::unique_ptr<IConfigScreen> config_;
    std::unique_ptr<ILogData> logData_;
    std::unique_ptr<IMoviePlayer> movie_;
    TZelSystemParts hooks_;
    SystemMode mode_ = SystemMode::Idle;
    uint8_t errorScreen_ = 0;
    int32_t framesInMode_ = 0;
    int32_t modeArg_ = 0;
    uint64_t lastFrameTime_ = 0;
    int32_t captionAcc_ = 0;
    int32_t avgWork_ = 0;
    bool ranFrame_ = false;
    int32_t fixedStep_ = 0;
    std::vector<std::string> reportedMissing_;
};

}  // namespace zel
