// The script source reader: turns ".s" script files into the stream of
// segments that the interpreter executes.
//
// Source files are Shift-JIS text; lines end at CR LF, LF or CR. On load every
// line loses its TABs, its "//" comment (outside quotes and braces) and its
// "/* ... */" comments; "@@@name" splices another file in place of the line
// (every time it is named), "@@@!name" splices it at most once per load; a
// line starting with "@@" is a label (silent when its third byte is "!": the
// lines under it are not reported to the line callback and get no text
// replacement). The merged lines are cut into segments at backslashes outside
// quotes and braces: a segment runs up to (not including) the second such
// backslash, so message text travels with the command that follows it.
//
// Saved state (one record of the game-state stream, little-endian):
//   0    128  current file name: length byte (0..127) + 127 bytes, zero padded
//   128  128  current label name, same form
//   256  4    lines since label, int32 (current line - label's line)
//   260  4    current column, int32
//   264  1    replacement enabled
//   265  128  text-line prefix, same form as the file name
//   393  128  empty-line text, same form
//   521  2+n  current line text: u16 length + bytes
//   ...  4    rule count R, int32
//   ...       R rules: u16-length pattern, u16-length replacement, int32 kind
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel {

class IGameFiles;
class IRegExp;
class ILineRewriter;
class TMemoryStream;

// One label line of the merged source, in order of appearance.
struct TLabelData {
    std::string name;        // whole trimmed label line in lower case, "@@" included
    int32_t hash = 0;        // LabelHash(name)
    int32_t mergedLine = 0;  // index of the label line in the merged lines
    std::string file;        // file holding the label, lower case
    int32_t fileLine = 0;    // 0-based line of the label within that file
    bool silent = false;     // third byte of the line is "!"
};

// A per-line text replacement rule.
struct TReplaceData {
    std::string pattern;      // rules with an empty pattern are skipped
    std::string replacement;
    int32_t kind = 0;         // 0 plain, 1 match-prefix, 2 substitute, 3 split-join, 4 translate
};

// Sum over the bytes of name of byte * ((index + 1) mod 256), wrapping.
int32_t LabelHash(std::string_view name);

class TZelReader {
public:
    // Called as the position enters a line under a non-silent label, with the
    // label's file followed by the label name, and the lines since the label.
    using LineCallback = std::function<void(std::string_view key, int32_t linesSinceLabel)>;

    static constexpr size_t kMaxShortText = 127;   // file name, label, prefix, empty-line text
    static constexpr size_t kMaxIncludeFiles = 100;
    static constexpr int kSplitLimit = 32;

    // The services may be null: without files nothing loads, without a
    // regular-expression engine rules of kinds 1-4 leave text unchanged,
    // without a rewriter lines are read as written. They must outlive the reader.
    explicit TZelReader(IGameFiles* files = nullptr, IRegExp* regexp = nullptr, ILineRewriter* rewriter = nullptr);

    void SetGameFiles(IGameFiles* files) { files_ = files; }
    void SetRegExp(IRegExp* regexp) { regexp_ = regexp; }
    void SetLineRewriter(ILineRewriter* rewriter) { rewriter_ = rewriter; }
    void SetLineCallback(LineCallback cb) { lineCallback_ = std::move(cb); }

    // Drops the source and the position; the prefix and empty-line text go too.
    void Clear();
    // No rules, no prefix, no empty-line text, replacement enabled.
    void ResetReplacements();

    // Loads a script file with its includes. Without force, the name of the
    // loaded file (ignoring case) returns true at once and keeps the position.
    // A successful load leaves the position before the first line and no
    // current label; a failed one leaves the reader as it was.
    bool LoadFile(std::string_view name, bool force);
    // file "self" (ignoring case) keeps the loaded file. False, with nothing
    // changed, when the file cannot be loaded or the label is unknown.
    bool GotoFileLabel(std::string_view file, std::string_view label);
    // Index of the first label of that name (ignoring case), or -1.
    int32_t FindLabel(std::string_view name) const;
    // False, with nothing changed, for an unknown label or a line outside the source.
    bool JumpToLabel(std::string_view name, int32_t offset, int32_t column);
    // LoadFile(file, force) followed by JumpToLabel(label, offset, column) as
    // one step: when the jump cannot be made the new file is not kept either.
    // Returning from a subroutine uses the unforced form.
    bool GotoFilePosition(std::string_view file, std::string_view label, int32_t offset, int32_t column, bool force);
    // Moves to line, column (clamped to the line's text). False when line is
    // outside the source: the current line text is then empty.
    bool GotoLine(int32_t line, int32_t column);
    // The next segment, trimmed; empty for an empty line and at the end.
    std::string NextSegment();
    // True when no segment remains: the position is at the end of the last
    // line, or nothing is loaded.
    bool AtEnd() const;

    const std::string& CurrentFile() const { return fileName_; }
    // Name of the current label; empty when there is none.
    std::string CurrentLabel() const;
    // File holding the current label (lower case); empty when there is none.
    std::string CurrentLabelFile() const;
    int32_t CurrentLabelIndex() const { return currentLabel_; }
    // Lines since the current label; 0 when there is none.
    int32_t LinesSinceLabel() const { return currentLabel_ >= 0 ? linesSinceLabel_ : 0; }
    int32_t CurrentColumn() const { return column_; }
    int32_t CurrentLine() const { return line_; }
    const std::string& CurrentLineText() const { return lineText_; }

    // Where the last segment began (for the interpreter's messages).
    int32_t SegmentStartLine() const { return segLine_; }
    int32_t SegmentStartColumn() const { return segColumn_; }
    const std::string& SegmentStartFile() const { return segFile_; }

    // "file label(N行,M桁)" with the 1-based line in the label's file, or "EOF".
    std::string PositionText() const;

    int32_t LineCount() const { return static_cast<int32_t>(lines_.size()); }
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<TLabelData>& Labels() const { return labels_; }

    // Text replacement (the "rep" object's commands).
    bool AddReplacement(std::string_view pattern, std::string_view replacement, int32_t kind);
    bool RemoveReplacement(std::string_view pattern);
    const std::vector<TReplaceData>& Replacements() const { return rules_; }
    void SetReplacementEnabled(bool on) { replaceEnabled_ = on; }
    bool ReplacementEnabled() const { return replaceEnabled_; }
    // Both texts are cut to 127 bytes on a character boundary.
    void SetTextPrefix(std::string_view text);
    const std::string& TextPrefix() const { return prefix_; }
    void SetEmptyLineText(std::string_view text);
    const std::string& EmptyLineText() const { return emptyLineText_; }
    // Applies the rules to one line (unchanged when there are none).
    std::string ApplyReplacements(const std::string& line) const;

    void SaveState(TMemoryStream& s) const;
    // Restores the record, reloading its file and jumping to its label. False,
    // with the reader unchanged and the error reported, when the record is
    // malformed, the file cannot be loaded or the label is gone.
    bool LoadState(TMemoryStream& s);

    // Reports "ScriptLoad:" + text.
    static void ReportLoadError(std::string_view text);

private:
    struct Source {
        std::vector<std::string> lines;
        std::vector<TLabelData> labels;
        std::unordered_map<std::string, int32_t> labelIndex;  // first label of each name
        std::string fileName;
    };

    bool LoadSource(std::string_view name, Source& out);
    bool ReadFile(std::string_view name, Source& src, std::vector<std::string>& includes);
    void Commit(Source&& src);
    static int32_t FindLabelIn(const Source& src, std::string_view name);
    // The line a jump to label index + offset lands on, or -1 when outside.
    static int32_t JumpTarget(const std::vector<std::string>& lines, const TLabelData& label, int32_t offset);

    IGameFiles* files_;
    IRegExp* regexp_;
    ILineRewriter* rewriter_;
    LineCallback lineCallback_;

    std::vector<std::string> lines_;
    std::vector<TLabelData> labels_;
    std::unordered_map<std::string, int32_t> labelIndex_;
    // The last name FindLabel looked up, as written, and what it found: loops
    // jump to the same label over and over.
    mutable std::string lastLabelName_;
    mutable int32_t lastLabelFound_ = -1;
    mutable bool lastLabelValid_ = false;
    int32_t currentLabel_ = -1;
    int32_t linesSinceLabel_ = 0;
    int32_t line_ = -1;
    int32_t column_ = 0;
    int32_t segLine_ = -1;
    int32_t segColumn_ = 0;
    std::string segFile_;
    std::vector<TReplaceData> rules_;
    mutable std::vector<std::string> splitPieces_;  // pieces of the split rules, kept between lines
    std::string fileName_;
    bool replaceEnabled_ = true;
    std::string prefix_;
    std::string emptyLineText_;
    std::string lineText_;
};

}  // namespace zel
