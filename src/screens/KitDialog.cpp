#include "screens/KitDialog.h"

#include <algorithm>

#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

TKitDialog::TKitDialog(TDialogContent content, const TKitPainter& painter) : content_(std::move(content)), painter_(painter) {
    panel_.title = content_.caption;
    body_.text = content_.text;
    note_.text = content_.note;
    for (const TDialogButton& b : content_.buttons) buttons_.push_back({{}, b.caption});
    focus_ = std::min(content_.focus, buttons_.empty() ? size_t{0} : buttons_.size() - 1);
    result_ = content_.closeResult;
    if (content_.hasField) {
        field_.SetText(SjisToUtf8(content_.fieldText));
        fieldSjis_ = content_.fieldText;
        fieldFocused_ = true;
    }
    Layout(800, 600);
}

void TKitDialog::Layout(int32_t screenWidth, int32_t screenHeight) {
    const TKitPainter& p = painter_;
    const int32_t line = p.Cell() + 4, pad = 16, gap = 8, bh = p.Cell() + 12;
    const std::vector<std::string> lines = SplitKitLines(content_.text);
    int32_t textW = 0;
    for (const std::string& l : lines) textW = std::max(textW, p.TextWidth(l));
    if (!content_.note.empty()) textW = std::max(textW, p.TextWidth(content_.note));
    std::vector<int32_t> widths;
    int32_t rowW = 0;
    for (const TKitButton& b : buttons_) {
        widths.push_back(std::max(88, p.TextWidth(b.caption) + 24));
        rowW += widths.back() + (widths.size() > 1 ? gap : 0);
    }
    const int32_t minW = content_.hasField ? 360 : 240;
    const int32_t w = std::min(std::max({textW, rowW, minW}) + 2 * pad, std::max(screenWidth - 16, 120));
    int32_t h = panel_.TitleHeight(p) + pad + line * static_cast<int32_t>(lines.size()) + gap + bh + pad;
    if (content_.hasField) h += bh + gap;
    if (!content_.note.empty()) h += line;
    const int32_t left = (screenWidth - w) / 2, top = std::max(0, (screenHeight - h) / 2);
    panel_.rect = {left, top, left + w, top + h};
    int32_t y = top + panel_.TitleHeight(p) + pad;
    body_.x = left + pad;
    body_.y = y;
    y += line * static_cast<int32_t>(lines.size()) + gap;
    if (content_.hasField) {
        field_.rect = {left + pad, y, left + w - pad, y + bh};
        y += bh + gap;
    }
    note_.x = left + pad;
    note_.y = y;
    // Buttons in a row at the bottom, right-aligned.
    int32_t x = left + w - pad - rowW;
    const int32_t by = top + h - pad - bh;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i].rect = {x, by, x + widths[i], by + bh};
        x += widths[i] + gap;
    }
}

void TKitDialog::MoveFocus(int32_t by) {
    // The field, when there is one, comes before the buttons in the order.
    const int32_t n = static_cast<int32_t>(buttons_.size()) + (content_.hasField ? 1 : 0);
    if (n == 0) return;
    int32_t at = fieldFocused_ ? 0 : static_cast<int32_t>(focus_) + (content_.hasField ? 1 : 0);
    at = ((at + by) % n + n) % n;
    fieldFocused_ = content_.hasField && at == 0;
    if (!fieldFocused_) focus_ = static_cast<size_t>(at - (content_.hasField ? 1 : 0));
}

TKitDialog::Step TKitDialog::Press(size_t i) {
    if (i >= buttons_.size()) return Step::Running;
    const int32_t r = content_.buttons[i].result;
    if (content_.hasField) {
        std::string sjis;
        if (r == 1 && check) {
            refusal_ = check(field_.Text(), sjis);
            if (!refusal_.empty()) return Step::Refused;
            fieldSjis_ = sjis;
        } else if (Utf8ToSjis(field_.Text(), sjis)) {
            fieldSjis_ = sjis;
        } else if (r == 1) {
            refusal_ = Sj("使用できない文字が含まれています（Shift-JISで表せない文字です）。");
            return Step::Refused;
        }
    }
    result_ = r;
    return Step::Done;
}

TKitDialog::Step TKitDialog::Handle(const TKitEvent& e) {
    switch (e.kind) {
        case TKitEvent::Close: result_ = content_.closeResult; return Step::Done;
        case TKitEvent::Move:
            for (TKitButton& b : buttons_) b.hover = b.rect.Contains(e.x, e.y);
            return Step::Running;
        case TKitEvent::Down:
            if (e.key != 0) return Step::Running;
            for (size_t i = 0; i < buttons_.size(); ++i)
                if (buttons_[i].rect.Contains(e.x, e.y)) {
                    pressed_ = static_cast<int>(i);
                    buttons_[i].pressed = true;
                    focus_ = i;
                    fieldFocused_ = false;
                }
            if (content_.hasField && field_.rect.Contains(e.x, e.y)) fieldFocused_ = true;
            return Step::Running;
        case TKitEvent::Up: {
            if (e.key != 0 || pressed_ < 0) return Step::Running;
            const size_t i = static_cast<size_t>(pressed_);
            buttons_[i].pressed = false;
            pressed_ = -1;
            return buttons_[i].rect.Contains(e.x, e.y) ? Press(i) : Step::Running;
        }
        case TKitEvent::Text:
            if (fieldFocused_) {
                field_.Insert(e.text);
                return Step::Running;
            }
            if (const int b = FindAccelerator(content_.buttons, Sj(e.text)); b >= 0) return Press(static_cast<size_t>(b));
            return Step::Running;
        case TKitEvent::Compose:
            if (fieldFocused_) field_.SetComposition(e.text);
            return Step::Running;
        case TKitEvent::Wheel: return Step::Running;
        case TKitEvent::Key: break;
    }
    if (fieldFocused_ && !field_.Composition().empty()) return Step::Running;  // the IME's own keys
    switch (e.key) {
        case kitkey::Esc: result_ = content_.closeResult; return Step::Done;
        case kitkey::Tab: MoveFocus(e.shift ? -1 : 1); return Step::Running;
        case kitkey::Enter:
            if (fieldFocused_) return Press(content_.enterButton);
            return Press(focus_);
        case kitkey::Space:
            if (!fieldFocused_) return Press(focus_);
            return Step::Running;
        case kitkey::Left:
        case kitkey::Up:
            if (fieldFocused_ && e.key == kitkey::Left) break;
            MoveFocus(-1);
            return Step::Running;
        case kitkey::Right:
        case kitkey::Down:
            if (fieldFocused_ && e.key == kitkey::Right) break;
            MoveFocus(1);
            return Step::Running;
        default: break;
    }
    if (fieldFocused_) {
        field_.Key(e.key);
        return Step::Running;
    }
    // Letters and digits as keys (no text input running): accelerators.
    if ((e.key >= 'A' && e.key <= 'Z') || (e.key >= '0' && e.key <= '9')) {
        const char c = static_cast<char>(e.key);
        if (const int b = FindAccelerator(content_.buttons, std::string_view(&c, 1)); b >= 0)
            return Press(static_cast<size_t>(b));
    }
    return Step::Running;
}

void TKitDialog::Draw(TARGB8888& canvas) const {
    panel_.Draw(canvas, painter_);
    body_.Draw(canvas, painter_);
    if (content_.hasField) field_.Draw(canvas, painter_, fieldFocused_);
    if (!content_.note.empty()) note_.Draw(canvas, painter_);
    for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i].Draw(canvas, painter_, !fieldFocused_ && i == focus_);
}

}  // namespace zel
