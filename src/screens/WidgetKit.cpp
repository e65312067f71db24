#include "screens/WidgetKit.h"

#include <algorithm>

#include "base/Sjis.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

namespace {

bool Utf8Continuation(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }

size_t PrevUtf8(const std::string& s, size_t pos) {
    if (pos == 0) return 0;
    --pos;
    while (pos > 0 && Utf8Continuation(s[pos])) --pos;
    return pos;
}

size_t NextUtf8(const std::string& s, size_t pos) {
    if (pos >= s.size()) return s.size();
    ++pos;
    while (pos < s.size() && Utf8Continuation(s[pos])) ++pos;
    return pos;
}

}  // namespace

int32_t TKitPainter::TextWidth(std::string_view sjis) const {
    int32_t w = 0;
    for (size_t i = 0; i < sjis.size(); i = NextCharPos(sjis, i)) w += CharLen(sjis, i) == 2 ? cell_ : cell_ / 2;
    return w;
}

void TKitPainter::Text(TARGB8888& image, int32_t x, int32_t y, std::string_view sjis, uint32_t colour) const {
    if (fonts_ && !sjis.empty()) fonts_->DrawText(image, x, y, sjis, cell_, cell_, colour, 0, false);
}

void TKitPainter::Box(TARGB8888& image, const TKitRect& r, uint32_t fill, uint32_t border, int32_t bw) const {
    image.FillRect(r.left, r.top, r.right, r.bottom, border);
    image.FillRect(r.left + bw, r.top + bw, r.right - bw, r.bottom - bw, fill);
}

std::vector<std::string> SplitKitLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            const char other = c == '\r' ? '\n' : '\r';
            i += (i + 1 < text.size() && text[i + 1] == other) ? 2 : 1;
            lines.emplace_back();
            continue;
        }
        const size_t next = NextCharPos(text, i);
        lines.back().append(text.substr(i, next - i));
        i = next;
    }
    return lines;
}

void TKitPanel::Draw(TARGB8888& image, const TKitPainter& p) const {
    p.Box(image, rect, kitcolour::Face, kitcolour::Border);
    const TKitRect bar{rect.left + 1, rect.top + 1, rect.right - 1, rect.top + TitleHeight(p)};
    image.FillRect(bar.left, bar.top, bar.right, bar.bottom, kitcolour::Title);
    p.Text(image, bar.left + 6, bar.top + 4, title, kitcolour::TitleText);
}

void TKitLabel::Draw(TARGB8888& image, const TKitPainter& p) const {
    int32_t row = y;
    for (const std::string& line : SplitKitLines(text)) {
        p.Text(image, x, row, line, colour);
        row += p.Cell() + 4;
    }
}

void TKitButton::Draw(TARGB8888& image, const TKitPainter& p, bool focused) const {
    const uint32_t fill = pressed ? kitcolour::ButtonDown : hover ? kitcolour::ButtonHover : kitcolour::Button;
    p.Box(image, rect, fill, focused ? kitcolour::Focus : kitcolour::Border, focused ? 2 : 1);
    const int32_t tx = rect.left + (rect.Width() - p.TextWidth(caption)) / 2;
    const int32_t ty = rect.top + (rect.Height() - p.Cell()) / 2 + (pressed ? 1 : 0);
    p.Text(image, tx, ty, caption, kitcolour::Text);
}

void TKitTextField::SetText(std::string utf8) {
    text_ = std::move(utf8);
    cursor_ = text_.size();
    composing_.clear();
}

void TKitTextField::Insert(std::string_view utf8) {
    for (char c : utf8)
        if (static_cast<uint8_t>(c) < 32) return;  // a line break or control code is not typed into one line
    text_.insert(cursor_, utf8);
    cursor_ += utf8.size();
}

