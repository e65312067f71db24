#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "base/Sjis.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/FreeTypeRasterizer.h"
#include "platform/PngWriter.h"
#include "screens/KitDialog.h"
#include "screens/KitDialogHost.h"
#include "screens/uDialog1Button.h"
#include "screens/uDialog2Button.h"
#include "screens/uDialog3Button.h"
#include "screens/uExitDialog.h"
#include "screens/ZelTextDialog.h"

namespace zel {
namespace {

TKitEvent Key(int32_t vk, bool shift = false) {
    TKitEvent e{TKitEvent::Key};
    e.key = vk;
    e.shift = shift;
    return e;
}
TKitEvent Text(std::string utf8) {
    TKitEvent e{TKitEvent::Text};
    e.text = std::move(utf8);
    return e;
}
TKitEvent Mouse(TKitEvent::Kind k, int32_t x, int32_t y) {
    TKitEvent e{k};
    e.x = x;
    e.y = y;
    return e;
}

// A window that exists only in memory: its screen is a grey picture, its
// input a queue of event batches, one batch per wait.
class TFakeSurface final : public IDialogSurface {
public:
    bool ready = true;
    std::deque<std::vector<TKitEvent>> batches;
    TARGB8888 last;
    int captures = 0, shows = 0;
    std::vector<bool> textInput;

