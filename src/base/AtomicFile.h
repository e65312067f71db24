// Whole-file reads and crash-safe writes of host files.
#pragma once

#include <string>
#include <string_view>

namespace zel {

// Writes bytes to a temporary file in the same folder, flushes it to disk and
// renames it over path. On any failure the previous file is untouched, the
// temporary file is removed, false is returned and err (when given) says why.
bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* err = nullptr);

// Reads a whole host file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// True when path names an existing regular file.
bool HostFileExists(const std::string& path);

}  // namespace zel
