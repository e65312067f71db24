// Object callbacks for the variable-store target and its seeds: an object
// is a name in a set, and its state record is its name, length-prefixed
// (an empty record stands for no object).
#pragma once

#include <set>
#include <string>

#include "base/MemStream.h"
#include "scriptdata/ZelValueStore.h"

namespace zelfuzz {

class NameObjects : public zel::IObjectCallbacks {
public:
    std::set<std::string> live;
    bool OnCreateObject(const std::string&, const std::string&, const std::string& name) override {
        return live.insert(name).second;
    }
    bool OnFreeObject(const std::string&, const std::string&, const std::string& name) override {
        return live.erase(name) == 1;
    }
    void OnSaveObject(zel::TMemoryStream& s, const std::string&, const std::string& name,
                      const std::string&) override {
        zel::WriteLenString(s, name);
    }
    bool OnLoadObject(zel::TMemoryStream& s, const std::string&, const std::string& name,
                      const std::string&) override {
        const std::string stored = zel::ReadLenString(s);
        if (stored.empty()) return false;
        return live.insert(name).second;
    }
};

}  // namespace zelfuzz
