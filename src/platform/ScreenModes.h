// TDirectXPack: chooses the screen mode at start-up and on every switch
// between window and full screen.
//
// Mode choice (InitScreen):
//  1. A width or height outside 1..4096 becomes 800 or 600.
//  2. Window requested: a window of that size.
//  3. Full screen: with the high-colour flag at 32 bits when the device has
//     that mode, else 24; without it at 16, else 15.
//  4. No such mode, or the switch itself fails: the full-screen error is
//     shown, the full-screen flag is cleared and the choice runs again, so
//     it ends in a window.
//  5. The full-screen flag is set to what is really shown and reported.
#pragma once

#include <cstdint>

namespace zel {

class TDDDD7;

struct TScreenSettings {
    bool fullScreen = false;
    bool highColour = true;
    int32_t width = 800;
    int32_t height = 600;
};

class TDirectXPack {
public:
    static constexpr int32_t kMaxSide = 4096;
    static constexpr int32_t kDefaultWidth = 800, kDefaultHeight = 600;

    explicit TDirectXPack(TDDDD7& device) : device_(device) {}

    TScreenSettings& Settings() { return settings_; }
    const TScreenSettings& Settings() const { return settings_; }
    // The size the output gets for a configured size (rule 1).
    static int32_t ValidWidth(int32_t w) { return w >= 1 && w <= kMaxSide ? w : kDefaultWidth; }
    static int32_t ValidHeight(int32_t h) { return h >= 1 && h <= kMaxSide ? h : kDefaultHeight; }

    // Chooses and opens the mode; false when not even a window could be opened.
    bool InitScreen();
    // InitScreen between the device's beforeReset and afterReset callbacks.
    bool Reinit();
    // Negates the stored full-screen flag and calls Reinit.
    bool ToggleFullScreen();

private:
    TDDDD7& device_;
    TScreenSettings settings_;
};

}  // namespace zel
