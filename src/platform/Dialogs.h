// Modal message and confirmation dialogs. Texts are Shift-JIS. An empty text
// is a silent default: Message shows nothing, Confirm answers yes and
// ConfirmClose answers "quit" without showing anything.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace zel {

class IDialogHost {
public:
    virtual ~IDialogHost() = default;
    virtual void Message(const std::string& text, const std::string& button) = 0;
    // 1 yes, 0 no.
    virtual int Confirm(const std::string& text, const std::string& yes, const std::string& no) = 0;
    // 1 quit, 0 back to title, -1 cancel.
    virtual int ConfirmClose(const std::string& text, const std::string& exitCaption, const std::string& cancelCaption,
                             const std::string& titleCaption) = 0;
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
        std::string kind;  // "message", "confirm", "close"
        std::string text;
    };
    explicit TScriptedDialogHost(bool echo = false) : echo_(echo) {}
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    // Answer used when the queue is empty: Confirm yes (1), ConfirmClose quit (1).
    void SetDefaultAnswer(int answer) { default_ = answer; }
    const std::vector<Shown>& History() const { return shown_; }

    void Message(const std::string& text, const std::string& button) override;
    int Confirm(const std::string& text, const std::string& yes, const std::string& no) override;
    int ConfirmClose(const std::string& text, const std::string& exitCaption, const std::string& cancelCaption,
                     const std::string& titleCaption) override;

private:
    int Next();
    bool echo_;
    int default_ = 1;
    std::deque<int> answers_;
    std::vector<Shown> shown_;
};

}  // namespace zel
