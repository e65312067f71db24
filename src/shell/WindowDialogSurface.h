// Where the engine's dialogs appear in a windowed (or full-screen) game: in
// the game window itself. A dialog is drawn over the picture the display
// shows, written into the display's back buffer and presented; while it
// waits it reads the window's SDL events itself (mouse, keyboard, IME text
// and game pads) and turns them into kit events.
//
// Pointer positions arrive in game pixels: the display's renderer has a
// logical size, so SDL maps window pixels through the letterbox before the
// events are queued. The text-input rectangle goes the other way, game
// pixels to window pixels, for the IME's candidate window.
//
// A close request (the title bar, SDL_QUIT) ends the wait (the dialog takes
// its close answer) and is queued again once the dialog is done, so the
// game's own close path still runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "screens/KitDialogHost.h"

union SDL_Event;

namespace zel {

class IDisplayDevice;
class TFontTable;
class TSdlWindow;

class TWindowDialogSurface final : public IDialogSurface {
public:
    // Both must outlive the surface.
    TWindowDialogSurface(TSdlWindow& window, IDisplayDevice& display);
    ~TWindowDialogSurface() override;
    TWindowDialogSurface(const TWindowDialogSurface&) = delete;
    TWindowDialogSurface& operator=(const TWindowDialogSurface&) = delete;

    // The font the dialogs are drawn with (the run's font table); none: not
    // ready, the fallback answers.
    void SetFonts(std::shared_ptr<TFontTable> fonts) { fonts_ = std::move(fonts); }
    TFontTable* Fonts() const { return fonts_.get(); }

    // Every SDL event a dialog reads is handed on here too, so that the
    // input mapping keeps its pads and its idea of the pointer.
    std::function<void(const SDL_Event&)> passOn;
    // Called once the outermost dialog has its answer: the game forgets the
    // input the dialog used and does not count its time as frame time.
    std::function<void()> finished;
    // How long one wait for input lasts at most (milliseconds).
    int waitMs = 50;

    bool Ready() const override;
    void Capture(TARGB8888& into) override;
    void Show(const TARGB8888& frame) override;
    bool Wait(std::vector<TKitEvent>& out) override;
    void SetTextInput(bool on, const TKitRect& field) override;
    void Finished() override;

    // One SDL event as the dialog sees it (appended to out); false for a
    // close request.
    bool Translate(const SDL_Event& e, std::vector<TKitEvent>& out);

private:
    void Begin();

    TSdlWindow& window_;
    IDisplayDevice& display_;
    std::shared_ptr<TFontTable> fonts_;
    bool open_ = false;         // between the first capture and Finished
    bool forceShow_ = false;    // the next Show hands over every row
    bool closeAsked_ = false;   // a close request waits to be queued again
    bool cursorWasShown_ = true, textWasOn_ = false, textOn_ = false;
    bool composing_ = false, committed_ = false;
    uint32_t committedAt_ = 0;
};

}  // namespace zel
