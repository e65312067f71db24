#include "script/ZelScriptLib.h"

#include <algorithm>
#include <array>

#include "anim/ImageLib.h"
#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "scriptdata/ButtonCommands.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

namespace {

// Reporting of the evaluator switched off for a probe, restored afterwards.
class TQuiet {
public:
    explicit TQuiet(TZelCalculation& calc) : calc_(calc), was_(calc.ReportErrors()) { calc_.SetReportErrors(false); }
    ~TQuiet() { calc_.SetReportErrors(was_); }
    TQuiet(const TQuiet&) = delete;
    TQuiet& operator=(const TQuiet&) = delete;

private:
    TZelCalculation& calc_;
    bool was_;
};

// A condition value read as the decimal text of its value: true only for "1".
bool IsOne(const TReturnValue& v) {
    if (v.Kind == rkInteger) return v.IntValue == 1;
    return v.Kind == rkString && v.Text == "1";
}

// The \case value kept in the block as an expression literal: an integer in
// decimal, a string (or object name) in double quotes, empty for no value.
std::string CaseLiteral(const TReturnValue& v) {
    if (v.Kind == rkInteger) return std::to_string(v.IntValue);
    if (v.Kind == rkString || v.Kind == rkObject) return '"' + v.Text + '"';
    return {};
}

// The typed value back from the literal. The string is everything between the
// first and the last quote, so a value that holds quotes survives.
TReturnValue CaseValue(const std::string& literal) {
    if (literal.empty()) return TReturnValue::Cleared();
    if (literal.size() >= 2 && literal.front() == '"' && literal.back() == '"')
        return TReturnValue::String(std::string_view(literal).substr(1, literal.size() - 2));
    return TReturnValue::Integer(TextToInt(literal));
}

// The evaluator's "==": integers by value, strings and object names by text
// ignoring case. A side without a value matches nothing.
bool CaseMatches(const TReturnValue& l, const TReturnValue& r) {
    if (l.Kind == rkError || r.Kind == rkError || r.Kind == rkToken) return false;
    if (l.Kind == rkString || l.Kind == rkObject) return CompareNoCase(l.Text, r.Text) == 0;
    return l.IntValue == r.IntValue;
}

// The directory part of a game path, up to and including the last backslash
// (a trail byte 0x5C is not one).
std::string DirectoryPart(std::string_view path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); i += CharLen(path, i))
        if (CharLen(path, i) == 1 && path[i] == '\\') end = i + 1;
    return std::string(path.substr(0, end));
}

// Byte classes of the field splitter: most bytes need no look at all.
enum : uint8_t { kPlain = 0, kLead = 1, kStructural = 2 };
constexpr std::array<uint8_t, 256> kSplitClass = [] {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[static_cast<size_t>(b)] = IsLeadByte(static_cast<uint8_t>(b)) ? kLead : kPlain;
    for (char c : {'{', '}', '"', '(', ')', '[', ']', ','}) t[static_cast<uint8_t>(c)] = kStructural;
    return t;
}();

// The words the control-flow handler acts on (also inside a skipped region).
bool IsBlockCommand(int32_t code) {
    switch (code) {
        case Cmd("if"):
        case Cmd("else"):
        case Cmd("then"):
        case Cmd("fi"):
        case Cmd("end"):
        case Cmd("next"):
        case Cmd("for"):
        case Cmd("case"):
        case Cmd("ans"): return true;
        default: return false;
    }
}

}  // namespace

int32_t CommandCode(std::string_view word) {
    uint32_t code = 0;
    int n = 0;
    for (char c : word) {
        const uint8_t b = static_cast<uint8_t>(c);
        if (b == '\\' || b < 33) continue;
        if (n == 4) return -1;
        code |= static_cast<uint32_t>(static_cast<uint8_t>(AsciiLowerChar(c))) << (8 * n);
        ++n;
    }
    return static_cast<int32_t>(code);
}

