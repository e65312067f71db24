// ABMP animations and WAV sounds. The first input byte chooses the reader:
// even: the rest is a ".b" file (versions 11, 10 and 7) loaded into a player,
// which then plays a few frames, draws them and changes motion; odd: the
// rest is a WAV file for the sound cache's reader.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "anim/AnimationBmpLib.h"
#include "anim/AnimationBmpText.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "sound/uWaveDataManager.h"

namespace {

class QuietSound : public zel::IAnimationSound {
public:
    void PlayEffect(const std::string&, const std::vector<uint8_t>& pcm, int32_t volume, bool) override {
        if (volume < 0 || volume > 255 || pcm.size() % 4) __builtin_trap();
    }
    void StopEffect() override {}
    int32_t VoiceLevel() override { return level_ += 37, level_ & 0xFF; }

private:
    int32_t level_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    ++data, --size;
    if (mode & 1) {
        TWaveData w;
        if (ReadWave(data, size, w) && (w.pcm.size() % 4 || w.pcm.size() > size * 4)) __builtin_trap();
        return 0;
    }
    static TAnimationResources res;
    static TARGB8888CellDraw drawer;
    static bool sized = false;
    if (!sized) drawer.SetSize(160, 120), sized = true;
    res.SetCacheSize(mode & 2 ? 0 : 0xA00000);
    QuietSound sound;
    TAnimationBmp anim(res, &sound, true);
    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    if (!anim.LoadFromStream(s, "fuzz.b")) {
        if (anim.MotionCount() != 1) __builtin_trap();  // a failed load leaves the empty animation
        return 0;
    }
    PrintAnimationText(anim.Model());
    for (int frame = 0; frame < 6; ++frame) {
        anim.Advance(frame == 3 ? 400 : 25);
        anim.Draw(drawer, 3, 4, 200, 10);
        drawer.Clear();
        anim.HitTest(10, 10);
        if (anim.HitAreas().size() > 31) __builtin_trap();
        if (frame == 2) anim.SetMotion(mode >> 4);
    }
    return 0;
}
