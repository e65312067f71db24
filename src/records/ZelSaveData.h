// Save files: the container of one saved game (header, thumbnail, body).
//
// The whole file is one checksummed wrapper (PackLib.h) whose payload is:
//   0        1024  header
//   1024     4     thumbnail size T (int32; 0 = no thumbnail)
//   1028     T     thumbnail: a BMP file image with 15-bit (5-5-5) pixels
//   1028+T   4     body size B (int32)
//   1032+T   B     body: the game-state stream, packed with PackStream when
//                  the packed flag is set, then scrambled over its whole
//                  length with the key when the scrambled flag is set
//
// Header (1024 bytes):
//   0    16   magic "ZELSAVE110" and six zero bytes (compared up to the first zero)
//   16   1    scrambled flag          17  1  packed flag
//   18   8    save time: double, days since 1899-12-30, time as the fraction
//   26   128  name 0: a length byte (0..127) and 127 bytes of room, zero after the text
//   154  128  name 1       282 128 name 2       410 128 name 3
//   538  128  text: the first 30 characters of the newest log entry, same form
//   666  32   check string, scrambled with the key
//   698  326  zero
//
// The key is the "CodeKey" setting masked to 24 bits: a file written under
// another key fails the check string and is refused. A reader refuses a
// wrong magic, a bad checksum, a check-string mismatch, a length byte above
// 127, a negative size or one that runs past the payload, and a body that
// does not unpack.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"

namespace zel {

class TARGB8888;

inline constexpr std::string_view kSaveMagic = "ZELSAVE110";
inline constexpr std::string_view kSystemDataMagic = "ZELSYSDATA12";
// The fixed text that files store scrambled to prove the key they were written with.
inline constexpr std::string_view kRecordCheckString = "p7xm2kq4zbn9vc3lt6rw1hy8sg5df0ja";
inline constexpr uint32_t kDefaultCodeKey = 46203;

// The scrambler key of a "CodeKey" setting value.
inline uint32_t RecordKey(int64_t codeKey) { return static_cast<uint32_t>(codeKey) & 0xFFFFFFu; }

// The current local time as days since 1899-12-30 with the time as the fraction.
double NowAsDays();

// A short string of `room` bytes: a length byte then the text, zero padded.
// The text is cut to room bytes on a character boundary.
void WriteShortString(uint8_t* dst, size_t room, std::string_view text);
// Raises EStreamError for a length byte above room.
std::string ReadShortString(const uint8_t* src, size_t room);

// Writes the 32 check bytes scrambled with key at dst; CheckMatches undoes it.
void WriteCheckString(uint8_t* dst, uint32_t key);
bool CheckMatches(const uint8_t* src, uint32_t key);

// A BMP file image of img with 15-bit pixels (16 bits each, 5-5-5, rows
// bottom-up padded to 4 bytes). Empty for an empty image.
std::string EncodeBmp15(const TARGB8888& img);

class TZelSaveData {
public:
    static constexpr size_t kHeaderSize = 1024;
    static constexpr size_t kNameRoom = 127;
    static constexpr size_t kTextChars = 30;

    explicit TZelSaveData(uint32_t key) : key_(key) { Clear(); }

    // Zeroes the header, drops thumbnail and body.
    void Clear();
    // A fresh header: magic, both flags 0, the time, four names and the text
    // (cut to its first 30 characters, then to 127 bytes).
    void SetHeader(std::string_view name0, std::string_view name1, std::string_view text, std::string_view name2,
                   std::string_view name3, double time = NowAsDays());
    void SetBody(std::vector<uint8_t> body) { body_ = std::make_unique<TMemoryStream>(std::move(body)); }
    // Keeps the picture as its 15-bit BMP image.
    void SetThumbnail(const TARGB8888& img);
    void SetThumbnailBmp(std::string bmp) { thumbnail_ = std::move(bmp); }

    // False when there is no body.
    bool WriteStream(TMemoryStream& out, bool scrambled, bool packed);
    // Written whole to a temporary file beside path and renamed over it, so
    // the previous file stays until the new one is complete.
    bool WriteFile(const std::string& path, bool scrambled, bool packed, std::string* err = nullptr);
    // On false the object is cleared.
    bool ReadStream(TMemoryStream& in, bool wantThumbnail, bool wantBody);
    bool ReadFile(const std::string& path, bool wantThumbnail, bool wantBody);

    const std::array<uint8_t, kHeaderSize>& Header() const { return header_; }
    double SaveTime() const;
    std::string Name(int i) const;  // 0..3
    std::string Text() const;
    bool Scrambled() const { return header_[16] != 0; }
    bool Packed() const { return header_[17] != 0; }
    // The thumbnail's BMP file image; empty when there is none (or it was not read).
    const std::string& ThumbnailBmp() const { return thumbnail_; }
    // The thumbnail decoded; false when there is none or it does not decode.
    bool Thumbnail(TARGB8888& out) const;
    // The unpacked body; null when there is none (or it was not read).
    TMemoryStream* Body() { return body_.get(); }

private:
    bool Parse(TMemoryStream& payload, bool wantThumbnail, bool wantBody);

    uint32_t key_;
    std::array<uint8_t, kHeaderSize> header_{};
    std::string thumbnail_;
    std::unique_ptr<TMemoryStream> body_;
};

}  // namespace zel
