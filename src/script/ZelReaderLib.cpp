#include "script/ZelReaderLib.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/IntMath.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "ext/TextServices.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

// Byte classes of the segment scan: most bytes need no look at all.
enum : uint8_t { kSegPlain = 0, kSegLead = 1, kSegSpecial = 2 };
constexpr std::array<uint8_t, 256> kSegClass = [] {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[static_cast<size_t>(b)] = IsLeadByte(static_cast<uint8_t>(b)) ? kSegLead : kSegPlain;
    for (char c : {'{', '}', '"', '\\'}) t[static_cast<uint8_t>(c)] = kSegSpecial;
    return t;
}();

// Message texts (Shift-JIS).
// "インクルードファイルの無限循環エラーです。"
constexpr char kIncludeLoop[] =
    "\x83\x43\x83\x93\x83\x4e\x83\x8b\x81\x5b\x83\x68\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x96\xb3\x8c\xc0"
    "\x8f\x7a\x8a\xc2\x83\x47\x83\x89\x81\x5b\x82\xc5\x82\xb7\x81\x42";
// "ファイル読み込みに失敗しました。"
constexpr char kLoadFailed[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc"
    "\x82\xb5\x82\xbd\x81\x42";
// "指定されたファイルが見つかりません:"
constexpr char kFileNotFound[] =
    "\x8e\x77\x92\xe8\x82\xb3\x82\xea\x82\xbd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9"
    "\x82\xe8\x82\xdc\x82\xb9\x82\xf1:";
// "自分のファイルをインクルードしようとしました:"
constexpr char kSelfInclude[] =
    "\x8e\xa9\x95\xaa\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x83\x43\x83\x93\x83\x4e\x83\x8b\x81\x5b"
    "\x83\x68\x82\xb5\x82\xe6\x82\xa4\x82\xc6\x82\xb5\x82\xdc\x82\xb5\x82\xbd:";
// "スクリプト位置の記録が壊れています。" (a saved reader state that cannot be read)
constexpr char kBadStateRecord[] =
    "\x83\x58\x83\x4e\x83\x8a\x83\x76\x83\x67\x88\xca\x92\x75\x82\xcc\x8b\x4c\x98\x5e\x82\xaa\x89\xf3\x82\xea"
    "\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81\x42";
// "ラベルが見つかりません:" (a saved position whose label or line no longer exists)
constexpr char kStateLabelMissing[] =
    "\x83\x89\x83\x78\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1:";
// "行" and "桁" of the position text.
constexpr char kLineMark[] = "\x8d\x73";
constexpr char kColumnMark[] = "\x8c\x85";

// Smallest stored rule: two empty strings and the kind.
constexpr uint64_t kMinRuleBytes = 2 + 2 + 4;

// Longest head of text of at most max bytes that ends on a character boundary.
std::string_view CutText(std::string_view text, size_t max) {
    if (text.size() <= max) return text;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t next = NextCharPos(text, pos);
        if (next > max) break;
        pos = next;
    }
    return text.substr(0, pos);
}

// Source lines end at CR LF, LF or CR; a break at the very end adds no line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        out.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

// Removes TABs and a "//" comment that stands outside quotes and braces.
std::string StripLineComment(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    int depth = 0;
    bool quoted = false;
    for (size_t i = 0; i < line.size();) {
        const size_t n = CharLen(line, i);
        if (n == 2) {
            out.append(line.substr(i, 2));
            i += 2;
            continue;
        }
        const char c = line[i];
        if (c == '\t') {
            ++i;
            continue;
        }
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (depth > 0) --depth;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '/' && !quoted && depth == 0 && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

// Removes "/* ... */" comments; the markers go wherever they stand, also
// inside quotes. inComment carries over to the next line of the same file.
std::string StripBlockComments(std::string_view line, bool& inComment) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        const size_t n = CharLen(line, i);
        if (n == 2) {
            if (!inComment) out.append(line.substr(i, 2));
            i += 2;
            continue;
        }
        const bool pair = i + 1 < line.size();
        if (pair && line[i] == '/' && line[i + 1] == '*') {
            inComment = true;
            i += 2;
            continue;
        }
        if (pair && line[i] == '*' && line[i + 1] == '/') {
            inComment = false;
            i += 2;
            continue;
        }
        if (!inComment) out.push_back(line[i]);
        ++i;
    }
    return out;
}

