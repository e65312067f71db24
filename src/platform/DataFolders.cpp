#include "platform/DataFolders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zel {

namespace fs = std::filesystem;

TDataFolderEnvironment ProcessDataFolderEnvironment() {
    TDataFolderEnvironment env;
    if (const char* x = std::getenv("XDG_DATA_HOME")) env.xdgDataHome = x;
    if (const char* h = std::getenv("HOME")) env.home = h;
    env.writable = [](const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; };
    return env;
}

std::string WritableRootFor(const std::string& gameRoot, const TDataFolderEnvironment& env) {
    if (!env.writable || env.writable(gameRoot)) return gameRoot;
    // The XDG base directory rules: a relative XDG_DATA_HOME is ignored.
    fs::path base;
    if (!env.xdgDataHome.empty() && fs::path(env.xdgDataHome).is_absolute())
        base = env.xdgDataHome;
    else if (!env.home.empty())
        base = fs::path(env.home) / ".local" / "share";
    else
        return {};
    std::error_code ec;
    fs::path root = fs::absolute(gameRoot, ec).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();  // "/games/demo/" -> "/games/demo"
    std::string name = root.filename().string();
    if (name.empty() || name == "." || name == "..") name = "game";
    const fs::path folder = base / "zel" / name;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return {};
    return folder.string();
}

}  // namespace zel
