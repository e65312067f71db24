#include "storage/uFilePackWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/AtomicFile.h"
#include "base/Sjis.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"

namespace zel {

namespace {

bool SetErr(std::string* err, std::string what) {
    if (err) *err = std::move(what);
    return false;
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

TFilePackWriter::TFilePackWriter(TPackWriteOptions options) : options_(options) {}

TFilePackWriter::~TFilePackWriter() { Discard(); }

void TFilePackWriter::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmpPath_.empty()) ::unlink(tmpPath_.c_str());
    tmpPath_.clear();
}

bool TFilePackWriter::Begin(const std::string& path, std::string* err) {
    Discard();
    names_.clear();
    records_.clear();
    seen_.clear();
    written_ = 0;
    if (options_.version != 1 && options_.version != 2) return SetErr(err, "pack version must be 1 or 2");
    path_ = path;
    std::string tmpl = path + ".tmpXXXXXX";
    fd_ = ::mkstemp(tmpl.data());
    if (fd_ < 0) return SetErr(err, ErrnoText("cannot create a temporary file beside " + path));
    tmpPath_ = tmpl;
    return true;
}

bool TFilePackWriter::WriteRaw(const void* p, size_t n, std::string* err) {
    const auto* b = static_cast<const uint8_t*>(p);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::write(fd_, b + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return SetErr(err, ErrnoText("cannot write " + tmpPath_));
        }
        done += static_cast<size_t>(r);
    }
    written_ += n;
    return true;
}

bool TFilePackWriter::Add(std::string_view name, std::span<const uint8_t> bytes, std::string* err) {
    if (fd_ < 0) return SetErr(err, "no pack is being written");
    const std::string key = AsciiLower(name);
    if (key.empty()) return SetErr(err, "an entry needs a name");
    if (key.size() > 0xFFFF) return SetErr(err, "entry name is longer than 65535 bytes");
    if (bytes.size() > 0xFFFFFFFFull) return SetErr(err, "entry " + key + " is 4 GiB or larger");
    if (seen_.count(key)) return SetErr(err, "duplicate entry name " + key);

    TPackEntryRecord r;
    r.unused = static_cast<uint32_t>(bytes.size());
    std::vector<uint8_t> stored;
    if (options_.compress && bytes.size() <= kMaxUnpackedSize) {
        stored = PackBytes(bytes);
        if (stored.size() < bytes.size()) {
            r.compressed = 1;
        } else {
            stored.assign(bytes.begin(), bytes.end());
        }
    } else {
        stored.assign(bytes.begin(), bytes.end());
    }
    if (options_.scramble) {
        ScrambleBlocks(stored.data(), stored.size(), kDefaultPackKey);
        r.scrambled = 1;
    }
    r.offset = static_cast<int64_t>(written_);
    r.storedSize = static_cast<uint32_t>(stored.size());
    r.checksum = BlockChecksum(stored.data(), stored.size());
    if (!WriteRaw(stored.data(), stored.size(), err)) return false;
    seen_.insert(key);
    names_.push_back(key);
    records_.push_back(r);
    return true;
}

bool TFilePackWriter::BuildIndex(THashTable& table, std::string* err) const {
    if (names_.size() > THashTable::kMaxEntries)
        return SetErr(err, "an index holds at most 65535 entries; this pack has " + std::to_string(names_.size()));
    for (size_t i = 0; i < names_.size(); ++i) {
        const uint8_t v[2] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
        if (!table.Put(names_[i], v, 2)) return SetErr(err, "cannot index entry " + names_[i]);
    }
    return true;
}

bool TFilePackWriter::Finish(std::string* err) {
    if (fd_ < 0) return SetErr(err, "no pack is being written");
    if (names_.size() > 0xFFFFFFFFull) return SetErr(err, "too many entries");
    const uint64_t dirOffset = written_;
    TMemoryStream tail;
    for (size_t i = 0; i < names_.size(); ++i) {
        WriteLenString(tail, ScrambleName(names_[i], kNameKey));
        const TPackEntryRecord& r = records_[i];
        tail.WriteI64(r.offset);
        tail.WriteU32(r.storedSize);
        tail.WriteU32(r.unused);
        tail.WriteU32(r.compressed);
        tail.WriteU32(r.scrambled);
        tail.WriteU32(r.checksum);
    }
    const auto writeMagic = [&tail](std::string_view magic) {
        uint8_t field[16] = {};
        std::memcpy(field, magic.data(), magic.size());
        tail.Write(field, sizeof field);
    };
    if (options_.version == 1) {
        writeMagic(kPackMagic1);
    } else {
        THashTable index(kPackIndexBuckets);
        if (!BuildIndex(index, err)) return false;
        TMemoryStream image;
        if (!index.SaveToStream(image)) return SetErr(err, "the pack index is too large");
        if (image.Size() > 0x7FFFFFFF) return SetErr(err, "the pack index is too large");
        tail.Write(image.Data(), image.Size());
        uint8_t check[32];
        std::memcpy(check, kPackCheckString.data(), 32);
        ScrambleBlocks(check, 32, kDefaultPackKey);
        tail.Write(check, 32);
        tail.WriteI32(static_cast<int32_t>(image.Size()));
        const std::vector<uint8_t> unused(1024, 0);
        tail.Write(unused.data(), unused.size());
        writeMagic(kPackMagic2);
    }
    tail.WriteU32(static_cast<uint32_t>(names_.size()));
    tail.WriteI64(static_cast<int64_t>(dirOffset));
    if (!WriteRaw(tail.Data(), tail.Size(), err)) return false;

    ::fchmod(fd_, 0644);
    if (::fsync(fd_) != 0) return SetErr(err, ErrnoText("cannot flush " + tmpPath_));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return SetErr(err, ErrnoText("cannot close " + tmpPath_));
    if (::rename(tmpPath_.c_str(), path_.c_str()) != 0) return SetErr(err, ErrnoText("cannot replace " + path_));
    tmpPath_.clear();
    return true;
}

bool TFilePackWriter::WriteHashFile(const std::string& path, std::string* err) const {
    THashTable index(kHashFileBuckets);
    if (!BuildIndex(index, err)) return false;
    TMemoryStream image;
    if (!index.SaveToStream(image)) return SetErr(err, "the hash index is too large");
    return AtomicWriteFile(path, image.View(), err);
}

}  // namespace zel
