// The display of headless runs: the back buffer alone. Every mode exists
// (there is no screen to refuse one), presenting only keeps the books, and
// a screenshot is a PNG of the back buffer: after a present, the frame that
// a player would see.
#pragma once

#include <string>
#include <vector>

#include "platform/DisplayDevice.h"

namespace zel {

class THeadlessDisplay final : public TDDDD7 {
public:
    // Writes the back buffer as an opaque PNG (alpha forced to 255).
    bool SaveScreenshot(const std::string& path, std::string* err = nullptr) const;

protected:
    bool QueryModes(std::vector<TDisplayMode>& modes) override;
    bool OpenWindowed(int, int, int* bitDepth) override {
        *bitDepth = 32;
        return true;
    }
    bool OpenFullScreen(int, int, int) override { return true; }
    bool ShowFrame(const uint32_t*, int, const std::vector<TRowSpan>&) override { return true; }
    bool RecreateOutput() override { return true; }
};

}  // namespace zel
