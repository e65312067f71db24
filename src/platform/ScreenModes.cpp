#include "platform/ScreenModes.h"

#include <string>

#include "platform/DisplayDevice.h"

namespace zel {

bool TDirectXPack::InitScreen() {
    TScreenSettings& s = settings_;
    s.width = ValidWidth(s.width);
    s.height = ValidHeight(s.height);
    bool ok = false;
    // At most two rounds: a failed full-screen round always falls back to a window.
    for (int round = 0; round < 2; ++round) {
        if (!s.fullScreen) {
            ok = device_.InitWindowed(s.width, s.height);
            break;
        }
        int depth = 0;
        if (s.highColour)
            depth = device_.HasMode(s.width, s.height, 0, 32) ? 32 : device_.HasMode(s.width, s.height, 0, 24) ? 24 : 0;
        else
            depth = device_.HasMode(s.width, s.height, 0, 16) ? 16 : device_.HasMode(s.width, s.height, 0, 15) ? 15 : 0;
        if (depth != 0 && device_.InitFullScreen(s.width, s.height, depth)) {
            ok = true;
            break;
        }
        device_.Log(depth == 0 ? "no full-screen mode of " + std::to_string(s.width) + "x" + std::to_string(s.height)
                               : "full screen could not be set; opening a window");
        if (device_.fullScreenError) device_.fullScreenError();
        s.fullScreen = false;
    }
    s.fullScreen = device_.IsFullScreen();
    if (device_.fullScreenChanged) device_.fullScreenChanged(s.fullScreen);
    return ok;
}

bool TDirectXPack::Reinit() {
    if (device_.beforeReset) device_.beforeReset();
    const bool ok = InitScreen();
    if (device_.afterReset) device_.afterReset();
    return ok;
}

bool TDirectXPack::ToggleFullScreen() {
    settings_.fullScreen = !settings_.fullScreen;
    return Reinit();
}

}  // namespace zel
