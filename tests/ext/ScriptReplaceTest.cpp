#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <filesystem>
#include <fstream>

#include "base/ErrorLog.h"
#include "ext/uScriptReplaceDLL.h"

using namespace zel;
namespace fs = std::filesystem;

namespace {

// A temporary game root, removed with everything in it.
class GameRoot {
public:
    GameRoot() {
        std::string tmpl = (fs::temp_directory_path() / "zel-scrrep-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~GameRoot() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

    // Puts a copy of file at DIR/NAME under the root.
    void Install(const fs::path& file, const std::string& dir = "DLL", const std::string& name = "SCRREP.so") const {
        fs::create_directories(path_ / dir);
        fs::copy_file(file, path_ / dir / name, fs::copy_options::overwrite_existing);
    }

private:
    fs::path path_;
};

const fs::path kPlugin = ZEL_TEST_SCRREP_PLUGIN;

}  // namespace

TEST(ScriptReplaceDLL, AbsentPluginIsNotAnError) {
    ClearErrors();
    SetErrorFlag(false);
    GameRoot root;
    TScriptReplaceDLL rep;
    EXPECT_FALSE(rep.Load(root.str()));
    fs::create_directories(root.path() / "DLL");
    EXPECT_FALSE(rep.Load(root.str()));
    EXPECT_FALSE(rep.Loaded());
    EXPECT_TRUE(rep.LastError().empty());
    EXPECT_FALSE(ErrorFlag());
    EXPECT_TRUE(ErrorLines().empty());
    EXPECT_EQ(rep.ReplaceLine("banana"), "banana");
}

TEST(ScriptReplaceDLL, PluginRewritesLines) {
    GameRoot root;
    root.Install(kPlugin);
    TScriptReplaceDLL rep;
    ASSERT_TRUE(rep.Load(root.str())) << rep.LastError();
    EXPECT_TRUE(rep.Loaded());
    EXPECT_EQ(fs::path(rep.ModulePath()).filename(), "SCRREP.so");

    const std::string a1023(1023, 'a'), a1024(1024, 'a');
    struct {
        std::string in, want;
    } cases[] = {
        {"banana", "bbnbnb"},
        {"", ""},
        {"grow", "grow +1"},                          // the plug-in may lengthen the line
        {"\x95\x5C" "a", "\x95\x5C" "b"},             // Shift-JIS bytes pass through
        {a1023, std::string(1023, 'b')},              // the longest line that fits passes whole
        {a1024, a1024},                               // too long for the buffer: unchanged
        {std::string("a\0a", 3), std::string("a\0a", 3)},  // a NUL would cut it short: unchanged
        {"fill", std::string(1024, 'f')},             // no NUL written: at most the buffer is read
    };
    for (const auto& c : cases) EXPECT_EQ(rep.ReplaceLine(c.in), c.want) << c.in.substr(0, 20);

    rep.Release();
    EXPECT_FALSE(rep.Loaded());
    EXPECT_EQ(rep.ReplaceLine("banana"), "banana");
}

TEST(ScriptReplaceDLL, FolderAndFileNamesIgnoreCase) {
    GameRoot root;
    root.Install(kPlugin, "dll", "scrrep.so");
    TScriptReplaceDLL rep;
    ASSERT_TRUE(rep.Load(root.str())) << rep.LastError();
    EXPECT_EQ(rep.ReplaceLine("a"), "b");
}

TEST(ScriptReplaceDLL, BrokenPluginLeavesNothingLoaded) {
    GameRoot good, junk, noEntry;
    good.Install(kPlugin);
    fs::create_directories(junk.path() / "DLL");
    std::ofstream(junk.path() / "DLL" / "SCRREP.so") << "not a shared library";
    // A real shared library without SRReplace: the PCRE2 library this test links.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&pcre2_config_8), &info), 0);
    noEntry.Install(info.dli_fname);

    TScriptReplaceDLL rep;
    ASSERT_TRUE(rep.Load(good.str()));
    EXPECT_FALSE(rep.Load(junk.str()));
    EXPECT_FALSE(rep.Loaded());
    EXPECT_EQ(rep.LastError().rfind("Not Found SCRREP.DLL \r\n(", 0), 0u) << rep.LastError();
    EXPECT_NE(rep.LastError().find("SCRREP.so)"), std::string::npos);
    EXPECT_EQ(rep.ReplaceLine("a"), "a");

    EXPECT_FALSE(rep.Load(noEntry.str()));
    EXPECT_FALSE(rep.Loaded());
    // "関数(SRReplace)の所得に失敗しました"
    EXPECT_EQ(rep.LastError(),
              "\x8A\xD6\x90\x94(SRReplace)\x82\xCC\x8F\x8A\x93\xBE\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5"
              "\x82\xBD");
    EXPECT_TRUE(rep.ModulePath().empty());

    ASSERT_TRUE(rep.Load(good.str()));
    EXPECT_TRUE(rep.LastError().empty());
}
