#include "storage/PackLib.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "storage/PackKeys.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zel {

namespace {

inline uint32_t Load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline void Store32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// ---------------------------------------------------------------------------
// Byte-pair compressor. One block at a time: count every adjacent pair in an
// open-addressed hash, then repeatedly give the most frequent pair one of the
// byte values the block does not use, until no code or no pair of frequency 3
// is left. The exact choices (slot order, tie breaks, count updates) decide
// the output bytes, and existing data was made that way, so they are kept.

constexpr size_t kBlockSize = 8192;
constexpr size_t kHashSize = 8192;
constexpr int kMaxChars = 200;
constexpr int kMinPairCount = 3;

class TPairCompressor {
public:
    // Reads the next block from in and returns how many bytes it took.
    size_t Fill(const uint8_t* in, size_t n) {
        std::memset(count_.data(), 0, kHashSize);
        slotsWithCount_.fill(0);
        slotsWithCount_[0] = kHashSize;
        maxCount_ = 0;
        used_ = 0;
        for (int c = 0; c < 256; ++c) {
            leftcode_[c] = static_cast<uint8_t>(c);
            rightcode_[c] = 0;
            seen_[c] = false;
        }
        full_ = false;
        size_ = 0;
        int used = 0;
        size_t pos = 0;
        while (size_ < kBlockSize && used < kMaxChars && pos < n) {
            const uint8_t c = in[pos++];
            if (size_ > 0) Bump(buf_[size_ - 1], c);
            buf_[size_++] = c;
            if (!seen_[c]) {
                seen_[c] = true;
                ++used;
            }
        }
        return pos;
    }

    void Compress() {
        int code = 256;
        for (;;) {
            for (--code; code >= 0; --code)
                if (leftcode_[code] == code && !seen_[code]) break;
            if (code < 0) break;

            // The first slot holding the highest count wins, and only a count of 3 or more.
            while (maxCount_ > 0 && slotsWithCount_[maxCount_] == 0) --maxCount_;
            const uint8_t best = static_cast<uint8_t>(maxCount_);
            if (best < kMinPairCount) break;
            const size_t slot = static_cast<size_t>(
                static_cast<const uint8_t*>(std::memchr(count_.data(), best, kHashSize)) - count_.data());
            const uint8_t left = static_cast<uint8_t>(pair_[slot]);
            const uint8_t right = static_cast<uint8_t>(pair_[slot] >> 8);

            Replace(left, right, static_cast<uint8_t>(code));
            leftcode_[code] = left;
            rightcode_[code] = right;
            // The pair is held by a counted slot (its count was at least 3).
            const int s = Lookup(left, right);
            if (s >= 0) SetCount(s, 1);
            // A full pair hash cannot take the pairs the next round would
            // create; the block keeps the codes made so far.
            if (full_) break;
        }
    }

    void WriteBlock(std::vector<uint8_t>& out) const {
        for (int c = 0; c < 256;) {
            int len;
            if (leftcode_[c] == c) {
                len = 1;
                ++c;
                while (len < 127 && c < 256 && leftcode_[c] == c) {
                    ++len;
                    ++c;
                }
                out.push_back(static_cast<uint8_t>(len + 127));
                len = 0;
                if (c == 256) break;
            } else {
                len = 0;
                ++c;
                while ((len < 127 && c < 256 && leftcode_[c] != c) ||
                       (len < 125 && c < 254 && leftcode_[c + 1] != c + 1)) {
                    ++len;
                    ++c;
                }
                out.push_back(static_cast<uint8_t>(len));
                c -= len + 1;
            }
            for (int i = 0; i <= len; ++i, ++c) {
                out.push_back(leftcode_[c]);
                if (leftcode_[c] != c) out.push_back(rightcode_[c]);
            }
        }
        out.push_back(static_cast<uint8_t>(size_));
        out.push_back(static_cast<uint8_t>(size_ >> 8));
        out.insert(out.end(), buf_.begin(), buf_.begin() + static_cast<ptrdiff_t>(size_));
    }

