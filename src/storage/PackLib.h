// The byte-level codecs every stored format is built from.
//
// "1PC" byte-pair compression (PackStream / UnpackStream)
//   header: u32 magic 0xFF435031 ("1PC\xFF"), u32 flags (bit 0: block sizes
//   are 16-bit; the compressor always writes 1), u32 unpacked size. Older
//   data has no header: its first u32 is the unpacked size, the flags are 0
//   and the blocks start at offset 4.
//   blocks until the end of the input, each:
//     pair table, in groups: a count byte n. n > 127: the next n - 127 codes
//       are literals and one entry follows for the code after them; n <= 127:
//       n + 1 entries follow for consecutive codes. An entry for code c is a
//       byte `left`, and a byte `right` when left != c. The table ends when
//       the running code reaches 256.
//     packed size (u16 when flags bit 0 is set, else u32), packed bytes.
//   A packed byte c with left[c] == c stands for itself; any other expands to
//   left[c] followed by right[c], recursively.
//   Each block compresses at most 8192 input bytes holding at most 200
//   distinct byte values; codes are the byte values unused in the block.
//
// "NM2" checksummed wrapper (WrapChecked / UnwrapChecked)
//   u32 magic 0xFD324D4E ("NM2\xFD"), u32 BlockChecksum of the payload,
//   u32 payload length, payload.
//
// Block scrambler: a keyed stream over whole 8-byte blocks in two 32-bit
// lanes, each block chained to the plain text of the one before; trailing
// bytes (size mod 8) are left as they are.
//
// Block checksum: four 16-bit lane sums over whole 8-byte blocks.
//
// Name scrambler: a byte-wise XOR keyed by the text's length; it is its own
// inverse.
//
// CRC-16 text: polynomial 0x1021, bits fed from the least significant,
// unpadded, the register bit-reversed and printed as four hex digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"

namespace zel {

inline constexpr uint32_t kPackMagic = 0xFF435031u;     // "1PC\xFF"
inline constexpr uint32_t kWrapMagic = 0xFD324D4Eu;     // "NM2\xFD"
inline constexpr uint32_t kMaxUnpackedSize = 0x4000000;  // 64 MiB

// What the compressor did, for tests and measurements.
struct TPackStats {
    uint32_t blocks = 0;
    // Blocks whose pair search stopped early because the pair hash was full.
    uint32_t fullHashBlocks = 0;
};

// Compresses bytes into "1PC" form.
std::vector<uint8_t> PackBytes(std::span<const uint8_t> in, TPackStats* stats = nullptr);
// Expands "1PC" data (either header form). False, with a reason in err when
// given, for a declared size over 64 MiB, a damaged pair table, a block that
// runs past the input, a pair table that nests deeper than 512, or output
// that does not come out at exactly the declared size.
bool UnpackBytes(std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string* err = nullptr);

// Stream forms: the whole input stream is consumed, the result is a new
// stream positioned at 0. UnpackStream gives nullptr for data UnpackBytes
// refuses (or a null input).
std::unique_ptr<TMemoryStream> PackStream(std::unique_ptr<TMemoryStream> in);
std::unique_ptr<TMemoryStream> UnpackStream(std::unique_ptr<TMemoryStream> in);

// Block scrambler over bytes[0, size) in place. direction 0 scrambles,
// 1 unscrambles; the same key and size undo each other.
void ScrambleBlocksDir(uint8_t* bytes, size_t size, uint32_t key, int direction);
inline void ScrambleBlocks(uint8_t* bytes, size_t size, uint32_t key) { ScrambleBlocksDir(bytes, size, key, 0); }
inline void UnscrambleBlocks(uint8_t* bytes, size_t size, uint32_t key) { ScrambleBlocksDir(bytes, size, key, 1); }

uint32_t BlockChecksum(const uint8_t* bytes, size_t size);

// Writes the wrapper of the whole payload to out at its current position.
bool WrapChecked(TMemoryStream* payload, TMemoryStream* out);
// Reads a wrapper at the stream's current position. nullptr (and the position
// left unchanged) for a wrong magic, a length past the end of the stream or a
// checksum mismatch; otherwise the payload positioned at 0.
std::unique_ptr<TMemoryStream> UnwrapChecked(TMemoryStream& s);

// Byte-wise name scrambler; applying it twice with the same key restores the text.
std::string ScrambleName(std::string_view text, uint32_t key);

// CRC-16 of a text as four upper-case hexadecimal digits.
std::string Crc16Hex(std::string_view text);

}  // namespace zel