    bool Ready() const override { return ready; }
    void Capture(TARGB8888& into) override {
        ++captures;
        into.NewImage(640, 480, 0xFF808080u);
    }
    void Show(const TARGB8888& frame) override {
        ++shows;
        last.AssignImage(frame);
    }
    bool Wait(std::vector<TKitEvent>& out) override {
        if (batches.empty()) return false;
        out = batches.front();
        batches.pop_front();
        return true;
    }
    void SetTextInput(bool on, const TKitRect&) override { textInput.push_back(on); }
};

TEST(KitDialogHost, EmptyTextAnswersAtOnce) {
    TFakeSurface surface;
    TScriptedDialogHost fallback;
    TKitDialogHost host(surface, nullptr, fallback);
    host.Message("", "OK");
    EXPECT_EQ(host.Confirm("", "", ""), 1);
    EXPECT_EQ(host.ConfirmClose("", "", "", ""), 1);
    EXPECT_EQ(surface.captures, 0);
}

TEST(KitDialogHost, KeysMouseAndAccelerators) {
    TFakeSurface surface;
    TScriptedDialogHost fallback;
    TKitDialogHost host(surface, nullptr, fallback);
    // "(Y)" answers to y and Y, typed as text or pressed as a key.
    surface.batches = {{Text("y")}};
    EXPECT_EQ(host.Confirm("Save?", "Yes(Y)", "No(N)"), 1);
    surface.batches = {{Key('Y')}};
    EXPECT_EQ(host.Confirm("Save?", "Yes(Y)", "No(N)"), 1);
    surface.batches = {{Key('N')}};
    EXPECT_EQ(host.Confirm("Save?", "Yes(Y)", "No(N)"), 0);
    // Enter presses the focused button: the close dialog focuses cancel.
    surface.batches = {{Key(kitkey::Enter)}};
    EXPECT_EQ(host.ConfirmClose("Quit?", "Exit", "Cancel", "Title"), -1);
    // The arrows move the focus (a pad's d-pad plays them), Esc closes.
    surface.batches = {{Key(kitkey::Right), Key(kitkey::Enter)}};
    EXPECT_EQ(host.Confirm("?", "", ""), 0);
    surface.batches = {{Key(kitkey::Esc)}};
    EXPECT_EQ(host.ConfirmClose("Quit?", "", "", ""), -1);
    // No more input (the window went away): the close answer.
    surface.batches = {};
    EXPECT_EQ(host.Confirm("?", "", ""), 0);
    EXPECT_EQ(surface.captures, 7);
    // Before a window exists the fallback answers.
    surface.ready = false;
    fallback.QueueAnswer(0);
    EXPECT_EQ(host.Confirm("?", "", ""), 0);
    EXPECT_EQ(fallback.History().size(), 1u);
}

TEST(KitDialogHost, ClicksNeedPressAndReleaseOnTheButton) {
    TKitPainter painter(nullptr);
    TKitDialog d(MakeConfirm3Dialog("", "Really?", "", "", "", "T"), painter);
    d.Layout(640, 480);
    const TKitRect no = d.Buttons()[1].rect, yes = d.Buttons()[0].rect;
    EXPECT_EQ(d.Handle(Mouse(TKitEvent::Down, no.left + 2, no.top + 2)), TKitDialog::Step::Running);
    // Let go elsewhere: nothing.
    EXPECT_EQ(d.Handle(Mouse(TKitEvent::Up, yes.left + 2, yes.top + 2)), TKitDialog::Step::Running);
    d.Handle(Mouse(TKitEvent::Down, no.left + 2, no.top + 2));
    EXPECT_EQ(d.Handle(Mouse(TKitEvent::Up, no.left + 2, no.top + 2)), TKitDialog::Step::Done);
    EXPECT_EQ(d.Result(), 0);
}

TEST(KitDialogHost, TextInputWithCompositionAndRefusal) {
    TFakeSurface surface;
    TScriptedDialogHost fallback;
    TKitDialogHost host(surface, nullptr, fallback);
    TZelTextDialog td;
    td.SetMaximum(4);
    TKitEvent compose{TKitEvent::Compose};
    compose.text = "なまえ";
    TKitEvent composeEnd{TKitEvent::Compose};
    surface.batches = {
        {Text("abc"), Text("de"), Key(kitkey::Enter)},    // 5 bytes: refused with a message
        {Key(kitkey::Enter)},                              // closes the message
        {Key(kitkey::Back), Key(kitkey::Back), Key(kitkey::Back), Key(kitkey::Back), Key(kitkey::Back)},
        {compose, Key(kitkey::Enter)},                     // Enter belongs to the IME while it composes
        {composeEnd, Text("名前"), Key(kitkey::Enter)},
    };
    EXPECT_EQ(td.Show(host), 1);
    EXPECT_EQ(td.Text(), Sj("名前"));
    EXPECT_EQ(surface.textInput.front(), true);
    EXPECT_EQ(surface.textInput.back(), false);
}

TEST(KitDialog, FieldEditing) {
    TKitTextField f;
    f.SetText("a表b");
    EXPECT_TRUE(f.Key(kitkey::Left));
    EXPECT_TRUE(f.Key(kitkey::Back));  // the whole of 表
    EXPECT_EQ(f.Text(), "ab");
    f.Insert("ボ");
    EXPECT_EQ(f.Text(), "aボb");
    f.Insert("x\ny");  // no line breaks in one line
    EXPECT_EQ(f.Text(), "aボb");
    f.Key(kitkey::Home);
    f.Key(kitkey::Delete);
    EXPECT_EQ(f.Text(), "ボb");
}

// The picture of each dialog, written as a PNG beside the test program: the
// buttons sit in one row at the bottom right of the panel, each framed in
// the border colour, the focused one in the focus colour.
TEST(KitDialog, ScreenshotsShowTheButtonsWhereTheLayoutPutsThem) {
    TFreeTypeRasterizer raster;
    TFontTable fonts(raster);
    TKitPainter painter(&fonts);
    struct Case {
        const char* name;
        TDialogContent content;
    };
    TDialogContent input;
    input.caption = Sj("テキスト入力ダイアログ");
    input.text = Sj("入力してください。");
    input.note = PlayerTextLimitLabel(10);
    input.hasField = true;
    input.fieldText = Sj("名前");
    input.buttons = {MakeButton(Sj("ＯＫ"), 1), MakeButton(Sj("キャンセル"), 0)};
    const Case cases[] = {
        {"message", MakeMessageDialog("", Sj("セーブしました。%%%n次へ進みます。"), "", "Demo")},
        {"confirm", MakeConfirmDialog("", Sj("終了しますか？"), Sj("はい(Y)"), Sj("いいえ(N)"), "Demo")},
        {"confirm3", MakeConfirm3Dialog("", Sj("保存しますか？"), "", "", "", "Demo")},
        {"close", MakeExitDialog("", Sj("ゲームを終了しますか？"), Sj("終了"), Sj("キャンセル"), Sj("タイトルへ"), "Demo")},
        {"textinput", input},
    };
    const std::filesystem::path dir = std::filesystem::path(ZEL_BINARY_DIR) / "test-output" / "dialogs";
    std::filesystem::create_directories(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKitDialog d(c.content, painter);
        TARGB8888 backdrop, frame;
        backdrop.NewImage(640, 480, 0xFF336699u);
        d.Layout(640, 480);
        ComposeDialogFrame(backdrop, d, frame);
        ASSERT_TRUE(WritePngFile((dir / (std::string(c.name) + ".png")).string(), frame.Row(0), 640, 480,
                                 static_cast<ptrdiff_t>(640) * 4, true));
        const TKitRect panel = d.Panel().rect;
        EXPECT_EQ(frame.Pixel(panel.left, panel.top), kitcolour::Border);
        EXPECT_EQ(frame.Pixel(panel.left + 1, panel.top + 1), kitcolour::Title);
        // Outside the panel: the backdrop shaded to half.
        EXPECT_EQ(frame.Pixel(2, 2) & 0xFFFFFF, 0x19324Bu);
        const auto& buttons = d.Buttons();
        ASSERT_EQ(buttons.size(), c.content.buttons.size());
        EXPECT_EQ(buttons.back().rect.right, panel.right - 16);
        EXPECT_EQ(buttons.back().rect.bottom, panel.bottom - 16);
        for (size_t i = 0; i < buttons.size(); ++i) {
            const TKitRect r = buttons[i].rect;
            if (i > 0) {
                EXPECT_EQ(r.left, buttons[i - 1].rect.right + 8);
            }
            EXPECT_EQ(r.top, buttons[0].rect.top);
            const bool focused = !d.FieldFocused() && i == d.Focus();
            EXPECT_EQ(frame.Pixel(r.left, r.top), focused ? kitcolour::Focus : kitcolour::Border);
            EXPECT_EQ(frame.Pixel(r.right - 1, r.bottom - 1), focused ? kitcolour::Focus : kitcolour::Border);
            EXPECT_EQ(frame.Pixel(r.left + 3, r.top + 3), kitcolour::Button);
            // The caption is drawn inside the button.
            bool ink = false;
            for (int32_t y = r.top + 3; y < r.bottom - 3 && !ink; ++y)
                for (int32_t x = r.left + 3; x < r.right - 3 && !ink; ++x) ink = frame.Pixel(x, y) != kitcolour::Button;
            EXPECT_TRUE(ink);
        }
        if (c.content.hasField) {
            const TKitRect f = d.Field().rect;
            EXPECT_EQ(frame.Pixel(f.left, f.top), kitcolour::Focus);
            EXPECT_LT(f.bottom, buttons[0].rect.top);
        }
    }
}

}  // namespace
}  // namespace zel