    bool HashFilled() const { return full_; }

private:
    // Slot of the pair (a, b) in the open-addressed pair hash: the first slot
    // of its linear probe sequence (from (a ^ b * 32) mod 8192) that holds the
    // pair or has count 0; the slot then records the pair. -1 when every slot
    // holds another pair: probing further would never end.
    //
    // Counted slots never change hands within a block and counts never drop
    // back to 0, so a pair held by a counted slot is found there directly,
    // and any other pair gets the first uncounted slot from its home, found
    // through forward links over runs of counted slots.
    int Lookup(uint8_t a, uint8_t b) {
        const uint16_t key = static_cast<uint16_t>(a | (b << 8));
        const uint16_t held = slotOf_[key];
        if (count_[held] != 0 && pair_[held] == key) return held;
        if (used_ == kHashSize) {
            full_ = true;
            return -1;
        }
        const uint16_t idx = FirstUncounted(static_cast<uint16_t>((a ^ (b << 5)) & (kHashSize - 1)));
        pair_[idx] = key;
        slotOf_[key] = idx;
        return idx;
    }

    uint16_t FirstUncounted(uint16_t i) {
        uint16_t root = i;
        while (count_[root] != 0) root = next_[root];
        while (count_[i] != 0) {
            const uint16_t n = next_[i];
            next_[i] = root;
            i = n;
        }
        return root;
    }

    void Bump(uint8_t a, uint8_t b) {
        const int s = Lookup(a, b);
        if (s < 0) return;
        if (count_[s] == 0) {
            ++used_;
            next_[s] = static_cast<uint16_t>((s + 1) & (kHashSize - 1));
        }
        if (count_[s] < 255) SetCount(s, count_[s] + 1);
    }
    void Drop(uint8_t a, uint8_t b) {
        const int s = Lookup(a, b);
        if (s >= 0 && count_[s] > 1) SetCount(s, count_[s] - 1);
    }
    // Every count change goes through here, keeping the count histogram that
    // gives the highest count without scanning the hash.
    void SetCount(int s, int v) {
        --slotsWithCount_[count_[s]];
        ++slotsWithCount_[v];
        count_[s] = static_cast<uint8_t>(v);
        if (v > maxCount_) maxCount_ = v;
    }

    // Replaces every non-overlapping (left, right), scanning left to right,
    // by code, keeping the neighbouring pair counts up to date. Once the hash
    // is full the counts are no longer kept (no further round will read them).
    // The block is copied into the spare buffer as it goes, 16 bytes a step,
    // so that nothing still to be read is overwritten.
    void Replace(uint8_t left, uint8_t right, uint8_t code) {
        const uint8_t* s = buf_.data();
        uint8_t* d = spare_.data();
        const size_t n = size_;
        size_t r = 0, w = 0;
        while (r + 1 < n) {
            // Starts of the pair among the next 16 positions (only those before n - 1 count).
            const size_t starts = n - 1 - r;
#if defined(__SSE2__)
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + r));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + r + 1));
            unsigned m = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(static_cast<char>(left))),
                              _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(right))))));
            if (starts < 16) m &= (1u << starts) - 1;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), a);
#else
            unsigned m = 0;
            for (size_t i = 0; i < 16 && i < starts; ++i)
                if (s[r + i] == left && s[r + i + 1] == right) m |= 1u << i;
            std::memcpy(d + w, s + r, 16);
