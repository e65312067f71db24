// Pack archives: one host file holding many named game files.
//
// A pack occupies the byte window [base, end) of its file (normally the whole
// file); every offset it stores is relative to base. Little-endian.
//
//   entries' stored bytes, anywhere in the window
//   directory at the directory offset, for each entry:
//     name: u16 length + bytes, lower-cased, ScrambleName'd with the name key
//     record (28 bytes): i64 offset, u32 stored size, u32 (unused; zelpack
//       writes the unpacked size), u32 compressed flag (stored bytes are in
//       PackStream form), u32 scrambled flag (ScrambleBlocks with the pack
//       key over the stored size), u32 BlockChecksum of the stored bytes
//   version 1 trailer, the last 28 bytes:
//     16 magic "filepackver1.0" NUL-padded, u32 entry count, i64 directory offset
//   version 2 trailer, the last 1088 bytes, preceded by S bytes of hash index
//   (THashTable stream form, 256 buckets, values u16 entry numbers):
//     32 check string "k2vt59qe,3mzo1xwnb7p4c6jdl8fh0ya" ScrambleBlocks'd with
//        the pack key, i32 S, 1024 unused bytes, 16 magic "filepackver2.0",
//     u32 entry count, i64 directory offset
// Magics compare without regard to case up to the first NUL.
//
// A ".hash" file beside a pack (THashFilePack) is a 512-bucket index of the
// same kind that takes precedence over the pack's own lookup.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/MemStream.h"
#include "storage/uHashTable.h"

namespace zel {

struct TPackEntryRecord {
    int64_t offset = 0;
    uint32_t storedSize = 0;
    uint32_t unused = 0;
    uint32_t compressed = 0;
    uint32_t scrambled = 0;
    uint32_t checksum = 0;
};

// An explicit byte window of the file that holds the pack.
struct TPackWindow {
    uint64_t base = 0;
    uint64_t end = 0;
};

// Receives the name of an entry whose stored bytes fail their checksum.
using TChecksumErrorHandler = std::function<void(const std::string& entryName)>;

class TFilePack {
public:
    // Entries of 16 MiB or more are never checksummed.
    static constexpr uint32_t kMaxCheckedSize = 0x1000000;

    // Opens the pack at once (see Open). keepOpen holds the file open for the
    // pack's whole life; otherwise it is opened around every read.
    TFilePack(std::string path, bool keepOpen, std::optional<TPackWindow> window = std::nullopt);
    ~TFilePack();
    TFilePack(const TFilePack&) = delete;
    TFilePack& operator=(const TFilePack&) = delete;

    // Reads the trailer, the version 2 index and the directory. False, with
    // the error flag set and ErrorText saying why, when the file cannot be
    // read or is not a valid pack. Never raises.
    bool Open();

    bool Error() const { return error_; }
    const std::string& ErrorText() const { return errorText_; }
    const std::string& FileName() const { return path_; }
    int Version() const { return version_; }  // 1 or 2; 0 before a successful Open

    size_t Count() const { return records_.size(); }
    const std::string& EntryName(size_t i) const { return names_.at(i); }
    const TPackEntryRecord& Entry(size_t i) const { return records_.at(i); }
    // Directory position of the name (lower-cased before the lookup); the
    // first of two equal names wins.
    std::optional<size_t> FindEntry(std::string_view name) const;
    bool Contains(std::string_view name) const { return FindEntry(name).has_value(); }

    // The entry's bytes (unscrambled and unpacked), positioned at 0. nullptr
    // for an index out of range, or when checksum checking is on and the
    // stored bytes fail it (OnChecksumError then receives the name). Raises
    // EZelError when the entry lies outside the pack, the file cannot be read
    // or the packed bytes are damaged.
    std::unique_ptr<TMemoryStream> ReadEntry(int64_t index);
    // By name: through the version 2 index when it knows the name, else the
    // directory. nullptr when the pack does not hold it.
    std::unique_ptr<TMemoryStream> ReadFile(std::string_view name);
    // The entry's stored bytes as they are in the file (no checks applied).
    std::vector<uint8_t> ReadStored(size_t index);

    bool ChecksumCheck() const { return checksumCheck_; }
    void SetChecksumCheck(bool on) { checksumCheck_ = on; }
    TChecksumErrorHandler OnChecksumError;

    // The version 2 index, or nullptr.
    THashTable* HashIndex() { return index_.get(); }
    uint32_t PackKey() const { return packKey_; }

private:
    void OpenFile();
    void CloseFile();
    void ReadAt(uint64_t offset, void* dst, size_t n);
    void LoadDirectory(uint64_t offset, uint64_t avail, uint32_t count);

    std::unique_ptr<THashTable> index_;
    int fd_ = -1;
    std::vector<TPackEntryRecord> records_;
    std::vector<std::string> names_;
    std::unordered_map<std::string, uint32_t> nameIndex_;
    bool keepOpen_;
    std::string path_;
    std::optional<TPackWindow> window_;
    uint64_t base_ = 0;
    uint64_t end_ = 0;
    bool checksumCheck_ = false;
    uint32_t packKey_ = 0;
    int version_ = 0;
    bool error_ = false;
    std::string errorText_;
};

// A pack with its optional ".hash" index, as the game's file lookup opens
// them: path may carry any extension; "NAME.hash" and "NAME.pack" are used.
class THashFilePack {
public:
    THashFilePack(const std::string& path, bool keepOpen);
    // With the index found by the caller (empty: the pack has no index).
    THashFilePack(const std::string& path, bool keepOpen, const std::string& hashPath);

    // Set when the index or the pack could not be read: the pack set is unusable.
    bool Error() const { return error_; }
    const std::string& ErrorText() const { return errorText_; }

    bool Contains(std::string_view name);
    // nullptr when the name is not in the pack (or fails its checksum while
    // checking is on). Any failure while reading raises EFileError with the
    // message "パッケージからの読み込みに失敗しました:" + name.
    std::unique_ptr<TMemoryStream> ReadFile(std::string_view name);

    void SetChecksumCheck(bool on);
    void SetOnChecksumError(TChecksumErrorHandler handler);

    TFilePack* Pack() { return pack_.get(); }
    THashTable* ExternalIndex() { return index_.get(); }
    const std::string& HashFileName() const { return hashPath_; }
    const std::string& PackFileName() const { return packPath_; }

private:
    std::string hashPath_;
    std::string packPath_;
    std::unique_ptr<THashTable> index_;
    std::unique_ptr<TFilePack> pack_;
    bool error_ = false;
    std::string errorText_;
};

// path with its extension (the text after the last '.' of the last path
// component) replaced by ext, which includes the dot.
std::string ReplaceExtension(const std::string& path, std::string_view ext);

}  // namespace zel
