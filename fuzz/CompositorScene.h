// The small scene the compositor-state target restores records into; the
// seed writer saves its records from the same scene.
#pragma once

#include <cstdint>

#include "FuzzSupport.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/Compositor.h"
#include "graphics/ImageFiles.h"

namespace zelfuzz {

struct CompositorScene {
    static constexpr int kWidth = 64, kHeight = 48;

    zel::TZelGraphic g;
    MemGameFiles files;
    uint32_t live = 0xFFC08020u;

    CompositorScene() {
        // A rule picture: alpha rising from left to right.
        zel::TARGB8888 rule;
        rule.NewImage(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) rule.Row(y)[x] = 0xFF000000u | static_cast<uint32_t>(x * 4) * 0x010101u;
        zel::TMemoryStream bmp;
        zel::SaveBmp(rule, bmp);
        files.Add("rule.bmp", bmp.View());
        g.SetScreenSize(kWidth, kHeight);
        g.SetGameFiles(&files);
        g.SetDrawCallback([this](bool drawMode, bool, int32_t limit) {
            Submit();
            g.Render(drawMode, limit);
        });
    }
    void Submit() { g.Cells().AddColourCellARGB(0, 0, kWidth, kHeight, 10, 0, live, 2); }
    void Frame(int32_t elapsed) {
        g.Advance(elapsed);
        Submit();
        g.Render(false, 0xFFFF);
        g.OutputImage();
    }
};

}  // namespace zelfuzz
