// The sound part of a save: 15 effect records then 16 stream records, read
// all or nothing. A state that loads is saved and loaded again. The game
// files hold "se.wav" (a short WAV) and "bgm.ogg" (bytes that are not Ogg),
// so restored records reach both the loading and the failing paths.
#include <cstdint>
#include <memory>

#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "sound/Sound.h"
#include "sound/SoundDevice.h"

namespace {

std::vector<uint8_t> Wav() {
    zel::TMemoryStream s;
    s.WriteBytes("RIFF");
    s.WriteU32(36 + 400);
    s.WriteBytes("WAVEfmt ");
    s.WriteU32(16);
    s.WriteU16(1);
    s.WriteU16(2);
    s.WriteU32(44100);
    s.WriteU32(176400);
    s.WriteU16(4);
    s.WriteU16(16);
    s.WriteBytes("data");
    s.WriteU32(400);
    s.SetSize(s.Size() + 400);
    return s.TakeBytes();
}

struct TScene {
    zel::TDDSD7 dev{nullptr};
    zel::TFixedStepClock clock;
    std::vector<uint8_t> wav = Wav(), notOgg = std::vector<uint8_t>(64, 'x');
    std::unique_ptr<zel::TSound> sound;
    TScene() {
        zel::TSoundFiles f;
        f.resolve = [](std::string_view n) {
            const std::string k = zel::AsciiLower(n);
            return k == "se.wav" || k == "bgm.ogg" ? k : std::string();
        };
        f.open = [this](std::string_view n) {
            return std::make_unique<zel::TMemoryStream>(n == "se.wav" ? wav : notOgg);
        };
        sound = std::make_unique<zel::TSound>(dev, f, clock, 0x4000);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScene scene;
    zel::ClearErrors();
    zel::TMemoryStream in(std::vector<uint8_t>(data, data + size));
    try {
        scene.sound->LoadState(in);
    } catch (const zel::EStreamError&) {
        if (in.Position() != 0) __builtin_trap();  // a refused state is not half read
        return 0;
    }
    std::vector<int16_t> out(2 * 0x1000);
    scene.dev.Pull(out.data(), 0x1000);
    zel::TMemoryStream saved;
    scene.sound->SaveState(saved);
    saved.Rewind();
    scene.sound->LoadState(saved);
    scene.sound->StopAll();
    return 0;
}
