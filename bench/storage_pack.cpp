// Pack archive and codec throughput, with ratios taken from this one run:
//  - reading every entry of a 64 MiB pack (pread, checksum, unscramble,
//    unpack), against memcpy of the same number of bytes;
//  - compressing a 1 MiB save-like body (state records and text, plus the
//    JPEG bytes of a thumbnail) with PackStream, against zlib compress2 at
//    level 1 on the same body. A save must pack in well under 100 ms.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "storage/PackLib.h"
#include "storage/uFilePack.h"
#include "storage/uFilePackWriter.h"
#include "BenchRatio.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Noise(uint32_t seed, size_t n) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed;
    for (auto& b : out) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return out;
}

// The JPEG test pictures beside the source tree, or noise of the same entropy
// when they are not there.
std::vector<uint8_t> JpegBytes(size_t n) {
    std::vector<uint8_t> out;
    const fs::path dir = fs::path(__FILE__).parent_path() / "../../shared/testdata/jpeg";
    std::error_code ec;
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "monkey12.jpg", "testimgari.jpg"}) {
        std::ifstream f(dir / name, std::ios::binary);
        out.insert(out.end(), std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        if (out.size() >= n) break;
    }
    if (out.empty()) out = Noise(77, n);
    while (out.size() < n) out.insert(out.end(), out.begin(), out.begin() + static_cast<ptrdiff_t>(std::min(out.size(), n - out.size())));
    out.resize(n);
    return out;
}

// What a save body holds besides its thumbnail: variable records (names,
// type words, little-endian integers) and message text in Shift-JIS.
std::vector<uint8_t> StateBytes(uint32_t seed, size_t n) {
    static const char* const kText[] = {"\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd", "\x81\x41", "\x81\x42\r\n",
                                        "\\wait ", "@@scene", "\x83\x65\x83\x58\x83\x67", "msg", "btn"};
    std::vector<uint8_t> out;
    uint32_t x = seed;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const uint32_t r = x >> 8;
        if (r % 3 == 0) {
            // A variable record: length-prefixed name, type, value.
            const std::string name = "flag" + std::to_string(r % 4000);
            out.push_back(static_cast<uint8_t>(name.size()));
            out.push_back(0);
            out.insert(out.end(), name.begin(), name.end());
            out.push_back(static_cast<uint8_t>(r % 3));
            const uint32_t v = (r >> 4) % 1000;
            for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
        } else {
            const char* w = kText[r % 8];
            out.insert(out.end(), w, w + std::strlen(w));
        }
    }
    out.resize(n);
    return out;
}

const std::vector<uint8_t>& SaveBody() {
    static const std::vector<uint8_t> body = [] {
        std::vector<uint8_t> b = StateBytes(1, 700 * 1024);
        const auto jpeg = JpegBytes(1024 * 1024 - b.size());
        b.insert(b.end(), jpeg.begin(), jpeg.end());
        return b;
    }();
    return body;
}

void BM_PackStream(benchmark::State& state) {
    const auto& body = SaveBody();
    size_t packed = 0;
    for (auto _ : state) {
        auto out = zel::PackBytes(body);
        packed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ratio_size"] = static_cast<double>(packed) / static_cast<double>(body.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}

void BM_Zlib1(benchmark::State& state) {
    const auto& body = SaveBody();
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(body.size())));
    uLongf len = 0;
    for (auto _ : state) {
        len = static_cast<uLongf>(out.size());
        compress2(out.data(), &len, body.data(), static_cast<uLong>(body.size()), 1);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ratio_size"] = static_cast<double>(len) / static_cast<double>(body.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}

void BM_UnpackStream(benchmark::State& state) {
    const auto packed = zel::PackBytes(SaveBody());
    std::vector<uint8_t> out;
    for (auto _ : state) {
        zel::UnpackBytes(packed, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(SaveBody().size()));
}

// A 64 MiB pack of game-like entries: compressed scripts and state, and
// pictures that do not compress (stored as they are), all scrambled.
struct BigPack {
    std::string path;
    uint64_t storedBytes = 0;
    size_t entries = 0;

    BigPack() {
        path = (fs::temp_directory_path() / ("zel_bench_pack_" + std::to_string(::getpid()) + ".pack")).string();
        zel::TFilePackWriter w({2, true, true});
        if (!w.Begin(path)) return;
        const auto picture = JpegBytes(512 * 1024);
        uint32_t seed = 1;
        while (storedBytes < 64ull * 1024 * 1024) {
            const bool text = entries % 2 == 0;
            std::vector<uint8_t> data = text ? StateBytes(seed++, 512 * 1024) : picture;
            if (!text) data[entries % data.size()] ^= 1;
            if (!w.Add("entry" + std::to_string(entries), data)) return;
            storedBytes += w.Entry(entries).storedSize;
            ++entries;
        }
        if (!w.Finish()) storedBytes = 0;
    }
    ~BigPack() { std::remove(path.c_str()); }
};

const BigPack& Pack() {
    static const BigPack pack;
    return pack;
}

void BM_ReadPack(benchmark::State& state) {
    const BigPack& bp = Pack();
    zel::TFilePack pack(bp.path, true);
    if (pack.Error() || bp.storedBytes == 0) {
        state.SkipWithError("cannot build the pack");
        return;
    }
    pack.SetChecksumCheck(true);
    for (auto _ : state) {
        for (size_t i = 0; i < pack.Count(); ++i) {
            auto s = pack.ReadEntry(static_cast<int64_t>(i));
            benchmark::DoNotOptimize(s.get());
        }
    }
    state.counters["entries"] = static_cast<double>(pack.Count());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bp.storedBytes));
}

void BM_Memcpy(benchmark::State& state) {
    const size_t n = Pack().storedBytes;
    std::vector<uint8_t> a(n, 1), b(n, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("PackStream_1MiB_save", BM_PackStream)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("zlib_level1_1MiB_save", BM_Zlib1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("UnpackStream_1MiB_save", BM_UnpackStream)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("read_all_entries_64MiB_pack", BM_ReadPack)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("memcpy_64MiB", BM_Memcpy)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& t = reporter.times;
    const auto ratio = [&](const char* a, const char* b) {
        if (t.count(a) && t.count(b) && t[b] > 0)
            std::printf("%-30s %9.2f ms  = %6.2f x %s (%.2f ms)\n", a, t[a], t[a] / t[b], b, t[b]);
    };
    std::printf("\nRatios from this run\n");
    ratio("read_all_entries_64MiB_pack", "memcpy_64MiB");
    ratio("PackStream_1MiB_save", "zlib_level1_1MiB_save");
    return 0;
}
