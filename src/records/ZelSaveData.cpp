#include "records/ZelSaveData.h"

#include <sys/time.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/BmpReader.h"
#include "storage/PackLib.h"

namespace zel {

namespace {

constexpr size_t kScrambledAt = 16, kPackedAt = 17, kTimeAt = 18, kNamesAt = 26, kTextAt = 538, kCheckAt = 666;
constexpr size_t kShortRoom = 128;  // length byte + 127

// Longest prefix of text within `bytes` bytes that does not split a character.
size_t CutOnChar(std::string_view text, size_t bytes) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t next = NextCharPos(text, i);
        if (next > bytes) break;
        i = next;
    }
    return i;
}

void PutU16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

double NowAsDays() {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    const time_t t = tv.tv_sec;
    tm local{};
    ::localtime_r(&t, &local);
    const double seconds = static_cast<double>(t) + static_cast<double>(local.tm_gmtoff) + tv.tv_usec / 1e6;
    return 25569.0 + seconds / 86400.0;
}

void WriteShortString(uint8_t* dst, size_t room, std::string_view text) {
    const size_t n = CutOnChar(text, room);
    std::memset(dst, 0, room + 1);
    dst[0] = static_cast<uint8_t>(n);
    std::memcpy(dst + 1, text.data(), n);
}

std::string ReadShortString(const uint8_t* src, size_t room) {
    if (src[0] > room) throw EStreamError("a short string's length byte is larger than its room");
    return std::string(reinterpret_cast<const char*>(src + 1), src[0]);
}

void WriteCheckString(uint8_t* dst, uint32_t key) {
    std::memcpy(dst, kRecordCheckString.data(), kRecordCheckString.size());
    ScrambleBlocks(dst, kRecordCheckString.size(), key);
}

bool CheckMatches(const uint8_t* src, uint32_t key) {
    uint8_t check[32];
    std::memcpy(check, src, sizeof check);
    UnscrambleBlocks(check, sizeof check, key);
    return std::memcmp(check, kRecordCheckString.data(), sizeof check) == 0;
}

std::string EncodeBmp15(const TARGB8888& img) {
    const int32_t w = img.Width(), h = img.Height();
    if (w <= 0 || h <= 0) return {};
    const uint32_t rowBytes = (static_cast<uint32_t>(w) * 2 + 3) & ~3u;
    const uint32_t dataSize = rowBytes * static_cast<uint32_t>(h);
    std::string s;
    s.reserve(54 + dataSize);
    s += "BM";
    PutU32(s, 54 + dataSize);
    PutU32(s, 0);
    PutU32(s, 54);
    PutU32(s, 40);
    PutU32(s, static_cast<uint32_t>(w));
    PutU32(s, static_cast<uint32_t>(h));
    PutU16(s, 1);
    PutU16(s, 16);
    PutU32(s, 0);  // BI_RGB: 16 bits are 5-5-5
    PutU32(s, dataSize);
    PutU32(s, 2835);
    PutU32(s, 2835);
    PutU32(s, 0);
    PutU32(s, 0);
    for (int32_t y = h - 1; y >= 0; --y) {
        const uint32_t* row = img.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = row[x];
            const uint16_t v = static_cast<uint16_t>(((p >> 19) & 0x1F) << 10 | ((p >> 11) & 0x1F) << 5 | ((p >> 3) & 0x1F));
            PutU16(s, v);
        }
        for (uint32_t pad = static_cast<uint32_t>(w) * 2; pad < rowBytes; ++pad) s.push_back('\0');
    }
    return s;
}

void TZelSaveData::Clear() {
    header_.fill(0);
    thumbnail_.clear();
    body_.reset();
}

void TZelSaveData::SetHeader(std::string_view name0, std::string_view name1, std::string_view text,
                             std::string_view name2, std::string_view name3, double time) {
    header_.fill(0);
    std::memcpy(header_.data(), kSaveMagic.data(), kSaveMagic.size());
    std::memcpy(header_.data() + kTimeAt, &time, sizeof time);
    const std::string_view names[4] = {name0, name1, name2, name3};
    for (int i = 0; i < 4; ++i) WriteShortString(header_.data() + kNamesAt + kShortRoom * i, kNameRoom, names[i]);
    size_t chars = 0, end = 0;
    while (end < text.size() && chars < kTextChars) {
        end = NextCharPos(text, end);
        ++chars;
    }
    WriteShortString(header_.data() + kTextAt, kNameRoom, text.substr(0, end));
}

void TZelSaveData::SetThumbnail(const TARGB8888& img) { thumbnail_ = EncodeBmp15(img); }

