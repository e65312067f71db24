// The work behind the zelpack tool: packing a folder into a pack archive,
// listing, extracting and verifying packs. Each function prints what it did
// to out and every problem, naming the file, to err (UTF-8 text for a
// person), and returns the tool's exit status: 0 success, 1 failure.
#pragma once

#include <ostream>
#include <string>

namespace zel {

struct TPackFolderOptions {
    int version = 2;            // 1 or 2
    bool compress = false;      // PackStream the entries (those that shrink)
    bool scramble = false;      // ScrambleBlocks the entries
    bool hash = false;          // also write the ".hash" index beside the pack
    bool sjisFromUtf8 = false;  // ".s", ".txt", ".dat" contents are UTF-8: convert them to Shift-JIS
};

// Packs every regular file under folder, named by its path below folder with
// backslashes, converted from UTF-8 (the names on disk) to Shift-JIS. Refuses
// a name with no Shift-JIS form, two files that give the same (lower-cased)
// game path, and, with sjisFromUtf8, text that has no Shift-JIS form (naming
// file and line). The previous pack stays as it was unless the new one was written
// whole. Without hash, a ".hash" left beside the pack by an earlier run is
// removed, since it would no longer match.
int PackFolder(const std::string& outPack, const std::string& folder, const TPackFolderOptions& options,
               std::ostream& out, std::ostream& err);

// One line per entry: number, stored size, flags, checksum, name.
int ListPack(const std::string& pack, std::ostream& out, std::ostream& err);

// Writes every entry below folder (game paths become folders, Shift-JIS names
// become UTF-8). Names that would leave the folder are refused.
int ExtractPack(const std::string& pack, const std::string& folder, std::ostream& out, std::ostream& err);

// Checks every entry's checksum, reads every entry back (unscramble and
// unpack) and checks that the pack's indexes lead to the right entries.
int VerifyPack(const std::string& pack, std::ostream& out, std::ostream& err);

}  // namespace zel
