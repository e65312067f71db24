// The small widget kit the engine's own dialogs are drawn with, in the game
// window over the game's picture: a panel, a label, a button, a text field
// and a scrolling text view. Widgets draw into a TARGB8888 with the outline
// font of font slot 0 and take kit events, which the dialog surface makes
// from mouse, keyboard, game pad and IME input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TARGB8888;
class TFontTable;

// Virtual-key codes the kit reacts to.
namespace kitkey {
constexpr int32_t Back = 8, Tab = 9, Enter = 13, Esc = 27, Space = 32, End = 35, Home = 36, Left = 37, Up = 38,
                  Right = 39, Down = 40, Delete = 46, PageUp = 33, PageDown = 34;
}

struct TKitEvent {
    enum Kind : uint8_t {
        Move,     // pointer at (x, y)
        Down,     // button pressed at (x, y); key 0 left, 1 right
        Up,       // button let go at (x, y)
        Key,      // key = virtual-key code; shift held
        Text,     // committed text (UTF-8)
        Compose,  // the IME's composition so far (UTF-8; empty when it ends)
        Wheel,    // key = steps, positive away from the player
        Close,    // the window was asked to close
    };
    TKitEvent() = default;
    explicit TKitEvent(Kind k) : kind(k) {}
    Kind kind = Move;
    int32_t x = 0, y = 0;
    int32_t key = 0;
    bool shift = false;
    std::string text;
};

struct TKitRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const TKitRect&) const = default;
};

// The kit's colours, public so that tests can find what was drawn.
namespace kitcolour {
constexpr uint32_t Face = 0xFFE8E4DCu, Title = 0xFF203C78u, TitleText = 0xFFFFFFFFu, Text = 0xFF101010u,
                   Border = 0xFF606060u, Button = 0xFFD4D0C8u, ButtonHover = 0xFFE4E0D8u, ButtonDown = 0xFFB8B4AC,
                   Focus = 0xFF2050C0u, Field = 0xFFFFFFFFu, Compose = 0xFF2050C0u, Shade = 0x80000000u;
}

// Draws text and boxes. Text is measured on a fixed grid (a one-byte
// character half a cell, a double-byte one a whole cell), which the outline
// fonts the engine maps to are drawn on.
class TKitPainter {
public:
    // fonts may be null: boxes are drawn, text is not.
    explicit TKitPainter(TFontTable* fonts, int32_t cell = 14) : fonts_(fonts), cell_(cell) {}
    int32_t Cell() const { return cell_; }
    TFontTable* Fonts() const { return fonts_; }
    int32_t TextWidth(std::string_view sjis) const;
    void Text(TARGB8888& image, int32_t x, int32_t y, std::string_view sjis, uint32_t colour) const;
    void Box(TARGB8888& image, const TKitRect& r, uint32_t fill, uint32_t border, int32_t borderWidth = 1) const;

private:
    TFontTable* fonts_;
    int32_t cell_;
};

// A framed panel with a title bar.
struct TKitPanel {
    TKitRect rect;
    std::string title;
    int32_t TitleHeight(const TKitPainter& p) const { return p.Cell() + 8; }
    void Draw(TARGB8888& image, const TKitPainter& p) const;
};

// Lines of text from (x, y); "\r\n", "\n\r", "\n" and "\r" break lines.
struct TKitLabel {
    int32_t x = 0, y = 0;
    std::string text;
    uint32_t colour = kitcolour::Text;
    void Draw(TARGB8888& image, const TKitPainter& p) const;
};
std::vector<std::string> SplitKitLines(std::string_view text);

struct TKitButton {
    TKitRect rect;
    std::string caption;
    bool hover = false, pressed = false;
    void Draw(TARGB8888& image, const TKitPainter& p, bool focused) const;
};

// A single-line field edited as UTF-8 (as SDL delivers text), drawn in
// Shift-JIS; the IME's composition is shown at the cursor, underlined.
class TKitTextField {
public:
    TKitRect rect;
    void SetText(std::string utf8);
    const std::string& Text() const { return text_; }
    size_t Cursor() const { return cursor_; }
    const std::string& Composition() const { return composing_; }
    // Editing keys; true when the key was the field's.
    bool Key(int32_t vk);
    void Insert(std::string_view utf8);
    void SetComposition(std::string utf8) { composing_ = std::move(utf8); }
    void Draw(TARGB8888& image, const TKitPainter& p, bool focused) const;

private:
    std::string text_, composing_;
    size_t cursor_ = 0;  // byte offset into text_, on a character boundary
};

// Read-only lines with a scroll position.
class TKitTextView {
public:
    TKitRect rect;
    void SetText(std::string_view sjis) { lines_ = SplitKitLines(sjis); top_ = 0; }
    const std::vector<std::string>& Lines() const { return lines_; }
    int32_t Top() const { return top_; }
    int32_t VisibleLines(const TKitPainter& p) const;
    void Scroll(int32_t lines, const TKitPainter& p);
    bool Key(int32_t vk, const TKitPainter& p);
    void Draw(TARGB8888& image, const TKitPainter& p, bool focused) const;

private:
    std::vector<std::string> lines_;
    int32_t top_ = 0;
};

}  // namespace zel