void SplitCommandFields(std::string_view s, std::vector<std::string>& out, size_t minCount) {
    size_t count = 0;
    auto put = [&](size_t begin, size_t end) {
        while (begin < end && IsBlank(s[begin])) ++begin;
        while (end > begin && IsBlank(s[end - 1])) --end;
        if (count == out.size()) out.emplace_back();
        out[count++].assign(s.data() + begin, end - begin);
    };
    int braces = 0, brackets = 0;
    bool quoted = false;
    size_t start = 0;
    const size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        const uint8_t k = kSplitClass[static_cast<uint8_t>(s[i])];
        if (k == kPlain) continue;
        if (k == kLead) {
            if (i + 1 < n) ++i;  // the trail byte is never a separator
            continue;
        }
        switch (s[i]) {
            case '{': ++braces; break;
            case '}': --braces; break;
            case '"':
                if (braces == 0) quoted = !quoted;
                break;
            case '(':
            case '[':
                if (braces == 0 && !quoted) ++brackets;
                break;
            case ')':
            case ']':
                if (braces == 0 && !quoted) --brackets;
                break;
            default:  // ','
                if (braces == 0 && !quoted && brackets == 0) {
                    put(start, i);
                    start = i + 1;
                }
                break;
        }
    }
    if (start < n) put(start, n);
    for (; count < minCount; ++count) {
        if (count == out.size()) out.emplace_back();
        else if (!out[count].empty()) out[count].clear();
    }
    out.resize(count);
}

struct TZelScript::TFieldBuffer {
    std::vector<std::string> fields;
};

TZelScript::TZelScript(IGameFiles* files, IRegExp* regexp, ILineRewriter* rewriter, TZelScript* parent,
                       std::unique_ptr<IScriptObjects> objects)
    : reader_(files, regexp, rewriter),
      objects_(objects ? std::move(objects) : std::make_unique<TZelObjectManager>(files)),
      calc_(objects_.get()),
      regexp_(regexp),
      parent_(parent) {
    objectManager_ = dynamic_cast<TZelObjectManager*>(objects_.get());
    if (objectManager_) {
        objectButtons_ = std::make_unique<TObjectButtons>(*objectManager_);
        services_.buttons = objectButtons_.get();
    }
    reader_.SetLineCallback([this](std::string_view key, int32_t n) { RecordReadPosition(key, n); });
    // Every script shares one system store: the game script's.
    if (parent_) calc_.SetStoreOverrides(&parent_->calc_.SystemStore(), nullptr, nullptr);
    ResetScript();
}

TZelScript::~TZelScript() {
    // The variables go before the object host that their objects live in.
    calc_.OwnLocalStore().Clear();
    calc_.OwnGlobalStore().Clear();
    calc_.OwnSystemStore().Clear();
}

TZelScript& TZelScript::TargetScript() { return state_.scriptTarget != 0 && parent_ ? *parent_ : *this; }

void TZelScript::SetRequest(int32_t request, std::string_view argument) {
    state_.request = request;
    state_.requestArgument.assign(argument);
}

// ---------------------------------------------------------------------------
// Arguments

TReturnValue TZelScript::Evaluate(std::string_view text) { return calc_.Evaluate(text, Level()); }

std::string TZelScript::LabelArgument(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty()) return {};
    if (text.size() > 2 && text.substr(0, 2) == "@@") return std::string(text);
    // Labels are usually written bare ("*OnClick"): a text that gives no value
    // is the label itself.
    TQuiet quiet(calc_);
    TReturnValue v = Evaluate(text);
    if (v.Kind == rkError || v.Kind == rkToken) return std::string(text);
    return std::move(v.Text);
}

std::string TZelScript::FileArgument(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || EqualsNoCase(text, "self")) return "self";
    std::string name;
    {
        // File names are usually written bare ("StartUp.s"): a text that gives
        // no value is the name itself.
        TQuiet quiet(calc_);
        TReturnValue v = Evaluate(text);
        name = (v.Kind == rkError || v.Kind == rkToken) ? std::string(text) : std::move(v.Text);
    }
    std::string resolved = objects_->ResolvePath(name, true);
    // A name that resolves nowhere goes on as written, so that the reader's
    // message names the file that was asked for.
    return resolved.empty() ? name : resolved;
}

// ---------------------------------------------------------------------------
// Results

void TZelScript::ClearResults() {
    TValue& g = calc_.GlobalStore();
    g.ResetItem("ResultInt", 0, true);
    g.ResetItem("ResultStr", 0, true);
    g.ResetItem("ResultObj", 0, true);
}

