#include "storage/uFilePack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "base/Sjis.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"

namespace zel {

namespace {

constexpr uint64_t kTrailer1Size = 28;
constexpr uint64_t kTrailer2Size = 1088;
constexpr uint64_t kMinDirEntry = 2 + 28;

// "パッケージからの読み込みに失敗しました:" (reading from the package failed)
const char kReadFailedMsg[] =
    "\x83\x70\x83\x62\x83\x50\x81\x5B\x83\x57\x82\xA9\x82\xE7\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8"
    "\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD:";

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

// Text of a fixed field up to its first NUL.
std::string_view FieldText(const uint8_t* p, size_t n) {
    const auto* c = reinterpret_cast<const char*>(p);
    const void* nul = std::memchr(c, 0, n);
    return std::string_view(c, nul ? static_cast<size_t>(static_cast<const char*>(nul) - c) : n);
}

// Sequential reads of a byte range of a file in large chunks, for the directory.
class TRangeReader {
public:
    TRangeReader(int fd, uint64_t pos, uint64_t end) : fd_(fd), pos_(pos), end_(end) {}

    void Read(void* dst, size_t n) {
        auto* out = static_cast<uint8_t*>(dst);
        while (n > 0) {
            if (at_ == buf_.size()) Refill();
            const size_t k = std::min(n, buf_.size() - at_);
            std::memcpy(out, buf_.data() + at_, k);
            at_ += k;
            out += k;
            n -= k;
        }
    }

private:
    void Refill() {
        if (pos_ >= end_) throw EStreamError("pack directory runs past the end of the pack");
        const size_t want = static_cast<size_t>(std::min<uint64_t>(end_ - pos_, 1 << 16));
        buf_.resize(want);
        size_t done = 0;
        while (done < want) {
            const ssize_t r = ::pread(fd_, buf_.data() + done, want - done, static_cast<off_t>(pos_ + done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) throw EFileError("cannot read the pack directory");
            done += static_cast<size_t>(r);
        }
        pos_ += want;
        at_ = 0;
    }

    int fd_;
    uint64_t pos_, end_;
    std::vector<uint8_t> buf_;
    size_t at_ = 0;
};

}  // namespace

std::string ReplaceExtension(const std::string& path, std::string_view ext) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    std::string out = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot)
                                                                                                  : path;
    out += ext;
    return out;
}

// ---------------------------------------------------------------------------

TFilePack::TFilePack(std::string path, bool keepOpen, std::optional<TPackWindow> window)
    : keepOpen_(keepOpen), path_(std::move(path)), window_(window) {
    Open();
}

TFilePack::~TFilePack() { CloseFile(); }

void TFilePack::OpenFile() {
    if (fd_ >= 0) return;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EFileError("cannot open " + path_ + ": " + std::strerror(errno));
}

void TFilePack::CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void TFilePack::ReadAt(uint64_t offset, void* dst, size_t n) {
    auto* out = static_cast<uint8_t*>(dst);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw EFileError("cannot read " + path_ + ": " + std::strerror(errno));
        if (r == 0) throw EFileError(path_ + " is shorter than when it was opened");
        done += static_cast<size_t>(r);
    }
}

