// The main window: caption, client size, visibility and the event queue that
// the frame loop drains before every tick. The SDL window is the real one; the
// headless window only records what was asked of it and replays scripted events.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;
union SDL_Event;

namespace zel {

struct TWindowEvent {
    enum Kind : uint8_t {
        Close,      // close request from the title bar, the system menu or the tray
        Paint,      // the client area must be redrawn
        Minimized,
        Restored,
        FocusGained,
        FocusLost,
        KeyDown,    // code = virtual-key code
        KeyUp,
        MouseMove,  // x, y in client coordinates
        MouseDown,  // code 0 left, 1 right
        MouseUp,
        Wheel,      // code = wheel steps (positive away from the player)
    };
    Kind kind;
    int32_t code = 0;
    int32_t x = 0;
    int32_t y = 0;
};

class IWindow {
public:
    virtual ~IWindow() = default;
    virtual void SetCaption(const std::string& sjisCaption) = 0;
    virtual std::string Caption() const = 0;
    virtual void SetClientSize(int width, int height) = 0;
    virtual void CentreOnDesktop() = 0;
    virtual void Show() = 0;
    virtual void Close() = 0;
    virtual bool IsShowing() const = 0;
    virtual bool IsActive() const = 0;
    virtual bool IsMinimized() const = 0;
    virtual void Minimize() = 0;
    // Moves pending events into out (appending).
    virtual void PollEvents(std::vector<TWindowEvent>& out) = 0;
};

// A window that exists only in memory. Events are queued by the caller.
class THeadlessWindow final : public IWindow {
public:
    void SetCaption(const std::string& c) override { caption_ = c; }
    std::string Caption() const override { return caption_; }
    void SetClientSize(int w, int h) override { width_ = w; height_ = h; }
    void CentreOnDesktop() override {}
    void Show() override { showing_ = true; }
    void Close() override { showing_ = false; closed_ = true; }
    bool IsShowing() const override { return showing_; }
    bool IsActive() const override { return active_ && showing_; }
    bool IsMinimized() const override { return minimized_; }
    void Minimize() override {
        minimized_ = true;
        events_.push_back({TWindowEvent::Minimized});
    }
    void PollEvents(std::vector<TWindowEvent>& out) override {
        out.insert(out.end(), events_.begin(), events_.end());
        events_.clear();
    }

    void Queue(TWindowEvent e) { events_.push_back(e); }
    void SetActive(bool a) { active_ = a; }
    void SetMinimized(bool m) { minimized_ = m; }
    bool WasClosed() const { return closed_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    std::string caption_;
    int width_ = 0, height_ = 0;
    bool showing_ = false, active_ = true, minimized_ = false, closed_ = false;
    std::deque<TWindowEvent> events_;
};

// An SDL2 window. The window is created hidden at construction and shown by Show.
class TSdlWindow final : public IWindow {
public:
    // Returns nullptr (and the SDL error in err) when no window can be made.
    static std::unique_ptr<TSdlWindow> Create(std::string* err);
    ~TSdlWindow() override;
    TSdlWindow(const TSdlWindow&) = delete;
    TSdlWindow& operator=(const TSdlWindow&) = delete;

    void SetCaption(const std::string& c) override;
    std::string Caption() const override { return caption_; }
    void SetClientSize(int w, int h) override;
    void CentreOnDesktop() override;
    void Show() override;
    void Close() override;
    bool IsShowing() const override { return showing_; }
    bool IsActive() const override;
    bool IsMinimized() const override;
    void Minimize() override;
    void PollEvents(std::vector<TWindowEvent>& out) override;

    SDL_Window* Handle() const { return window_; }
    // Sees every SDL event PollEvents drains, before it is turned into
    // window events (the input mapping reads keys, buttons and pads here).
    std::function<void(const SDL_Event&)> rawEvents;

private:
    explicit TSdlWindow(SDL_Window* w) : window_(w) {}
    SDL_Window* window_;
    std::string caption_;
    bool showing_ = false;
};

}  // namespace zel
