// The display of headless runs: the back buffer alone. Presents count frames
// and keep the last presented picture, which screenshots are taken from.
#pragma once

#include <vector>

#include "platform/Devices.h"

namespace zel {

class THeadlessDisplay final : public IDisplayDevice {
public:
    void SetScreenSize(int w, int h) override;
    int ScreenWidth() const override { return width_; }
    int ScreenHeight() const override { return height_; }
    void SetMemoryTypes(int, int) override {}
    bool Initialize(bool fullScreen) override;
    bool IsInitialized() const override { return init_; }
    bool IsFullScreen() const override { return full_; }
    bool ToggleFullScreen() override;
    uint32_t* Lock(int* pitchBytes) override;
    void Unlock() override {}
    void MarkRows(int top, int bottom) override;
    void Present(bool force) override;
    bool Restore() override { return true; }

    int PresentCount() const { return presents_; }
    const std::vector<uint32_t>& Presented() const { return presented_; }
    const std::vector<uint32_t>& BackBuffer() const { return back_; }
    // Rows marked changed for the last present (empty on a forced present).
    int LastDirtyTop() const { return lastTop_; }
    int LastDirtyBottom() const { return lastBottom_; }

private:
    int width_ = 800, height_ = 600;
    bool init_ = false, full_ = false;
    std::vector<uint32_t> back_, presented_;
    int dirtyTop_ = 0, dirtyBottom_ = 0, lastTop_ = 0, lastBottom_ = 0;
    int presents_ = 0;
};

}  // namespace zel
