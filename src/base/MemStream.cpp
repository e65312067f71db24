#include "base/MemStream.h"

#include <cstring>

namespace zel {

void TMemoryStream::Seek(size_t pos) {
    if (pos > data_.size()) throw EStreamError("stream seek past the end");
    pos_ = pos;
}

void TMemoryStream::SetSize(size_t n) {
    data_.resize(n);
    if (pos_ > n) pos_ = n;
}

void TMemoryStream::Require(size_t n) const {
    if (n > Remaining()) throw EStreamError("stream read past the end");
}

void TMemoryStream::RequireItems(uint64_t count, uint64_t itemSize) const {
    if (itemSize != 0 && count > Remaining() / itemSize) throw EStreamError("stream count larger than the data");
}

void TMemoryStream::Read(void* dst, size_t n) {
    Require(n);
    if (n) std::memcpy(dst, data_.data() + pos_, n);
    pos_ += n;
}

uint8_t TMemoryStream::ReadU8() {
    Require(1);
    return data_[pos_++];
}

uint16_t TMemoryStream::ReadU16() {
    Require(2);
    const uint8_t* p = data_.data() + pos_;
    pos_ += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t TMemoryStream::ReadU32() {
    Require(4);
    const uint8_t* p = data_.data() + pos_;
    pos_ += 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t TMemoryStream::ReadU64() {
    const uint64_t lo = ReadU32();
    const uint64_t hi = ReadU32();
    return lo | (hi << 32);
}

double TMemoryStream::ReadF64() {
    const uint64_t bits = ReadU64();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

float TMemoryStream::ReadF32() {
    const uint32_t bits = ReadU32();
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::string TMemoryStream::ReadBytes(size_t n) {
    Require(n);
    std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return s;
}

void TMemoryStream::Skip(size_t n) {
    Require(n);
    pos_ += n;
}

void TMemoryStream::Write(const void* src, size_t n) {
    if (n == 0) return;
    if (pos_ + n > data_.size()) data_.resize(pos_ + n);
    std::memcpy(data_.data() + pos_, src, n);
    pos_ += n;
}

void TMemoryStream::WriteU16(uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    Write(b, 2);
}

void TMemoryStream::WriteU32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    Write(b, 4);
}

void TMemoryStream::WriteU64(uint64_t v) {
    WriteU32(static_cast<uint32_t>(v));
    WriteU32(static_cast<uint32_t>(v >> 32));
}

void TMemoryStream::WriteF64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof v);
    WriteU64(bits);
}

void TMemoryStream::WriteF32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof v);
    WriteU32(bits);
}

void WriteLenString(TMemoryStream& s, std::string_view text) {
    if (text.size() > 0xFFFF) text = text.substr(0, 0xFFFF);
    s.WriteU16(static_cast<uint16_t>(text.size()));
    s.WriteBytes(text);
}

std::string ReadLenString(TMemoryStream& s) {
    const uint16_t n = s.ReadU16();
    return s.ReadBytes(n);
}

}  // namespace zel
