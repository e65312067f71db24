// A display that records what the renderer uploads: the rows marked before
// each present, so tests can see which bands went up.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "graphics/ARGB8888Lib.h"
#include "platform/Devices.h"

namespace zel::test {

class TRecordingDisplay final : public IDisplayDevice {
public:
    TRecordingDisplay(int w, int h) { SetScreenSize(w, h); }

    void SetScreenSize(int width, int height) override {
        w_ = width;
        h_ = height;
        back_.assign(static_cast<size_t>(w_) * h_, 0);
    }
    int ScreenWidth() const override { return w_; }
    int ScreenHeight() const override { return h_; }
    void SetMemoryTypes(int, int) override {}
    bool Initialize(bool) override { return true; }
    bool IsInitialized() const override { return true; }
    bool IsFullScreen() const override { return false; }
    bool ToggleFullScreen() override { return false; }
    uint32_t* Lock(int* pitch) override {
        if (failLock) return nullptr;
        *pitch = w_ * 4;
        return back_.data();
    }
    void Unlock() override {}
    void MarkRows(int top, int bottom) override {
        for (int y = top; y < bottom; ++y) marked_.insert(y);
    }
    void Present(bool) override {
        lastRows = marked_;
        marked_.clear();
        ++presents;
    }
    bool Restore() override { return true; }

    uint32_t Pixel(int x, int y) const { return back_[static_cast<size_t>(y) * w_ + x]; }
    // The 60-row bands the last present uploaded any row of.
    std::set<int> LastBands() const {
        std::set<int> b;
        for (int y : lastRows) b.insert(y / 60);
        return b;
    }

    bool failLock = false;
    int presents = 0;
    std::set<int> lastRows;

private:
    int w_ = 0, h_ = 0;
    std::vector<uint32_t> back_;
    std::set<int> marked_;
};

// An image of one colour.
inline void Solid(TARGB8888& img, int w, int h, uint32_t colour) {
    img.NewImage(w, h);
    img.FillRect(0, 0, w, h, colour);
    img.UpdateTransparency();
    img.Touch();
}

}  // namespace zel::test
