// The main window's life: the start-up sequence, the idle callback that
// drives the frame loop, the close flow and the ordered shutdown. The window,
// dialogs, clock and devices are handed in, so the same code runs with SDL
// and headless.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/Errors.h"
#include "shell/ZelSystemLib.h"

namespace zel {

// A fatal start-up failure: the process ends with exit status 2 after the
// message (key or built-in text) has been shown.
class EFatalStartup : public EFatal {
public:
    explicit EFatalStartup(const std::string& what) : EFatal(what) {}
};

// Everything the engine builds that later subsystems provide. Each factory
// may be empty: start-up then stops where the missing piece is needed.
struct TEngineFactory {
    std::function<std::unique_ptr<IGameStorage>()> makeStorage;
    // Fills the parts of TZelSystem once storage and devices exist.
    std::function<TZelSystemParts(IGameStorage& storage, const TPlatform& platform)> makeParts;
    // The start-up settings dialog; returns false when the player left it without confirming.
    std::function<bool()> startupDialog;
};

class TMainWindow {
public:
    TMainWindow(TPlatform platform, TEngineFactory factory, std::string gameRoot);
    // Where the player's settings, the saves and the crash-recovery save go
    // (see platform/DataFolders.h); the game root until set.
    void SetWritableRoot(std::string root) { writable_ = std::move(root); }
    ~TMainWindow();
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    // One run of the idle callback. Returns false once the window has closed.
    // Fatal start-up failures raise EFatalStartup.
    bool Idle();
    // A close request from the title bar, the system menu or the tray.
    void RequestClose();
    // Window events (close, paint, minimize) drained from the window.
    void PumpEvents();
    bool Closed() const { return closed_; }
    TZelSystem* System() const { return system_.get(); }
    IGameStorage* Storage() const { return storage_.get(); }
    // Shuts down in the engine's order; also run by the destructor.
    void Shutdown();

private:
    void StartUp();
    [[noreturn]] void Fatal(const std::string& key);
    [[noreturn]] void FatalText(const std::string& sjisText);
    std::string HostPath(const std::string& relative) const;
    std::string WritablePath(const std::string& relative) const;

    TPlatform platform_;
    TEngineFactory factory_;
    std::string root_;
    std::string writable_;
    int state_ = 0;
    bool busy_ = false;
    bool closing_ = false;
    bool closed_ = false;
    bool shutDown_ = false;
    std::unique_ptr<IGameStorage> storage_;
    std::unique_ptr<TZelSystem> system_;
};

}  // namespace zel
