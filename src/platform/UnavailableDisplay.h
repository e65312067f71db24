// A display that cannot be opened: what the windowed engine has until a
// display implementation exists for the platform. Initialize fails, so
// start-up ends with the display error instead of running blind.
#pragma once

#include "platform/Devices.h"

namespace zel {

class TUnavailableDisplay final : public IDisplayDevice {
public:
    void SetScreenSize(int w, int h) override { w_ = w; h_ = h; }
    int ScreenWidth() const override { return w_; }
    int ScreenHeight() const override { return h_; }
    void SetMemoryTypes(int, int) override {}
    bool Initialize(bool) override { return false; }
    bool IsInitialized() const override { return false; }
    bool IsFullScreen() const override { return false; }
    bool ToggleFullScreen() override { return false; }
    uint32_t* Lock(int*) override { return nullptr; }
    void Unlock() override {}
    void MarkRows(int, int) override {}
    void MarkRowsOfParity(int, int, int) override {}
    void Present(bool) override {}
    bool Restore() override { return false; }

private:
    int w_ = 800, h_ = 600;
};

}  // namespace zel