#endif
            if (m == 0) {
                const size_t k = std::min<size_t>(16, n - r);
                r += k;
                w += k;
                continue;
            }
            const size_t k = static_cast<size_t>(__builtin_ctz(m));
            r += k;
            w += k;
            if (!full_ && r > 0) {
                const uint8_t before = d[w - 1];
                Drop(before, left);
                if (!full_) Bump(before, code);
            }
            if (!full_ && r + 2 < n) {
                const uint8_t follow = s[r + 2];
                Drop(right, follow);
                if (!full_) Bump(code, follow);
            }
            d[w++] = code;
            r += 2;
        }
        if (r < n) d[w++] = s[r];
        std::swap(buf_, spare_);
        size_ = w;
    }

    // Both buffers have room for a 16-byte step that starts at the last byte.
    std::vector<uint8_t> buf_ = std::vector<uint8_t>(kBlockSize + 32);
    std::vector<uint8_t> spare_ = std::vector<uint8_t>(kBlockSize + 32);
    std::array<uint8_t, kHashSize> count_{};
    std::array<uint16_t, kHashSize> pair_{};  // left | right << 8
    // Lookup aids; they never change which slot a pair gets.
    std::array<uint16_t, kHashSize> next_{};  // of a counted slot: a later slot, all counted in between
    std::vector<uint16_t> slotOf_ = std::vector<uint16_t>(65536);  // last slot given to each pair
    size_t used_ = 0;                                               // counted slots
    std::array<uint16_t, 256> slotsWithCount_{};                    // slots per count value
    int maxCount_ = 0;                                              // no slot has a higher count
    std::array<uint8_t, 256> leftcode_{};
    std::array<uint8_t, 256> rightcode_{};
    std::array<bool, 256> seen_{};
    size_t size_ = 0;
    bool full_ = false;
};

using TCodeTable = std::array<uint8_t, 256>;

// Expansion lengths past this are all "too long" (a few table bytes can nest
// to 2^255 bytes).
constexpr uint64_t kLongExpansion = uint64_t{1} << 40;

// One block's pair table and where each code's expansion already sits: in
// the memo (short ones, made on first use; literals at the identity bytes in
// front) or in the output (long ones). Expanding a code copies whatever part
// of it is already somewhere, so the work is a copy per code and output
// byte, even for tables that nest to the full declared size.
class TPairExpander {
public:
    explicit TPairExpander(size_t memoCap) : memo_(256 + memoCap + 16) {
        for (int c = 0; c < 256; ++c) memo_[c] = static_cast<uint8_t>(c);
    }

    TCodeTable left{}, right{};

    // Forgets the previous block; false when the table has no pairs.
    bool Reset() {
        bool anyPair = false;
        for (int c = 0; c < 256; ++c) {
            const bool literal = left[c] == c;
            memoOff[c] = static_cast<uint32_t>(c);
            memoLen[c] = literal ? 1 : 0;
            outLen[c] = 0;
            state_[c] = 0;
            anyPair |= !literal;
        }
        memoUsed_ = 256;
        return anyPair;
    }

    // The memo, with 16 bytes to spare after every copy in it.
    const uint8_t* MemoBase() const { return memo_.data(); }
    // Where each code's expansion sits in the memo and in the output
    // (length 0 = not there).
    std::array<uint32_t, 256> memoOff{}, memoLen{};
    std::array<uint32_t, 256> outOff{}, outLen{};

    // The expanded length of pair code ch, worked out once per block for
    // every code under it; false when the expansion reaches ch again.
    bool Length(uint8_t ch, uint64_t& length) {
        if (state_[ch] != 2 && !WorkOutLength(ch)) return false;
        length = len_[ch];
        return true;
    }

