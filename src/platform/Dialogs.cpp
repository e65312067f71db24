#include "platform/Dialogs.h"

#include <SDL.h>

#include <cstdio>

#include "base/Sjis.h"

namespace zel {

namespace {

int ShowBox(const std::string& title, const std::string& text, const std::vector<std::pair<int, std::string>>& buttons,
            int escapeAnswer) {
    const std::string utitle = SjisToUtf8(title);
    const std::string utext = SjisToUtf8(text);
    std::vector<std::string> captions;
    for (auto& b : buttons) captions.push_back(SjisToUtf8(b.second.empty() ? std::string("OK") : b.second));
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < buttons.size(); ++i) {
        Uint32 flags = 0;
        if (i == 0) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (buttons[i].first == escapeAnswer) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back({flags, buttons[i].first, captions[i].c_str()});
    }
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_INFORMATION;
    box.title = utitle.c_str();
    box.message = utext.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int hit = escapeAnswer;
    if (SDL_ShowMessageBox(&box, &hit) != 0) {
        // No display to show it on: say it on standard error and take the safe answer.
        std::fprintf(stderr, "%s\n", utext.c_str());
        return escapeAnswer;
    }
    return hit;
}

}  // namespace

void TSdlDialogHost::Message(const std::string& text, const std::string& button) {
    if (text.empty()) return;
    ShowBox(Title(), text, {{0, button}}, 0);
}

int TSdlDialogHost::Confirm(const std::string& text, const std::string& yes, const std::string& no) {
    if (text.empty()) return 1;
    return ShowBox(Title(), text, {{1, yes}, {0, no}}, 0);
}

int TSdlDialogHost::ConfirmClose(const std::string& text, const std::string& exitCaption,
                                 const std::string& cancelCaption, const std::string& titleCaption) {
    if (text.empty()) return 1;
    return ShowBox(Title(), text, {{1, exitCaption}, {0, titleCaption}, {-1, cancelCaption}}, -1);
}

std::string CheckTextAnswer(const TTextInputRequest& request, std::string_view utf8, std::string& sjis) {
    if (request.check) return request.check(utf8, sjis);
    sjis.clear();
    if (!Utf8ToSjis(utf8, sjis)) return Sj("この文字は使用できません（Shift-JISで表せない文字が含まれています）。");
    return {};
}

int TScriptedDialogHost::TextInput(const TTextInputRequest& request, std::string& text) {
    shown_.push_back({"text", request.prompt});
    while (!texts_.empty()) {
        const std::string answer = texts_.front();
        texts_.pop_front();
        std::string sjis;
        const std::string refusal = CheckTextAnswer(request, answer, sjis);
        if (refusal.empty()) {
            text = sjis;
            return 1;
        }
        Message(refusal, "OK");
        // The refused text stays in the field, as far as Shift-JIS holds it.
        text = Sj(answer);
    }
    return 0;
}

int TScriptedDialogHost::Next() {
    if (answers_.empty()) return default_;
    const int a = answers_.front();
    answers_.pop_front();
    return a;
}

void TScriptedDialogHost::Message(const std::string& text, const std::string& /*button*/) {
    if (text.empty()) return;
    shown_.push_back({"message", text});
    if (echo_) std::fprintf(stderr, "%s\n", SjisToUtf8(text).c_str());
}

int TScriptedDialogHost::Confirm(const std::string& text, const std::string&, const std::string&) {
    if (text.empty()) return 1;
    shown_.push_back({"confirm", text});
    return Next() == 1 ? 1 : 0;
}

int TScriptedDialogHost::ConfirmClose(const std::string& text, const std::string&, const std::string&,
                                      const std::string&) {
    if (text.empty()) return 1;
    shown_.push_back({"close", text});
    const int a = Next();
    return a > 1 ? 1 : (a < -1 ? -1 : a);
}

}  // namespace zel
