#include "ext/uScriptReplaceDLL.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/Sjis.h"
#include "zel/plugin.h"

namespace zel {

namespace {

namespace fs = std::filesystem;

static_assert(TScriptReplaceDLL::kBufferSize == ZEL_SRREPLACE_BUFFER_SIZE);

// "関数(%s)の所得に失敗しました", split around the export name.
constexpr std::string_view kMissingExportHead = "\x8A\xD6\x90\x94(";
constexpr std::string_view kMissingExportTail = ")\x82\xCC\x8F\x8A\x93\xBE\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

// The entry of dir whose name equals name without regard to ASCII case
// (the exact name first); empty when there is none.
fs::path FindNoCase(const fs::path& dir, const std::string& name, bool wantDirectory) {
    auto fits = [wantDirectory](const fs::path& p) {
        std::error_code statError;
        return wantDirectory ? fs::is_directory(p, statError) : fs::is_regular_file(p, statError);
    };
    std::error_code ec;
    if (fits(dir / name)) return dir / name;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualsNoCase(it->path().filename().string(), name) && fits(it->path())) return it->path();
    }
    return {};
}

// Host path as a Shift-JIS text for messages; the bytes as they are when a
// name has no Shift-JIS form.
std::string PathForMessage(const fs::path& p) {
    std::string sjis;
    return Utf8ToSjis(p.string(), sjis) ? sjis : p.string();
}

}  // namespace

TScriptReplaceDLL::~TScriptReplaceDLL() { Release(); }

void TScriptReplaceDLL::Release() {
    replace_ = nullptr;
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    modulePath_.clear();
}

bool TScriptReplaceDLL::Load(const std::string& gameRoot) {
    Release();
    lastError_.clear();
    const fs::path dir = FindNoCase(fs::path(gameRoot.empty() ? "." : gameRoot), "DLL", true);
    if (dir.empty()) return false;
    const fs::path file = FindNoCase(dir, "SCRREP.so", false);
    if (file.empty()) return false;  // no plug-in: lines are read as they are

    std::error_code ec;
    fs::path abs = fs::absolute(file, ec);
    if (ec) abs = file;
    void* handle = dlopen(abs.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        lastError_ = "Not Found SCRREP.DLL \r\n(" + PathForMessage(abs) + ")";
        return false;
    }
    void* sym = dlsym(handle, "SRReplace");
    if (!sym) {
        dlclose(handle);
        lastError_.assign(kMissingExportHead);
        lastError_ += "SRReplace";
        lastError_ += kMissingExportTail;
        return false;
    }
    handle_ = handle;
    replace_ = reinterpret_cast<ReplaceFn>(sym);
    modulePath_ = abs.string();
    return true;
}

std::string TScriptReplaceDLL::ReplaceLine(const std::string& line) {
    if (!replace_) return line;
    // The plug-in sees a NUL-terminated line in a fixed buffer: a line that
    // would not fit, or that a NUL would cut short, is left as it is rather
    // than overflowing the buffer or losing its tail.
    if (line.size() >= kBufferSize || line.find('\0') != std::string::npos) return line;
    std::vector<char> buf(kBufferSize, '\0');
    std::memcpy(buf.data(), line.data(), line.size());
    replace_(buf.data());
    const void* nul = std::memchr(buf.data(), '\0', buf.size());
    const size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buf.data()) : buf.size();
    return std::string(buf.data(), len);
}

}  // namespace zel
