#include "screens/ZelLogView.h"

#include <algorithm>
#include <string>

#include "anim/AnimationBmpLib.h"
#include "anim/ButtonLib.h"
#include "anim/ImageLib.h"
#include "anim/ScrollBarLib.h"
#include "base/Errors.h"
#include "base/IntMath.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ImageFiles.h"
#include "records/ZelLogdataLib.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

constexpr uint32_t kAll = ~0u;
constexpr int32_t kMaxFill = 4096;
constexpr int32_t kPictureLayer = 100, kLineLayer = 50, kIconLayer = 110;
// Sounds of the screen's animations go to the last effect channel.
constexpr int32_t kEffectChannel = TImageLib::kEffectChannels - 1;
const std::string kFolder = "System\\Log\\";

// A picture by its extension; left empty when the file is missing, of
// another kind or damaged.
void LoadPicture(IGameFiles* files, const std::string& name, TARGB8888& out) {
    out = TARGB8888();
    if (!files || name.empty()) return;
    try {
        std::unique_ptr<TMemoryStream> s = files->OpenGameFile(name);
        if (s) LoadFromStream(out, s.get(), name);
    } catch (const EZelError&) {
        out = TARGB8888();
    }
}

// A voice name that is nothing but a folder and an extension names no file.
bool NamesAFile(const std::string& voice) {
    const size_t dot = voice.rfind('.');
    const std::string stem = dot == std::string::npos ? voice : voice.substr(0, dot);
    return !stem.empty() && stem.back() != '\\';
}

void Image(TARGB8888CellDraw& cells, const TARGB8888& img, int64_t x, int64_t y, int32_t layer) {
    cells.AddImageCell(SatInt32(x), SatInt32(y), 0, 0, img.Width(), img.Height(), layer, 0, &img, 0, 255, 0,
                       0xFFFFFFFFu, 2);
}

}  // namespace

TLogView::TLogView(IGameFiles* files, TAnimationResources& resources, const TMessageServices* services)
    : files_(files), resources_(resources), services_(services),
      bar_(std::make_unique<TImageScrollBar>(files, resources)) {}

TLogView::~TLogView() = default;

void TLogView::LoadLayout(const TLogLayout& layout) {
    layout_ = layout;
    background_.reset();
    if (!layout_.bgImage.empty()) {
        background_ = std::make_unique<TImageLib>(files_, resources_);
        background_->Load(kFolder + layout_.bgImage);
        background_->MoveTo(0, 0, 0, 0);
        background_->StartLabelNumber(0, false);
        background_->SetEffectChannel(kEffectChannel);
        background_->Show();
    }
    LoadPicture(files_, layout_.voiceIcon.empty() ? std::string() : kFolder + layout_.voiceIcon, icon_);
    for (size_t s = 0; s < pictures_.size(); ++s) LoadPicture(files_, layout_.styles[s].picture, pictures_[s]);
    bar_ = std::make_unique<TImageScrollBar>(files_, resources_);
    bar_->Load(kFolder + layout_.scrollKnob, kFolder + layout_.scrollTrack, layout_.scrollVertical);
    // The whole track takes clicks and drags.
    bar_->Track().SetHitArea(0, 0, bar_->Track().Width(), bar_->Track().Height());
    bar_->SetPosition(layout_.scrollX, layout_.scrollY, layout_.scrollLayer);
    bar_->SetMaximum(1);
    bar_->SetEffectChannel(kEffectChannel);
    bar_->onChange = [this](int32_t v) {
        value_ = v;
        dirty_ = true;
        if (onScroll) onScroll(v);
    };
}

void TLogView::Configure(TMessageSelect& list) const {
    const TLogLayout& l = layout_;
    list.MoveTo(l.listX, l.listY, kListLayer, 0);
    list.SetArea(l.textArea.left, l.textArea.top, l.textArea.right, l.textArea.bottom);
    list.SetHitArea(l.hitArea.left, l.hitArea.top, l.hitArea.right, l.hitArea.bottom);
    list.SetSize(l.fontWidth, l.fontHeight);
    list.SetPitch(l.pitchX, l.pitchY);
    list.SetColour(0xFFFFFFFFu);
    list.SetHoverColour(l.selectColour);
    list.SetFont(l.fontNo);
    list.SetHangOffset(l.returnSpace);
    list.SetRubyColour(0xFFFFFFFFu);
    list.SetRubySize(l.rubyWidth, l.rubyHeight);
    list.SetRubyPitch(l.rubyPitchX, l.rubyPitchY);
    list.SetRubyFont(l.rubyFontNo);
    list.SetRubyOffset(l.rubyX, l.rubyY);
    list.Clear();
    list.ClearRows();
    // Entries never move the pen, wait or change the speed; the locks keep
    // their colours, sizes, fonts and pitches to the layout's.
    std::array<uint8_t, 3> off{static_cast<uint8_t>(0x20 | 0x80), static_cast<uint8_t>(0x01 | 0x10), 0};
    if (l.lockColour) off[0] |= 0x08, off[1] |= 0x40;
    if (l.lockSize) off[0] |= 0x10, off[1] |= 0x04;
    if (l.lockFont) off[0] |= 0x40, off[1] |= 0x20;
    if (l.lockPitch) off[0] |= 0x04, off[1] |= 0x02;
    list.SetDisabledCodes(off);
    list.ClearRows();
    list.Enable();
}

