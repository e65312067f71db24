// A script interpreter running a small source held in memory, for the tests
// of dispatch, control flow and the general commands.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ScriptTestSupport.h"
#include "base/ErrorLog.h"
#include "script/ZelScriptLib.h"

namespace zeltest {

class ScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        zel::SetErrorLogFolder("");
        zel::ClearErrors();
        zel::SetErrorFlag(false);
    }
    void TearDown() override {
        script.reset();
        zel::ClearErrors();
        zel::SetErrorFlag(false);
    }

    // Adds a file (UTF-8 source, stored as Shift-JIS).
    void File(std::string_view name, std::string_view utf8) { files.Add(name, S(utf8)); }

    // Loads main.s with the source and jumps to @@top.
    void Start(std::string_view utf8) {
        File("main.s", utf8);
        script = std::make_unique<zel::TZelScript>(&files, &regexp);
        script->ExecuteLine("\\go,@@top,main.s");
    }

    void Frames(int n, int32_t elapsed = 25) {
        for (int i = 0; i < n; ++i) script->RunFrame(elapsed, true);
    }

    // Runs n frames (the interpreter ends a frame early at an error; the next frame goes on).
    void Run(int n = 1) { Frames(n); }

    zel::TReturnValue Value(std::string_view expr) {
        const bool was = zel::ErrorFlag();
        zel::TReturnValue v = script->Evaluate(expr);
        zel::SetErrorFlag(was);
        return v;
    }
    int32_t Int(std::string_view expr) { return Value(expr).IntValue; }
    std::string Str(std::string_view expr) { return Value(expr).Text; }

    // The logged error texts (Shift-JIS) without their "[ERROR]:" prefix;
    // position lines are left out.
    static std::vector<std::string> Errors() {
        std::vector<std::string> out;
        const std::string prefix = "[ERROR]:";
        for (const std::string& line : zel::ErrorLines())
            if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
        return out;
    }
    static std::vector<std::string> PositionLines() {
        std::vector<std::string> out;
        const std::string prefix = S("[位置]:");
        for (const std::string& line : zel::ErrorLines())
            if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
        return out;
    }
    static bool HasError(std::string_view utf8Start) {
        const std::string want = S(utf8Start);
        for (const std::string& e : Errors())
            if (e.rfind(want, 0) == 0) return true;
        return false;
    }
    static std::string ErrorText() {
        std::string all;
        for (const std::string& line : zel::ErrorLines()) all += zel::SjisToUtf8(line) + "\n";
        return all;
    }

    MemGameFiles files;
    FakeRegExp regexp;
    std::unique_ptr<zel::TZelScript> script;
};

}  // namespace zeltest
