// Synthesises the demo game's music and sound effect as Ogg Vorbis files.
//
// Build and run from the repository root (needs libvorbis-dev, which the
// engine's build installs anyway; the files it writes are committed, so the
// build itself never runs this):
//   g++ -O2 -std=c++20 games/demo/tools/make_sounds.cpp -o /tmp/make_sounds -lvorbisenc -lvorbis -logg
//   /tmp/make_sounds games/demo/sound
//
// music.ogg: 22.05 kHz mono, a two-second intro and a ten-second phrase, with
// the loop tag "*looptime,0,2.0,12.0" so the engine repeats the phrase.
// click.ogg: a short soft click for buttons and choices.
//
// Voices: games/demo/tools/make_voices.sh speaks the voiced lines with
// espeak-ng into WAV files and turns each into Ogg with
//   /tmp/make_sounds --voice IN.wav OUT.ogg
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

bool WriteOgg(const std::string& path, const std::vector<float>& samples, int rate, const char* comment) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, rate, 0.1f) != 0) return false;
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "zel demo make_sounds");
    if (comment) vorbis_comment_add_tag(&vc, "COMMENT", comment);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 20261210);
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
    ogg_stream_packetin(&os, &h);
    ogg_stream_packetin(&os, &hc);
    ogg_stream_packetin(&os, &hcode);
    ogg_page og;
    while (ogg_stream_flush(&os, &og)) {
        std::fwrite(og.header, 1, og.header_len, out);
        std::fwrite(og.body, 1, og.body_len, out);
    }
    size_t at = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min<size_t>(1024, samples.size() - at);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i) buf[0][i] = samples[at + i];
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            at += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    std::fwrite(og.header, 1, og.header_len, out);
                    std::fwrite(og.body, 1, og.body_len, out);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    std::fclose(out);
    return true;
}

// A soft plucked note: a few harmonics under an exponential decay.
void Note(std::vector<float>& out, int rate, double start, double length, double freq, double level) {
    const size_t from = static_cast<size_t>(start * rate), count = static_cast<size_t>(length * rate);
    for (size_t i = 0; i < count && from + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double env = std::exp(-3.0 * t / length) * std::min(1.0, t * 200.0);
        const double w = 2 * M_PI * freq * t;
        out[from + i] += static_cast<float>(level * env * (std::sin(w) + 0.3 * std::sin(2 * w) + 0.1 * std::sin(3 * w)));
    }
}

// A 16-bit PCM WAV file (mono or the first channel), as floats.
bool ReadWav(const std::string& path, std::vector<float>& out, int& rate) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    std::vector<unsigned char> b;
    unsigned char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) b.insert(b.end(), buf, buf + n);
    std::fclose(in);
    auto u32 = [&](size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<unsigned>(b[at + 3]) << 24; };
    auto u16 = [&](size_t at) { return static_cast<unsigned>(b[at] | b[at + 1] << 8); };
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return false;
    int channels = 1, bits = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
        size_t size = u32(at + 4);
        const size_t body = at + 8;
        // espeak-ng writes to a pipe-friendly header whose data size may be 0 or too large.
        if (id == "data" && (size == 0 || body + size > b.size())) size = b.size() - body;
        if (body + size > b.size()) return false;
        if (id == "fmt " && size >= 16) {
            channels = static_cast<int>(u16(body + 2));
            rate = static_cast<int>(u32(body + 4));
            bits = static_cast<int>(u16(body + 14));
        } else if (id == "data") {
            if (bits != 16 || channels < 1) return false;
            for (size_t i = body; i + 2 * static_cast<size_t>(channels) <= body + size; i += 2 * static_cast<size_t>(channels))
                out.push_back(static_cast<float>(static_cast<short>(u16(i))) / 32768.0f);
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

double Midi(int n) { return 440.0 * std::pow(2.0, (n - 69) / 12.0); }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--voice") {
        std::vector<float> voice;
        int rate = 0;
        if (!ReadWav(argv[2], voice, rate) || rate <= 0) {
            std::fprintf(stderr, "%s: not a 16-bit PCM WAV file\n", argv[2]);
            return 1;
        }
        if (!WriteOgg(argv[3], voice, rate, nullptr)) return 1;
        std::printf("wrote %s\n", argv[3]);
        return 0;
    }
    const std::string dir = argc > 1 ? argv[1] : ".";
    const int rate = 22050;
    std::vector<float> music(static_cast<size_t>(rate * 12.5), 0.0f);
    // Intro: a rising arpeggio.
    const int intro[] = {60, 64, 67, 72};
    for (int i = 0; i < 4; ++i) Note(music, rate, 0.5 * i, 1.2, Midi(intro[i]), 0.18);
    // The phrase (2.0 s .. 12.0 s): melody over a slow bass, five bars of two seconds.
    const int bass[] = {48, 45, 41, 43, 48};
    const int melody[] = {72, 74, 76, 79, 76, 74, 72, 69, 72, 71, 67, 71, 72, 76, 74, 72, 71, 67, 69, 72};
    for (int bar = 0; bar < 5; ++bar) {
        Note(music, rate, 2.0 + 2.0 * bar, 1.9, Midi(bass[bar]), 0.22);
        Note(music, rate, 3.0 + 2.0 * bar, 0.9, Midi(bass[bar] + 7), 0.12);
    }
    for (int i = 0; i < 20; ++i) Note(music, rate, 2.0 + 0.5 * i, 0.6, Midi(melody[i]), 0.14);
    for (float& s : music) s = std::tanh(s);
    if (!WriteOgg(dir + "/music.ogg", music, rate, "*looptime,0,2.0,12.0")) return 1;

    std::vector<float> click(static_cast<size_t>(rate * 0.12), 0.0f);
    Note(click, rate, 0.0, 0.12, 1320.0, 0.5);
    Note(click, rate, 0.0, 0.06, 2640.0, 0.2);
    if (!WriteOgg(dir + "/click.ogg", click, rate, nullptr)) return 1;
    std::printf("wrote %s/music.ogg and %s/click.ogg\n", dir.c_str(), dir.c_str());
    return 0;
}