    // Expands ch (whose length is known) into the memo when it fits there.
    bool ExpandIntoMemo(uint8_t ch, const uint8_t* output) {
        if (len_[ch] > memo_.size() - 16 - memoUsed_) return false;
        memoUsed_ = Expand(ch, memo_.data(), memoUsed_, output, true);
        return true;
    }
    // Expands ch at output[at], where the caller made room; gives the end.
    size_t ExpandIntoOutput(uint8_t ch, uint8_t* output, size_t at) { return Expand(ch, output, at, output, false); }

private:
    // 0 unknown, 1 being worked out, 2 known.
    bool WorkOutLength(uint8_t ch) {
        // Frames hold distinct codes being worked out, so there are at most 256.
        struct Frame {
            uint8_t code;
            uint8_t next;  // 0 = left half next, 1 = right half, 2 = both known
        };
        std::array<Frame, 257> frames;
        size_t depth = 0;
        state_[ch] = 1;
        frames[depth++] = {ch, 0};
        while (depth > 0) {
            Frame& f = frames[depth - 1];
            if (f.next == 2) {
                len_[f.code] = std::min(kLongExpansion, len_[left[f.code]] + len_[right[f.code]]);
                state_[f.code] = 2;
                --depth;
                continue;
            }
            const uint8_t x = f.next == 0 ? left[f.code] : right[f.code];
            ++f.next;
            if (state_[x] == 2) continue;
            if (state_[x] == 1) return false;
            if (left[x] == x) {
                len_[x] = 1;
                state_[x] = 2;
                continue;
            }
            state_[x] = 1;
            frames[depth++] = {x, 0};
        }
        return true;
    }

    // Writes the expansion of pair code ch at dst[w] and notes where every
    // code met on the way now sits; gives the end.
    size_t Expand(uint8_t ch, uint8_t* dst, size_t w, const uint8_t* output, bool intoMemo) {
        struct Frame {
            uint8_t code;
            uint8_t next;
            uint32_t start;
        };
        std::array<Frame, 257> frames;
        size_t depth = 0;
        frames[depth++] = {ch, 0, static_cast<uint32_t>(w)};
        while (depth > 0) {
            Frame& f = frames[depth - 1];
            if (f.next == 2) {
                const uint32_t made = static_cast<uint32_t>(w - f.start);
                if (intoMemo) {
                    memoOff[f.code] = f.start;
                    memoLen[f.code] = made;
                } else {
                    outOff[f.code] = f.start;
                    outLen[f.code] = made;
                }
                --depth;
                continue;
            }
            const uint8_t x = f.next == 0 ? left[f.code] : right[f.code];
            ++f.next;
            if (memoLen[x] != 0) {
                std::memcpy(dst + w, memo_.data() + memoOff[x], memoLen[x]);
                w += memoLen[x];
            } else if (outLen[x] != 0) {
                std::memmove(dst + w, output + outOff[x], outLen[x]);
                w += outLen[x];
            } else {
                // The lengths were worked out, so x is a pair not on the way here.
                frames[depth++] = {x, 0, static_cast<uint32_t>(w)};
            }
        }
        return w;
    }

    std::vector<uint8_t> memo_;
    size_t memoUsed_ = 256;
    std::array<uint64_t, 256> len_{};
    std::array<uint8_t, 256> state_{};
};

bool Fail(std::string* err, const char* why) {
    if (err) *err = why;
    return false;
}

}  // namespace

std::vector<uint8_t> PackBytes(std::span<const uint8_t> in, TPackStats* stats) {
    std::vector<uint8_t> out;
    out.reserve(12 + in.size() + (in.size() / kBlockSize + 1) * 520);
    out.resize(12);
    Store32(out.data(), kPackMagic);
    Store32(out.data() + 4, 1);
    Store32(out.data() + 8, static_cast<uint32_t>(in.size()));

    auto pc = std::make_unique<TPairCompressor>();
    size_t pos = 0;
    do {
        pos += pc->Fill(in.data() + pos, in.size() - pos);
        pc->Compress();
        pc->WriteBlock(out);
        if (stats) {
            ++stats->blocks;
            if (pc->HashFilled()) ++stats->fullHashBlocks;
        }
    } while (pos < in.size());
    return out;
}