bool TFilePack::Open() {
    CloseFile();
    index_.reset();
    records_.clear();
    names_.clear();
    nameIndex_.clear();
    version_ = 0;
    error_ = false;
    errorText_.clear();
    try {
        OpenFile();
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) throw EFileError(path_ + " is not a regular file");
        const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
        base_ = 0;
        end_ = fileSize;
        if (window_) {
            if (window_->end > fileSize || window_->base > window_->end)
                throw EStreamError(path_ + ": the pack window lies outside the file");
            base_ = window_->base;
            end_ = window_->end;
        }
        const uint64_t size = end_ - base_;
        if (size < kTrailer1Size) throw EStreamError(path_ + " is too short to be a pack");

        uint8_t tail[kTrailer1Size];
        ReadAt(end_ - kTrailer1Size, tail, sizeof tail);
        const std::string_view magic = FieldText(tail, 16);
        uint64_t trailerSize;
        if (EqualsNoCase(magic, kPackMagic1)) {
            trailerSize = kTrailer1Size;
            version_ = 1;
        } else if (EqualsNoCase(magic, kPackMagic2)) {
            if (size < kTrailer2Size) throw EStreamError(path_ + " is too short for its pack trailer");
            trailerSize = kTrailer2Size;
            std::vector<uint8_t> trailer(kTrailer2Size);
            ReadAt(end_ - kTrailer2Size, trailer.data(), trailer.size());
            UnscrambleBlocks(trailer.data(), 32, packKey_);
            if (FieldText(trailer.data(), 32) != kPackCheckString)
                throw EStreamError(path_ + " is not a pack of this engine (check string differs)");
            const int32_t s = static_cast<int32_t>(Get32(trailer.data() + 32));
            if (s < 0 || static_cast<uint64_t>(s) > size - kTrailer2Size)
                throw EStreamError(path_ + ": the pack index size is larger than the pack");
            TMemoryStream idx;
            idx.SetSize(static_cast<size_t>(s));
            ReadAt(end_ - kTrailer2Size - static_cast<uint64_t>(s), idx.Data(), idx.Size());
            auto table = std::make_unique<THashTable>(kPackIndexBuckets);
            table->LoadFromStream(idx);
            index_ = std::move(table);
            version_ = 2;
        } else {
            throw EStreamError(path_ + " is not a pack (unknown trailer)");
        }

        const uint32_t count = Get32(tail + 16);
        const int64_t dirOffset = static_cast<int64_t>(Get64(tail + 20));
        if (dirOffset < 0 || static_cast<uint64_t>(dirOffset) > size - trailerSize)
            throw EStreamError(path_ + ": the pack directory lies outside the pack");
        LoadDirectory(static_cast<uint64_t>(dirOffset), size - trailerSize - static_cast<uint64_t>(dirOffset), count);
    } catch (const std::exception& e) {
        error_ = true;
        errorText_ = e.what();
        version_ = 0;
        index_.reset();
        records_.clear();
        names_.clear();
        nameIndex_.clear();
        CloseFile();
        return false;
    }
    if (!keepOpen_) CloseFile();
    return true;
}

void TFilePack::LoadDirectory(uint64_t offset, uint64_t avail, uint32_t count) {
    if (count > avail / kMinDirEntry) throw EStreamError(path_ + ": the pack directory is shorter than its entry count");
    TRangeReader in(fd_, base_ + offset, base_ + offset + avail);
    records_.reserve(count);
    names_.reserve(count);
    nameIndex_.reserve(count);
    std::string raw;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t len[2];
        in.Read(len, 2);
        raw.resize(static_cast<size_t>(len[0] | (len[1] << 8)));
        in.Read(raw.data(), raw.size());
        uint8_t rec[28];
        in.Read(rec, sizeof rec);
        TPackEntryRecord r;
        r.offset = static_cast<int64_t>(Get64(rec));
        r.storedSize = Get32(rec + 8);
        r.unused = Get32(rec + 12);
        r.compressed = Get32(rec + 16);
        r.scrambled = Get32(rec + 20);
        r.checksum = Get32(rec + 24);
        names_.push_back(ScrambleName(raw, kNameKey));
        records_.push_back(r);
        nameIndex_.try_emplace(names_.back(), i);  // the first of equal names stays
    }
}

std::optional<size_t> TFilePack::FindEntry(std::string_view name) const {
    const auto it = nameIndex_.find(AsciiLower(name));
    if (it == nameIndex_.end()) return std::nullopt;
    return it->second;
}

