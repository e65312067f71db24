#include "screens/DialogModel.h"

#include "base/Sjis.h"

namespace zel {

std::string ReplacePlaceholder(std::string_view text, std::string_view placeholder, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (!placeholder.empty() && text.size() - i >= placeholder.size() &&
            EqualsNoCase(text.substr(i, placeholder.size()), placeholder)) {
            out.append(with);
            i += placeholder.size();
            continue;
        }
        const size_t next = NextCharPos(text, i);
        out.append(text.substr(i, next - i));
        i = next;
    }
    return out;
}

std::string ApplyCaption(std::string_view caption, std::string_view appTitle) {
    return ReplacePlaceholder(caption.empty() ? std::string_view("%%%app") : caption, "%%%app", appTitle);
}

std::string ApplyBody(std::string_view text, std::string_view lineBreak) {
    return ReplacePlaceholder(text, "%%%n", lineBreak);
}

std::string AcceleratorOf(std::string_view caption) {
    for (size_t i = 0; i < caption.size(); i = NextCharPos(caption, i)) {
        if (caption[i] != '(') continue;
        const size_t at = i + 1;
        if (at >= caption.size()) return {};
        return std::string(caption.substr(at, CharLen(caption, at)));
    }
    return {};
}

TDialogButton MakeButton(std::string caption, int32_t result) {
    TDialogButton b;
    b.accelerator = AcceleratorOf(caption);
    b.caption = std::move(caption);
    b.result = result;
    return b;
}

int FindAccelerator(const std::vector<TDialogButton>& buttons, std::string_view typed) {
    if (typed.empty()) return -1;
    for (size_t i = 0; i < buttons.size(); ++i)
        if (!buttons[i].accelerator.empty() && EqualsNoCase(buttons[i].accelerator, typed)) return static_cast<int>(i);
    return -1;
}

}  // namespace zel