bool TZelSaveData::WriteStream(TMemoryStream& out, bool scrambled, bool packed) {
    if (!body_) return false;
    header_[kScrambledAt] = scrambled ? 1 : 0;
    header_[kPackedAt] = packed ? 1 : 0;
    WriteCheckString(header_.data() + kCheckAt, key_);
    TMemoryStream payload;
    payload.Write(header_.data(), header_.size());
    payload.WriteI32(static_cast<int32_t>(thumbnail_.size()));
    payload.WriteBytes(thumbnail_);
    std::vector<uint8_t> body = body_->Bytes();
    if (packed) body = PackBytes(body);
    if (scrambled) ScrambleBlocks(body.data(), body.size(), key_);
    if (body.size() > INT32_MAX) return false;
    payload.WriteI32(static_cast<int32_t>(body.size()));
    payload.Write(body.data(), body.size());
    return WrapChecked(&payload, &out);
}

bool TZelSaveData::WriteFile(const std::string& path, bool scrambled, bool packed, std::string* err) {
    TMemoryStream out;
    if (!WriteStream(out, scrambled, packed)) {
        if (err) *err = "nothing to save";
        return false;
    }
    return AtomicWriteFile(path, out.View(), err);
}

bool TZelSaveData::ReadStream(TMemoryStream& in, bool wantThumbnail, bool wantBody) {
    Clear();
    std::unique_ptr<TMemoryStream> payload = UnwrapChecked(in);
    if (!payload) return false;
    bool ok = false;
    try {
        ok = Parse(*payload, wantThumbnail, wantBody);
    } catch (const EZelError&) {
        ok = false;
    }
    if (!ok) Clear();
    return ok;
}

bool TZelSaveData::Parse(TMemoryStream& p, bool wantThumbnail, bool wantBody) {
    p.Read(header_.data(), header_.size());
    const size_t magicEnd = std::find(header_.begin(), header_.begin() + 16, uint8_t{0}) - header_.begin();
    if (std::string_view(reinterpret_cast<const char*>(header_.data()), magicEnd) != kSaveMagic) return false;
    if (!CheckMatches(header_.data() + kCheckAt, key_)) return false;
    // Every length byte must fit its room.
    for (int i = 0; i < 4; ++i) ReadShortString(header_.data() + kNamesAt + kShortRoom * i, kNameRoom);
    ReadShortString(header_.data() + kTextAt, kNameRoom);
    const int32_t t = p.ReadI32();
    if (t < 0) return false;
    p.Require(static_cast<size_t>(t));
    if (wantThumbnail && t > 0) {
        thumbnail_ = p.ReadBytes(static_cast<size_t>(t));
        TARGB8888 probe;
        if (!Thumbnail(probe)) thumbnail_.clear();  // a damaged picture is no picture; the save stays usable
    } else {
        p.Skip(static_cast<size_t>(t));
    }
    const int32_t b = p.ReadI32();
    if (b < 0 || static_cast<size_t>(b) > p.Remaining()) return false;
    if (!wantBody) return true;
    std::vector<uint8_t> body(static_cast<size_t>(b));
    p.Read(body.data(), body.size());
    if (Scrambled()) UnscrambleBlocks(body.data(), body.size(), key_);
    if (Packed()) {
        std::vector<uint8_t> plain;
        if (!UnpackBytes(body, plain)) return false;
        body = std::move(plain);
    }
    body_ = std::make_unique<TMemoryStream>(std::move(body));
    return true;
}

bool TZelSaveData::ReadFile(const std::string& path, bool wantThumbnail, bool wantBody) {
    Clear();
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    TMemoryStream in(bytes);
    return ReadStream(in, wantThumbnail, wantBody);
}

double TZelSaveData::SaveTime() const {
    double t;
    std::memcpy(&t, header_.data() + kTimeAt, sizeof t);
    return t;
}

std::string TZelSaveData::Name(int i) const {
    if (i < 0 || i > 3) return {};
    const uint8_t* src = header_.data() + kNamesAt + kShortRoom * static_cast<size_t>(i);
    return src[0] > kNameRoom ? std::string() : ReadShortString(src, kNameRoom);
}

std::string TZelSaveData::Text() const {
    const uint8_t* src = header_.data() + kTextAt;
    return src[0] > kNameRoom ? std::string() : ReadShortString(src, kNameRoom);
}

bool TZelSaveData::Thumbnail(TARGB8888& out) const {
    if (thumbnail_.empty()) return false;
    try {
        TBmpReader::Read(reinterpret_cast<const uint8_t*>(thumbnail_.data()), thumbnail_.size(), out, 255);
        return true;
    } catch (const EZelError&) {
        return false;
    }
}

}  // namespace zel
