#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

#include <set>

#include "StorageTestUtil.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"

using namespace zel;
using namespace zeltest;

namespace {

// Walks the blocks of a "1PC" stream without expanding them: the packed size
// of every block, read straight from the layout.
std::vector<size_t> BlockSizes(const std::vector<uint8_t>& p) {
    std::vector<size_t> sizes;
    size_t pos = 12;
    while (pos < p.size()) {
        unsigned c = 0;
        for (;;) {
            unsigned n = p.at(pos++);
            if (n > 127) {
                c += n - 127;
                n = 0;
                if (c == 256) break;
            }
            for (unsigned i = 0; i <= n; ++i, ++c)
                if (p.at(pos++) != c) ++pos;
            if (c == 256) break;
        }
        const size_t size = p.at(pos) | (p.at(pos + 1) << 8);
        pos += 2 + size;
        sizes.push_back(size);
    }
    return sizes;
}

// Block checksum written the slow, obvious way.
uint32_t ReferenceChecksum(const std::vector<uint8_t>& b) {
    uint16_t acc[4] = {}, d = 0;
    for (size_t i = 0; i + 8 <= b.size(); i += 8) {
        d = static_cast<uint16_t>(d + 0x0307);
        for (int k = 0; k < 4; ++k) acc[k] = static_cast<uint16_t>(acc[k] + ((b[i + 2 * k] | (b[i + 2 * k + 1] << 8)) ^ d));
    }
    return (acc[0] | (static_cast<uint32_t>(acc[1]) << 16)) ^ (acc[2] | (static_cast<uint32_t>(acc[3]) << 16));
}

// One 8 KiB block built so that the pair hash fills up during the first pair
// replacement: 8189 distinct pairs, one of them (197, 198) three times, and
// every neighbour of its occurrences distinct, so replacing it must claim six
// new slots where only three are left.
std::vector<uint8_t> FullHashBlock() {
    std::vector<uint8_t> out{0};
    std::vector<bool> used(65536);
    uint32_t rng = 2024;
    const size_t inserts[] = {2000, 4000, 6000};
    size_t nextInsert = 0;
    while (out.size() < 8192) {
        const uint8_t prev = out.back();
        if (nextInsert < 3 && out.size() >= inserts[nextInsert] && !used[prev * 256 + 197]) {
            used[prev * 256 + 197] = true;
            out.push_back(197);
            out.push_back(198);
            ++nextInsert;
            continue;
        }
        int pick = -1;
        for (int tries = 0; tries < 64 && pick < 0; ++tries) {
            rng = rng * 1664525u + 1013904223u;
            const int t = static_cast<int>((rng >> 16) % 197);
            if (!used[prev * 256 + t]) pick = t;
        }
        for (int t = 0; t < 197 && pick < 0; ++t)
            if (!used[prev * 256 + t]) pick = t;
        if (pick < 0) return {};
        used[prev * 256 + pick] = true;
        out.push_back(static_cast<uint8_t>(pick));
    }
    return out;
}

// The compressor written out step by step, slot scans and all, with the same
// end to a block whose pair hash fills up.
std::vector<uint8_t> ReferencePack(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out = {0x31, 0x50, 0x43, 0xFF, 1, 0, 0, 0};
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(in.size() >> (8 * k)));
    size_t pos = 0;
    do {
        std::vector<int> count(8192, 0), pl(8192, 0), pr(8192, 0);
        bool full = false;
        const auto lookup = [&](int a, int b) -> int {
            int i = (a ^ (b * 32)) % 8192;
            for (int probe = 0; probe < 8192; ++probe, i = (i + 1) % 8192)
                if ((pl[i] == a && pr[i] == b) || count[i] == 0) {
                    pl[i] = a;
                    pr[i] = b;
                    return i;
                }
            full = true;
            return -1;
        };
        int leftcode[256], rightcode[256];
        bool seen[256] = {};
        for (int c = 0; c < 256; ++c) leftcode[c] = c, rightcode[c] = 0;
        std::vector<int> buf;
        int used = 0;
        while (buf.size() < 8192 && used < 200 && pos < in.size()) {
            const int c = in[pos++];
            if (!buf.empty()) {
                const int i = lookup(buf.back(), c);
                if (count[i] < 255) ++count[i];
            }
            buf.push_back(c);
            if (!seen[c]) seen[c] = true, ++used;
        }
        for (int code = 255;; --code) {
            while (code >= 0 && !(leftcode[code] == code && !seen[code])) --code;
            if (code < 0) break;
            int best = 2, besti = -1;
            for (int i = 0; i < 8192; ++i)
                if (count[i] > best) best = count[i], besti = i;
            if (best < 3) break;
            const int l = pl[besti], r = pr[besti];
            const auto adjust = [&](int a, int b, int delta) {
                if (full) return;
                const int i = lookup(a, b);
                if (i < 0) return;
                if (delta < 0 && count[i] > 1) --count[i];
                if (delta > 0 && count[i] < 255) ++count[i];
            };
            size_t w = 0;
            const size_t n = buf.size();
            for (size_t rd = 0; rd < n;) {
                if (rd + 1 < n && buf[rd] == l && buf[rd + 1] == r) {
                    if (rd > 0) adjust(buf[w - 1], l, -1), adjust(buf[w - 1], code, +1);
                    if (rd + 2 < n) adjust(r, buf[rd + 2], -1), adjust(code, buf[rd + 2], +1);
                    buf[w++] = code;
                    rd += 2;
                } else {
                    buf[w++] = buf[rd++];
                }
            }
            buf.resize(w);
            leftcode[code] = l;
            rightcode[code] = r;
            count[lookup(l, r)] = 1;
            if (full) break;
        }
        for (int c = 0; c < 256;) {
            int first, entries;
            if (leftcode[c] == c) {
                int run = 0;
                while (run < 127 && c < 256 && leftcode[c] == c) ++run, ++c;
                out.push_back(static_cast<uint8_t>(run + 127));
                if (c == 256) break;
                first = c, entries = 1;
            } else {
                const int s0 = c;
                int run = 0;
                c = s0 + 1;
                while ((run < 127 && c < 256 && leftcode[c] != c) || (run < 125 && c < 254 && leftcode[c + 1] != c + 1))
                    ++run, ++c;
                out.push_back(static_cast<uint8_t>(run));
                first = s0, entries = run + 1;
            }
            for (int k = first; k < first + entries; ++k) {
                out.push_back(static_cast<uint8_t>(leftcode[k]));
                if (leftcode[k] != k) out.push_back(static_cast<uint8_t>(rightcode[k]));
            }
            c = first + entries;
        }
        out.push_back(static_cast<uint8_t>(buf.size()));
        out.push_back(static_cast<uint8_t>(buf.size() >> 8));
        for (int b : buf) out.push_back(static_cast<uint8_t>(b));
    } while (pos < in.size());
    return out;
}

}  // namespace

