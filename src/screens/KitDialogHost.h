// The dialog host of a running game: every dialog is a kit dialog drawn in
// the game window over the frozen screen, run as a nested modal loop until
// it is answered. Before a window and a font exist the fallback host (the
// platform's message boxes) answers instead.
#pragma once

#include <vector>

#include "platform/Dialogs.h"
#include "screens/WidgetKit.h"

namespace zel {

class TARGB8888;
class TKitDialog;

// Where a modal dialog is shown and where its input comes from.
class IDialogSurface {
public:
    virtual ~IDialogSurface() = default;
    // False while no window and font exist.
    virtual bool Ready() const = 0;
    // The screen as it is now, which the dialog is drawn over.
    virtual void Capture(TARGB8888& into) = 0;
    virtual void Show(const TARGB8888& frame) = 0;
    // Waits a little for input and appends it; false when no input can come
    // any more (the dialog then closes with its close answer).
    virtual bool Wait(std::vector<TKitEvent>& out) = 0;
    // Text input (and the IME) on while a field has the focus; field is
    // where the IME shows its candidates.
    virtual void SetTextInput(bool on, const TKitRect& field) = 0;
    // The outermost dialog has its answer (after its last Show).
    virtual void Finished() {}
};

class TKitDialogHost final : public IDialogHost {
public:
    TKitDialogHost(IDialogSurface& surface, TFontTable* fonts, IDialogHost& fallback)
        : surface_(surface), painter_(fonts), fallback_(fallback) {}

    void Message(const std::string& text, const std::string& button) override;
    int Confirm(const std::string& text, const std::string& yes, const std::string& no) override;
    int ConfirmClose(const std::string& text, const std::string& exitCaption, const std::string& cancelCaption,
                     const std::string& titleCaption) override;
    int TextInput(const TTextInputRequest& request, std::string& text) override;
    const TKitPainter& Painter() const { return painter_; }
    // The font table the dialogs draw with (set once a run's fonts exist);
    // not while a dialog is open.
    void SetFonts(TFontTable* fonts) { painter_ = TKitPainter(fonts, painter_.Cell()); }
    // The character cell of the dialogs' text, in screen pixels.
    void SetCell(int32_t cell) { painter_ = TKitPainter(painter_.Fonts(), cell); }

    // Runs one dialog to its answer (refusals shown as nested messages).
    int32_t Run(TKitDialog& dialog);

private:
    // Run, then tells the surface that the dialog is over.
    int32_t RunOuter(TKitDialog& dialog);

    IDialogSurface& surface_;
    TKitPainter painter_;
    IDialogHost& fallback_;
};

// The frame a dialog shows: the screen shaded, the dialog over it.
void ComposeDialogFrame(const TARGB8888& backdrop, const TKitDialog& dialog, TARGB8888& frame);

}  // namespace zel
