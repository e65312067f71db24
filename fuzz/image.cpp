// Picture loading by file extension: one program per extension, chosen when
// it is built (ZEL_FUZZ_IMAGE_EXT). A decoded image keeps to the size limit.
#include <cstdint>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFileError.h"
#include "graphics/ImageFiles.h"
#include "platform/Dialogs.h"

namespace {

// Swallows the message about an undecodable JPEG.
class QuietDialogs : public zel::IDialogHost {
public:
    void Message(const std::string&, const std::string&) override {}
    int Confirm(const std::string&, const std::string&, const std::string&) override { return 0; }
    int ConfirmClose(const std::string&, const std::string&, const std::string&, const std::string&) override {
        return -1;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    static QuietDialogs dialogs;
    TARGB8888 img;
    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    try {
        if (!LoadFromStream(img, &s, "picture." ZEL_FUZZ_IMAGE_EXT, &dialogs)) __builtin_trap();
    } catch (const EZelError&) {
        return 0;
    }
    if (int64_t{img.Width()} * img.Height() > kMaxImageFilePixels) __builtin_trap();
    return 0;
}
