#include "shell/MainWindow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/Devices.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "shell/SystemConfigLib.h"

namespace zel {

TMainWindow::TMainWindow(TPlatform platform, TEngineFactory factory, std::string gameRoot)
    : platform_(platform), factory_(std::move(factory)), root_(std::move(gameRoot)) {
    // Window creation: the plain message table of the game folder, if any.
    std::string text;
    if (ReadWholeFile(HostPath("GameData/System/Message.Dat"), text)) Messages().Load(text);
    if (platform_.dialogs) platform_.dialogs->SetTitle("Untitle");
}

TMainWindow::~TMainWindow() { Shutdown(); }

std::string TMainWindow::HostPath(const std::string& relative) const {
    return root_.empty() ? relative : root_ + "/" + relative;
}

std::string TMainWindow::WritablePath(const std::string& relative) const {
    if (writable_.empty()) return HostPath(relative);
    return writable_ + "/" + relative;
}

void TMainWindow::FatalText(const std::string& sjisText) {
    const std::string ok = Sj("ＯＫ");
    platform_.dialogs->Message(sjisText, ok);
    throw EFatalStartup(SjisToUtf8(sjisText));
}

void TMainWindow::Fatal(const std::string& key) {
    const std::string text = Messages().Text(key);
    platform_.dialogs->Message(text, Messages().Text("OK"));
    // A game without that text in its table still deserves to know why it ended.
    throw EFatalStartup(text.empty() ? "start-up failed (" + key + ")" : SjisToUtf8(text));
}

void TMainWindow::StartUp() {
    TSystemData& cfg = ActiveSettings();
    // S1: SSE2 (and with it everything the pixel code needs) is the x86-64 baseline.
    // S2: game data storage.
    if (factory_.makeStorage) storage_ = factory_.makeStorage();
    if (!storage_ || !storage_->OpenGamePacks(HostPath("GameData")))
        FatalText(Sj("起動に必要なデータがみつからないため起動できません。"));
    // S3: the message table from the game data.
    for (const char* name : {"System\\etc\\Message.dat", "System\\etc\\Message.txt"}) {
        if (auto s = storage_->OpenGameFile(name)) {
            Messages().Load(s->View());
            break;
        }
    }
    // S4: system settings and defaults.
    auto game = storage_->OpenGameFile("System\\etc\\Game.dat");
    if (!game) FatalText(Sj("設定に必要なデータがみつからないため起動できません。"));
    LoadSystemSettings(cfg, game->View());
    if (auto d = storage_->OpenGameFile("System\\etc\\Config.txt")) LoadUserSettings(DefaultSettings(), d->View());
    platform_.dialogs->SetTitle(cfg.GameTitle);
    platform_.window->SetCaption(cfg.GameTitle);
    // S5: the system-information module is linked in.
    // S6-S9: user settings, forced window mode, the start-up dialog.
    // The player's settings: the writable copy when there is one, else what
    // the game folder holds; written back to the writable place.
    const std::string userConfig = WritablePath("GameData/System/config.txt");
    LoadUserSettingsFile(cfg, HostFileExists(userConfig) ? userConfig : HostPath("GameData/System/config.txt"));
    ::mkdir(WritablePath("GameData").c_str(), 0755);
    ::mkdir(WritablePath("GameData/System").c_str(), 0755);
    if (cfg.ConfigForceWindowMode) cfg.FullScreen = 0;
    if (!cfg.ConfigStartupSkip && factory_.startupDialog) {
        if (!factory_.startupDialog()) {
            SaveUserSettingsFile(cfg, WritablePath("GameData/System/config.txt"));
            throw EFatalStartup("start-up settings dialog cancelled");
        }
        platform_.clock->NowMs();
    }
    SaveUserSettingsFile(cfg, WritablePath("GameData/System/config.txt"));
    // S10: archive checksums.
    storage_->SetPackChecksumCheck(cfg.CRCCheck == 1, [this] { Fatal("CRCCHECKERROR"); });
    // S11: screen and window size.
    platform_.display->SetScreenSize(cfg.ScreenWidth, cfg.ScreenHeight);
    platform_.window->SetClientSize(cfg.ScreenWidth, cfg.ScreenHeight);
    platform_.window->CentreOnDesktop();
    // No pause for a repaint here: the window is still hidden, and it is
    // drawn once it is shown.
    // S12: Ogg decoding and regular expressions are linked in; the line rewriter is loaded with the reader.
    // S13: surface memory.
    if (cfg.SurfaceMemory == 0) platform_.display->SetMemoryTypes(0, 0);
    else if (cfg.SurfaceMemory == 1) platform_.display->SetMemoryTypes(2, 2);
    // S14: devices.
    platform_.display->SetHighColour(cfg.ColorMode != 0);
    if (!platform_.display->Initialize(cfg.FullScreen == 1)) Fatal("DirectDrawERROR");
    if (!platform_.sound->Initialize()) Fatal("DirectSoundERROR");
    // S15: the engine system.
    system_ = std::make_unique<TZelSystem>(*platform_.clock, *platform_.dialogs, storage_.get(), WritablePath("SaveData"));
    TZelSystemParts parts;
    if (factory_.makeParts) parts = factory_.makeParts(*storage_, platform_);
    if (!system_->Setup(platform_, std::move(parts))) Fatal("EngineSetupERROR");
    // S16: the tray icon does nothing on this platform; minimizing is handled in PumpEvents.
    // S17: show and start.
    platform_.window->Show();
    state_ = 1;
    system_->Start();
}

bool TMainWindow::Idle() {
    if (closed_) return false;
    if (busy_) return true;
    busy_ = true;
    struct Unbusy {
        bool& b;
        ~Unbusy() { b = false; }
    } unbusy{busy_};
    if (closing_) {
        platform_.window->Close();
        closed_ = true;
        return false;
    }
    if (state_ == 0) {
        StartUp();
        return true;
    }
    try {
        if (system_->Tick() == static_cast<uint8_t>(SystemMode::Exit)) {
            closing_ = true;
            platform_.window->Close();
            closed_ = true;
            return false;
        }
    } catch (const EFatal&) {
        throw;  // the program ends (start-up, a display that cannot be restored)
    } catch (const std::exception& e) {
        // An error nobody caught: show it, abandon the frame, keep it on the
        // error list, and go on with the next frame.
        platform_.dialogs->Message(e.what(), Messages().Text("OK"));
        ReportError(e.what());
    }
    return true;
}

void TMainWindow::RequestClose() {
    if (closing_ || !system_) {
        closing_ = true;
        return;
    }
    const std::string& label = ActiveSettings().FormCloseEventLabel;
    if (label.empty()) {
        busy_ = true;
        const TMessageTable& m = Messages();
        const int r = platform_.dialogs->ConfirmClose(m.Text("APPCLOSE_Text"), m.Text("APPCLOSE_Exit"),
                                                      m.Text("APPCLOSE_Cancel"), m.Text("APPCLOSE_Reset"));
        busy_ = false;
        if (r == 0) system_->Reset();
        if (r == 1) closing_ = true;
        return;
    }
    // While a movie plays the window closes without asking.
    if (system_->MoviePlaying()) {
        closing_ = true;
        return;
    }
    system_->RunSystemScript(label);
}

void TMainWindow::PumpEvents() {
    std::vector<TWindowEvent> events;
    platform_.window->PollEvents(events);
    for (const TWindowEvent& e : events) {
        switch (e.kind) {
            case TWindowEvent::Close: RequestClose(); break;
            case TWindowEvent::Paint:
                if (system_) system_->Present(true);
                break;
            case TWindowEvent::Minimized:
            case TWindowEvent::Restored:
                if (system_ && ActiveSettings().MinimizeSystemStop == 1)
                    system_->SetActive(e.kind == TWindowEvent::Restored);
                break;
            default: break;
        }
    }
}

void TMainWindow::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (system_) {
        SaveUserSettingsFile(ActiveSettings(), WritablePath("GameData/System/config.txt"));
        ::unlink(WritablePath("SaveData/BackUpSaveData.svd").c_str());
    }
    system_.reset();
    if (storage_) storage_->CloseGamePacks();
    storage_.reset();
}

}  // namespace zel
