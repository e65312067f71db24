#include "storage/PackFolder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <span>
#include <system_error>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "base/Sjis.h"
#include "storage/PackLib.h"
#include "storage/uFilePack.h"
#include "storage/uFilePackWriter.h"

namespace zel {

namespace fs = std::filesystem;

namespace {

std::span<const uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

bool IsTextFile(const fs::path& p) {
    const std::string ext = AsciiLower(p.extension().string());
    return ext == ".s" || ext == ".txt" || ext == ".dat";
}

// "U+XXXX" of the UTF-8 character at pos, or a note that the bytes are not UTF-8.
std::string DescribeChar(std::string_view s, size_t pos) {
    const auto b = [&](size_t i) { return pos + i < s.size() ? static_cast<uint8_t>(s[pos + i]) : 0u; };
    uint32_t cp = 0;
    size_t n = 0;
    if (b(0) >= 0xC2 && b(0) <= 0xDF) {
        cp = b(0) & 0x1F;
        n = 2;
    } else if (b(0) >= 0xE0 && b(0) <= 0xEF) {
        cp = b(0) & 0x0F;
        n = 3;
    } else if (b(0) >= 0xF0 && b(0) <= 0xF4) {
        cp = b(0) & 0x07;
        n = 4;
    }
    for (size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80) return "bytes that are not UTF-8";
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    if (n == 0) return "bytes that are not UTF-8";
    char buf[32];
    std::snprintf(buf, sizeof buf, "U+%04X", cp);
    return buf;
}

// Game path below the folder: components joined with backslashes.
std::string GamePath(const fs::path& rel) {
    std::string out;
    for (const auto& part : rel) {
        if (!out.empty()) out += '\\';
        out += part.string();
    }
    return out;
}

// Splits a game path at backslashes and slashes; a Shift-JIS trail byte is
// never a separator.
std::vector<std::string> SplitGamePath(std::string_view name) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < name.size();) {
        const size_t n = CharLen(name, i);
        if (n == 1 && (name[i] == '\\' || name[i] == '/')) {
            parts.emplace_back();
        } else {
            parts.back().append(name.substr(i, n));
        }
        i += n;
    }
    return parts;
}

struct SourceFile {
    fs::path hostPath;
    std::string gamePath;  // Shift-JIS (or the host bytes without conversion)
};

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// The pack of hp for listing, extracting or checking; nullptr, with the reason
// written to err, when the pack is missing or it or its ".hash" index cannot
// be read (the game would not use such a pack set either).
TFilePack* OpenForReading(THashFilePack& hp, const std::string& pack, std::ostream& err) {
    TFilePack* p = hp.Pack();
    std::error_code ec;
    if (fs::is_directory(pack, ec)) {
        err << "zelpack: " << pack << " is a folder, not a pack archive\n";
        return nullptr;
    }
    if (!p) {
        // The pack set is named by its ".pack" file (or its ".hash" index).
        const std::string ext = AsciiLower(fs::path(pack).extension().string());
        if (!fs::exists(pack, ec))
            err << "zelpack: " << pack << " does not exist\n";
        else if (ext != ".pack" && ext != ".hash")
            err << "zelpack: " << pack << " is not a pack archive: a pack's name ends in .pack\n";
        else
            err << "zelpack: " << ReplaceExtension(pack, ".pack") << ", the pack of " << pack << ", does not exist\n";
        return nullptr;
    }
    if (hp.Error()) {
        err << "zelpack: " << hp.ErrorText() << "\n";
        return nullptr;
    }
    return p;
}

}  // namespace

