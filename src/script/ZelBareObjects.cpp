#include "script/ZelBareObjects.h"

#include <array>

#include "base/Sjis.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

// Type words by type number; 25 and 34 (extension classes name their own) are
// not words of the engine.
constexpr std::array<std::string_view, 36> kTypeWords = {
    "",     "sys",  "dat",  "sdat", "snd",  "dsnd", "img",  "msg",  "btn", "bar",  "eff",  "scsr",
    "csr",  "log",  "cam",  "rep",  "path", "show", "simg", "sbtn", "file", "tcp",  "dlg",  "slog",
    "flog", "",     "math", "list", "cfg",  "misc", "inp",  "skey", "clip", "dlgs", "",     "ext",
};

}  // namespace

uint8_t ObjectTypeNumber(std::string_view typeWord) {
    if (typeWord.empty()) return 0;
    for (size_t i = 1; i < kTypeWords.size(); ++i)
        if (!kTypeWords[i].empty() && EqualsNoCase(kTypeWords[i], typeWord)) return static_cast<uint8_t>(i);
    return 0;
}

std::string_view ObjectTypeWord(uint8_t typeNo) {
    if (typeNo < kTypeWords.size() && !kTypeWords[typeNo].empty()) return kTypeWords[typeNo];
    return "none";
}

bool TBareObjectHost::OnCreateObject(const std::string& typeName, const std::string&, const std::string& objectName) {
    const uint8_t no = ObjectTypeNumber(typeName);
    if (no == 0 || objectName.empty()) return false;
    return objects_.emplace(AsciiLower(objectName), no).second;
}

bool TBareObjectHost::OnFreeObject(const std::string&, const std::string&, const std::string& objectName) {
    return objects_.erase(AsciiLower(objectName)) > 0;
}

// Bare entries have no state: their record is empty.
void TBareObjectHost::OnSaveObject(TMemoryStream&, const std::string&, const std::string&, const std::string&) {}

bool TBareObjectHost::OnLoadObject(TMemoryStream&, const std::string& typeName, const std::string& objectName,
                                   const std::string& varName) {
    return OnCreateObject(typeName, varName, objectName);
}

bool TBareObjectHost::FindObject(std::string_view name, TScriptObjectInfo& info) {
    const auto it = objects_.find(AsciiLower(name));
    if (it == objects_.end()) return false;
    info.TypeNo = it->second;
    info.TypeWord = std::string(ObjectTypeWord(it->second));
    return true;
}

bool TBareObjectHost::ObjectCommand(ICommandContext& context, std::string_view name) {
    const auto it = objects_.find(AsciiLower(name));
    if (it == objects_.end() || !context.Command().Fields) return false;
    const TObjectCommandHandler* handler = handlers_.Find(it->second);
    return handler && (*handler)(context, name);
}

bool TBareObjectHost::Swap(std::string_view, std::string_view) { return false; }

std::string TBareObjectHost::ResolvePath(std::string_view name, bool) {
    if (files_ && !name.empty() && files_->GameFileExists(name)) return std::string(name);
    return {};
}

}  // namespace zel