// True when the character walk of text from pos lands exactly on pos + len.
bool EndsOnCharBoundary(std::string_view text, size_t pos, size_t len) {
    const size_t end = pos + len;
    while (pos < end) pos = NextCharPos(text, pos);
    return pos == end;
}

// Replaces every occurrence of pattern (ignoring case) that starts and ends on
// character boundaries.
std::string ReplaceAllNoCase(const std::string& text, const std::string& pattern, const std::string& replacement) {
    const std::string lowText = AsciiLower(text);
    const std::string lowPattern = AsciiLower(pattern);
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (lowText.compare(i, lowPattern.size(), lowPattern) == 0 && EndsOnCharBoundary(text, i, lowPattern.size())) {
            out += replacement;
            i += lowPattern.size();
            continue;
        }
        const size_t n = CharLen(text, i);
        out.append(text, i, n);
        i += n;
    }
    return out;
}

std::string RemoveCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

// Fixed 128-byte text field: a length byte and 127 bytes, zero padded.
void WriteShortText(TMemoryStream& s, std::string_view text) {
    const std::string_view t = CutText(text, TZelReader::kMaxShortText);
    s.WriteU8(static_cast<uint8_t>(t.size()));
    s.WriteBytes(t);
    const std::string pad(TZelReader::kMaxShortText - t.size(), '\0');
    s.WriteBytes(pad);
}

std::string ReadShortText(TMemoryStream& s) {
    const uint8_t n = s.ReadU8();
    if (n > TZelReader::kMaxShortText) throw EStreamError("short text longer than its field");
    std::string bytes = s.ReadBytes(TZelReader::kMaxShortText);
    bytes.resize(n);
    return bytes;
}

bool StartsWith(std::string_view s, std::string_view head) { return s.substr(0, head.size()) == head; }

}  // namespace

int32_t LabelHash(std::string_view name) {
    uint32_t h = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        h += static_cast<uint32_t>(static_cast<uint8_t>(name[i])) * static_cast<uint32_t>((i + 1) % 256);
    }
    return static_cast<int32_t>(h);
}

TZelReader::TZelReader(IGameFiles* files, IRegExp* regexp, ILineRewriter* rewriter)
    : files_(files), regexp_(regexp), rewriter_(rewriter) {
    Clear();
    ResetReplacements();
}

void TZelReader::Clear() {
    lines_.clear();
    labels_.clear();
    labelIndex_.clear();
    lastLabelValid_ = false;
    lineText_.clear();
    fileName_.clear();
    prefix_.clear();
    emptyLineText_.clear();
    line_ = -1;
    column_ = 0;
    currentLabel_ = -1;
    linesSinceLabel_ = 0;
    segLine_ = -1;
    segColumn_ = 0;
    segFile_.clear();
}

void TZelReader::ResetReplacements() {
    rules_.clear();
    prefix_.clear();
    emptyLineText_.clear();
    replaceEnabled_ = true;
}

void TZelReader::ReportLoadError(std::string_view text) {
    std::string line = "ScriptLoad:";
    line += text;
    ReportError(line);
}

// ---- loading ----