void TZelScript::SetResultInt(int32_t value, int32_t index) { calc_.GlobalStore().WriteInteger("ResultInt", index, value); }

void TZelScript::SetResultStr(std::string_view text, int32_t index) {
    calc_.GlobalStore().WriteString("ResultStr", index, text);
}

// ---------------------------------------------------------------------------
// Dispatch

void TZelScript::Dispatch(std::string_view segment) {
    const std::string_view seg = TrimBlanks(segment);
    if (seg.empty() || (seg[0] != '\\' && seg[0] != '@')) return;
    if (trace_) trace_(reader_.PositionText(), seg);

    // Commands may dispatch further commands (object handlers, waits): each
    // depth has its own field buffer.
    if (static_cast<size_t>(dispatchDepth_) == fieldBuffers_.size())
        fieldBuffers_.push_back(std::make_unique<TFieldBuffer>());
    std::vector<std::string>& f = fieldBuffers_[static_cast<size_t>(dispatchDepth_)]->fields;
    ++dispatchDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{dispatchDepth_};

    // Inside a skipped region only the block commands matter: the others are
    // recognised by their word alone, without splitting the fields.
    int32_t code = -1;
    bool split = false;
    size_t wordEnd = 0;
    for (; wordEnd < seg.size() && seg[wordEnd] != ','; ++wordEnd) {
        const char c = seg[wordEnd];
        if (c == '"' || c == '{' || c == '}' || c == '(' || c == ')' || c == '[' || c == ']') {
            split = true;  // an unusual word: the splitter decides where it ends
            break;
        }
    }
    if (!split) code = CommandCode(seg.substr(0, wordEnd));
    const bool skipping = Routine().InSkippedRegion();
    if (skipping && !split && !IsBlockCommand(code)) {
        // Swallowed by the skipped region.
    } else {
        SplitCommandFields(seg, f);
        if (split) code = CommandCode(f[0]);
        if (!ControlFlow(code, f, skipping) && !JumpCommand(code, f) && !LabelLine(f) && !GeneralCommand(code, f))
            ScopedObjects(TScriptCommand{code, &f, segment});
    }

    if (ErrorFlag()) LogLine(Sj("[位置]:") + reader_.PositionText());
}

bool TZelScript::ExecuteLine(std::string_view text) {
    const std::vector<std::string> parts = SplitFields("\\", text, true, 0, true);
    bool any = false;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        Dispatch("\\" + parts[i]);
        any = true;
    }
    return any;
}

namespace {

// A command as the handler of an object's kind sees it: the arguments are
// evaluated and the results written in the script the object belongs to.
class TScriptCommandContext final : public ICommandContext {
public:
    TScriptCommandContext(TZelScript& script, const TScriptCommand& command) : script_(script), command_(command) {}
    const TScriptCommand& Command() const override { return command_; }
    TReturnValue Evaluate(std::string_view text) override { return script_.Evaluate(text); }
    void ClearResults() override { script_.ClearResults(); }
    void SetResultInt(int32_t value, int32_t index) override { script_.SetResultInt(value, index); }
    void SetResultStr(std::string_view text, int32_t index) override { script_.SetResultStr(text, index); }
    void SkipTimeOnce() override { script_.SkipTimeOnce(); }
    std::string ResolvePath(std::string_view name, bool notify) override {
        return script_.Objects().ResolvePath(name, notify);
    }
    void ReportError(std::string_view text) override { zel::ReportError(std::string(text)); }
    TZelScript& TargetScript() override { return script_; }
    std::string LabelArgument(std::string_view text) override { return script_.LabelArgument(text); }
    ISystemObjectHost* SystemHost() override { return &script_; }

private:
    TZelScript& script_;
    const TScriptCommand& command_;
};

}  // namespace

void TZelScript::ScopedObjects(const TScriptCommand& command) {
    TZelScript& target = TargetScript();
    TScriptCommandContext context(target, command);
    const auto& scoped = Routine().scopedObjects;
    if (scoped[0].empty()) {
        ReportError(Sj("オブジェクトが指定されていません。\\scpで指定してください。"));
        return;
    }
    TScriptObjectInfo info;
    for (const std::string& name : scoped) {
        if (name.empty()) break;
        if (!target.objects_->FindObject(name, info)) {
            ReportError(Sj("未定義のオブジェクト：") + name);
            continue;
        }
        // Every scoped object receives the command.
        if (!target.objects_->ObjectCommand(context, name))
            ReportError(Sj("未定義の命令：") + name + "(" + info.TypeWord + ")." + std::string(command.Segment));
    }
}

