#include "scriptdata/ZelCalculationLib.h"

#include <algorithm>

#include "base/ErrorLog.h"
#include "base/Sjis.h"
#include "scriptdata/ZelCalcInternal.h"
#include "scriptdata/ZelCalcMessages.h"

namespace zel {

namespace {

// True when the last character (not merely the last byte) is ']'.
bool EndsWithBracket(std::string_view s) {
    if (s.empty() || s.back() != ']') return false;
    size_t i = 0, last = 0;
    while (i < s.size()) {
        last = i;
        i += CharLen(s, i);
    }
    return last == s.size() - 1;
}

}  // namespace

// Splits "name[e1,e2,...]" (a text whose last character is "]"); any other
// text is a plain name. The name is the text up to the first '"', '(', '[' or
// '{' without its blanks; the pieces are the index list split at the commas
// that lie outside brackets and string literals. Pieces view into `text`.
void TZelCalculation::SplitReference(std::string_view text, TReference& out) {
    out.Name = {};
    out.HasList = false;
    out.Count = 0;
    if (!EndsWithBracket(text)) {
        out.Name = text;
        return;
    }
    // The name: up to the first '"', '(', '[' or '{', blanks dropped.
    size_t i = 0;
    bool blanks = false;
    for (; i < text.size(); i += CharLen(text, i)) {
        if (CharLen(text, i) == 2) continue;
        const char c = text[i];
        if (c == '"' || c == '(' || c == '[' || c == '{') break;
        blanks = blanks || IsBlank(c);
    }
    if (!blanks) {
        out.Name = text.substr(0, i);
    } else {
        out.NameBuf.clear();
        for (size_t k = 0; k < i; k += CharLen(text, k)) {
            if (CharLen(text, k) == 2) out.NameBuf.append(text.substr(k, 2));
            else if (!IsBlank(text[k])) out.NameBuf += text[k];
        }
        out.Name = out.NameBuf;
    }
    // The index list: from the first '[' to the bracket that closes it.
    bool inString = false;
    size_t open = std::string_view::npos;
    for (size_t k = i; k < text.size(); k += CharLen(text, k)) {
        if (CharLen(text, k) == 2) continue;
        if (text[k] == '"') inString = !inString;
        else if (!inString && text[k] == '[') {
            open = k;
            break;
        }
    }
    if (open == std::string_view::npos) return;
    size_t close = text.size() - 1;  // an unbalanced list runs to the final ']'
    int depth = 0;
    inString = false;
    for (size_t k = open + 1; k < text.size(); k += CharLen(text, k)) {
        if (CharLen(text, k) == 2) continue;
        const char c = text[k];
        if (c == '"') inString = !inString;
        if (inString) continue;
        if (c == '(' || c == '[' || c == '{') ++depth;
        else if (c == ')' || c == ']' || c == '}') {
            if (depth == 0) {
                close = k;
                break;
            }
            --depth;
        }
    }
    out.HasList = true;
    const std::string_view list = text.substr(open + 1, close - open - 1);
    size_t start = 0;
    depth = 0;
    inString = false;
    auto addPiece = [&](size_t end) {
        if (out.Count < 4) out.Pieces[static_cast<size_t>(out.Count)] = TrimBlanks(list.substr(start, end - start));
        ++out.Count;
    };
    for (size_t k = 0; k < list.size(); k += CharLen(list, k)) {
        if (CharLen(list, k) == 2) continue;
        const char c = list[k];
        if (c == '"') inString = !inString;
        if (inString) continue;
        if (c == '(' || c == '[' || c == '{') ++depth;
        else if (c == ')' || c == ']' || c == '}') --depth;
        else if (c == ',' && depth == 0) {
            addPiece(k);
            start = k + 1;
        }
    }
    addPiece(list.size());
}

TZelCalculation::TZelCalculation(IObjectCallbacks* callbacks)
    : system_(callbacks), global_(callbacks), local_(callbacks) {}

TZelCalculation::~TZelCalculation() = default;

void TZelCalculation::Report(std::string_view message, std::string_view detail) {
    if (!reportErrors_) return;
    std::string line(message);
    line += detail;
    ReportError(line);
}

void TZelCalculation::SetReportErrors(bool on) {
    reportErrors_ = on;
    system_.ReportErrors = on;
    global_.ReportErrors = on;
    local_.ReportErrors = on;
}

void TZelCalculation::SetStoreOverrides(TValue* system, TValue* global, TValue* local) {
    systemOverride_ = system;
    globalOverride_ = global;
    localOverride_ = local;
}

TValue* TZelCalculation::Store(int scopeCode) {
    switch (scopeCode) {
        case scSystem: return &SystemStore();
        case scGlobal: return &GlobalStore();
        case scLocal: return &LocalStore();
        default: return nullptr;
    }
}

TScopeHit TZelCalculation::FindName(std::string_view name, int32_t level) {
    const uint64_t key = TValue::NameKey(name);
    int32_t item = LocalStore().FindHashed(key, name, level);
    if (item >= 0) return {scLocal, item};
    item = GlobalStore().FindHashed(key, name, 0);
    if (item >= 0) return {scGlobal, item};
    item = SystemStore().FindHashed(key, name, 0);
    if (item >= 0) return {scSystem, item};
    return {};
}

TScopeHit TZelCalculation::FindScope(std::string_view reference, int32_t level) {
    TReference ref;
    SplitReference(reference, ref);
    return FindName(ref.Name, level);
}

bool TZelCalculation::EvaluateIndices(const TReference& ref, int32_t level, TIndexList& idx) {
    idx = {0, 0, 0, 0};
    if (!ref.HasList) return true;
    if (ref.Count > 4) {
        Report(calcmsg::kTooManyDims, ref.Name);
        return false;
    }
    // Last index first: idx[0] belongs to the last index written.
    for (int k = ref.Count - 1; k >= 0; --k)
        idx[static_cast<size_t>(ref.Count - 1 - k)] = Evaluate(ref.Pieces[static_cast<size_t>(k)], level).IntValue;
    return true;
}

bool TZelCalculation::Assign(std::string_view reference, int32_t level, const TReturnValue& value) {
    TReference ref;
    SplitReference(reference, ref);
    TIndexList idx;
    if (!EvaluateIndices(ref, level, idx)) return false;
    const TScopeHit hit = FindName(ref.Name, level);
    if (hit.Scope == scNone) {
        Report(calcmsg::kUndefined, reference);
        return false;
    }
    return Store(hit.Scope)->WriteItem(hit.Item, idx, false, value, ref.Name);
}

bool TZelCalculation::Declare(std::string_view declaration, std::string_view typeName, bool isReference,
                              int16_t access, int scopeCode, uint8_t elementKind, int32_t level) {
    TReference ref;
    SplitReference(declaration, ref);
    if (FindName(ref.Name, level).Scope != scNone) return false;  // no shadowing, no message
    TIndexList dims{1, 1, 1, 1};
    if (ref.HasList) {
        if (ref.Count > 4) {
            Report(calcmsg::kTooManyDims, ref.Name);
            return false;
        }
        for (int k = ref.Count - 1; k >= 0; --k) {
            const int32_t n = Evaluate(ref.Pieces[static_cast<size_t>(k)], level).IntValue;
            dims[static_cast<size_t>(ref.Count - 1 - k)] = std::max(n, 1);
        }
    }
    TValue* store = Store(scopeCode);
    if (!store) return false;
    return store->DeclareItem(ref.Name, typeName, isReference, access, elementKind,
                              scopeCode == scLocal ? level : 0, dims);
}

bool TZelCalculation::Undeclare(std::string_view reference, int32_t level) {
    TReference ref;
    SplitReference(reference, ref);
    const TScopeHit hit = FindName(ref.Name, level);
    if (hit.Scope == scNone) return false;
    return Store(hit.Scope)->DeleteItem(ref.Name, hit.Scope == scLocal ? level : 0, false);
}

bool TZelCalculation::ResetVariable(std::string_view reference, int32_t level) {
    TReference ref;
    SplitReference(reference, ref);
    const TScopeHit hit = FindName(ref.Name, level);
    if (hit.Scope == scNone) {
        Report(calcmsg::kNotDeclared, ref.Name);
        return false;
    }
    return Store(hit.Scope)->ResetItem(ref.Name, hit.Scope == scLocal ? level : 0, false);
}

TTypeWordInfo TZelCalculation::TypeWordInfo(std::string_view typeWord) {
    const std::string word = AsciiLower(typeWord);
    if (word == "int") return {rkInteger, "int", false, 255};
    if (word == "str") return {rkString, "str", false, 255};
    if (word == "obj") return {rkObject, "obj", true, 255};
    // An object type word: every element owns an object, and the variable cannot be re-pointed.
    return {rkObject, std::string(typeWord), false, 253};
}

void TZelCalculation::DeclareBuiltinVariables(int streamChannels, int seChannels) {
    TValue& g = GlobalStore();
    auto declare = [&](std::string_view name, std::string_view type, uint8_t kind, bool ref, int16_t access,
                       int32_t count) {
        g.DeclareItem(name, type, ref, access, kind, 0, {std::max(count, 1), 1, 1, 1});
    };
    static constexpr std::string_view kSystemObjects[] = {
        "sys", "dat", "sdat", "eff", "csr", "scsr", "log", "cam", "rep", "path", "show",
        "tcp", "dlg", "flog", "math", "cfg", "misc", "inp", "skey", "clip", "dlgs", "ext",
    };
    for (std::string_view name : kSystemObjects) declare(name, name, rkObject, false, 1, 1);
    declare("llog", "slog", rkObject, false, 1, 1);
    declare("snd", "snd", rkObject, false, 1, streamChannels);
    declare("dsnd", "dsnd", rkObject, false, 1, seChannels);
    declare("ResultInt", "int", rkInteger, false, 3, 16);
    declare("ResultStr", "str", rkString, false, 3, 16);
    declare("ResultObj", "obj", rkObject, true, 3, 16);
    declare("ResultStopInt", "Int", rkInteger, false, 1, 1);
    declare("ResultClkInt", "Int", rkInteger, false, 1, 1);
    declare("ResultBtn", "obj", rkObject, true, 1, 1);
    declare("ResultBtnInt", "int", rkInteger, false, 1, 4);
    declare("ResultBtnStr", "str", rkString, false, 1, 4);
    declare("NULL", "obj", rkObject, true, 1, 1);
    declare("NIL", "obj", rkObject, true, 1, 1);
    static constexpr std::string_view kSaveNames[][2] = {
        {"_SelectSaveFilename", "SelectSaveData.svd"},
        {"_BackUpSaveFilename", "BackUpSaveData.svd"},
        {"_QuickSaveFilename", "QuickSaveData.svd"},
    };
    for (const auto& s : kSaveNames) {
        declare(s[0], "str", rkString, false, 1, 1);
        g.WriteString(s[0], 0, s[1]);
    }
    declare("SelfFilePath", "str", rkString, false, 1, 1);
    declare("SelfFileName", "str", rkString, false, 1, 1);
    static constexpr std::string_view kLocks[] = {
        "_lkScreen", "_lkSave", "_lkLoad", "_lkConfig", "_lkLog",   "_lkView",
        "_lkAuto",   "_lkSkip", "_lkJump", "_lkMenu",   "_lkReset", "_lkMinimize",
    };
    for (size_t i = 0; i < std::size(kLocks); ++i) {
        declare(kLocks[i], "", rkInteger, false, 1, 1);
        g.WriteInteger(kLocks[i], 0, int32_t{1} << i);
    }
    static constexpr std::string_view kGroups[] = {"_stBGM", "_stVOICE", "_stSE"};
    for (size_t i = 0; i < std::size(kGroups); ++i) {
        declare(kGroups[i], "", rkInteger, false, 1, 1);
        g.WriteInteger(kGroups[i], 0, static_cast<int32_t>(i));
    }
}

}  // namespace zel