bool TZelReader::ReadFile(std::string_view name, Source& src, std::vector<std::string>& includes) {
    if (includes.size() > kMaxIncludeFiles) return false;
    includes.emplace_back(name);

    std::unique_ptr<TMemoryStream> data;
    try {
        if (files_) data = files_->OpenGameFile(name);
    } catch (const EZelError&) {
        data.reset();
    }
    if (!data) {
        ReportLoadError(std::string(kFileNotFound) + std::string(name));
        return false;
    }

    const std::string lowerName = AsciiLower(name);
    bool inComment = false;
    int32_t fileLine = -1;
    for (std::string_view raw : SplitLines(data->View())) {
        ++fileLine;
        std::string text = StripBlockComments(StripLineComment(raw), inComment);
        const std::string_view t = TrimBlanks(text);

        if (t.size() > 3 && StartsWith(t, "@@@")) {
            const bool once = t[3] == '!';
            const std::string inc(t.substr(once ? 4 : 3));
            if (EqualsNoCase(inc, name)) {
                ReportLoadError(std::string(kSelfInclude) + inc);
            } else if (!once || std::none_of(includes.begin(), includes.end(),
                                             [&](const std::string& n) { return EqualsNoCase(n, inc); })) {
                ReadFile(inc, src, includes);  // a missing include is reported and skipped
            }
            continue;
        }
        if (src.lines.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
        if (t.size() > 1 && StartsWith(t, "@@")) {
            TLabelData label;
            label.name = AsciiLower(t);
            label.hash = LabelHash(label.name);
            label.mergedLine = static_cast<int32_t>(src.lines.size());
            label.file = lowerName;
            label.fileLine = fileLine;
            label.silent = t.size() > 2 && t[2] == '!';
            src.labelIndex.emplace(label.name, static_cast<int32_t>(src.labels.size()));  // the first one wins
            src.labels.push_back(std::move(label));
        }
        src.lines.push_back(std::move(text));
    }
    return true;
}

bool TZelReader::LoadSource(std::string_view name, Source& out) {
    Source src;
    std::vector<std::string> includes;
    const bool ok = ReadFile(name, src, includes);
    // A runaway include chain leaves a cut-off program: refuse it like a
    // failed load rather than run it.
    if (includes.size() >= kMaxIncludeFiles) {
        ReportLoadError(kIncludeLoop);
        return false;
    }
    if (!ok) {
        ReportLoadError(kLoadFailed);
        return false;
    }
    src.fileName = std::string(name);
    out = std::move(src);
    return true;
}

void TZelReader::Commit(Source&& src) {
    lines_ = std::move(src.lines);
    labels_ = std::move(src.labels);
    labelIndex_ = std::move(src.labelIndex);
    lastLabelValid_ = false;
    fileName_ = std::move(src.fileName);
    currentLabel_ = -1;
    linesSinceLabel_ = 0;
    line_ = -1;
    column_ = 0;
    lineText_.clear();
}

bool TZelReader::LoadFile(std::string_view name, bool force) {
    if (!force && !fileName_.empty() && EqualsNoCase(name, fileName_)) return true;
    Source src;
    if (!LoadSource(name, src)) return false;
    Commit(std::move(src));
    return true;
}

bool TZelReader::GotoFileLabel(std::string_view file, std::string_view label) {
    if (EqualsNoCase(file, "self")) return JumpToLabel(label, 0, 0);
    return GotoFilePosition(file, label, 0, 0, true);
}

bool TZelReader::GotoFilePosition(std::string_view file, std::string_view label, int32_t offset, int32_t column,
                                  bool force) {
    if (!force && !fileName_.empty() && EqualsNoCase(file, fileName_)) return JumpToLabel(label, offset, column);
    Source src;
    if (!LoadSource(file, src)) return false;
    const int32_t idx = FindLabelIn(src, label);
    if (idx < 0 || JumpTarget(src.lines, src.labels[static_cast<size_t>(idx)], offset) < 0) return false;
    Commit(std::move(src));
    return JumpToLabel(label, offset, column);
}

// ---- labels and position ----

int32_t TZelReader::FindLabelIn(const Source& src, std::string_view name) {
    const auto it = src.labelIndex.find(AsciiLower(name));
    return it == src.labelIndex.end() ? -1 : it->second;
}

int32_t TZelReader::FindLabel(std::string_view name) const {
    if (lastLabelValid_ && name == lastLabelName_) return lastLabelFound_;
    const auto it = labelIndex_.find(AsciiLower(name));
    lastLabelFound_ = it == labelIndex_.end() ? -1 : it->second;
    lastLabelName_.assign(name);
    lastLabelValid_ = true;
    return lastLabelFound_;
}

int32_t TZelReader::JumpTarget(const std::vector<std::string>& lines, const TLabelData& label, int32_t offset) {
    const int64_t target = static_cast<int64_t>(label.mergedLine) + offset;
    return (target < 0 || target >= static_cast<int64_t>(lines.size())) ? -1 : static_cast<int32_t>(target);
}

bool TZelReader::JumpToLabel(std::string_view name, int32_t offset, int32_t column) {
    const int32_t idx = FindLabel(name);
    if (idx < 0) return false;
    const int32_t target = JumpTarget(lines_, labels_[static_cast<size_t>(idx)], offset);
    if (target < 0) return false;
    currentLabel_ = idx;
    linesSinceLabel_ = offset;
    return GotoLine(target, column);
}

bool TZelReader::GotoLine(int32_t line, int32_t column) {
    lineText_.clear();
    if (line < 0 || line >= LineCount()) return false;

    const TLabelData* label = currentLabel_ >= 0 ? &labels_[static_cast<size_t>(currentLabel_)] : nullptr;
    const bool visible = !(label && label->silent);
    if (visible && label && lineCallback_) lineCallback_(label->file + label->name, linesSinceLabel_);

    line_ = line;
    // Copied into the line buffer, which keeps its capacity from line to line.
    std::string& text = lineText_;
    text.assign(lines_[static_cast<size_t>(line)]);
    if (visible) {
        if (replaceEnabled_ && rewriter_) text = rewriter_->ReplaceLine(text);
        if (replaceEnabled_ && !rules_.empty()) text = ApplyReplacements(text);
        if (text.empty()) text = emptyLineText_;
        if (!text.empty() && !prefix_.empty()) {
            const char c = text[0];
            if (c != '\t' && c != ' ' && c != '/' && c != '@' && c != '\\') text.insert(0, prefix_);
        }
    }
    column_ = Clamp<int32_t>(column, 0, static_cast<int32_t>(std::min<size_t>(lineText_.size(), INT32_MAX)));
    return true;
}

std::string TZelReader::NextSegment() {
    if (lines_.empty()) return {};
    segLine_ = line_;
    segColumn_ = column_;
    if (segFile_ != fileName_) segFile_ = fileName_;

    if (static_cast<size_t>(column_) >= lineText_.size()) {
        // Only a real advance counts as a line read; at the end every call
        // returns empty and the count stays put.
        if (line_ + 1 >= LineCount()) {
            lineText_.clear();
            return {};
        }
        linesSinceLabel_ = WrapAdd(linesSinceLabel_, 1);
        GotoLine(line_ + 1, 0);
        if (lineText_.empty()) return {};
    }

    // The segment runs up to the second backslash outside quotes and braces.
    const std::string_view text = lineText_;
    const size_t start = static_cast<size_t>(column_);
    size_t end = text.size();
    int depth = 0;
    bool quoted = false;
    int backslashes = 0;
    for (size_t i = start; i < text.size();) {
        const uint8_t k = kSegClass[static_cast<uint8_t>(text[i])];
        if (k == kSegPlain) {
            ++i;
            continue;
        }
        if (k == kSegLead) {
            i += i + 1 < text.size() ? 2 : 1;  // the trail byte is never one of ours
            continue;
        }
        const char c = text[i];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            --depth;
        } else if (depth == 0) {
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && !quoted && ++backslashes == 2) {
                end = i;
                break;
            }
        }
        ++i;
    }
    column_ = static_cast<int32_t>(end);
    std::string result(TrimBlanks(text.substr(start, end - start)));

    if (result.size() >= 2 && StartsWith(result, "@@")) {
        currentLabel_ = FindLabel(result);
        linesSinceLabel_ = 0;
    }
    return result;
}