bool TZelScript::LabelLine(const std::vector<std::string>& f) {
    const std::string& w = f[0];
    if (w.size() <= 2 || w[0] != '@' || w[1] != '@') return false;
    if (Routine().Count() > 1) ReportError(Sj("\\if～\\fi/\\for～\\next間にラベルを設置しないでください"));
    UpdateFileVariables();
    return true;
}

void TZelScript::UpdateFileVariables() {
    const std::string file = reader_.CurrentLabelFile();
    TValue& g = calc_.GlobalStore();
    g.WriteString("SelfFileName", 0, file);
    g.WriteString("SelfFilePath", 0, DirectoryPart(file));
}

// ---------------------------------------------------------------------------
// Control flow

TScriptBlock& TZelScript::OpenBlock(TScriptRoutine& r) {
    TScriptBlock& b = *r.NewChild();
    b.file = reader_.CurrentFile();
    b.label = reader_.CurrentLabel();
    b.lineOffset = reader_.LinesSinceLabel();
    b.column = reader_.CurrentColumn();
    return b;
}

bool TZelScript::ControlFlow(int32_t code, const std::vector<std::string>& f, bool skipping) {
    TScriptRoutine& r = Routine();
    switch (code) {
        case Cmd("if"): {
            TScriptBlock& b = OpenBlock(r);
            if (skipping) {
                b.kind = bkIfInSkipped;
                return true;
            }
            const TReturnValue v = Evaluate(f[1]);
            if (v.Kind != rkInteger) {
                ReportError(Sj("if：評価式が間違っています：") + f[1]);
                return true;
            }
            AssignDecimal(b.values[0], v.IntValue);
            b.kind = v.IntValue == 1 ? bkIfRun : bkIfSkip;
            return true;
        }
        case Cmd("else"): {
            TScriptBlock& t = *r.Top();
            switch (t.kind) {
                case bkIfInSkipped:
                case bkCaseInSkipped: break;
                case bkIfRun:
                case bkIfSkip: t.kind = t.values[0] != "0" ? bkIfSkip : bkIfRun; break;
                case bkCaseRun:
                case bkCaseSkip: t.kind = t.values[1] != "0" ? bkCaseSkip : bkCaseRun; break;
                default: ReportError(Sj("\\else：対となる\\if,\\caseがみつかりません")); break;
            }
            return true;
        }
        case Cmd("then"): {
            TScriptBlock& t = *r.Top();
            switch (t.kind) {
                case bkIfInSkipped: break;
                case bkIfRun:
                case bkIfSkip: t.kind = t.values[0] != "1" ? bkIfSkip : bkIfRun; break;
                default: ReportError(Sj("\\else：\\if～\\fiの中でしか使用できません")); break;
            }
            return true;
        }
        case Cmd("fi"):
        case Cmd("end"):
        case Cmd("next"): CloseBlock(r, f); return true;
        case Cmd("for"): {
            TScriptBlock& b = OpenBlock(r);
            if (skipping) {
                b.kind = bkForInSkipped;
                return true;
            }
            if (f[4].empty()) {
                Evaluate(f[1]);
                b.values[0] = f[2];
                b.values[1] = f[3];
            }
            if (f[2].empty()) {
                b.values[0] = f[1];
                b.values[1].clear();
            }
            if (f[1].empty()) {
                b.values[0].assign(1, '1');  // (assign: GCC 12 warns wrongly on = "1")
                b.values[1].clear();
            }
            b.kind = IsOne(Evaluate(b.values[0])) ? bkForRun : bkForEnd;
            return true;
        }
        case Cmd("case"): {
            TScriptBlock& b = OpenBlock(r);
            if (skipping) {
                b.kind = bkCaseInSkipped;
                return true;
            }
            b.values[0] = CaseLiteral(Evaluate(f[1]));
            b.values[1].assign(1, '0');
            b.kind = bkCaseSkip;
            return true;
        }
        case Cmd("ans"): Answer(*r.Top(), f); return true;
        default: return skipping;
    }
}

