#include "screens/KitDialogHost.h"

#include "graphics/ARGB8888Lib.h"
#include "screens/KitDialog.h"
#include "screens/uDialog1Button.h"
#include "screens/uDialog2Button.h"
#include "screens/uExitDialog.h"

namespace zel {

void ComposeDialogFrame(const TARGB8888& backdrop, const TKitDialog& dialog, TARGB8888& frame) {
    frame.AssignImage(backdrop);
    frame.FillRectEx(0, 0, frame.Width(), frame.Height(), kitcolour::Shade, 2, 0, 1024);
    dialog.Draw(frame);
}

int32_t TKitDialogHost::Run(TKitDialog& dialog) {
    TARGB8888 backdrop, frame;
    surface_.Capture(backdrop);
    dialog.Layout(backdrop.Width(), backdrop.Height());
    std::vector<TKitEvent> events;
    bool textOn = false;
    for (;;) {
        if (dialog.FieldFocused() != textOn) {
            textOn = dialog.FieldFocused();
            surface_.SetTextInput(textOn, dialog.Field().rect);
        }
        ComposeDialogFrame(backdrop, dialog, frame);
        surface_.Show(frame);
        events.clear();
        if (!surface_.Wait(events)) events.emplace_back(TKitEvent::Close);
        for (const TKitEvent& e : events) {
            const TKitDialog::Step step = dialog.Handle(e);
            if (step == TKitDialog::Step::Done) {
                if (textOn) surface_.SetTextInput(false, {});
                surface_.Show(backdrop);
                return dialog.Result();
            }
            if (step == TKitDialog::Step::Refused) {
                TKitDialog refusal(MakeMessageDialog("", dialog.Refusal(), "", Title()), painter_);
                if (textOn) surface_.SetTextInput(false, {});
                textOn = false;
                Run(refusal);
                break;  // the rest of the batch belonged to the message
            }
        }
    }
}

int32_t TKitDialogHost::RunOuter(TKitDialog& dialog) {
    const int32_t r = Run(dialog);
    surface_.Finished();
    return r;
}

void TKitDialogHost::Message(const std::string& text, const std::string& button) {
    if (text.empty()) return;
    if (!surface_.Ready()) {
        fallback_.SetTitle(Title());
        fallback_.Message(text, button);
        return;
    }
    TKitDialog d(MakeMessageDialog("", text, button, Title()), painter_);
    RunOuter(d);
}

int TKitDialogHost::Confirm(const std::string& text, const std::string& yes, const std::string& no) {
    if (text.empty()) return 1;
    if (!surface_.Ready()) {
        fallback_.SetTitle(Title());
        return fallback_.Confirm(text, yes, no);
    }
    TKitDialog d(MakeConfirmDialog("", text, yes, no, Title()), painter_);
    return RunOuter(d) == 1 ? 1 : 0;
}

int TKitDialogHost::ConfirmClose(const std::string& text, const std::string& exitCaption,
                                 const std::string& cancelCaption, const std::string& titleCaption) {
    if (text.empty()) return 1;
    if (!surface_.Ready()) {
        fallback_.SetTitle(Title());
        return fallback_.ConfirmClose(text, exitCaption, cancelCaption, titleCaption);
    }
    TKitDialog d(MakeExitDialog("", text, exitCaption, cancelCaption, titleCaption, Title()), painter_);
    return RunOuter(d);
}

int TKitDialogHost::TextInput(const TTextInputRequest& request, std::string& text) {
    if (!surface_.Ready()) return fallback_.TextInput(request, text);
    TDialogContent content;
    content.caption = request.caption.empty() ? Title() : request.caption;
    content.text = request.prompt.empty() ? request.group : request.prompt;
    content.note = request.note;
    content.hasField = true;
    content.fieldText = text;
    content.buttons.push_back(MakeButton(request.ok.empty() ? std::string("OK") : request.ok, 1));
    if (!request.cancel.empty()) content.buttons.push_back(MakeButton(request.cancel, 0));
    content.enterButton = 0;
    content.closeResult = 0;
    TKitDialog d(std::move(content), painter_);
    d.check = [&request](std::string_view utf8, std::string& sjis) { return CheckTextAnswer(request, utf8, sjis); };
    const int32_t r = RunOuter(d);
    text = d.FieldText();
    return r == 1 ? 1 : 0;
}

}  // namespace zel
