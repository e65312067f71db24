// A message window's saved state on arbitrary bytes: the bytes follow a
// valid image-object state (so the message block itself is what varies), and
// a window that loads them must then type, turn pages and save again.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "anim/AnimationBmpLib.h"
#include "anim/MessageLib.h"
#include "base/MemStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    TAnimationResources res;
    static const std::string image = [] {
        TAnimationResources r;
        TImageLib img(nullptr, r);
        TMemoryStream s;
        img.SaveState(s);
        const auto& b = s.Bytes();
        return std::string(b.begin(), b.end());
    }();
    std::string bytes = image;
    bytes.append(reinterpret_cast<const char*>(data), size);
    TMemoryStream in(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    TMessageLib win(nullptr, res);
    if (!win.LoadState(in)) return 0;
    for (int i = 0; i < 2000 && !win.Step(false); ++i)
        if (win.State() == TMessageLib::kPageFull) win.Click(1);
    win.Finish();
    TMemoryStream out;
    win.SaveState(out);
    return 0;
}