bool TKitTextField::Key(int32_t vk) {
    if (!composing_.empty()) return false;  // the IME's own keys
    switch (vk) {
        case kitkey::Back:
            if (cursor_ > 0) {
                const size_t from = PrevUtf8(text_, cursor_);
                text_.erase(from, cursor_ - from);
                cursor_ = from;
            }
            return true;
        case kitkey::Delete:
            if (cursor_ < text_.size()) text_.erase(cursor_, NextUtf8(text_, cursor_) - cursor_);
            return true;
        case kitkey::Left: cursor_ = PrevUtf8(text_, cursor_); return true;
        case kitkey::Right: cursor_ = NextUtf8(text_, cursor_); return true;
        case kitkey::Home: cursor_ = 0; return true;
        case kitkey::End: cursor_ = text_.size(); return true;
        default: return false;
    }
}

void TKitTextField::Draw(TARGB8888& image, const TKitPainter& p, bool focused) const {
    p.Box(image, rect, kitcolour::Field, focused ? kitcolour::Focus : kitcolour::Border, focused ? 2 : 1);
    const std::string before = Sj(text_.substr(0, cursor_)), after = Sj(text_.substr(cursor_));
    const std::string comp = Sj(composing_);
    const int32_t y = rect.top + (rect.Height() - p.Cell()) / 2;
    int32_t x = rect.left + 4;
    p.Text(image, x, y, before, kitcolour::Text);
    x += p.TextWidth(before);
    if (!comp.empty()) {
        const int32_t w = p.TextWidth(comp);
        p.Text(image, x, y, comp, kitcolour::Compose);
        image.FillRect(x, y + p.Cell() + 1, x + w, y + p.Cell() + 2, kitcolour::Compose);
        x += w;
    }
    if (focused) image.FillRect(x, y - 1, x + 1, y + p.Cell() + 1, kitcolour::Text);
    p.Text(image, x + 1, y, after, kitcolour::Text);
}

int32_t TKitTextView::VisibleLines(const TKitPainter& p) const {
    return std::max<int32_t>(1, (rect.Height() - 8) / (p.Cell() + 4));
}

void TKitTextView::Scroll(int32_t lines, const TKitPainter& p) {
    const int32_t most = std::max<int32_t>(0, static_cast<int32_t>(lines_.size()) - VisibleLines(p));
    top_ = std::clamp<int32_t>(top_ + lines, 0, most);
}

bool TKitTextView::Key(int32_t vk, const TKitPainter& p) {
    switch (vk) {
        case kitkey::Up: Scroll(-1, p); return true;
        case kitkey::Down: Scroll(1, p); return true;
        case kitkey::PageUp: Scroll(-VisibleLines(p), p); return true;
        case kitkey::PageDown: Scroll(VisibleLines(p), p); return true;
        case kitkey::Home: Scroll(-top_, p); return true;
        case kitkey::End: Scroll(static_cast<int32_t>(lines_.size()), p); return true;
        default: return false;
    }
}

void TKitTextView::Draw(TARGB8888& image, const TKitPainter& p, bool focused) const {
    p.Box(image, rect, kitcolour::Field, focused ? kitcolour::Focus : kitcolour::Border, focused ? 2 : 1);
    const int32_t shown = VisibleLines(p);
    for (int32_t i = 0; i < shown && top_ + i < static_cast<int32_t>(lines_.size()); ++i)
        p.Text(image, rect.left + 4, rect.top + 4 + i * (p.Cell() + 4), lines_[static_cast<size_t>(top_ + i)],
               kitcolour::Text);
    // The scroll bar: where the shown lines sit in the whole text.
    const int32_t total = static_cast<int32_t>(lines_.size());
    if (total > shown) {
        const int32_t h = rect.Height() - 4;
        const int32_t t = rect.top + 2 + static_cast<int32_t>(int64_t{h} * top_ / total);
        const int32_t b = rect.top + 2 + static_cast<int32_t>(int64_t{h} * (top_ + shown) / total);
        image.FillRect(rect.right - 8, t, rect.right - 3, b, kitcolour::Border);
    }
}

}  // namespace zel
