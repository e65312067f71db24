// A dialog of the widget kit: a TDialogContent laid out in a panel at the centre
// of the screen, driven by kit events. It knows nothing of windows, so tests
// drive it with events and look at the picture it draws.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "screens/DialogModel.h"
#include "screens/WidgetKit.h"

namespace zel {

class TKitDialog {
public:
    enum class Step { Running, Done, Refused };

    TKitDialog(TDialogContent content, const TKitPainter& painter);
    // Checks the field's text when the button of result 1 is pressed: empty
    // accepts (sjis the text to keep), else the message to show.
    std::function<std::string(std::string_view utf8, std::string& sjis)> check;

    void Layout(int32_t screenWidth, int32_t screenHeight);
    Step Handle(const TKitEvent& e);
    void Draw(TARGB8888& canvas) const;

    int32_t Result() const { return result_; }
    // The refusal of the last Refused step (Shift-JIS).
    const std::string& Refusal() const { return refusal_; }
    // The field's text as accepted or edited (Shift-JIS).
    const std::string& FieldText() const { return fieldSjis_; }
    TKitTextField& Field() { return field_; }
    const TKitPanel& Panel() const { return panel_; }
    const std::vector<TKitButton>& Buttons() const { return buttons_; }
    size_t Focus() const { return focus_; }
    bool FieldFocused() const { return fieldFocused_; }

private:
    Step Press(size_t button);
    void MoveFocus(int32_t by);

    TDialogContent content_;
    const TKitPainter& painter_;
    TKitPanel panel_;
    TKitLabel body_, note_;
    std::vector<TKitButton> buttons_;
    TKitTextField field_;
    size_t focus_ = 0;
    bool fieldFocused_ = false;
    int pressed_ = -1;
    int32_t result_ = 0;
    std::string refusal_, fieldSjis_;
};

}  // namespace zel
