// Growable byte buffer with a read/write position: the one reader of every
// binary format. Every read is bounds-checked; a read past the end raises
// EStreamError. Multi-byte values are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"

namespace zel {

class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    explicit TMemoryStream(std::string_view bytes) : data_(bytes.begin(), bytes.end()) {}

    size_t Size() const { return data_.size(); }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    bool AtEnd() const { return pos_ >= data_.size(); }
    // Moves the position; a position past the end raises EStreamError.
    void Seek(size_t pos);
    void Rewind() { pos_ = 0; }
    void Clear() { data_.clear(); pos_ = 0; }
    // Cuts or zero-extends the buffer; the position is clamped to the new size.
    void SetSize(size_t n);

    const uint8_t* Data() const { return data_.data(); }
    uint8_t* Data() { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t> TakeBytes() { pos_ = 0; return std::move(data_); }
    std::string_view View() const { return {reinterpret_cast<const char*>(data_.data()), data_.size()}; }
    std::string ToString() const { return std::string(View()); }

    // Raises EStreamError unless n more bytes can be read.
    void Require(size_t n) const;
    // Raises EStreamError unless count items of itemSize bytes can still be read
    // (the product is computed without overflow).
    void RequireItems(uint64_t count, uint64_t itemSize) const;

    void Read(void* dst, size_t n);
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    int16_t ReadI16() { return static_cast<int16_t>(ReadU16()); }
    uint64_t ReadU64();
    int64_t ReadI64() { return static_cast<int64_t>(ReadU64()); }
    double ReadF64();
    float ReadF32();
    std::string ReadBytes(size_t n);
    void Skip(size_t n);

    void Write(const void* src, size_t n);
    void WriteU8(uint8_t v) { Write(&v, 1); }
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    void WriteI16(int16_t v) { WriteU16(static_cast<uint16_t>(v)); }
    void WriteU64(uint64_t v);
    void WriteI64(int64_t v) { WriteU64(static_cast<uint64_t>(v)); }
    void WriteF64(double v);
    void WriteF32(float v);
    void WriteBytes(std::string_view s) { Write(s.data(), s.size()); }

private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
};

// Length-prefixed string of every stored record: an unsigned 16-bit byte count
// and the bytes. A text longer than 65535 bytes is cut to 65535 bytes, so the
// count always matches the bytes that follow.
void WriteLenString(TMemoryStream& s, std::string_view text);
std::string ReadLenString(TMemoryStream& s);

}  // namespace zel
