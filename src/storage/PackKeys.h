// The fixed keys and magic texts of the stored formats. The engine and every
// tool that writes game data (zelpack) take them from here, so a pack written
// by the tool always reads back in the engine. Changing any of these values
// makes every existing pack, index and encoded text unreadable.
#pragma once

#include <cstdint>
#include <string_view>

namespace zel {

// Key of ScrambleName for pack directory names and the script text encoder.
inline constexpr uint32_t kNameKey = 0x4B1D93E5u;
// One-byte salt mixed into every ScrambleName key.
inline constexpr uint8_t kNameSalt = 0xA7;

// ScrambleBlocks key of hash-index payloads.
inline constexpr uint32_t kIndexKey = 7351;
// ScrambleBlocks key of pack entries and of the version 2 check string. Every
// pack uses 0; the engine never changes it.
inline constexpr uint32_t kDefaultPackKey = 0;

// Hash-index header magics (16 bytes, NUL-padded). Readers compare the text up
// to the first NUL without regard to case and accept both versions.
inline constexpr std::string_view kHashMagic13 = "HashVer1.3";
inline constexpr std::string_view kHashMagic12 = "HashVer1.2";

// Pack trailer magics (16 bytes, NUL-padded, compared without regard to case).
inline constexpr std::string_view kPackMagic1 = "filepackver1.0";
inline constexpr std::string_view kPackMagic2 = "filepackver2.0";

// The version 2 check string: exactly 32 bytes, stored block-scrambled with
// the pack key.
inline constexpr std::string_view kPackCheckString = "k2vt59qe,3mzo1xwnb7p4c6jdl8fh0ya";

// Bucket counts of the two kinds of hash index.
inline constexpr uint32_t kPackIndexBuckets = 256;  // inside a version 2 pack
inline constexpr uint32_t kHashFileBuckets = 512;   // the ".hash" file beside a pack

}  // namespace zel
