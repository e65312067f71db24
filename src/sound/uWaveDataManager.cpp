#include "sound/uWaveDataManager.h"

#include <cstring>

#include "sound/OggWholeDecoder.h"

namespace zel {
namespace {

uint32_t U32At(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool IdIs(const uint8_t* p, const char* id) {
    for (int i = 0; i < 4; ++i) {
        uint8_t c = p[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
        if (c != static_cast<uint8_t>(id[i])) return false;
    }
    return true;
}

// Samples of 16 bits in `channels` channels at `rate` Hz to 44100 Hz stereo.
void ConvertFrames(const uint8_t* in, size_t bytes, int channels, uint32_t rate, std::vector<uint8_t>& out) {
    const size_t inFrame = static_cast<size_t>(channels) * 2;
    const size_t frames = bytes / inFrame;
    const int repeat = rate == 22050 ? 2 : 1;
    out.resize(frames * 4 * repeat);
    uint8_t* o = out.data();
    for (size_t f = 0; f < frames; ++f) {
        const uint8_t* s = in + f * inFrame;
        uint8_t frame[4] = {s[0], s[1], channels == 2 ? s[2] : s[0], channels == 2 ? s[3] : s[1]};
        for (int r = 0; r < repeat; ++r, o += 4) std::memcpy(o, frame, 4);
    }
}

}  // namespace

bool ReadWave(const uint8_t* data, size_t size, TWaveData& out) {
    size_t pos = 0;
    int channels = 0;
    uint32_t rate = 0;
    auto left = [&] { return size - pos; };
    while (left() >= 8) {
        const uint8_t* id = data + pos;
        const uint32_t chunk = U32At(data + pos + 4);
        pos += 8;
        if (IdIs(id, "riff")) {
            if (left() < 4 || !IdIs(data + pos, "wave")) return false;
            pos += 4;  // the walk goes on inside the form
        } else if (IdIs(id, "fmt ")) {
            if (chunk < 16 || chunk > left()) return false;
            const uint8_t* f = data + pos;
            const uint16_t tag = U16At(f), ch = U16At(f + 2), bits = U16At(f + 14);
            const uint32_t hz = U32At(f + 4);
            if (tag != 1 || (ch != 1 && ch != 2) || (hz != 44100 && hz != 22050) || bits != 16) return false;
            channels = ch;
            rate = hz;
            pos += chunk;
        } else if (IdIs(id, "fact")) {
            if (chunk > left()) return false;
            pos += chunk;
        } else if (IdIs(id, "data")) {
            if (channels == 0) return false;  // samples of no known format
            const size_t n = chunk < left() ? chunk : left();
            TWaveData w;
            ConvertFrames(data + pos, n, channels, rate, w.pcm);
            out = std::move(w);
            return true;
        } else {
            return false;
        }
    }
    out.pcm.clear();
    return true;
}

std::unique_ptr<TWaveData> TWaveDataManager::Decode(const uint8_t* data, size_t size, const std::string& key) {
    const size_t dot = key.rfind('.');
    const std::string_view ext = dot == std::string::npos ? std::string_view() : std::string_view(key).substr(dot);
    auto w = std::make_unique<TWaveData>();
    if (ext == ".wav") {
        if (!ReadWave(data, size, *w)) return nullptr;
    } else if (ext == ".ogg") {
        if (!DecodeOggWhole(data, size, w->pcm)) return nullptr;
    } else {
        return nullptr;
    }
    return w;
}

}  // namespace zel
