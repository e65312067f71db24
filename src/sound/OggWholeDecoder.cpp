#include "sound/OggWholeDecoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace zel {
namespace {

// Largest result accepted: a declared length beyond it is taken as damage.
constexpr uint64_t kMaxPcmBytes = uint64_t{256} << 20;

struct TMemSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

size_t ReadCb(void* ptr, size_t size, size_t count, void* src) {
    auto* m = static_cast<TMemSource*>(src);
    if (size == 0 || count == 0) return 0;
    const size_t want = size * count;
    const size_t n = want < m->size - m->pos ? want : m->size - m->pos;
    std::memcpy(ptr, m->data + m->pos, n);
    m->pos += n;
    return n / size;
}

int SeekCb(void* src, ogg_int64_t offset, int whence) {
    auto* m = static_cast<TMemSource*>(src);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(m->pos) : int64_t(m->size);
    const int64_t to = base + offset;
    if (to < 0 || to > int64_t(m->size)) return -1;
    m->pos = static_cast<size_t>(to);
    return 0;
}

long TellCb(void* src) { return static_cast<long>(static_cast<TMemSource*>(src)->pos); }

struct TOggFile {
    OggVorbis_File vf;
    bool open = false;
    ~TOggFile() {
        if (open) ov_clear(&vf);
    }
};

bool Fail(std::string* err, const char* why) {
    if (err) *err = why;
    return false;
}

int16_t Gain(int16_t s) { return static_cast<int16_t>(int32_t{s} * 254 / 256); }

}  // namespace

bool DecodeOggWhole(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string* err) {
    TMemSource src{data, size, 0};
    TOggFile f;
    const ov_callbacks cb{ReadCb, SeekCb, nullptr, TellCb};
    if (ov_open_callbacks(&src, &f.vf, nullptr, 0, cb) != 0) return Fail(err, "not an Ogg Vorbis file");
    f.open = true;
    const vorbis_info* info = ov_info(&f.vf, -1);
    if (!info || (info->rate != 44100 && info->rate != 22050) || (info->channels != 1 && info->channels != 2))
        return Fail(err, "only 44100 or 22050 Hz, mono or stereo, can be played");
    const ogg_int64_t samples = ov_pcm_total(&f.vf, -1);
    if (samples < 0) return Fail(err, "the file's length cannot be read");
    const uint64_t converted = uint64_t(samples) * 4 * 44100 / uint64_t(info->rate);
    if (converted > kMaxPcmBytes) return Fail(err, "the declared length is too large");

    std::vector<uint8_t> pcm;
    pcm.reserve(static_cast<size_t>(std::min<uint64_t>(converted, uint64_t{size} * 32)));
    char buf[8192];
    int section = 0;
    while (pcm.size() < converted) {
        const long n = ov_read(&f.vf, buf, sizeof buf, 0, 2, 1, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) break;  // end of file, or damage: keep what came before
        const vorbis_info* si = ov_info(&f.vf, section);
        if (!si || (si->rate != 44100 && si->rate != 22050) || (si->channels != 1 && si->channels != 2)) break;
        const int ch = si->channels;
        const int repeat = si->rate == 22050 ? 2 : 1;
        const size_t frames = static_cast<size_t>(n) / (2 * ch);
        for (size_t i = 0; i < frames && pcm.size() < converted; ++i) {
            int16_t l, r;
            std::memcpy(&l, buf + i * 2 * ch, 2);
            if (ch == 2) std::memcpy(&r, buf + i * 4 + 2, 2); else r = l;
            const uint16_t gl = static_cast<uint16_t>(Gain(l)), gr = static_cast<uint16_t>(Gain(r));
            for (int k = 0; k < repeat && pcm.size() < converted; ++k) {
                const uint8_t fr[4] = {uint8_t(gl), uint8_t(gl >> 8), uint8_t(gr), uint8_t(gr >> 8)};
                pcm.insert(pcm.end(), fr, fr + 4);
            }
        }
    }
    // Silence pads the result to the declared length (never past what was
    // decoded beyond the 32 KiB minimum, so a damaged length costs nothing).
    uint64_t total = pcm.size() > 0x8000 ? pcm.size() : 0x8000;
    total = (total + 1023) / 1024 * 1024;
    pcm.resize(static_cast<size_t>(total), 0);
    out = std::move(pcm);
    return true;
}

}  // namespace zel
