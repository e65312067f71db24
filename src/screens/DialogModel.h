// What every engine dialog is made of before it is drawn: its caption, its
// body text, its buttons with their results and accelerator keys, the button
// that has the focus and the answer of a window closed without a button.
// The placeholder and accelerator rules shared by all dialogs live here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

struct TDialogButton {
    std::string caption;      // Shift-JIS
    int32_t result = 0;
    std::string accelerator;  // the character after the caption's first "(", or empty
};

struct TDialogContent {
    std::string caption;  // the window caption, placeholders applied
    std::string text;     // the body, placeholders applied
    std::vector<TDialogButton> buttons;
    size_t focus = 0;         // the button focused when the dialog opens
    int32_t closeResult = 0;  // the answer of Esc or a closed window
    // Input dialogs: a single-line field under the body, and a second label
    // (the length limit) under the field.
    bool hasField = false;
    std::string fieldText;  // Shift-JIS
    std::string note;
    // The button that Enter in the field presses (an index into buttons).
    size_t enterButton = 0;
};

// "%%%app" in the caption becomes the application title (case-insensitively);
// an empty caption is "%%%app".
std::string ApplyCaption(std::string_view caption, std::string_view appTitle);
// "%%%n" in the body becomes lineBreak (case-insensitively).
std::string ApplyBody(std::string_view text, std::string_view lineBreak);
// Replaces every occurrence of the placeholder, without regard to ASCII case;
// double-byte characters are never split.
std::string ReplacePlaceholder(std::string_view text, std::string_view placeholder, std::string_view with);
// The character right after the first "(" of the caption (one or two bytes),
// or empty when there is none.
std::string AcceleratorOf(std::string_view caption);
TDialogButton MakeButton(std::string caption, int32_t result);
// The button whose accelerator equals the typed character (ASCII letters
// compared without regard to case), or -1.
int FindAccelerator(const std::vector<TDialogButton>& buttons, std::string_view typed);

}  // namespace zel