bool TZelReader::AtEnd() const {
    if (lines_.empty()) return true;
    return line_ >= LineCount() - 1 && static_cast<size_t>(column_) >= lineText_.size();
}

std::string TZelReader::CurrentLabel() const {
    return currentLabel_ >= 0 ? labels_[static_cast<size_t>(currentLabel_)].name : std::string();
}

std::string TZelReader::CurrentLabelFile() const {
    return currentLabel_ >= 0 ? labels_[static_cast<size_t>(currentLabel_)].file : std::string();
}

std::string TZelReader::PositionText() const {
    if (currentLabel_ < 0 || static_cast<size_t>(currentLabel_) >= labels_.size()) return "EOF";
    const TLabelData& l = labels_[static_cast<size_t>(currentLabel_)];
    const int32_t line = WrapAdd(WrapAdd(l.fileLine, linesSinceLabel_), 1);
    return l.file + " " + l.name + "(" + std::to_string(line) + kLineMark + "," + std::to_string(column_) +
           kColumnMark + ")";
}

// ---- replacements ----

bool TZelReader::AddReplacement(std::string_view pattern, std::string_view replacement, int32_t kind) {
    for (TReplaceData& r : rules_) {
        if (EqualsNoCase(r.pattern, pattern)) {
            r.replacement = std::string(replacement);
            r.kind = kind;
            return true;
        }
    }
    rules_.push_back({std::string(pattern), std::string(replacement), kind});
    // Longest pattern first; equal lengths keep the order they were added in.
    std::stable_sort(rules_.begin(), rules_.end(),
                     [](const TReplaceData& a, const TReplaceData& b) { return a.pattern.size() > b.pattern.size(); });
    return true;
}

