#include "screens/uTextInputDialog.h"

#include "platform/Dialogs.h"
#include "screens/DialogModel.h"

namespace zel {

TPlainTextAnswer ShowPlainTextInput(IDialogHost& host, std::string_view text, std::string_view title,
                                    std::string_view group, std::string_view ok, std::string_view cancel) {
    TTextInputRequest r;
    r.caption = ApplyCaption(title, host.Title());
    r.group = std::string(group);
    r.ok = ok.empty() ? std::string("OK") : std::string(ok);
    r.cancel = std::string(cancel);
    TPlainTextAnswer a;
    a.text = std::string(text);
    const int got = host.TextInput(r, a.text);
    a.accepted = cancel.empty() ? 1 : (got == 1 ? 1 : 0);
    return a;
}

}  // namespace zel