TEST(PackStream, GoldenVectors) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", "315043FF 01000000 00000000 FE7FFEFF 0000"},
        {"abc", "315043FF 01000000 03000000 FE7FFEFF 0300 616263"},
        {"abababab", "315043FF 01000000 08000000 FE7FFDFFFF00 6162 0200 FEFE"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> want = Hex(c.out);
        EXPECT_EQ(PackBytes(Bytes(c.in)), want) << c.in;
        std::vector<uint8_t> back;
        ASSERT_TRUE(UnpackBytes(want, back)) << c.in;
        EXPECT_EQ(back, Bytes(c.in));
    }
}

TEST(PackStream, RoundTripsAllShapesOfInput) {
    std::vector<uint8_t> all256;
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 256; ++c) all256.push_back(static_cast<uint8_t>(c));
    std::vector<uint8_t> mixed = Text(1, 50000);
    const auto noise = Noise(7, 30000);
    mixed.insert(mixed.begin() + 20000, noise.begin(), noise.end());
    const std::vector<std::vector<uint8_t>> inputs = {
        Bytes("a"), Bytes("aaaa"), std::vector<uint8_t>(8192, 'x'), std::vector<uint8_t>(8193, 0),
        std::vector<uint8_t>(100000, 0), Text(3, 8191), Text(4, 70000), Noise(5, 20000), all256, mixed,
    };
    for (const auto& in : inputs) {
        const auto packed = PackBytes(in);
        std::vector<uint8_t> back;
        std::string err;
        ASSERT_TRUE(UnpackBytes(packed, back, &err)) << err << " size " << in.size();
        EXPECT_EQ(back, in);
    }
    // The stream forms consume their input and return a stream at 0.
    auto packed = PackStream(std::make_unique<TMemoryStream>(Text(9, 5000)));
    ASSERT_TRUE(packed);
    EXPECT_EQ(packed->Position(), 0u);
    auto back = UnpackStream(std::move(packed));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Bytes(), Text(9, 5000));
}