namespace {

// The common case of expanding a block: copies the memo copy of each packed
// byte to dst[o] while there is one and it ends by `limit`. Gives where it
// stopped. Both buffers have 16 bytes to spare, so short copies are
// fixed-size.
const uint8_t* CopyRemembered(const uint8_t* p, const uint8_t* end, uint8_t* dst, size_t& at, size_t limit,
                              const uint8_t* memo, const uint32_t* memoOff, const uint32_t* memoLen) {
    size_t o = at;
    for (; p != end; ++p) {
        const uint8_t ch = *p;
        const size_t len = memoLen[ch];
        if (len == 0 || len > limit - o) break;
        if (len <= 16) {
            std::memcpy(dst + o, memo + memoOff[ch], 16);
        } else {
            std::memcpy(dst + o, memo + memoOff[ch], len);
        }
        o += len;
    }
    at = o;
    return p;
}

}  // namespace

bool UnpackBytes(std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string* err) {
    out.clear();
    const uint8_t* src = in.data();
    const size_t n = in.size();
    if (n < 4) return Fail(err, "packed data is shorter than its header");
    uint32_t flags = 0, size = 0;
    size_t pos = 0;
    if (Load32(src) == kPackMagic) {
        if (n < 12) return Fail(err, "packed data is shorter than its header");
        flags = Load32(src + 4);
        size = Load32(src + 8);
        pos = 12;
    } else {
        size = Load32(src);
        pos = 4;
    }
    if (size > kMaxUnpackedSize) return Fail(err, "packed data declares more than 64 MiB");

    // Real data seldom packs to less than a tenth; past 64 times the packed
    // size the output grows as it is made (doubling, up to the declared size),
    // so a few bytes declaring 64 MiB cost nothing until they expand that far.
    // It keeps 16 bytes to spare for the fixed-size copies.
    std::vector<uint8_t> result(std::min<size_t>(size, std::max<size_t>(n * 64, 65536)) + 16);
    uint8_t* dst = result.data();
    size_t room = result.size() - 16;  // bytes that fit before the spare ones
    size_t o = 0;
    const auto grow = [&result, size](size_t want) {
        result.resize(std::max(want, std::min<size_t>(result.size() * 2, size_t{size})) + 16);
        return result.data();
    };
    TPairExpander codes(std::min<size_t>(size, 65536));
    const uint8_t* const memo = codes.MemoBase();
    TCodeTable& left = codes.left;
    TCodeTable& right = codes.right;
    while (pos < n) {
        for (int c = 0; c < 256; ++c) {
            left[c] = static_cast<uint8_t>(c);
            right[c] = 0;
        }
        // Pair table.
        unsigned c = 0;
        for (;;) {
            if (pos >= n) return Fail(err, "pair table runs past the end of the data");
            unsigned count = src[pos++];
            if (count > 127) {
                c += count - 127;
                if (c > 256) return Fail(err, "pair table runs past code 255");
                count = 0;
                if (c == 256) break;
            }
            if (c + count >= 256) return Fail(err, "pair table runs past code 255");
            for (unsigned i = 0; i <= count; ++i, ++c) {
                if (pos >= n) return Fail(err, "pair table runs past the end of the data");
                left[c] = src[pos++];
                if (left[c] != c) {
                    if (pos >= n) return Fail(err, "pair table runs past the end of the data");
                    right[c] = src[pos++];
                }
            }
            if (c == 256) break;
        }
        // Packed size and bytes.
        size_t packed;
        if (flags & 1) {
            if (n - pos < 2) return Fail(err, "block size runs past the end of the data");
            packed = static_cast<size_t>(src[pos] | (src[pos + 1] << 8));
            pos += 2;
        } else {
            if (n - pos < 4) return Fail(err, "block size runs past the end of the data");
            packed = Load32(src + pos);
            pos += 4;
        }
        if (packed > n - pos) return Fail(err, "block runs past the end of the data");
        const uint8_t* p = src + pos;
        const uint8_t* const end = p + packed;
        pos += packed;

        if (!codes.Reset()) {
            // Data that did not compress: the block is its own expansion.
            if (packed > size - o) return Fail(err, "packed data holds more bytes than it declares");
            if (o + packed > room) {
                dst = grow(o + packed);
                room = result.size() - 16;
            }
            std::memcpy(dst + o, p, packed);
            o += packed;
            continue;
        }
        while (p != end) {
            p = CopyRemembered(p, end, dst, o, std::min<size_t>(room, size), memo, codes.memoOff.data(),
                               codes.memoLen.data());
            if (p == end) break;
            // A code without a memo copy, or one the output has no room for yet.
            const uint8_t ch = *p++;
            size_t len = codes.memoLen[ch];
            size_t at = 0;
            const bool fromOutput = len == 0;
            if (fromOutput) {
                len = codes.outLen[ch];
                at = codes.outOff[ch];
                if (len == 0) {
                    uint64_t total = 0;
                    if (!codes.Length(ch, total)) return Fail(err, "pair table nests too deep (a cycle)");
                    if (total > size - o) return Fail(err, "packed data holds more bytes than it declares");
                    if (codes.ExpandIntoMemo(ch, dst)) {
                        --p;  // copied from the memo on the next pass
                        continue;
                    }
                    // Too long to remember: expand straight into the output.
                    if (o + total > room) {
                        dst = grow(o + total);
                        room = result.size() - 16;
                    }
                    o = codes.ExpandIntoOutput(ch, dst, o);
                    continue;
                }
            }
            if (len > size - o) return Fail(err, "packed data holds more bytes than it declares");
            if (o + len > room) {
                dst = grow(o + len);
                room = result.size() - 16;
            }
            // An earlier expansion in the output ends before o.
            std::memcpy(dst + o, fromOutput ? dst + at : memo + codes.memoOff[ch], len);
            o += len;
        }
    }
    if (o != size) return Fail(err, "packed data holds fewer bytes than it declares");
    result.resize(size);
    out = std::move(result);
    return true;
}

