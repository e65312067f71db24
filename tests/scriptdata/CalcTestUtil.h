// Helpers shared by the script-data tests: a recording stand-in for the object
// manager, Shift-JIS conversion of test texts, and error-list access.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "scriptdata/ZelCalculationLib.h"

namespace zel::testing {

// Shift-JIS bytes of a UTF-8 test text.
inline std::string SjisOf(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToSjis(utf8, out)) << utf8;
    return out;
}

// The logged error texts without their "[ERROR]:" prefix.
inline std::vector<std::string> Errors() {
    std::vector<std::string> out;
    for (const std::string& line : ErrorLines()) {
        const std::string prefix = "[ERROR]:";
        out.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line);
    }
    return out;
}

inline void ResetErrors() {
    SetErrorLogFolder("");
    ClearErrors();
    SetErrorFlag(false);
}

// Records every callback and keeps a registry of live objects by name, refusing
// a second object of a name as the object manager does. A state record is the
// object's name behind a marker, or an empty string for "no object".
class TRecordingObjects : public IObjectCallbacks {
public:
    std::vector<std::string> calls;
    std::set<std::string> live;

    bool OnCreateObject(const std::string& type, const std::string& var, const std::string& name) override {
        calls.push_back("create " + type + " " + var + " " + name);
        return live.insert(name).second;
    }
    bool OnFreeObject(const std::string& type, const std::string& var, const std::string& name) override {
        calls.push_back("free " + type + " " + var + " " + name);
        return live.erase(name) == 1;
    }
    void OnSaveObject(TMemoryStream& s, const std::string& type, const std::string& name,
                      const std::string& var) override {
        calls.push_back("save " + type + " " + name + " " + var);
        WriteLenString(s, name.empty() ? std::string() : "state:" + name);
    }
    bool OnLoadObject(TMemoryStream& s, const std::string& type, const std::string& name,
                      const std::string& var) override {
        const std::string record = ReadLenString(s);
        calls.push_back("load " + type + " " + name + " " + var + " " + record);
        if (record.empty()) return false;
        if (record != "state:" + name) throw EStreamError("state record of another object");
        return live.insert(name).second;
    }
};

}  // namespace zel::testing
