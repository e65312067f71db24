// The saved states of buttons, selectable lists and scroll bars on arbitrary
// bytes. The first byte picks the widget; for buttons and lists the bytes
// follow a valid message-window state (so their own part is what varies),
// for scroll bars they are the bar's block, followed by two valid image
// states. A widget that loads them must then update, take clicks, draw and
// save again.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "anim/AnimationBmpLib.h"
#include "anim/ButtonLib.h"
#include "anim/ScrollBarLib.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"

namespace {

template <class T>
std::vector<uint8_t> Saved(const T& widget) {
    zel::TMemoryStream s;
    widget.SaveState(s);
    return s.TakeBytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    if (size < 1) return 0;
    zelfuzz::ResetErrors();
    TAnimationResources res;
    static const std::vector<uint8_t> window = [] {
        TAnimationResources r;
        return Saved(TMessageLib(nullptr, r));
    }();
    static const std::vector<uint8_t> image = [] {
        TAnimationResources r;
        return Saved(TImageLib(nullptr, r));
    }();
    const uint8_t pick = data[0] % 3;
    std::vector<uint8_t> bytes(data + 1, data + size);
    TARGB8888CellDraw cells;
    cells.SetSize(64, 64);
    if (pick == 0 || pick == 1) bytes.insert(bytes.begin(), window.begin(), window.end());
    if (pick == 0) {
        TButtonLib b(nullptr, res);
        TMemoryStream in(bytes);
        if (!b.LoadState(in)) return 0;
        b.Update(255, 10);
        b.ClickAt(255, 1, 1);
        b.SetChecked(!b.Checked());
        b.Draw(cells, 255, 0, 0);
        Saved(b);
    } else if (pick == 1) {
        TMessageSelect l(nullptr, res);
        TMemoryStream in(bytes);
        if (!l.LoadState(in)) return 0;
        l.Update(255, 10);
        l.SetMouse(255, 1, 1);
        l.ClickRow(255);
        l.Draw(cells, 255, 0, 0);
        l.AddRow(0xFF000000u);
        Saved(l);
    } else {
        bytes.resize(TImageScrollBar::kStateSize);
        bytes.insert(bytes.end(), image.begin(), image.end());
        bytes.insert(bytes.end(), image.begin(), image.end());
        TImageScrollBar bar(nullptr, res);
        TMemoryStream in(bytes);
        if (!bar.LoadState(in)) return 0;
        bar.Update(255, 10);
        bar.ClickAt(255, 1, 1);
        bar.SetValue(bar.Value() + 1);
        bar.Draw(cells, 255, 0, 0);
        Saved(bar);
    }
    cells.Render(0xFF000000u, false, 0xFFFF);
    return 0;
}