std::unique_ptr<TMemoryStream> PackStream(std::unique_ptr<TMemoryStream> in) {
    if (!in) return nullptr;
    auto out = std::make_unique<TMemoryStream>(PackBytes(in->Bytes()));
    in.reset();
    return out;
}

std::unique_ptr<TMemoryStream> UnpackStream(std::unique_ptr<TMemoryStream> in) {
    if (!in) return nullptr;
    std::vector<uint8_t> out;
    const bool ok = UnpackBytes(in->Bytes(), out);
    in.reset();
    if (!ok) return nullptr;
    return std::make_unique<TMemoryStream>(std::move(out));
}

// ---------------------------------------------------------------------------

void ScrambleBlocksDir(uint8_t* bytes, size_t size, uint32_t key, int direction) {
    const size_t n = size / 8;
    const uint32_t seed = (static_cast<uint32_t>(size) + key) ^ 0x5D83A1C6u;
    uint32_t st0 = 0x3E6B92D4u, st1 = 0x3E6B92D4u;
    uint32_t fb0 = seed, fb1 = seed;
    uint8_t* p = bytes;
    for (size_t i = 0; i < n; ++i, p += 8) {
        const uint32_t w0 = Load32(p), w1 = Load32(p + 4);
        st0 = (st0 + 0x71C4B8E9u) ^ fb0;
        st1 = (st1 + 0x71C4B8E9u) ^ fb1;
        const uint32_t o0 = w0 ^ st0, o1 = w1 ^ st1;
        Store32(p, o0);
        Store32(p + 4, o1);
        if (direction == 0) {
            fb0 = w0;
            fb1 = w1;
        } else {
            fb0 = o0;
            fb1 = o1;
        }
    }
}

