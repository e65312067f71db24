// The player's text-input dialog (names and the like): a record the game
// script owns and its saves keep, shown through the dialog host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

class IDialogHost;
class TMemoryStream;

// The checks of an answer given with OK. The answer is Shift-JIS; maximum is
// a byte count, below 0 no limit. Empty when accepted, else the message
// (Shift-JIS) the dialog shows while it stays open: the length first, then
// a character whose first byte is a control code, '"', ',', '\\', '{' or '}'.
std::string CheckPlayerText(std::string_view sjis, int32_t maximum);
// The same for an answer as typed (UTF-8): a character that Shift-JIS cannot
// hold is refused with a message, never dropped; sjis gets the converted text.
std::string CheckPlayerTextUtf8(std::string_view utf8, int32_t maximum, std::string& sjis);
// The limit label shown under the field; empty without a limit.
std::string PlayerTextLimitLabel(int32_t maximum);

class TZelTextDialog {
public:
    TZelTextDialog() { Reset(); }
    void Reset();
    void SetTitle(std::string t) { title_ = std::move(t); }
    void SetPrompt(std::string p) { prompt_ = std::move(p); }
    void SetText(std::string t) { text_ = std::move(t); }
    void SetMaximum(int32_t m) { maximum_ = m; }
    const std::string& Title() const { return title_; }
    const std::string& Prompt() const { return prompt_; }
    const std::string& Text() const { return text_; }
    int32_t Maximum() const { return maximum_; }

    // 1 accepted, 0 cancelled; the edited text is kept either way.
    int Show(IDialogHost& host);

    // Title, prompt and text as length-prefixed strings, then the maximum.
    void Save(TMemoryStream& s) const;
    // All or nothing: raises EStreamError for a damaged record and keeps the
    // dialog as it was.
    void Load(TMemoryStream& s);

private:
    std::string title_, prompt_, text_;
    int32_t maximum_ = -1;
};

}  // namespace zel