TEST(PackStream, BlockBoundaries) {
    // 8192 bytes are one block, 8193 two; an empty input is one empty block.
    EXPECT_EQ(BlockSizes(PackBytes(Text(2, 8192))).size(), 1u);
    EXPECT_EQ(BlockSizes(PackBytes(Text(2, 8193))).size(), 2u);
    EXPECT_EQ(BlockSizes(PackBytes({})), std::vector<size_t>{0});

    // The block ends with the 200th distinct byte value: 0..200 splits 200 + 1.
    std::vector<uint8_t> distinct;
    for (int c = 0; c <= 200; ++c) distinct.push_back(static_cast<uint8_t>(c));
    TPackStats stats;
    const auto packed = PackBytes(distinct, &stats);
    EXPECT_EQ(stats.blocks, 2u);
    EXPECT_EQ(BlockSizes(packed), (std::vector<size_t>{200, 1}));
    // 199 distinct values stay in one block.
    distinct.resize(199);
    EXPECT_EQ(BlockSizes(PackBytes(distinct)).size(), 1u);
}

TEST(PackStream, FullPairHashEndsTheBlockInsteadOfHanging) {
    const auto block = FullHashBlock();
    ASSERT_EQ(block.size(), 8192u);
    // The fixture really is what it claims to be.
    std::vector<int> count(65536);
    std::set<uint8_t> symbols(block.begin(), block.end());
    for (size_t i = 1; i < block.size(); ++i) ++count[block[i - 1] * 256 + block[i]];
    int distinct = 0, repeated = 0;
    for (int c : count) {
        distinct += c > 0;
        repeated += c > 1;
    }
    ASSERT_EQ(symbols.size(), 199u);
    ASSERT_EQ(distinct, 8189);
    ASSERT_EQ(repeated, 1);
    ASSERT_EQ(count[197 * 256 + 198], 3);

    std::vector<uint8_t> in = block;
    const auto tail = Text(8, 3000);
    in.insert(in.end(), tail.begin(), tail.end());
    TPackStats stats;
    const auto packed = PackBytes(in, &stats);
    EXPECT_EQ(stats.blocks, 2u);
    EXPECT_EQ(stats.fullHashBlocks, 1u);
    std::vector<uint8_t> back;
    ASSERT_TRUE(UnpackBytes(packed, back));
    EXPECT_EQ(back, in);
}

TEST(PackStream, MatchesTheReferenceOnManyShapesOfInput) {
    uint32_t rng = 77;
    const auto next = [&rng] { return rng = rng * 1664525u + 1013904223u; };
    std::vector<std::vector<uint8_t>> inputs = {FullHashBlock()};
    for (int round = 0; round < 24; ++round) {
        // k symbols from a base value; high bases put pair homes near the end of the hash.
        const int k = 2 + static_cast<int>(next() >> 8) % 60 * (round % 4 == 3 ? 4 : 1);
        const int base = static_cast<int>(next() >> 8) % (257 - std::min(k, 256));
        const size_t len = 500 + (next() >> 8) % 12000;
        std::vector<uint8_t> in;
        while (in.size() < len) {
            const int sym = base + static_cast<int>((next() >> 16) % static_cast<uint32_t>(k));
            const size_t run = (next() >> 28) == 0 ? (next() >> 24) % 40 : 1;
            in.insert(in.end(), run, static_cast<uint8_t>(sym));
        }
        in.resize(len);
        inputs.push_back(std::move(in));
    }
    for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(PackBytes(inputs[i]), ReferencePack(inputs[i])) << "input " << i;
}

TEST(PackStream, MatchesTheStepByStepAlgorithm) {
    ASSERT_TRUE(HavePython()) << "python3 is not available (scripts/install-deps.sh installs it)";
    TempDir dir;
    std::vector<uint8_t> mixed = Text(11, 4000);
    const auto noise = Noise(12, 2500);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    const auto more = Text(13, 3000);
    mixed.insert(mixed.end(), more.begin(), more.end());
    const std::vector<std::vector<uint8_t>> inputs = {Text(10, 20000), mixed, std::vector<uint8_t>(9000, 0),
                                                      Bytes("abababababcabcabcabcxyzxyzxyz")};
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string in = dir / ("in" + std::to_string(i)), out = dir / ("out" + std::to_string(i));
        ASSERT_TRUE(WriteFile(in, inputs[i]));
        ASSERT_TRUE(RunFixtureScript("compress '" + in + "' '" + out + "'"));
        EXPECT_EQ(PackBytes(inputs[i]), ReadFile(out)) << "input " << i;
    }
}