std::vector<uint8_t> TFilePack::ReadStored(size_t index) {
    const TPackEntryRecord& r = records_.at(index);
    const uint64_t size = end_ - base_;
    if (r.offset < 0 || static_cast<uint64_t>(r.offset) > size || r.storedSize > size - static_cast<uint64_t>(r.offset))
        throw EStreamError(path_ + ": entry " + names_[index] + " lies outside the pack");
    const bool opened = fd_ < 0;
    OpenFile();
    std::vector<uint8_t> bytes(r.storedSize);
    try {
        ReadAt(base_ + static_cast<uint64_t>(r.offset), bytes.data(), bytes.size());
    } catch (...) {
        if (opened && !keepOpen_) CloseFile();
        throw;
    }
    if (opened && !keepOpen_) CloseFile();
    return bytes;
}

std::unique_ptr<TMemoryStream> TFilePack::ReadEntry(int64_t index) {
    if (index < 0 || static_cast<uint64_t>(index) >= records_.size()) return nullptr;
    const size_t i = static_cast<size_t>(index);
    const TPackEntryRecord& r = records_[i];
    std::vector<uint8_t> bytes = ReadStored(i);
    if (checksumCheck_ && r.storedSize < kMaxCheckedSize && BlockChecksum(bytes.data(), bytes.size()) != r.checksum) {
        if (OnChecksumError) OnChecksumError(names_[i]);
        return nullptr;
    }
    if (r.scrambled) UnscrambleBlocks(bytes.data(), bytes.size(), packKey_);
    if (r.compressed) {
        std::vector<uint8_t> out;
        std::string why;
        if (!UnpackBytes(bytes, out, &why)) throw EStreamError(path_ + ": entry " + names_[i] + " is damaged: " + why);
        bytes = std::move(out);
    }
    return std::make_unique<TMemoryStream>(std::move(bytes));
}

std::unique_ptr<TMemoryStream> TFilePack::ReadFile(std::string_view name) {
    const std::string key = AsciiLower(name);
    if (index_) {
        uint8_t v[2];
        if (index_->Get(key, v, 2)) return ReadEntry(v[0] | (v[1] << 8));
    }
    const auto it = nameIndex_.find(key);
    if (it == nameIndex_.end()) return nullptr;
    return ReadEntry(it->second);
}

// ---------------------------------------------------------------------------

THashFilePack::THashFilePack(const std::string& path, bool keepOpen)
    : THashFilePack(ReplaceExtension(path, ".pack"), keepOpen, ReplaceExtension(path, ".hash")) {}

THashFilePack::THashFilePack(const std::string& path, bool keepOpen, const std::string& hashPath)
    : hashPath_(hashPath), packPath_(path) {
    if (!hashPath_.empty() && HostFileExists(hashPath_)) {
        auto table = std::make_unique<THashTable>(kHashFileBuckets);
        try {
            // A present index that cannot be read would hide every file of the pack.
            if (!table->LoadFromFile(hashPath_)) throw EFileError("cannot read " + hashPath_);
            index_ = std::move(table);
        } catch (const std::exception& e) {
            error_ = true;
            errorText_ = hashPath_ + ": " + e.what();
        }
    }
    if (HostFileExists(packPath_)) {
        pack_ = std::make_unique<TFilePack>(packPath_, keepOpen);
        if (pack_->Error()) {
            error_ = true;
            if (errorText_.empty()) errorText_ = pack_->ErrorText();
        }
    }
}

bool THashFilePack::Contains(std::string_view name) {
    if (!pack_) return false;
    if (index_) return index_->Get(name, nullptr, 0);
    return pack_->Contains(name);
}

std::unique_ptr<TMemoryStream> THashFilePack::ReadFile(std::string_view name) {
    if (!pack_) return nullptr;
    try {
        if (index_) {
            uint8_t v[2];
            if (!index_->Get(name, v, 2)) return nullptr;
            return pack_->ReadEntry(v[0] | (v[1] << 8));
        }
        return pack_->ReadFile(name);
    } catch (const std::exception&) {
        throw EFileError(std::string(kReadFailedMsg) + std::string(name));
    }
}

void THashFilePack::SetChecksumCheck(bool on) {
    if (pack_) pack_->SetChecksumCheck(on);
}

void THashFilePack::SetOnChecksumError(TChecksumErrorHandler handler) {
    if (pack_) pack_->OnChecksumError = std::move(handler);
}

}  // namespace zel
