// The general commands: the command words that work without a scoped object.
#include <algorithm>

#include "base/ErrorLog.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "ext/TextServices.h"
#include "script/ZelScriptFormat.h"
#include "script/ZelScriptLib.h"

namespace zel {

namespace {

// Every occurrence of old (ignoring case) replaced by new. Occurrences start
// on character boundaries only, so a double-byte character is never cut.
std::string ReplaceNoCase(std::string_view text, std::string_view old, std::string_view by) {
    if (old.empty()) return std::string(text);
    const std::string lowText = AsciiLower(text), lowOld = AsciiLower(old);
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (lowText.compare(i, lowOld.size(), lowOld) == 0) {
            out += by;
            i += old.size();
        } else {
            const size_t n = CharLen(text, i);
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

// 1-based byte position of the first occurrence, compared in lower case; 0 when absent.
int32_t BytePos(std::string_view needle, std::string_view text) {
    if (needle.empty()) return 0;
    const size_t at = AsciiLower(text).find(AsciiLower(needle));
    return at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
}

// count bytes from the 1-based byte position start (below 1 counts as 1).
std::string ByteCopy(std::string_view text, int32_t start, int32_t count) {
    const int64_t from = std::max<int64_t>(start, 1) - 1;
    if (count <= 0 || from >= static_cast<int64_t>(text.size())) return {};
    return std::string(text.substr(static_cast<size_t>(from), static_cast<size_t>(count)));
}

// The raw text between a leading "{" and its matching "}" (nested braces
// kept); without a match, everything after the brace.
std::string BracedText(std::string_view field) {
    int depth = 0;
    for (size_t i = 0; i < field.size(); i += CharLen(field, i)) {
        if (CharLen(field, i) == 2) continue;
        if (field[i] == '{') ++depth;
        else if (field[i] == '}' && --depth == 0) return std::string(field.substr(1, i - 1));
    }
    return std::string(field.substr(1));
}

}  // namespace

int32_t TZelScript::IntArg(std::string_view field) { return Evaluate(field).IntValue; }

std::string TZelScript::StrArg(std::string_view field) { return Evaluate(field).Text; }

bool TZelScript::GeneralCommand(int32_t code, const std::vector<std::string>& f) {
    auto stringResult = [&](std::string_view text) {
        ClearResults();
        SetResultStr(text);
    };
    auto intResult = [&](int32_t v) {
        ClearResults();
        SetResultInt(v);
    };
    switch (code) {
        case Cmd("upc"): stringResult(AsciiUpper(StrArg(f[1]))); return true;
        case Cmd("lowc"): stringResult(AsciiLower(StrArg(f[1]))); return true;
        case Cmd("trim"): stringResult(TrimBlanks(StrArg(f[1]))); return true;
        case Cmd("hanc"): stringResult(ToHalfWidth(StrArg(f[1]))); return true;
        case Cmd("zenc"): stringResult(ToFullWidth(StrArg(f[1]))); return true;
        case Cmd("len"): intResult(CharCount(StrArg(f[1]))); return true;
        case Cmd("hlen"): intResult(static_cast<int32_t>(std::min<size_t>(StrArg(f[1]).size(), INT32_MAX))); return true;
        case Cmd("pos"): {
            const std::string needle = StrArg(f[1]);
            intResult(CharPos(AsciiLower(needle), AsciiLower(StrArg(f[2]))));
            return true;
        }
        case Cmd("hpos"): {
            const std::string needle = StrArg(f[1]);
            intResult(BytePos(needle, StrArg(f[2])));
            return true;
        }
        case Cmd("cpy"):
        case Cmd("copy"): {
            const std::string text = StrArg(f[1]);
            const int32_t start = IntArg(f[2]);
            stringResult(CharCopy(text, start, IntArg(f[3])));
            return true;
        }
        case Cmd("hcpy"): {
            const std::string text = StrArg(f[1]);
            const int32_t start = IntArg(f[2]);
            stringResult(ByteCopy(text, start, IntArg(f[3])));
            return true;
        }
        case Cmd("rep"): {
            const std::string text = StrArg(f[1]);
            const std::string old = StrArg(f[2]);
            stringResult(ReplaceNoCase(text, old, StrArg(f[3])));
            return true;
        }
        case Cmd("div"): {
            const std::string sep = StrArg(f[1]);
            const std::string text = StrArg(f[2]);
            const bool dropBlanks = IntArg(f[3]) == 1;
            const std::vector<std::string> parts = SplitFields(sep, text, dropBlanks, 0, true);
            ClearResults();
            SetResultInt(static_cast<int32_t>(parts.size()));
            for (size_t i = 0; i < parts.size() && i < 16; ++i) SetResultStr(parts[i], static_cast<int32_t>(i));
            return true;
        }
        case Cmd("fmt"): Format(f); return true;
        case Cmd("bmat"):
        case Cmd("bspl"):
        case Cmd("bsub"):
        case Cmd("btra"): RegExpCommand(code, f); return true;
        case Cmd("cal"):
            for (size_t i = 1; i < f.size(); ++i) {
                if (f[i].empty()) continue;
                if (Evaluate(f[i]).Kind == rkError) ReportError(Sj("計算に失敗しました：") + f[i]);
            }
            return true;
        case Cmd("var"): Declare(scLocal, f); return true;
        case Cmd("gvar"): Declare(scGlobal, f); return true;
        case Cmd("svar"): Declare(scSystem, f); return true;
        case Cmd("del"):
        case Cmd("init"): {
            TZelScript& t = TargetScript();
            for (size_t i = 1; i < f.size(); ++i) {
                if (f[i].empty()) continue;
                if (code == Cmd("del")) t.calc_.Undeclare(f[i], t.Level());
                else t.calc_.ResetVariable(f[i], t.Level());
            }
            return true;
        }
        case Cmd("vexs"): {
            TZelScript& t = TargetScript();
            intResult(t.calc_.FindScope(f[1], t.Level()).Scope);
            return true;
        }
        case Cmd("fobj"): {
            TZelScript& t = TargetScript();
            const TReturnValue v = t.calc_.EvaluateToken(f[1], t.Level());
            ClearResults();
            if (v.Kind == rkObject) calc_.GlobalStore().WriteObjectName("ResultObj", 0, v.Text);
            return true;
        }
        case Cmd("fexs"): {
            const std::string name = StrArg(f[1]);
            intResult(!name.empty() && !TargetScript().objects_->ResolvePath(name, false).empty() ? 1 : 0);
            return true;
        }
        case Cmd("lexs"): {
            const std::string label = LabelArgument(f[1]);
            intResult(!label.empty() && TargetScript().reader_.FindLabel(label) >= 0 ? 1 : 0);
            return true;
        }
        case Cmd("swap"): Swap(f); return true;
        case Cmd("vget"): {
            TZelScript& from = parent_ ? *parent_ : *this;
            const TReturnValue v = from.Evaluate(f[2]);
            calc_.Assign(f[1], Level(), v);
            return true;
        }
        case Cmd("vset"): {
            const TReturnValue v = Evaluate(f[2]);
            TZelScript& to = parent_ ? *parent_ : *this;
            to.calc_.Assign(f[1], to.Level(), v);
            return true;
        }
        case Cmd("scp"): Scope(f); return true;
        case Cmd("srct"): state_.scriptTarget = IntArg(f[1]); return true;
        case Cmd("thrd"): {
            const int32_t n = IntArg(f[1]);
            state_.requestArgument = LabelArgument(f[2]);
            if (n == 0) state_.request = ScriptRequest::SystemScriptEnd;
            else if (n == 1) state_.request = ScriptRequest::Custom;
            return true;
        }
        case Cmd("msg"): Routine().waitState = wsMessage; return true;
        case Cmd("clk"): ClickWait(f); return true;
        case Cmd("btn"): {
            const int32_t t = IntArg(f[1]);
            TScriptRoutine& r = Routine();
            r.waitTime = t == 0 ? -1 : t;
            r.waitState = wsButton;
            return true;
        }
        case Cmd("wait"): {
            calc_.GlobalStore().WriteInteger("ResultClkInt", 0, 0);
            TScriptRoutine& r = Routine();
            r.waitTime = IntArg(f[1]);
            if (r.waitTime > 0) r.waitState = wsWait;
            return true;
        }
        case Cmd("time"): {
            calc_.GlobalStore().WriteInteger("ResultClkInt", 0, 0);
            const int32_t t = IntArg(f[1]);
            const std::string label = LabelArgument(f[3]);
            TScriptRoutine& r = Routine();
            r.waitTime = t;
            r.jumpLabel = label;
            r.waitState = wsTime;
            return true;
        }
        case Cmd("sndt"): {
            calc_.GlobalStore().WriteInteger("ResultClkInt", 0, 0);
            const int32_t channel = std::min(IntArg(f[1]), kLastStreamChannel);
            const int32_t position = IntArg(f[2]);
            const std::string label = LabelArgument(f[3]);
            TScriptRoutine& r = Routine();
            r.soundChannel = channel;
            r.waitTime = position;
            r.jumpLabel = label;
            r.waitState = wsSoundTime;
            return true;
        }
        case Cmd("wav"): {
            const int32_t channel = IntArg(f[1]);
            TScriptRoutine& r = Routine();
            r.soundChannel = channel;
            r.waitState = wsWave;
            return true;
        }
        case Cmd("stop"): StopWait(f); return true;
        case Cmd("play"):
            if (TScriptRoutine* r = TopWaitingRoutine()) r->waitState = wsStopEnding;
            return true;
        case Cmd("draw"):
            if (!state_.noWait) state_.holdFrames = 2;
            return true;
        case Cmd("ddlg"):
        case Cmd("dbrk"):
        case Cmd("dout"): return true;
        default: return false;
    }
}

void TZelScript::Declare(int scopeCode, const std::vector<std::string>& f) {
    TZelScript& t = TargetScript();
    const int32_t level = t.Level();
    const std::string type = AsciiLower(f[1]);
    auto each = [&](std::string_view typeName, bool isReference, int16_t access, uint8_t kind) {
        bool any = false;
        for (size_t i = 2; i < f.size(); ++i) {
            if (f[i].empty()) continue;
            any = t.calc_.Declare(f[i], typeName, isReference, access, scopeCode, kind, level) || any;
        }
        return any;
    };
    if (type == "int" && each("int", false, 255, rkInteger)) return;
    if ((type == "int" || type == "str") && each("str", false, 255, rkString)) return;
    if (type == "obj" && each("obj", true, 255, rkObject)) return;
    each(type, false, 253, rkObject);
}

void TZelScript::Scope(const std::vector<std::string>& f) {
    auto& names = Routine().scopedObjects;
    for (auto& n : names) n.clear();
    for (size_t i = 1; i < f.size(); ++i) {
        if (f[i].empty()) continue;
        if (i > static_cast<size_t>(kScopedObjectCount)) {
            ReportError(Sj("\\scp：スコープできるオブジェクトは16個までです：") + f[i]);
            return;
        }
        TReturnValue v = Evaluate(f[i]);
        if (v.Kind == rkObject || v.Kind == rkString) names[i - 1] = std::move(v.Text);
        else ReportError(Sj("オブジェクト型以外の変数はスコープ出来ません：") + f[i]);
    }
}

void TZelScript::Swap(const std::vector<std::string>& f) {
    const int32_t level = Level();
    const TReturnValue a = calc_.EvaluateToken(f[1], level);
    const TReturnValue b = calc_.EvaluateToken(f[2], level);
    // An operand without a value has been reported by the evaluator.
    if (a.Kind == rkError || b.Kind == rkError) return;
    if (a.Kind != b.Kind) {
        ReportError(Sj("型が異なります:") + f[1]);
        return;
    }
    if (a.Kind == rkInteger || a.Kind == rkString) {
        calc_.Assign(f[1], level, b);
        calc_.Assign(f[2], level, a);
    } else if (a.Kind == rkObject) {
        if (!objects_->Swap(a.Text, b.Text))
            ReportError(Sj("オブジェクトのスワップに失敗しました:") + f[1] + "/" + f[2]);
    }
}

void TZelScript::Format(const std::vector<std::string>& f) {
    std::string out;
    for (size_t i = 1; i < f.size(); i += 2) {
        if (f[i].empty()) continue;
        const std::string format = StrArg(f[i]);
        const TReturnValue value = i + 1 < f.size() ? Evaluate(f[i + 1]) : TReturnValue::Cleared();
        FormatScriptValue(format, value, out);
    }
    ClearResults();
    SetResultStr(out);
}

std::string TZelScript::PatternField(std::string_view field) {
    if (!field.empty() && field[0] == '{') return BracedText(field);
    return StrArg(field);
}

void TZelScript::RegExpCommand(int32_t code, const std::vector<std::string>& f) {
    const std::string pattern = PatternField(f[1]);
    const std::string text = StrArg(f[2]);
    if (!regexp_) {
        ReportError(f[0] + ": regular expressions are not available");
        return;
    }
    ClearResults();
    if (code == Cmd("bsub")) {
        SetResultStr(regexp_->Substitute(pattern, text));
    } else if (code == Cmd("btra")) {
        SetResultStr(regexp_->Transliterate(pattern, text));
    } else {
        const std::vector<std::string> found = regexp_->Match(pattern, text);
        SetResultInt(static_cast<int32_t>(std::min<size_t>(found.size(), INT32_MAX)));
        for (size_t i = 0; i < found.size() && i < 16; ++i) SetResultStr(found[i], static_cast<int32_t>(i));
    }
}

void TZelScript::ClickWait(const std::vector<std::string>& f) {
    calc_.GlobalStore().WriteInteger("ResultClkInt", 0, 0);
    const int32_t t = IntArg(f[1]);
    const int32_t credit = f[2].empty() ? 0 : IntArg(f[2]);
    TScriptRoutine& r = Routine();
    r.waitState = wsClick;
    r.waitTime = t;
    if (t == 0) {
        r.waitTime = -1;
        const int32_t add = services_.autoPlayClickTime ? services_.autoPlayClickTime() : 0;
        state_.autoPlayDelay = static_cast<int32_t>(std::clamp<int64_t>(int64_t{state_.autoPlayDelay} + add, 0, INT32_MAX));
    }
    r.creditTime = f[2].empty() ? r.waitTime : credit;
}

TScriptRoutine* TZelScript::TopWaitingRoutine() {
    for (int32_t i = thread_.Count() - 1; i >= 0; --i) {
        TScriptRoutine* r = thread_.Get(i);
        if (r->waitState == wsStopEnding || r->waitState == wsStop) return r;
    }
    return nullptr;
}

void TZelScript::StopWait(const std::vector<std::string>& f) {
    if (f[1].empty()) {
        // Withdraws a pending \play.
        if (TScriptRoutine* r = TopWaitingRoutine()) r->waitState = wsStop;
        return;
    }
    const std::string label = LabelArgument(f[1]);
    const int32_t t = IntArg(f[2]);
    const int32_t credit = f[3].empty() ? 0 : IntArg(f[3]);
    TScriptRoutine& r = Routine();
    r.waitRoutineLabel = label;
    r.waitTime = t == 0 ? -1 : t;
    r.creditTime = f[3].empty() ? r.waitTime : credit;
    r.waitState = wsStop;
}

}  // namespace zel