TEST(UnpackStream, ReadsTheHeaderlessForm) {
    // First word is the size; block sizes are 32-bit.
    const auto old = Hex("03000000 FE7FFEFF 03000000 616263");
    std::vector<uint8_t> back;
    ASSERT_TRUE(UnpackBytes(old, back));
    EXPECT_EQ(back, Bytes("abc"));
    // Pairs in the headerless form: code 255 = "ab".
    const auto pairs = Hex("04000000 FE7F FDFE 00 6162 02000000 FFFF");
    ASSERT_TRUE(UnpackBytes(pairs, back));
    EXPECT_EQ(back, Bytes("abab"));
}

TEST(UnpackStream, RefusesDamagedData) {
    const struct {
        const char* name;
        const char* hex;
    } cases[] = {
        {"shorter than a header", "315043"},
        {"headered but cut", "315043FF 01000000"},
        {"declares more than 64 MiB", "315043FF 01000000 01000004 FE7FFEFF 0000"},
        {"table cut", "315043FF 01000000 03000000 FE7F"},
        {"literal skip past code 255", "315043FF 01000000 00000000 FF 80 FF 00 00 0000"},
        {"entries past code 255", "315043FF 01000000 00000000 FE7FFD FF 05 6162 6162 6162 6162 6162 6162 0000"},
        {"block size cut", "315043FF 01000000 03000000 FE7FFEFF 03"},
        {"block runs past the end", "315043FF 01000000 03000000 FE7FFEFF 0400 616263"},
        {"fewer bytes than declared", "315043FF 01000000 05000000 FE7FFEFF 0300 616263"},
        {"more bytes than declared", "315043FF 01000000 02000000 FE7FFEFF 0300 616263"},
        // 254 = (255, a), 255 = (254, b): expanding either never ends.
        {"cyclic pair table", "315043FF 01000000 10000000 FE7F FD FF61 00 FE62 0100 FE"},
        // 255 = (a, 255): an endless stream of a, cut at the declared size.
        {"self-referencing right half", "315043FF 01000000 10000000 FE7FFE 61 FF 0100 FF"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out{1, 2, 3};
        std::string err;
        EXPECT_FALSE(UnpackBytes(Hex(c.hex), out, &err)) << c.name;
        EXPECT_FALSE(err.empty()) << c.name;
        EXPECT_TRUE(out.empty()) << c.name;
    }
    EXPECT_EQ(UnpackStream(std::make_unique<TMemoryStream>(Hex("315043FF 01000000 01000004"))), nullptr);
    EXPECT_EQ(UnpackStream(nullptr), nullptr);
}

TEST(UnpackStream, DeepTablesExpandByCopying) {
    // Code 230 = "aa", each code after it is the one before twice over, so
    // code 254 stands for 32 MiB and a 40-byte stream holds 64 MiB. The
    // expander must copy what it already made instead of walking the tree a
    // byte at a time (that took seconds under the sanitizers).
    std::string table = "FF 80 E4 6161 18";
    for (int c = 230; c < 255; ++c) {
        char pair[8];
        std::snprintf(pair, sizeof pair, " %02X%02X", c, c);
        table += pair;
    }
    const auto stream = [&](const char* size, const char* block) {
        return Hex(std::string("315043FF 01000000 ") + size + " " + table + " " + block);
    };
    std::vector<uint8_t> out;
    std::string err;
    ASSERT_TRUE(UnpackBytes(stream("00000004", "0200 FEFE"), out, &err)) << err;
    ASSERT_EQ(out.size(), size_t{64} << 20);
    const std::vector<uint8_t> as(1 << 16, 'a');
    for (size_t at = 0; at < out.size(); at += as.size())
        ASSERT_EQ(std::memcmp(out.data() + at, as.data(), as.size()), 0) << "at " << at;
    // Codes met inside a long one are copied from where it put them.
    ASSERT_TRUE(UnpackBytes(stream("03000001", "0300 FDE662"), out, &err)) << err;
    ASSERT_EQ(out.size(), (size_t{16} << 20) + 3);
    EXPECT_EQ(out.back(), 'b');
    EXPECT_EQ(out[out.size() - 2], 'a');
    // One byte short of what the codes hold: refused before any expanding.
    EXPECT_FALSE(UnpackBytes(stream("FFFFFF03", "0200 FEFE"), out, &err));
    EXPECT_EQ(err, "packed data holds more bytes than it declares");
}

TEST(ScrambleBlocks, GoldenVectorsAndInverse) {
    const auto plain = Bytes("abcdefghijklmnopq");
    auto a = plain;
    ScrambleBlocks(a.data(), a.size(), 7351);
    EXPECT_EQ(a, Hex("d294d089d690d48594a7705794a7704771"));
    auto b = plain;
    ScrambleBlocks(b.data(), b.size(), 0);
    EXPECT_EQ(b, Hex("0b88d0890f8cd4855bab70575bab704771"));

    UnscrambleBlocks(a.data(), a.size(), 7351);
    EXPECT_EQ(a, plain);
    // A different key, or the same key with a different size, does not undo it.
    auto c = plain;
    ScrambleBlocks(c.data(), c.size(), 7351);
    UnscrambleBlocks(c.data(), c.size(), 7352);
    EXPECT_NE(c, plain);
    c = plain;
    ScrambleBlocks(c.data(), 16, 7351);
    UnscrambleBlocks(c.data(), 17, 7351);
    EXPECT_NE(c, plain);
    // Fewer than 8 bytes are left alone; so is the tail after the last block.
    auto shortText = Bytes("1234567");
    ScrambleBlocks(shortText.data(), shortText.size(), 99);
    EXPECT_EQ(shortText, Bytes("1234567"));
    auto big = Noise(3, 100003);
    const auto orig = big;
    ScrambleBlocks(big.data(), big.size(), 0xDEADBEEF);
    EXPECT_TRUE(std::equal(big.end() - 3, big.end(), orig.end() - 3));
    ScrambleBlocksDir(big.data(), big.size(), 0xDEADBEEF, 1);
    EXPECT_EQ(big, orig);
}

TEST(BlockChecksum, GoldenVectorAndAllLengths) {
    EXPECT_EQ(BlockChecksum(reinterpret_cast<const uint8_t*>("abcdefgh"), 8), 0x0C040404u);
    EXPECT_EQ(BlockChecksum(reinterpret_cast<const uint8_t*>("abcdefghXYZ"), 11), 0x0C040404u);
    EXPECT_EQ(BlockChecksum(reinterpret_cast<const uint8_t*>("abcdefg"), 7), 0u);
    const auto n = Noise(9, 1001);
    EXPECT_EQ(BlockChecksum(n.data(), n.size()), 0xB5244A45u);
    // The two-blocks-at-a-time path agrees with the obvious loop at every length.
    const auto big = Noise(4, 70000);
    for (size_t len : {0, 8, 15, 16, 24, 56, 64, 65, 129, 4096, 65536 * 8 / 8 + 8, 69999}) {
        std::vector<uint8_t> part(big.begin(), big.begin() + static_cast<ptrdiff_t>(std::min<size_t>(len, big.size())));
        EXPECT_EQ(BlockChecksum(part.data(), part.size()), ReferenceChecksum(part)) << len;
    }
}

TEST(WrapChecked, RoundTripAndRefusals) {
    TMemoryStream payload(Text(5, 999));
    TMemoryStream out;
    out.WriteU32(0x12345678);  // the wrapper goes at the current position
    ASSERT_TRUE(WrapChecked(&payload, &out));
    EXPECT_FALSE(WrapChecked(nullptr, &out));
    EXPECT_EQ(out.Size(), 4 + 12 + 999u);
    out.Seek(4);
    auto back = UnwrapChecked(out);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Bytes(), Text(5, 999));
    EXPECT_EQ(back->Position(), 0u);

    // Altered payload, wrong magic, length past the end: nothing, position kept.
    for (size_t at : {size_t{4 + 12 + 500}, size_t{4}, size_t{4 + 8}}) {
        TMemoryStream bad(std::vector<uint8_t>(out.Bytes()));
        bad.Data()[at] ^= 0x40;
        bad.Seek(4);
        EXPECT_EQ(UnwrapChecked(bad), nullptr) << at;
        EXPECT_EQ(bad.Position(), 4u);
    }
    TMemoryStream empty, wrapped;
    ASSERT_TRUE(WrapChecked(&empty, &wrapped));
    wrapped.Rewind();
    auto e = UnwrapChecked(wrapped);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Size(), 0u);
}

TEST(ScrambleName, GoldenVectorAndInverse) {
    const std::string name = "script\\start.s";
    const std::string s = ScrambleName(name, kNameKey);
    EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.end()), Hex("213724312a2802131605141c441f"));
    EXPECT_EQ(ScrambleName(s, kNameKey), name);
    EXPECT_EQ(ScrambleName("", kNameKey), "");
    const std::string longName(300, '\x83');
    EXPECT_EQ(ScrambleName(ScrambleName(longName, 5), 5), longName);
}

TEST(Crc16Hex, GoldenVectors) {
    EXPECT_EQ(Crc16Hex("abc"), "11ED");
    EXPECT_EQ(Crc16Hex("a"), "6100");
    EXPECT_EQ(Crc16Hex(""), "0000");
}