int PackFolder(const std::string& outPack, const std::string& folder, const TPackFolderOptions& o, std::ostream& out,
               std::ostream& err) {
    if (o.version != 1 && o.version != 2) {
        err << "zelpack: --version must be 1 or 2\n";
        return 1;
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        err << "zelpack: " << folder << " is not a folder\n";
        return 1;
    }
    const std::string hashPath = ReplaceExtension(outPack, ".hash");

    // Collect the files first, so that the pack being written is never one of them.
    std::vector<SourceFile> files;
    std::map<std::string, std::string> byKey;  // lower-cased game path -> host path
    bool failed = false;
    fs::path base = fs::path(folder).lexically_normal();
    if (!base.has_filename() && base.has_parent_path()) base = base.parent_path();  // "dir/" -> "dir"
    fs::recursive_directory_iterator it(base, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path p = it->path();
        std::error_code typeEc;  // a dangling link is skipped, not fatal
        if (!it->is_regular_file(typeEc)) continue;
        if (SameFile(p, outPack) || SameFile(p, hashPath)) continue;
        SourceFile f;
        f.hostPath = p;
        // Names on disk are UTF-8 (as extract writes them); game paths are
        // Shift-JIS. Converting every name keeps extract and create inverse.
        const std::string rel = GamePath(p.lexically_relative(base));
        size_t bad = 0;
        if (!Utf8ToSjis(rel, f.gamePath, &bad)) {
            err << "zelpack: " << p.string() << ": the name holds " << DescribeChar(rel, bad)
                << ", which has no Shift-JIS form\n";
            failed = true;
            continue;
        }
        if (f.gamePath.size() > 0xFFFF) {
            err << "zelpack: " << p.string() << ": the name is longer than 65535 bytes\n";
            failed = true;
            continue;
        }
        const std::string key = AsciiLower(f.gamePath);
        const auto [at, fresh] = byKey.emplace(key, p.string());
        if (!fresh) {
            err << "zelpack: " << at->second << " and " << p.string() << " both become the game path "
                << SjisToUtf8(key) << "\n";
            failed = true;
            continue;
        }
        files.push_back(std::move(f));
    }
    if (ec) {
        err << "zelpack: cannot read all of " << folder << ": " << ec.message() << "\n";
        return 1;
    }
    if (failed) return 1;
    std::sort(files.begin(), files.end(),
              [](const SourceFile& a, const SourceFile& b) { return AsciiLower(a.gamePath) < AsciiLower(b.gamePath); });

    const fs::path outDir = fs::path(outPack).parent_path();
    if (!outDir.empty() && !fs::is_directory(outDir, ec) && !fs::create_directories(outDir, ec)) {
        err << "zelpack: cannot create the folder " << outDir.string() << ": " << ec.message() << "\n";
        return 1;
    }
    TFilePackWriter w({o.version, o.compress, o.scramble});
    std::string why;
    if (!w.Begin(outPack, &why)) {
        err << "zelpack: " << why << "\n";
        return 1;
    }
    uint64_t inBytes = 0;
    for (const SourceFile& f : files) {
        std::string bytes;
        if (!ReadWholeFile(f.hostPath.string(), bytes)) {
            err << "zelpack: cannot read " << f.hostPath.string() << "\n";
            return 1;
        }
        if (o.sjisFromUtf8 && IsTextFile(f.hostPath)) {
            std::string_view text(bytes);
            if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a BOM has no place in Shift-JIS
            std::string sjis;
            size_t bad = 0;
            if (!Utf8ToSjis(text, sjis, &bad)) {
                const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(bad), '\n'));
                err << "zelpack: " << f.hostPath.string() << ":" << line << ": " << DescribeChar(text, bad)
                    << " has no Shift-JIS form\n";
                failed = true;
                continue;
            }
            bytes = std::move(sjis);
        }
        inBytes += bytes.size();
        if (!w.Add(f.gamePath, AsBytes(bytes), &why)) {
            err << "zelpack: " << f.hostPath.string() << ": " << why << "\n";
            return 1;
        }
    }
    if (failed) return 1;  // the writer discards its temporary file
    if (!w.Finish(&why)) {
        err << "zelpack: " << why << "\n";
        return 1;
    }
    if (o.hash) {
        if (!w.WriteHashFile(hashPath, &why)) {
            // A ".hash" that does not match the new pack would send lookups to the wrong entries.
            fs::remove(hashPath, ec);
            err << "zelpack: " << why << "\n";
            return 1;
        }
    } else if (fs::exists(hashPath, ec)) {
        if (!fs::remove(hashPath, ec)) {
            err << "zelpack: cannot remove the old index " << hashPath << ", which no longer matches the pack\n";
            return 1;
        }
        out << "removed the old index " << hashPath << "\n";
    }
    std::error_code sizeEc;
    const auto packSize = fs::file_size(outPack, sizeEc);
    out << "packed " << files.size() << " file" << (files.size() == 1 ? "" : "s") << " (" << inBytes << " bytes) into "
        << outPack << " (" << (sizeEc ? 0 : packSize) << " bytes, version " << o.version
        << (o.compress ? ", compressed" : "") << (o.scramble ? ", scrambled" : "") << ")";
    if (o.hash) out << " with the index " << hashPath;
    out << "\n";
    return 0;
}

int ListPack(const std::string& pack, std::ostream& out, std::ostream& err) {
    THashFilePack hp(pack, false);
    TFilePack* p = OpenForReading(hp, pack, err);
    if (!p) return 1;
    out << p->FileName() << ": version " << p->Version() << ", " << p->Count() << " entries"
        << (p->HashIndex() ? ", internal index" : "")
        << (hp.ExternalIndex() ? ", external index " + hp.HashFileName() : std::string()) << "\n";
    char line[96];
    for (size_t i = 0; i < p->Count(); ++i) {
        const TPackEntryRecord& r = p->Entry(i);
        std::snprintf(line, sizeof line, "%6zu %10u %c%c %08X  ", i, r.storedSize, r.compressed ? 'c' : '-',
                      r.scrambled ? 's' : '-', r.checksum);
        out << line << SjisToUtf8(p->EntryName(i)) << "\n";
    }
    return 0;
}

