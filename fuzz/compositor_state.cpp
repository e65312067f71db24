// The compositor's saved state (transition block and JPEG pictures) restored
// into a small scene, which must then run frames. A restored state saves to
// a record that restores again; a refused one leaves the compositor as it was.
#include <cstdint>
#include <vector>

#include "CompositorScene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    // Two scenes live across inputs (building one costs more than a run):
    // each input starts from a reset compositor and a captured frame.
    static zelfuzz::CompositorScene scene, again;
    scene.g.Reset();
    scene.Frame(0);
    scene.g.Capture(0xFFFF);
    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    try {
        scene.g.LoadState(s);
    } catch (const EZelError&) {
        if (scene.g.Kind() != tkFrozen) __builtin_trap();
        return 0;
    }
    for (int32_t step : {0, 17, 400, 5000}) scene.Frame(step);

    TMemoryStream saved;
    scene.g.SaveState(saved);
    saved.Rewind();
    again.g.Reset();
    try {
        again.g.LoadState(saved);
    } catch (const EZelError&) {
        __builtin_trap();
    }
    again.Frame(16);
    return 0;
}
