#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "platform/Dialogs.h"
#include "screens/ZelMemoDialog.h"
#include "screens/ZelTextDialog.h"
#include "screens/uDialog1Button.h"
#include "screens/uDialog2Button.h"
#include "screens/uDialog3Button.h"
#include "screens/uExitDialog.h"
#include "screens/uTextInputDialog.h"

namespace zel {
namespace {

TEST(DialogModel, PlaceholdersInCaptionAndBody) {
    const TDialogContent m = MakeMessageDialog("", "one%%%Ntwo%%%n", "", "Game");
    EXPECT_EQ(m.caption, "Game");
    EXPECT_EQ(m.text, "one\r\ntwo\r\n");
    ASSERT_EQ(m.buttons.size(), 1u);
    EXPECT_EQ(m.buttons[0].caption, "OK");
    EXPECT_EQ(MakeConfirmDialog("[%%%APP]", "x", "", "", "T").caption, "[T]");
    // The close dialog breaks its lines with LF CR and focuses cancel.
    const TDialogContent c = MakeExitDialog("", "a%%%nb", "", "", "", "T");
    EXPECT_EQ(c.text, "a\n\rb");
    ASSERT_EQ(c.buttons.size(), 3u);
    EXPECT_EQ(c.buttons[c.focus].result, -1);
    EXPECT_EQ(c.closeResult, -1);
    // A placeholder is never found across a double-byte character: the trail
    // byte 0x25 of 0x81 0x25 is not a percent sign.
    EXPECT_EQ(ApplyBody(std::string("\x81%%%n", 5), "X"), std::string("\x81%%%n", 5));
}

TEST(DialogModel, ResultsAndDefaultCaptions) {
    struct Case {
        TDialogContent content;
        std::vector<std::string> captions;
        std::vector<int32_t> results;
        int32_t closed;
    };
    const Case cases[] = {
        {MakeConfirmDialog("", "t", "", "", ""), {"Yes", "No"}, {1, 0}, 0},
        {MakeConfirm3Dialog("", "t", "", "", "", ""), {"Yes", "No", "Cancel"}, {1, 0, -1}, 0},
        {MakeExitDialog("", "t", "", "", "", ""), {"Yes", "No", "Cancel"}, {1, 0, -1}, -1},
        {MakeExitDialog("", "t", "Quit", "Stay", "Title", ""), {"Quit", "Title", "Stay"}, {1, 0, -1}, -1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.content.buttons.size(), c.captions.size());
        for (size_t i = 0; i < c.captions.size(); ++i) {
            EXPECT_EQ(c.content.buttons[i].caption, c.captions[i]);
            EXPECT_EQ(c.content.buttons[i].result, c.results[i]);
        }
        EXPECT_EQ(c.content.closeResult, c.closed);
    }
}

TEST(DialogModel, Accelerators) {
    const TDialogContent d = MakeConfirm3Dialog("", "t", "Save (Y)", Sj("いいえ(N)"), "Cancel(l)", "");
    EXPECT_EQ(d.buttons[0].accelerator, "Y");
    EXPECT_EQ(FindAccelerator(d.buttons, "y"), 0);
    EXPECT_EQ(FindAccelerator(d.buttons, "Y"), 0);
    EXPECT_EQ(FindAccelerator(d.buttons, "n"), 1);
    EXPECT_EQ(FindAccelerator(d.buttons, "L"), 2);
    EXPECT_EQ(FindAccelerator(d.buttons, "x"), -1);
    EXPECT_EQ(FindAccelerator(d.buttons, ""), -1);
    // Only the first "(" counts; a "(" at the very end has no accelerator;
    // a double-byte character after it is taken whole.
    EXPECT_EQ(AcceleratorOf("a(b)(c)"), "b");
    EXPECT_EQ(AcceleratorOf("end("), "");
    EXPECT_EQ(AcceleratorOf(Sj("(ア)")), Sj("ア"));
    // A full-width parenthesis is not "(": its bytes 81 69 hold no 0x28.
    EXPECT_EQ(AcceleratorOf(Sj("（Y）")), "");
}

TEST(PlayerText, LengthAndCharacterChecks) {
    EXPECT_EQ(CheckPlayerText("0123456789", 10), "");
    EXPECT_EQ(SjisToUtf8(CheckPlayerText("01234567890", 10)), "最大10文字(2バイト文字は5文字)までです。");
    EXPECT_EQ(SjisToUtf8(CheckPlayerText("abc", 1)), "最大1文字(2バイト文字は0文字)までです。");
    EXPECT_EQ(CheckPlayerText(std::string(5000, 'a'), -1), "");
    // Below -1 is no limit either, never a huge unsigned one.
    EXPECT_EQ(CheckPlayerText(std::string(5000, 'a'), -7), "");
    EXPECT_EQ(CheckPlayerText("", 0), "");
    const std::string forbidden = SjisToUtf8(Sj("使用禁止文字が含まれています。"));
    for (const std::string& t : std::vector<std::string>{"a{b", "}", "a,b", "\"", "a\\b", "a\tb", std::string("\x01", 1)})
        EXPECT_EQ(SjisToUtf8(CheckPlayerText(t, 100)), forbidden) << t;
    // Trail bytes 0x5C and 0x7B are not a backslash or a brace.
    EXPECT_EQ(CheckPlayerText("\x95\x5C", 2), "");      // 表
    EXPECT_EQ(CheckPlayerText("\x83\x7B", 2), "");      // ボ
    EXPECT_EQ(CheckPlayerText(Sj("表ボソ"), 6), "");
    // A lone lead byte at the end is one character, read no further.
    const std::string lone = std::string("ab\x83", 3);
    EXPECT_EQ(CheckPlayerText(std::string_view(lone.data(), 3), 3), "");
}

TEST(PlayerText, TypedTextMustFitShiftJis) {
    std::string sjis;
    EXPECT_EQ(CheckPlayerTextUtf8("表ボ", 4, sjis), "");
    EXPECT_EQ(sjis, "\x95\x5C\x83\x7B");
    // An emoji has no Shift-JIS form: refused with a message, never dropped.
    EXPECT_NE(CheckPlayerTextUtf8("a\xF0\x9F\x98\x80", -1, sjis), "");
    // The byte limit counts Shift-JIS bytes, not UTF-8 ones (表 is 3 bytes of UTF-8).
    EXPECT_EQ(CheckPlayerTextUtf8("表表", 4, sjis), "");
    EXPECT_NE(CheckPlayerTextUtf8("表表表", 4, sjis), "");
}

TEST(PlayerText, ShowThroughTheHost) {
    TScriptedDialogHost host;
    TZelTextDialog d;
    d.SetMaximum(10);
    host.QueueText("01234567890");  // 11 bytes: refused, the dialog stays open
    host.QueueText("a{");           // refused
    host.QueueText("名前");          // accepted
    EXPECT_EQ(d.Show(host), 1);
    EXPECT_EQ(d.Text(), Sj("名前"));
    ASSERT_EQ(host.History().size(), 3u);
    EXPECT_EQ(host.History()[0].kind, "text");
    EXPECT_EQ(SjisToUtf8(host.History()[1].text), "最大10文字(2バイト文字は5文字)までです。");
    EXPECT_EQ(SjisToUtf8(host.History()[2].text), "使用禁止文字が含まれています。");
    // Cancelled (nothing typed): 0, and the text stays what it was.
    EXPECT_EQ(d.Show(host), 0);
    EXPECT_EQ(d.Text(), Sj("名前"));
    EXPECT_EQ(PlayerTextLimitLabel(-1), "");
    EXPECT_EQ(SjisToUtf8(PlayerTextLimitLabel(10)), "最大10文字(２バイト文字は5文字)までです。");
}

TEST(PlayerText, SaveRoundTripAndDamagedRecord) {
    TZelTextDialog d;
    EXPECT_EQ(SjisToUtf8(d.Title()), "テキスト入力ダイアログ");
    EXPECT_EQ(SjisToUtf8(d.Prompt()), "入力してください。");
    EXPECT_EQ(d.Maximum(), -1);
    d.SetTitle(Sj("名前"));
    d.SetPrompt("p");
    d.SetText(Sj("表示"));
    d.SetMaximum(16);
    TMemoryStream s;
    d.Save(s);
    TZelTextDialog e;
    s.Rewind();
    e.Load(s);
    EXPECT_EQ(e.Title(), d.Title());
    EXPECT_EQ(e.Prompt(), "p");
    EXPECT_EQ(e.Text(), d.Text());
    EXPECT_EQ(e.Maximum(), 16);
    // A record cut short loads nothing.
    const std::string bytes = s.ToString();
    TMemoryStream cut;
    cut.Write(bytes.data(), bytes.size() - 2);
    cut.Rewind();
    TZelTextDialog f;
    EXPECT_THROW(f.Load(cut), EStreamError);
    EXPECT_EQ(f.Maximum(), -1);
    EXPECT_EQ(f.Text(), "");
}

TEST(PlainTextInput, OneButtonAlwaysAccepts) {
    TScriptedDialogHost host;
    EXPECT_EQ(ShowPlainTextInput(host, "old", "", "", "", "").accepted, 1);
    EXPECT_EQ(ShowPlainTextInput(host, "old", "", "", "", "Cancel").accepted, 0);
    host.QueueText("new");
    const TPlainTextAnswer a = ShowPlainTextInput(host, "old", "", "", "", "Cancel");
    EXPECT_EQ(a.accepted, 1);
    EXPECT_EQ(a.text, "new");
}

TEST(MemoDialog, LayoutFollowsTheSize) {
    const TMemoLayout l = MemoLayout(640, 480);
    EXPECT_EQ(l.text, (TMemoRect{8, 8, 632, 432}));
    EXPECT_EQ(l.copy.left, 8);
    EXPECT_EQ(l.copy.top, 448);
    EXPECT_EQ(l.ok.left, 640 - 278);
    EXPECT_EQ(l.cancel.left, 640 - 134);
    EXPECT_EQ(l.ok.top, 448);
    EXPECT_LE(l.ok.right, l.cancel.left);
    EXPECT_LE(l.cancel.right, 640 - 8);
}

}  // namespace
}  // namespace zel
