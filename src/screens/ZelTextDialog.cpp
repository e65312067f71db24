#include "screens/ZelTextDialog.h"

#include <cstdio>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "platform/Dialogs.h"

namespace zel {

namespace {

std::string Limit(const char* utf8Format, int32_t maximum) {
    char buf[160];
    std::snprintf(buf, sizeof buf, utf8Format, maximum, maximum / 2);
    return Sj(buf);
}

bool Forbidden(uint8_t b) { return b < 32 || b == '"' || b == ',' || b == '\\' || b == '{' || b == '}'; }

}  // namespace

std::string CheckPlayerText(std::string_view sjis, int32_t maximum) {
    if (maximum >= 0 && sjis.size() > static_cast<size_t>(maximum))
        return Limit("最大%d文字(2バイト文字は%d文字)までです。", maximum);
    for (size_t i = 0; i < sjis.size(); i = NextCharPos(sjis, i))
        if (Forbidden(static_cast<uint8_t>(sjis[i]))) return Sj("使用禁止文字が含まれています。");
    return {};
}

std::string CheckPlayerTextUtf8(std::string_view utf8, int32_t maximum, std::string& sjis) {
    sjis.clear();
    if (!Utf8ToSjis(utf8, sjis)) {
        sjis = Sj(utf8);
        return Sj("使用できない文字が含まれています（Shift-JISで表せない文字です）。");
    }
    return CheckPlayerText(sjis, maximum);
}

std::string PlayerTextLimitLabel(int32_t maximum) {
    return maximum < 0 ? std::string() : Limit("最大%d文字(２バイト文字は%d文字)までです。", maximum);
}

void TZelTextDialog::Reset() {
    title_ = Sj("テキスト入力ダイアログ");
    prompt_ = Sj("入力してください。");
    text_.clear();
    maximum_ = -1;
}

int TZelTextDialog::Show(IDialogHost& host) {
    TTextInputRequest r;
    r.caption = title_;
    r.group = title_;
    r.prompt = prompt_;
    r.note = PlayerTextLimitLabel(maximum_);
    r.ok = Sj("ＯＫ");
    r.cancel = Sj("キャンセル");
    const int32_t maximum = maximum_;
    r.check = [maximum](std::string_view utf8, std::string& sjis) { return CheckPlayerTextUtf8(utf8, maximum, sjis); };
    std::string text = text_;
    const int accepted = host.TextInput(r, text) == 1 ? 1 : 0;
    text_ = text;
    return accepted;
}

void TZelTextDialog::Save(TMemoryStream& s) const {
    WriteLenString(s, title_);
    WriteLenString(s, prompt_);
    WriteLenString(s, text_);
    s.WriteI32(maximum_);
}

void TZelTextDialog::Load(TMemoryStream& s) {
    std::string title = ReadLenString(s);
    std::string prompt = ReadLenString(s);
    std::string text = ReadLenString(s);
    const int32_t maximum = s.ReadI32();
    title_ = std::move(title);
    prompt_ = std::move(prompt);
    text_ = std::move(text);
    maximum_ = maximum;
}

}  // namespace zel
