// Modal message and confirmation dialogs. Texts are Shift-JIS. An empty text
// is a silent default: Message shows nothing, Confirm answers yes and
// ConfirmClose answers "quit" without showing anything.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// A single-line text input: the player text dialog and the plain one.
struct TTextInputRequest {
    std::string caption;  // window caption
    std::string group;    // the frame's caption around the field
    std::string prompt;   // the label above the field
    std::string note;     // the label under the field (a length limit), may be empty
    std::string ok, cancel;  // no cancel caption: the dialog has one button
    // Checks an answer given with OK (as typed, UTF-8): empty when accepted,
    // with its Shift-JIS form in sjis; otherwise the message shown while the
    // dialog stays open. None: any text that Shift-JIS can hold is accepted.
    std::function<std::string(std::string_view utf8, std::string& sjis)> check;
};

// The answer check of a request: its own, or the Shift-JIS conversion that
// refuses a character Shift-JIS cannot hold with a message.
std::string CheckTextAnswer(const TTextInputRequest& request, std::string_view utf8, std::string& sjis);

class IDialogHost {
public:
    virtual ~IDialogHost() = default;
    virtual void Message(const std::string& text, const std::string& button) = 0;
    // 1 yes, 0 no.
    virtual int Confirm(const std::string& text, const std::string& yes, const std::string& no) = 0;
    // 1 quit, 0 back to title, -1 cancel.
    virtual int ConfirmClose(const std::string& text, const std::string& exitCaption, const std::string& cancelCaption,
                             const std::string& titleCaption) = 0;
    // 1 accepted, 0 cancelled; text (Shift-JIS) holds the starting text and
    // then the edited text, accepted or not. The default has no field to
    // show and cancels.
    virtual int TextInput(const TTextInputRequest& /*request*/, std::string& /*text*/) { return 0; }
    // The application title shown as every dialog's caption.
    void SetTitle(const std::string& title) { title_ = title; }
    const std::string& Title() const { return title_; }

private:
    std::string title_ = "Untitle";
};

// SDL message boxes; usable before any window exists.
class TSdlDialogHost final : public IDialogHost {
public:
    void Message(const std::string& text, const std::string& button) override;
    int Confirm(const std::string& text, const std::string& yes, const std::string& no) override;
    int ConfirmClose(const std::string& text, const std::string& exitCaption, const std::string& cancelCaption,
                     const std::string& titleCaption) override;
};

// Answers from a queue, for tests and headless runs; records every dialog it
// was asked to show. Messages are also echoed to standard error (as UTF-8)
// when echo is on, so a headless run shows what a player would have seen.
class TScriptedDialogHost final : public IDialogHost {
public:
    struct Shown {
        std::string kind;  // "message", "confirm", "close", "text"
        std::string text;
    };
    explicit TScriptedDialogHost(bool echo = false) : echo_(echo) {}
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    // A text a text-input dialog is answered with (UTF-8, as typed): each
    // dialog takes queued texts until one is accepted; none left: cancelled.
    void QueueText(const std::string& utf8) { texts_.push_back(utf8); }
    // Answer used when the queue is empty: Confirm yes (1), ConfirmClose quit (1).
    void SetDefaultAnswer(int answer) { default_ = answer; }
    const std::vector<Shown>& History() const { return shown_; }

    void Message(const std::string& text, const std::string& button) override;
    int Confirm(const std::string& text, const std::string& yes, const std::string& no) override;
    int ConfirmClose(const std::string& text, const std::string& exitCaption, const std::string& cancelCaption,
                     const std::string& titleCaption) override;
    int TextInput(const TTextInputRequest& request, std::string& text) override;

private:
    int Next();
    bool echo_;
    int default_ = 1;
    std::deque<int> answers_;
    std::deque<std::string> texts_;
    std::vector<Shown> shown_;
};

}  // namespace zel
