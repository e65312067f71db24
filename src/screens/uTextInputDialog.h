// The plain single-line text-input dialog; Enter in the field accepts.
#pragma once

#include <string>
#include <string_view>

namespace zel {

class IDialogHost;

struct TPlainTextAnswer {
    int accepted = 0;  // 1 accepted (always 1 with a single button)
    std::string text;  // Shift-JIS, the edited text
};

// An empty OK caption is "OK"; without a cancel caption only OK is shown and
// the answer counts as accepted however the dialog closes.
TPlainTextAnswer ShowPlainTextInput(IDialogHost& host, std::string_view text, std::string_view title,
                                    std::string_view group, std::string_view ok, std::string_view cancel);

}  // namespace zel