uint32_t BlockChecksum(const uint8_t* bytes, size_t size) {
    const size_t n = size / 8;
    uint16_t acc[4] = {0, 0, 0, 0};
    size_t i = 0;
#if defined(__SSE2__)
    // Two blocks per step: lanes 0-3 hold block i, lanes 4-7 block i + 1.
    // The increment of block j is (j + 1) * 0x0307, so both halves advance
    // by twice that per step.
    if (n >= 2) {
        __m128i sum = _mm_setzero_si128();
        __m128i d = _mm_set_epi16(0x060E, 0x060E, 0x060E, 0x060E, 0x0307, 0x0307, 0x0307, 0x0307);
        const __m128i step = _mm_set1_epi16(0x060E);
        for (; i + 2 <= n; i += 2) {
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i * 8));
            sum = _mm_add_epi16(sum, _mm_xor_si128(w, d));
            d = _mm_add_epi16(d, step);
        }
        alignas(16) uint16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
        for (int k = 0; k < 4; ++k) acc[k] = static_cast<uint16_t>(lanes[k] + lanes[k + 4]);
    }
#endif
    for (; i < n; ++i) {
        const uint16_t d = static_cast<uint16_t>((i + 1) * 0x0307u);
        const uint8_t* p = bytes + i * 8;
        for (int k = 0; k < 4; ++k) {
            const uint16_t w = static_cast<uint16_t>(p[2 * k] | (p[2 * k + 1] << 8));
            acc[k] = static_cast<uint16_t>(acc[k] + (w ^ d));
        }
    }
    return (static_cast<uint32_t>(acc[0]) | (static_cast<uint32_t>(acc[1]) << 16)) ^
           (static_cast<uint32_t>(acc[2]) | (static_cast<uint32_t>(acc[3]) << 16));
}

bool WrapChecked(TMemoryStream* payload, TMemoryStream* out) {
    if (!payload || !out) return false;
    payload->Rewind();
    out->WriteU32(kWrapMagic);
    out->WriteU32(BlockChecksum(payload->Data(), payload->Size()));
    out->WriteU32(static_cast<uint32_t>(payload->Size()));
    out->Write(payload->Data(), payload->Size());
    return true;
}

std::unique_ptr<TMemoryStream> UnwrapChecked(TMemoryStream& s) {
    const size_t start = s.Position();
    if (s.Remaining() < 12) return nullptr;
    const uint32_t magic = s.ReadU32();
    const uint32_t sum = s.ReadU32();
    const uint32_t len = s.ReadU32();
    if (magic != kWrapMagic || len > s.Remaining()) {
        s.Seek(start);
        return nullptr;
    }
    std::vector<uint8_t> bytes(s.Data() + s.Position(), s.Data() + s.Position() + len);
    if (BlockChecksum(bytes.data(), bytes.size()) != sum) {
        s.Seek(start);
        return nullptr;
    }
    s.Skip(len);
    return std::make_unique<TMemoryStream>(std::move(bytes));
}

std::string ScrambleName(std::string_view text, uint32_t key) {
    const uint32_t len = static_cast<uint32_t>(text.size());
    const uint8_t m = static_cast<uint8_t>(len + (key ^ kNameSalt));
    std::string out(text);
    for (size_t i = 1; i <= text.size(); ++i) {
        const uint8_t im = static_cast<uint8_t>(i);
        const uint8_t k = static_cast<uint8_t>((im ^ m) + im);
        out[i - 1] = static_cast<char>(static_cast<uint8_t>(text[i - 1]) ^ k);
    }
    return out;
}

std::string Crc16Hex(std::string_view text) {
    uint32_t r = 0;
    for (const char ch : text) {
        const uint8_t byte = static_cast<uint8_t>(ch);
        for (int bit = 0; bit < 8; ++bit) {
            const uint32_t f = (r >> 15) & 1;
            r = ((r << 1) | ((byte >> bit) & 1)) & 0xFFFF;
            if (f) r ^= 0x1021;
        }
    }
    uint32_t rev = 0;
    for (int bit = 0; bit < 16; ++bit)
        if (r & (1u << bit)) rev |= 1u << (15 - bit);
    static const char kHex[] = "0123456789ABCDEF";
    std::string out(4, '0');
    for (int i = 0; i < 4; ++i) out[i] = kHex[(rev >> (12 - 4 * i)) & 15];
    return out;
}

}  // namespace zel