void TZelScript::CloseBlock(TScriptRoutine& r, const std::vector<std::string>& f) {
    TScriptBlock& t = *r.Top();
    switch (t.kind) {
        case bkFresh:  // an \if whose expression failed: its error is reported already
        case bkIfInSkipped:
        case bkIfRun:
        case bkIfSkip:
        case bkForInSkipped:
        case bkForEnd:
        case bkCaseInSkipped:
        case bkCaseRun:
        case bkCaseSkip: r.Pop(); return;
        case bkForRun:
        case bkForContinue: {
            Evaluate(t.values[1]);
            if (!IsOne(Evaluate(t.values[0]))) {
                r.Pop();
                return;
            }
            // Back to just after the \for; the loop's own file is not reloaded.
            const bool ok = t.file.empty() || t.file == reader_.CurrentFile()
                                ? reader_.JumpToLabel(t.label, t.lineOffset, t.column)
                                : reader_.GotoFilePosition(t.file, t.label, t.lineOffset, t.column, false);
            if (!ok) {
                ReportError(f[0] + Sj("：ジャンプ先が見つかりません：") + t.label + ":" + t.file);
                r.Pop();
                return;
            }
            t.kind = bkForRun;
            return;
        }
        default: ReportError(Sj("\\end : 対となる制御命令(\\if,\\for,\\swit)が見つかりません")); return;
    }
}