bool TZelReader::RemoveReplacement(std::string_view pattern) {
    const auto it = std::find_if(rules_.begin(), rules_.end(),
                                 [&](const TReplaceData& r) { return EqualsNoCase(r.pattern, pattern); });
    if (it == rules_.end()) return false;
    rules_.erase(it);
    return true;
}

void TZelReader::SetTextPrefix(std::string_view text) { prefix_ = std::string(CutText(text, kMaxShortText)); }

void TZelReader::SetEmptyLineText(std::string_view text) {
    emptyLineText_ = std::string(CutText(text, kMaxShortText));
}

std::string TZelReader::ApplyReplacements(const std::string& line) const {
    if (rules_.empty()) return line;
    // Regular-expression rules see the line with its break, as the rules are
    // written for; the break is taken out again afterwards.
    const bool withBreak =
        std::any_of(rules_.begin(), rules_.end(), [](const TReplaceData& r) { return r.kind > 0; });
    std::string w = line;
    if (withBreak) w += "\r\n";
    for (const TReplaceData& r : rules_) {
        if (r.pattern.empty()) continue;
        switch (r.kind) {
            case 0:
                w = ReplaceAllNoCase(w, r.pattern, r.replacement);
                break;
            case 1:
                if (regexp_ && regexp_->Matches(r.pattern, w)) w.insert(0, r.replacement);
                break;
            case 2:
                if (regexp_) regexp_->SubstituteInPlace(r.pattern, w);
                break;
            case 3:
                if (regexp_ && regexp_->SplitInto(r.pattern, w, kSplitLimit, splitPieces_)) {
                    w.clear();
                    for (const std::string& p : splitPieces_) {
                        w += r.replacement;
                        w += p;
                    }
                }
                break;
            case 4:
                if (regexp_) w = regexp_->Transliterate(r.pattern, w);
                break;
            default:
                break;
        }
    }
    return withBreak ? RemoveCrLf(w) : w;
}

// ---- saved state ----

void TZelReader::SaveState(TMemoryStream& s) const {
    const TLabelData* label = currentLabel_ >= 0 ? &labels_[static_cast<size_t>(currentLabel_)] : nullptr;
    WriteShortText(s, fileName_);
    WriteShortText(s, label ? std::string_view(label->name) : std::string_view());
    s.WriteI32(label ? WrapSub(line_, label->mergedLine) : 0);
    s.WriteI32(column_);
    s.WriteU8(replaceEnabled_ ? 1 : 0);
    WriteShortText(s, prefix_);
    WriteShortText(s, emptyLineText_);
    WriteLenString(s, lineText_);
    s.WriteI32(static_cast<int32_t>(rules_.size()));
    for (const TReplaceData& r : rules_) {
        WriteLenString(s, r.pattern);
        WriteLenString(s, r.replacement);
        s.WriteI32(r.kind);
    }
}

bool TZelReader::LoadState(TMemoryStream& s) {
    std::string file, label, prefix, emptyText;
    int32_t offset = 0, column = 0;
    bool enabled = true;
    std::vector<TReplaceData> rules;
    try {
        file = ReadShortText(s);
        label = ReadShortText(s);
        offset = s.ReadI32();
        column = s.ReadI32();
        enabled = s.ReadU8() != 0;
        prefix = ReadShortText(s);
        emptyText = ReadShortText(s);
        ReadLenString(s);  // the line text is rebuilt by the jump
        const int32_t count = s.ReadI32();
        if (count < 0) throw EStreamError("negative rule count");
        s.RequireItems(static_cast<uint64_t>(count), kMinRuleBytes);
        rules.resize(static_cast<size_t>(count));
        for (TReplaceData& r : rules) {
            r.pattern = ReadLenString(s);
            r.replacement = ReadLenString(s);
            r.kind = s.ReadI32();
        }
    } catch (const EStreamError&) {
        ReportLoadError(kBadStateRecord);
        return false;
    }

    Source src;
    if (!LoadSource(file, src)) return false;
    const int32_t idx = FindLabelIn(src, label);
    if (idx < 0 || JumpTarget(src.lines, src.labels[static_cast<size_t>(idx)], offset) < 0) {
        ReportLoadError(std::string(kStateLabelMissing) + label);
        return false;
    }

    Commit(std::move(src));
    rules_ = std::move(rules);  // in stored order
    replaceEnabled_ = enabled;
    prefix_ = std::move(prefix);
    emptyLineText_ = std::move(emptyText);
    return JumpToLabel(label, offset, column);
}

}  // namespace zel
