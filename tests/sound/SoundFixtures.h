// Sound files made at test time: Ogg Vorbis through libvorbisenc, RIFF WAV by
// hand, and a game-file map for the channel sets to load them from.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "sound/uSoundLib.h"

namespace zel::test {

// Encodes interleaved 16-bit samples; comments are "NAME=value" texts.
inline std::vector<uint8_t> MakeOgg(int rate, int channels, const std::vector<int16_t>& pcm,
                                    const std::vector<std::string>& comments = {}) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_init_vbr(&vi, channels, rate, 0.3f);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const std::string& c : comments) vorbis_comment_add(&vc, c.c_str());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    std::vector<uint8_t> out;
    auto put = [&](const ogg_page& pg) {
        out.insert(out.end(), pg.header, pg.header + pg.header_len);
        out.insert(out.end(), pg.body, pg.body + pg.body_len);
    };
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
    ogg_stream_packetin(&os, &h);
    ogg_stream_packetin(&os, &hc);
    ogg_stream_packetin(&os, &hcode);
    ogg_page pg;
    while (ogg_stream_flush(&os, &pg)) put(pg);
    const size_t frames = pcm.size() / static_cast<size_t>(channels);
    size_t at = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min<size_t>(1024, frames - at);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t f = 0; f < n; ++f)
                for (int c = 0; c < channels; ++c)
                    buf[c][f] = pcm[(at + f) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            at += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &pg)) {
                    put(pg);
                    if (ogg_page_eos(&pg)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// A sine of `hz` whose amplitude follows amp(seconds) (0..1), interleaved.
template <class Amp>
std::vector<int16_t> Tone(int rate, int channels, double seconds, double hz, Amp amp) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> pcm(frames * static_cast<size_t>(channels));
    for (size_t f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        const auto s = static_cast<int16_t>(std::lround(20000.0 * amp(t) * std::sin(2 * M_PI * hz * t)));
        for (int c = 0; c < channels; ++c) pcm[f * static_cast<size_t>(channels) + static_cast<size_t>(c)] = s;
    }
    return pcm;
}

inline std::vector<int16_t> Tone(int rate, int channels, double seconds, double hz = 440) {
    return Tone(rate, channels, seconds, hz, [](double) { return 1.0; });
}

// A 44100 Hz stereo WAV file of silence.
inline std::vector<uint8_t> SilentWav(double seconds) {
    const uint32_t bytes = static_cast<uint32_t>(seconds * 44100) * 4;
    TMemoryStream s;
    s.WriteBytes("RIFF");
    s.WriteU32(36 + bytes);
    s.WriteBytes("WAVEfmt ");
    s.WriteU32(16);
    s.WriteU16(1);
    s.WriteU16(2);
    s.WriteU32(44100);
    s.WriteU32(176400);
    s.WriteU16(4);
    s.WriteU16(16);
    s.WriteBytes("data");
    s.WriteU32(bytes);
    s.SetSize(s.Size() + bytes);
    return s.TakeBytes();
}

// Game files by name, compared after lower-casing.
struct TFileMap {
    std::map<std::string, std::vector<uint8_t>> files;
    int opens = 0;
    void Add(const std::string& name, std::vector<uint8_t> bytes) { files[AsciiLower(name)] = std::move(bytes); }
    TSoundFiles Files() {
        TSoundFiles f;
        f.resolve = [this](std::string_view n) {
            const std::string k = AsciiLower(n);
            return files.count(k) ? k : std::string();
        };
        f.open = [this](std::string_view n) -> std::unique_ptr<TMemoryStream> {
            auto it = files.find(std::string(n));
            if (it == files.end()) return nullptr;
            ++opens;
            return std::make_unique<TMemoryStream>(it->second);
        };
        return f;
    }
};

}  // namespace zel::test
