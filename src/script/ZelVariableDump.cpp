#include "script/ZelVariableDump.h"

#include "scriptdata/ZelValueStore.h"

namespace zel {

std::string EscapeDumpText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c; break;
        }
    }
    return out;
}

void DumpVariables(const TValue& store, int scope, std::string& out) {
    for (int32_t i = 0; i < store.Count(); ++i) {
        const TValueArrayCustom* a = store.Item(i).Data.get();
        if (!a) continue;
        out += std::to_string(scope);
        out += '\t';
        out += EscapeDumpText(a->Name);
        out += '\t';
        out += EscapeDumpText(a->TypeName);
        out += '\t';
        out += std::to_string(a->Count);
        TReturnValue v;
        for (int32_t e = 0; e < a->Count; ++e) {
            out += '\t';
            if (!a->GetItem(e, v)) continue;
            if (v.Kind == rkInteger) out += std::to_string(v.IntValue);
            else out += EscapeDumpText(v.Text);
        }
        out += '\n';
    }
}

}  // namespace zel