void TZelScript::Answer(TScriptBlock& t, const std::vector<std::string>& f) {
    if (t.kind == bkCaseInSkipped) return;
    if (t.kind != bkCaseRun && t.kind != bkCaseSkip) {
        ReportError(Sj("\\ans：対応する\\caseが見つかりません"));
        return;
    }
    t.kind = bkCaseSkip;
    const TReturnValue value = CaseValue(t.values[0]);
    for (size_t i = 1; i < f.size(); ++i) {
        if (f[i].empty()) continue;
        if (CaseMatches(value, Evaluate(f[i]))) {
            t.kind = bkCaseRun;
            t.values[1].assign(1, '1');
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Jumps and calls

bool TZelScript::JumpCommand(int32_t code, const std::vector<std::string>& f) {
    const int32_t before = thread_.Count();
    switch (code) {
        case Cmd("go"): Go(f, false); break;
        case Cmd("jmp"): Go(f, true); break;
        case Cmd("sub"): {
            std::vector<std::string> padded;
            const std::vector<std::string>* args = &f;
            if (f.size() < 19) {
                padded = f;
                padded.resize(19);
                args = &padded;
            }
            Call((*args)[1], (*args)[2], *args, 3);
            break;
        }
        case Cmd("ret"): Return(f[1]); break;
        case Cmd("brk"):
        case Cmd("cnt"): {
            TScriptRoutine& r = Routine();
            const int32_t i = r.FindBlockByKind(bkForRun);
            if (i < 0) {
                ReportError(code == Cmd("brk") ? Sj("\\brkは\\for～\\nextの中でしか使用できません")
                                               : Sj("\\cntは\\for～\\nextの中でしか使用できません"));
            } else {
                r.Get(i)->kind = code == Cmd("brk") ? bkForEnd : bkForContinue;
            }
            return true;
        }
        default: return false;
    }
    AfterRoutineChange(before);
    return true;
}

void TZelScript::AfterRoutineChange(int32_t routinesBefore) {
    if (thread_.Count() != routinesBefore) calc_.LocalStore().DropLocalsAbove(Level());
}

void TZelScript::Go(const std::vector<std::string>& f, bool keepRoutine) {
    const std::string label = LabelArgument(f[1]);
    const std::string file = FileArgument(f[2]);
    if (reader_.GotoFileLabel(file, label)) {
        if (keepRoutine) Routine().PopTo(0);
        else thread_.PopTo(0);
    } else {
        ReportError(Sj(keepRoutine ? "\\jmp：ジャンプ先が見つかりません：" : "\\go：ジャンプ先が見つかりません：") + f[1] +
                    ":" + f[2]);
    }
    UpdateFileVariables();
}

bool TZelScript::Call(std::string_view labelField, std::string_view fileField, const std::vector<std::string>& f,
                      size_t firstParam) {
    const std::string callerFile = reader_.CurrentFile();
    const std::string callerLabel = reader_.CurrentLabel();
    const int32_t callerOffset = reader_.LinesSinceLabel();
    const int32_t callerColumn = reader_.CurrentColumn();
    const std::string label = LabelArgument(labelField);
    const std::string file = FileArgument(fileField);
    if (!reader_.GotoFileLabel(file, label)) {
        ReportError(Sj("\\sub：不明なファイル名かラベル：") + std::string(labelField) + ":" + std::string(fileField));
        UpdateFileVariables();
        return false;
    }
    const int32_t level = thread_.Count();
    DeclareParameters(level, f, firstParam);
    TScriptRoutine& r = *thread_.NewChild();
    TScriptBlock& base = *r.NewChild();
    base.kind = bkBase;
    base.file = callerFile;
    base.label = callerLabel;
    base.lineOffset = callerOffset;
    base.column = callerColumn;
    UpdateFileVariables();
    return true;
}

void TZelScript::DeclareParameters(int32_t level, const std::vector<std::string>& f, size_t firstParam) {
    TValue& locals = calc_.LocalStore();
    // Whatever a routine of this level left behind is gone.
    locals.DropLocalsAbove(level - 1);
    locals.DeclareItem("ParamCount", "int", false, kAccessRead, rkInteger, level, {1, 1, 1, 1});
    locals.DeclareItem("ParamInt", "int", false, kAccessRead, rkInteger, level, {16, 1, 1, 1});
    locals.DeclareItem("ParamStr", "str", false, kAccessRead, rkString, level, {16, 1, 1, 1});
    const int32_t paramInt = locals.Find("ParamInt", level);
    const int32_t paramStr = locals.Find("ParamStr", level);
    int32_t count = 0;
    for (int32_t i = 0; i < 16; ++i) {
        const size_t n = firstParam + static_cast<size_t>(i);
        if (n >= f.size()) break;
        const std::string_view text = TrimBlanks(f[n]);
        if (text.empty()) continue;
        TReturnValue v;
        {
            TQuiet quiet(calc_);
            v = calc_.Evaluate(text, level - 1);
        }
        const TIndexList idx{i, 0, 0, 0};
        if (v.Kind == rkError) {
            locals.WriteItem(paramInt, idx, true, TReturnValue::Integer(TextToInt(text)));
            locals.WriteItem(paramStr, idx, true, TReturnValue::String(text));
        } else {
            locals.WriteItem(paramInt, idx, true, TReturnValue::Integer(v.IntValue));
            locals.WriteItem(paramStr, idx, true, TReturnValue::String(v.Text));
        }
        count = i + 1;
    }
    locals.WriteItem(locals.Find("ParamCount", level), {0, 0, 0, 0}, true, TReturnValue::Integer(count));
}

void TZelScript::Return(std::string_view labelField) {
    const std::string label = LabelArgument(labelField);
    const int32_t target = label.empty() ? thread_.Count() - 2 : thread_.FindRoutineByCallerLabel(label) - 1;
    if (target >= 0 && target + 1 < thread_.Count()) {
        const TScriptBlock* base = thread_.Get(target + 1)->Get(0);
        // The caller's file is reloaded only when another file is loaded now;
        // a return that cannot be made leaves everything where it is.
        if (base && reader_.GotoFilePosition(base->file, base->label, base->lineOffset, base->column, false)) {
            thread_.PopTo(target);
        } else {
            ReportError(Sj("\\ret：戻り先が見つかりません：") + (base ? base->label + ":" + base->file : std::string()));
        }
    } else {
        ReportError(Sj("\\ret : 対となる\\subが見つかりません : ") + label);
    }
    UpdateFileVariables();
}

// ---------------------------------------------------------------------------
// Reset and frames

void TZelScript::ResetScript() {
    if (resetHook_) resetHook_(*this);
    state_.inputSettle = 0;
    if (services_.input) services_.input->Reset();
    // A story (re)start: the game's variables and objects go, the engine's own
    // variables come back. The system store survives.
    calc_.LocalStore().Clear();
    calc_.GlobalStore().Clear();
    ClearObjectsKeepingSystemStore();
    calc_.DeclareBuiltinVariables(kLastStreamChannel + 1, 15);

    reader_.Clear();
    reader_.ResetReplacements();
    objects_->ClearPaths();
    if (services_.display) services_.display->Reset();
    if (cursorLayer_) cursorLayer_->Reset();
    if (noticeLayer_) noticeLayer_->Reset();
    if (services_.events) services_.events->Reset(*this);
    SelectSaveExists(true);

    thread_.Reset();

    state_ = TScriptState{};

    if (services_.display) {
        services_.display->InvalidateCells();
        services_.display->Draw(false, true, 0xFFFF);
    }
}

// A story restart frees the objects of the stores that were cleared (and any
// object no variable owns any more); the objects of the system store live on
// with their variables, untouched.
void TZelScript::ClearObjectsKeepingSystemStore() {
    std::vector<std::string> kept;
    if (!parent_) {
        const TValue& store = calc_.OwnSystemStore();
        for (int32_t i = 0; i < store.Count(); ++i) {
            const auto* a = dynamic_cast<const TValueArrayObject*>(store.Item(i).Data.get());
            if (!a || a->IsReference) continue;
            for (int32_t e = 0; e < a->Count; ++e)
                if (a->Owns(e)) kept.push_back(a->At(e));
        }
    }
    objects_->ClearExcept(kept);
}

void TZelScript::RunFrame(int32_t elapsed, bool processInput) {
    TScriptState& s = state_;
    s.request = ScriptRequest::None;
    s.requestArgument.clear();
    if (s.playMode == ScriptPlayMode::View) processInput = false;
    if (services_.display && services_.setWindowColour) services_.setWindowColour(services_.display->BackColour());
    if (services_.input) services_.input->SetCursor(s.cursorVisible != 0, s.cursorHideDelay);
    objects_->SetNavigationWeights(s.navigationAlong, s.navigationAcross);
    s.noWait = s.playMode == ScriptPlayMode::Skip || s.playMode == ScriptPlayMode::LogSkip;
    if (s.inputSettle > 0) --s.inputSettle;
    if (services_.events) services_.events->ServiceInput(*this, processInput);
    PlayModeAutomation();

    // Time.
    elapsed = std::max<int32_t>(elapsed, 0);
    s.scriptClock = static_cast<int32_t>(std::min<int64_t>(int64_t{s.scriptClock} + elapsed, kClockLimit));
    if (s.holdFrames > 0) --s.holdFrames;
    if (s.timeSkip > 0) {
        --s.timeSkip;
        if (s.timeSkip > 0) elapsed = 0;
    }
    elapsed = static_cast<int32_t>(std::min<int64_t>(int64_t{elapsed} + s.elapsedCredit, INT32_MAX));
    s.elapsedCredit = 0;
    {
        TScriptRoutine& r = Routine();
        if (r.waitTime > 0) {
            r.waitTime = std::max(r.waitTime - elapsed, 0);
            r.creditTime = std::max(r.creditTime - elapsed, 0);
        }
    }

    if (elapsed > 0) {
        RefreshSystemButtons();
        if (services_.display) services_.display->AdvanceCamera(elapsed);
        FrameVisuals(elapsed);
        if (services_.events) services_.events->FrameVisuals(*this, elapsed);
        int32_t x = 0, y = 0;
        if (services_.display) services_.display->CameraOffset(x, y);
        objects_->SetScrollOffset(x, y);
        objects_->UpdateAll(s.layerMask[0], elapsed);
        if (services_.display) services_.display->AdvanceCompositor(elapsed);
    }
    s.autoPlayDelay = std::max(s.autoPlayDelay - elapsed, 0);

    const int32_t limit = std::max(s.segmentsPerFrame, 1);
    for (int32_t i = 0; i < limit && s.holdFrames <= 0 && s.request == ScriptRequest::None;) {
        if (Routine().waitState == wsRunning) {
            // Past the end of the source nothing can come any more.
            if (reader_.AtEnd()) break;
            Dispatch(reader_.NextSegment());
        } else {
            TestWait();
        }
        const uint8_t w = Routine().waitState;
        if (w != wsRunning && w != wsStopEnding) break;
        ++i;
        if (ErrorFlag()) break;
    }
    if (s.noWait) s.autoPlayDelay = 0;
}

}  // namespace zel