int ExtractPack(const std::string& pack, const std::string& folder, std::ostream& out, std::ostream& err) {
    THashFilePack hp(pack, false);
    TFilePack* p = OpenForReading(hp, pack, err);
    if (!p) return 1;
    p->SetChecksumCheck(true);
    bool checksumFailed = false;
    p->OnChecksumError = [&](const std::string&) { checksumFailed = true; };
    bool failed = false;
    size_t written = 0;
    std::set<std::string> done;
    for (size_t i = 0; i < p->Count(); ++i) {
        const std::string& name = p->EntryName(i);
        const std::string shown = SjisToUtf8(name);
        if (!done.insert(name).second) {
            out << "skipped entry " << i << " " << shown << ": an earlier entry has the same name\n";
            continue;
        }
        fs::path target = folder;
        bool safe = true;
        for (const std::string& part : SplitGamePath(name)) {
            if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos) safe = false;
            target /= SjisToUtf8(part);
        }
        if (!safe) {
            err << "zelpack: entry " << i << " " << shown << ": the name would leave the folder; not extracted\n";
            failed = true;
            continue;
        }
        std::unique_ptr<TMemoryStream> s;
        checksumFailed = false;
        try {
            s = p->ReadEntry(static_cast<int64_t>(i));
        } catch (const std::exception& e) {
            err << "zelpack: entry " << i << " " << shown << ": " << SjisToUtf8(e.what()) << "\n";
            failed = true;
            continue;
        }
        if (!s) {
            err << "zelpack: entry " << i << " " << shown << (checksumFailed ? ": checksum mismatch" : ": unreadable")
                << "\n";
            failed = true;
            continue;
        }
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        std::string why;
        if (ec || !AtomicWriteFile(target.string(), s->View(), &why)) {
            err << "zelpack: cannot write " << target.string() << ": " << (ec ? ec.message() : why) << "\n";
            failed = true;
            continue;
        }
        ++written;
    }
    out << "extracted " << written << " of " << p->Count() << " entries into " << folder << "\n";
    return failed ? 1 : 0;
}

int VerifyPack(const std::string& pack, std::ostream& out, std::ostream& err) {
    THashFilePack hp(pack, false);
    TFilePack* p = OpenForReading(hp, pack, err);
    if (!p) return 1;
    size_t problems = 0;
    uint64_t bytes = 0;
    p->SetChecksumCheck(false);
    for (size_t i = 0; i < p->Count(); ++i) {
        const std::string shown = SjisToUtf8(p->EntryName(i));
        try {
            // Every checksum, also of entries the engine never checks (16 MiB and more).
            const std::vector<uint8_t> stored = p->ReadStored(i);
            if (BlockChecksum(stored.data(), stored.size()) != p->Entry(i).checksum) {
                err << "zelpack: entry " << i << " " << shown << ": checksum mismatch\n";
                ++problems;
                continue;
            }
            const auto s = p->ReadEntry(static_cast<int64_t>(i));
            if (!s) throw EStreamError("unreadable");
            bytes += s->Size();
        } catch (const std::exception& e) {
            err << "zelpack: entry " << i << " " << shown << ": " << SjisToUtf8(e.what()) << "\n";
            ++problems;
        }
    }
    // Every directory name must lead, through each index, to its own entry.
    const auto checkIndex = [&](THashTable* index, const char* what) {
        if (!index) return;
        std::set<std::string> names;
        for (size_t i = 0; i < p->Count(); ++i) {
            const std::string& name = p->EntryName(i);
            if (!names.insert(name).second) continue;
            uint8_t v[2];
            try {
                if (!index->Get(name, v, 2)) {
                    err << "zelpack: the " << what << " lacks " << SjisToUtf8(name) << "\n";
                    ++problems;
                    continue;
                }
            } catch (const std::exception& e) {
                err << "zelpack: the " << what << " entry of " << SjisToUtf8(name) << ": " << e.what() << "\n";
                ++problems;
                continue;
            }
            const size_t n = v[0] | (v[1] << 8);
            if (n >= p->Count() || p->EntryName(n) != name) {
                err << "zelpack: the " << what << " sends " << SjisToUtf8(name) << " to entry " << n << "\n";
                ++problems;
            }
        }
        for (const std::string& name : index->Names()) {
            uint8_t v[2];
            try {
                if (index->Get(name, v, 2) && (v[0] | (v[1] << 8)) >= static_cast<int>(p->Count())) {
                    err << "zelpack: the " << what << " sends " << SjisToUtf8(name) << " past the last entry\n";
                    ++problems;
                }
            } catch (const std::exception&) {
                // Reported above when the name is in the directory; otherwise it is harmless.
            }
        }
    };
    checkIndex(p->HashIndex(), "internal index");
    checkIndex(hp.ExternalIndex(), "external index");
    if (problems) {
        err << "zelpack: " << pack << ": " << problems << " problem" << (problems == 1 ? "" : "s") << "\n";
        return 1;
    }
    out << pack << ": " << p->Count() << " entries (" << bytes << " bytes) verified\n";
    return 0;
}

}  // namespace zel
