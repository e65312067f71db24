#include "platform/HeadlessDisplay.h"

#include "platform/PngWriter.h"

namespace zel {

bool THeadlessDisplay::QueryModes(std::vector<TDisplayMode>& modes) {
    for (int depth : {15, 16, 24, 32}) modes.push_back({ScreenWidth(), ScreenHeight(), 60, depth});
    return true;
}

bool THeadlessDisplay::SaveScreenshot(const std::string& path, std::string* err) const {
    if (!IsInitialized() || BackBuffer().empty()) {
        if (err) *err = "the display is not open";
        return false;
    }
    return WritePngFile(path, BackBuffer().data(), ScreenWidth(), ScreenHeight(), ptrdiff_t(ScreenWidth()) * 4,
                        /*opaque=*/true, err);
}

}  // namespace zel