void TLogView::Open(int32_t value, int32_t maximum) {
    list_ = std::make_unique<TMessageSelect>(files_, resources_, nullptr, services_);
    Configure(*list_);
    rowStyles_.clear();
    bar_->SetMaximum(maximum);
    bar_->SetValueQuiet(value);
    for (TImageLib* i : {&bar_->Knob(), &bar_->Track(), background_.get()})
        if (i) i->StartLabel("*Enable", true);
    bar_->Enable();
    value_ = bar_->Value();
    dirty_ = true;
}

void TLogView::Close() {
    list_.reset();
    rowStyles_.clear();
}

void TLogView::Pointer(int32_t x, int32_t y, bool leftHeld) {
    if (list_) list_->SetMouse(kAll, x, y);
    bar_->SetMouse(kAll, leftHeld ? TImageScrollBar::kLeftButton : 0, x, y);
}

std::vector<int32_t> TLogView::ClickRows() {
    std::vector<int32_t> entries;
    if (!list_) return entries;
    list_->ClickRow(kAll);
    for (int32_t i = 0; i < list_->RowCount(); ++i)
        if (list_->RowToggled(i)) {
            list_->SetRowToggled(i, false);
            entries.push_back(list_->RowValue(i));
        }
    return entries;
}

void TLogView::ClickBar(int32_t x, int32_t y) { bar_->ClickAt(kAll, x, y); }

void TLogView::Rescroll(int32_t value) {
    bar_->SetValueQuiet(value);
    value_ = bar_->Value();
    dirty_ = true;
}

void TLogView::Update(int32_t elapsedMs) {
    if (background_) background_->Update(kAll, elapsedMs);
    if (list_) list_->Update(kAll, elapsedMs);
    bar_->Update(kAll, elapsedMs);
}

void TLogView::FillRows(const TZelLogData& log) {
    if (!list_ || !dirty_) return;
    dirty_ = false;
    TMessageSelect& list = *list_;
    const TLogLayout& l = layout_;
    list.ClearRows();
    rowStyles_.clear();
    const int32_t count = log.Count();
    const int64_t limit = int64_t{l.hitArea.bottom} - l.hitArea.top;
    // Ends the row just typed; false when the list cannot take another.
    auto endRow = [&](uint32_t colour, int32_t value, const std::string& text, int32_t style) {
        list.MovePenBy(0, l.space);
        const int32_t before = list.RowCount();
        list.AddRow(colour);
        if (list.RowCount() == before) return false;
        list.SetRowValue(value);
        list.SetRowText(text);
        rowStyles_.push_back(style);
        return true;
    };
    if (count == 0) {
        const TLogNameStyle& s = l.styles[0];
        list.SetColourNow(s.textColour);
        list.SetSizeNow(l.fontWidth, l.fontHeight);
        list.AddText(l.emptyText);
        list.Finish();
        endRow(s.rowColour, 0, {}, -1);
        return;
    }
    for (int32_t n = 0; n < kMaxFill && list.PenY() <= limit; ++n) {
        const int64_t d = int64_t{count - 1} - value_ - list.RowCount();
        if (d < 0 || d > count - 1) break;
        const auto e = static_cast<int32_t>(d);
        const std::string name = log.EntryName(e);
        const int32_t style = l.StyleOfName(name);
        const TLogNameStyle& s = l.styles[static_cast<size_t>(style)];
        list.SetColourNow(s.textColour);
        list.SetSizeNow(l.fontWidth, l.fontHeight);
        list.AddText(l.NameLine(name, s.textColour) + log.EntryText(e));
        list.Finish();
        const std::string voice = log.EntryVoice(e);
        const bool replayable = NamesAFile(voice) && files_ && files_->GameFileExists(voice);
        if (!endRow(s.rowColour, e, replayable ? voice : std::string(), style)) break;
    }
}

void TLogView::Draw(TARGB8888CellDraw& cells) const {
    if (background_) background_->Draw(cells, kAll, 0, 0);
    bar_->Draw(cells, kAll, 0, 0);
    if (!list_) return;
    list_->Draw(cells, kAll, 0, 0);
    const TLogLayout& l = layout_;
    const int64_t px = l.listX, py = int64_t{l.listY} + l.textArea.top;
    for (int32_t i = 0; i < list_->RowCount(); ++i) {
        const int64_t y0 = list_->RowStartY(i), y1 = list_->RowStartY(i + 1);
        const int32_t style = i < static_cast<int32_t>(rowStyles_.size()) ? rowStyles_[static_cast<size_t>(i)] : -1;
        if (style >= 0) {
            const TARGB8888& pic = pictures_[static_cast<size_t>(style)];
            if (!pic.Empty())
                Image(cells, pic, l.pictureX + px, l.pictureY + py + (y0 + y1) / 2 - pic.Height() / 2, kPictureLayer);
        }
        if (l.borderLineColour != 0)
            cells.AddColourCellARGB(SatInt32(px + l.hitArea.left), SatInt32(py + y1 - 1), SatInt32(px + l.hitArea.right),
                                    SatInt32(py + y1), kLineLayer, 0, l.borderLineColour, 2);
        if (!list_->RowText(i).empty() && !icon_.Empty()) Image(cells, icon_, l.iconX + px, l.iconY + py + y0, kIconLayer);
    }
}

}  // namespace zel
