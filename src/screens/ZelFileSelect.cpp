#include "screens/ZelFileSelect.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/Sjis.h"
#include "base/SjisText.h"
#include "graphics/ARGB8888Lib.h"
#include "records/ZelSaveData.h"
#include "screens/LayoutText.h"

namespace zel {

namespace {

constexpr const char* kFolder = "System\\FileSelect\\";
constexpr const char* kQuickLayout = "System\\QuickSaveLoad\\Layout.dat";
constexpr int64_t kMaxEntries = 1024;

int32_t Number(std::string_view s) {
    return static_cast<int32_t>(std::clamp<int64_t>(ParseDecimalOrHex(TrimBlanks(s), 0), INT32_MIN, INT32_MAX));
}

// A layout value split at commas, at least four fields.
std::vector<std::string> Fields(const TLayoutText& l, const std::string& key) {
    std::vector<std::string> f = SplitFields(",", l.Get(key));
    if (f.size() < 4) f.resize(4);
    return f;
}

std::string Two(int32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", static_cast<int>(v % 100));
    return b;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadBytes(const std::string& path, std::string& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool WriteTemp(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += static_cast<size_t>(w);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace

TSaveDate SaveDateOf(double days) {
    TSaveDate d;
    // Far outside any real save time (or not a number): the epoch.
    if (!std::isfinite(days) || days < 0 || days > 3.0e6) return d;
    const int64_t total = std::llround(days * 86400.0);
    const int64_t whole = total / 86400, secs = total % 86400;
    using namespace std::chrono;
    const year_month_day ymd{sys_days{year{1899} / December / 30} + std::chrono::days{whole}};
    d.year = static_cast<int>(ymd.year());
    d.month = static_cast<int32_t>(static_cast<unsigned>(ymd.month()));
    d.day = static_cast<int32_t>(static_cast<unsigned>(ymd.day()));
    d.hour = static_cast<int32_t>(secs / 3600);
    d.minute = static_cast<int32_t>(secs / 60 % 60);
    d.second = static_cast<int32_t>(secs % 60);
    return d;
}

std::string FillSlotTemplate(const std::string& tmpl, int32_t number, const TSaveSummary* summary) {
    const TSaveDate d = summary ? SaveDateOf(summary->time) : TSaveDate{};
    std::string out;
    const std::string_view t = tmpl;
    for (size_t i = 0; i < t.size();) {
        const std::string_view rest = t.substr(i);
        auto take = [&](std::string_view key, const std::string& value) {
            if (rest.substr(0, key.size()) != key) return false;
            out += value;
            i += key.size();
            return true;
        };
        if (take("%%%no", std::to_string(int64_t{number} + 1))) continue;
        if (summary) {
            if (take("%%%yy", Two(d.year)) || take("%%%4y", std::to_string(d.year)) || take("%%%mm", Two(d.month)) ||
                take("%%%dd", Two(d.day)) || take("%%%hh", Two(d.hour)) || take("%%%nn", Two(d.minute)) ||
                take("%%%ss", Two(d.second)))
                continue;
            if (rest.size() >= 8 && rest.substr(0, 7) == "%%%name" && rest[7] >= '0' && rest[7] <= '3') {
                out += summary->names[rest[7] - '0'];
                i += 8;
                continue;
            }
            if (take("%%%text", summary->text)) continue;
        }
        // A whole character, so that a trail byte is never taken for '%'.
        const size_t n = IsLeadByte(t[i]) && i + 1 < t.size() ? 2 : 1;
        out.append(t.substr(i, n));
        i += n;
    }
    return out;
}

int32_t ChooseQuickSaveSlot(int32_t count, const std::function<bool(int32_t)>& exists,
                            const std::function<std::optional<double>(int32_t)>& time) {
    if (count <= 0) return -1;
    for (int32_t n = 0; n < count; ++n)
        if (!exists(n)) return n;
    int32_t best = -1;
    double oldest = 0;
    for (int32_t n = 0; n < count; ++n) {
        const std::optional<double> t = time(n);
        if (!t || std::isnan(*t)) continue;
        if (best < 0 || *t < oldest) {
            best = n;
            oldest = *t;
        }
    }
    return best < 0 ? 0 : best;
}

bool SwapFiles(const std::string& a, const std::string& b, std::string* why) {
    auto fail = [why](const char* text) {
        if (why) *why = text;
        return false;
    };
    if (a == b) return true;
    std::string bytesA, bytesB;
    const bool hasA = IsRegularFile(a), hasB = IsRegularFile(b);
    if (!hasA && !hasB) return true;
    if ((hasA && !ReadBytes(a, bytesA)) || (hasB && !ReadBytes(b, bytesB))) return fail("a save file cannot be read");
    // A's content goes to B and B's to A; each is written whole before any rename.
    const std::string tmpA = a + ".swap", tmpB = b + ".swap";
    if (hasA && !WriteTemp(tmpB, bytesA)) {
        ::unlink(tmpB.c_str());
        return fail("a save file cannot be written");
    }
    if (hasB && !WriteTemp(tmpA, bytesB)) {
        ::unlink(tmpA.c_str());
        if (hasA) ::unlink(tmpB.c_str());
        return fail("a save file cannot be written");
    }
    if (hasA) {
        if (::rename(tmpB.c_str(), b.c_str()) != 0) {
            ::unlink(tmpB.c_str());
            if (hasB) ::unlink(tmpA.c_str());
            return fail("a save file cannot be renamed");
        }
        // B now holds A's save and A still holds it too: B's own is in tmpA.
    }
    if (hasB) {
        if (::rename(tmpA.c_str(), a.c_str()) != 0) {
            // Put B's save back where it was; A's save is still in A.
            if (hasA) ::rename(tmpA.c_str(), b.c_str());
            ::unlink(tmpA.c_str());
            return fail("a save file cannot be renamed");
        }
    } else if (::unlink(a.c_str()) != 0) {
        return fail("a moved save file cannot be removed");  // copied, nothing lost
    }
    if (!hasA && ::unlink(b.c_str()) != 0) return fail("a moved save file cannot be removed");
    return true;
}

TZelFileselect::TZelFileselect(IFileSelectHost& host) : host_(host) {}
TZelFileselect::~TZelFileselect() = default;

std::string TZelFileselect::SlotName(int32_t number) { return "SaveData" + std::to_string(number) + ".svd"; }
std::string TZelFileselect::QuickSaveSlotName(int32_t n) { return "QuickSaveData" + std::to_string(n) + ".svd"; }

std::string TZelFileselect::HostPath(const std::string& name) const {
    std::string p = host_.SaveFolder();
    p += '/';
    p += name;
    return p;
}

bool TZelFileselect::FileExists(const std::string& name) const { return !name.empty() && IsRegularFile(HostPath(name)); }

std::optional<TSaveSummary> TZelFileselect::ReadSummary(const std::string& name, TARGB8888* thumbnail) const {
    if (!FileExists(name)) return std::nullopt;
    ++headerReads_;
    TZelSaveData d(host_.RecordKey());
    if (!d.ReadFile(HostPath(name), thumbnail != nullptr, false)) return std::nullopt;
    TSaveSummary s;
    s.time = d.SaveTime();
    for (int i = 0; i < 4; ++i) s.names[i] = d.Name(i);
    s.text = d.Text();
    if (thumbnail && !d.Thumbnail(*thumbnail)) thumbnail->Clear();
    return s;
}

void TZelFileselect::LoadLayout(bool save) {
    const std::string name = host_.LayoutName(save);
    std::string path = kFolder + name;
    if (name.empty() || !host_.GameFileExists(path)) path = std::string(kFolder) + (save ? "SaveLayout.dat" : "LoadLayout.dat");
    if (!loaded_.empty() && EqualsNoCase(path, loaded_)) return;
    Close();
    loaded_ = path;
    if (const std::optional<std::string> text = host_.ReadGameFile(path)) Parse(*text);
}

void TZelFileselect::Parse(const std::string& text) {
    const TLayoutText l = ReadLayoutText(text);
    layoutKind_ = Number(l.Get("mode"));
    slots_ = std::clamp(Number(l.Get("pagedatacount")), 0, kMaxSlots);
    blend_ = static_cast<uint32_t>(ParseDecimalOrHex(l.Get("blendcolor"), 0));
    beginMute_ = std::max(0, Number(l.Get("beginmutetime")));
    clickMute_ = std::max(0, Number(l.Get("clickmutetime")));
    endMute_ = std::max(0, Number(l.Get("endmutetime")));
    existsText_ = l.Get("fileexiststext");
    selectText_ = l.Get("fileselecttext");
    emptyExistsText_ = l.Get("fileemptyexiststext");
    emptySelectText_ = l.Get("fileemptyselecttext");
    noDataFile_ = l.Get("nodata");
    auto make = [&](const std::string& k, bool withText) {
        const std::vector<std::string> files = Fields(l, k + "filename");
        const std::vector<std::string> pos = Fields(l, k + "position");
        const std::vector<std::string> hit = Fields(l, k + "hitsize");
        const std::vector<std::string> ta = Fields(l, k + "textsize");
        const TMenuRect r{Number(hit[0]), Number(hit[1]), Number(hit[2]), Number(hit[3])};
        TMenuRect tr;
        if (withText) tr = {Number(ta[0]), Number(ta[1]), Number(ta[2]), Number(ta[3])};
        return host_.MakeEntry(files[0].empty() ? std::string() : kFolder + files[0],
                               files[1].empty() ? std::string() : kFolder + files[1], Number(pos[0]), Number(pos[1]),
                               Number(pos[2]), r, tr);
    };
    const int64_t buttons = std::clamp<int64_t>(Number(l.Get("buttoncount")), 0, kMaxEntries);
    const int64_t images = std::clamp<int64_t>(Number(l.Get("imagecount")), 0, kMaxEntries);
    for (int64_t i = 0; i < buttons; ++i) {
        const std::string k = "btn[" + std::to_string(i) + "].";
        TEntry e{l.Get(k + "action").substr(0, 63), make(k, true)};
        if (e.entry) buttons_.push_back(std::move(e));
    }
    for (int64_t i = 0; i < images; ++i) {
        const std::string k = "img[" + std::to_string(i) + "].";
        TEntry e{l.Get(k + "action").substr(0, 63), make(k, false)};
        if (e.entry) images_.push_back(std::move(e));
    }
    if (!l.Get("newimg.filename").empty()) marker_ = make("newimg.", false);
    if (!noDataFile_.empty()) {
        noData_ = std::make_unique<TARGB8888>();
        if (!host_.LoadPicture(std::string("system\\fileselect\\") + noDataFile_, *noData_)) noData_.reset();
    }
}

int32_t TZelFileselect::DataIndex(const std::string& action) const {
    if (action.size() < 5 || action.compare(0, 4, "data") != 0) return -1;
    const int32_t j = Number(std::string_view(action).substr(4));
    // Only the slots the page has: "data" beyond them is no slot at all.
    return j >= 0 && j < std::min(slots_, 16) && std::to_string(j) == action.substr(4) ? j : -1;
}

int32_t TZelFileselect::PageIndex(const std::string& action) const {
    if (action.size() < 5 || action.compare(0, 4, "page") != 0) return -1;
    const int32_t j = Number(std::string_view(action).substr(4));
    return j >= 0 && j < kPages && std::to_string(j) == action.substr(4) ? j : -1;
}

TZelFileselect::TSlot& TZelFileselect::Slot(int32_t j) { return table_[static_cast<size_t>(j)]; }

const TZelFileselect::TSlot* TZelFileselect::ReadSlot(TSlot& s) {
    if (!s.read) {
        s.read = true;
        s.thumbnail = std::make_unique<TARGB8888>();
        const std::optional<TSaveSummary> sum = ReadSummary(s.name, s.thumbnail.get());
        s.ok = sum.has_value();
        if (sum) s.summary = *sum;
        if (s.thumbnail->Empty()) s.thumbnail.reset();
    }
    return s.ok ? &s : nullptr;
}

const std::string& TZelFileselect::NewestSave() {
    if (!newest_) {
        newest_ = std::string();
        double best = 0;
        bool any = false;
        for (int32_t n = 0; n < kPages * slots_; ++n) {
            const std::optional<TSaveSummary> s = ReadSummary(SlotName(n), nullptr);
            if (!s || std::isnan(s->time)) continue;
            if (!any || s->time >= best) {  // equal times: the higher number
                any = true;
                best = s->time;
                *newest_ = SlotName(n);
            }
        }
    }
    return *newest_;
}

void TZelFileselect::FillButton(IFileEntry& e, bool selectButton, int32_t j) {
    e.SetVisible(false);
    e.SetText({});
    TSlot* slot = selectButton ? &selectedSlot_ : &Slot(j);
    const int32_t number = selectButton ? selectedNumber_ : page_ * slots_ + j;
    e.SetChecked(!selected_.empty() && slot->name == selected_ && !selectButton);
    const TSlot* s = ReadSlot(*slot);
    const std::string& tmpl = s ? (selectButton ? selectText_ : existsText_)
                                : (selectButton ? emptySelectText_ : emptyExistsText_);
    e.SetText(FillSlotTemplate(tmpl, number, s ? &s->summary : nullptr));
    e.SetVisible(true);
}

void TZelFileselect::Rebuild() {
    busy_ = true;
    table_.clear();
    table_.resize(static_cast<size_t>(slots_));
    for (int32_t j = 0; j < slots_; ++j) Slot(j).name = SlotName(page_ * slots_ + j);
    if (selectedSlot_.name != selected_) {
        selectedSlot_ = TSlot{};
        selectedSlot_.name = selected_;
    }
    if (marker_) marker_->SetVisible(false);
    const bool selFile = FileExists(selected_);
    for (TEntry& b : buttons_) {
        IFileEntry& e = *b.entry;
        const std::string& a = b.action;
        if (const int32_t p = PageIndex(a); p >= 0) {
            e.SetLocked(p == page_);
        } else if (const int32_t j = DataIndex(a); j >= 0) {
            FillButton(e, false, j);
            if (marker_ && !NewestSave().empty() && Slot(j).name == NewestSave()) {
                marker_->MoveTo(e.X(), e.Y(), static_cast<int32_t>(std::min<int64_t>(int64_t{e.Z()} + 100, INT32_MAX)));
                marker_->SetVisible(true);
            }
        } else if (a == "open") {
            e.SetLocked(save_ ? selected_.empty() : !selFile);
        } else if (a == "delete") {
            e.SetLocked(!selFile);
        } else if (a == "selectcancel") {
            e.SetLocked(selected_.empty());
        } else if (a == "select") {
            if (selected_.empty())
                e.SetVisible(false);
            else
                FillButton(e, true, -1);
        } else if (a == "quicksave") {
            e.SetLocked(host_.QuickSaveCount() <= 0);
        }
    }
    for (TEntry& i : images_) {
        const std::string& a = i.action;
        const TSlot* s = nullptr;
        bool show = true;
        if (const int32_t j = DataIndex(a); j >= 0)
            s = ReadSlot(Slot(j));
        else if (a == "select")
            show = !selected_.empty() && ((s = ReadSlot(selectedSlot_)), true);
        else
            continue;
        i.entry->SetPicture(s && s->thumbnail ? s->thumbnail.get() : noData_.get());
        i.entry->SetVisible(show);
    }
    busy_ = false;
}

void TZelFileselect::Open(bool save) {
    LoadLayout(save);
    save_ = save;
    backdrop_ = std::make_unique<TARGB8888>();
    if (host_.CaptureScreen(*backdrop_) && !backdrop_->Empty()) {
        auto opaque = [this] {
            for (int32_t y = 0; y < backdrop_->Height(); ++y)
                for (uint32_t *p = backdrop_->Row(y), *e = p + backdrop_->Width(); p != e; ++p) *p |= 0xFF000000u;
        };
        opaque();
        if (blend_ != 0) {
            backdrop_->FillRectEx(0, 0, backdrop_->Width(), backdrop_->Height(), blend_, 2, 0, 1024);
            opaque();
        }
    } else {
        backdrop_.reset();
    }
    result_ = 0;
    resultFile_.clear();
    resultLabel_.clear();
    selected_.clear();
    selectedNumber_ = -1;
    newest_.reset();
    page_ = std::clamp(page_, 0, kPages - 1);
    for (TEntry& b : buttons_) {
        b.entry->Reset();
        b.entry->SetLocked(false);
        b.entry->SetChecked(false);
    }
    for (TEntry& i : images_) i.entry->Reset();
    open_ = true;
    Rebuild();
    mute_ = beginMute_;
}

void TZelFileselect::Close() {
    buttons_.clear();
    images_.clear();
    marker_.reset();
    backdrop_.reset();
    noData_.reset();
    table_.clear();
    selectedSlot_ = TSlot{};
    loaded_.clear();
    open_ = false;
    slots_ = 0;
    layoutKind_ = 0;
    existsText_.clear();
    selectText_.clear();
    emptyExistsText_.clear();
    emptySelectText_.clear();
    noDataFile_.clear();
    blend_ = 0;
    beginMute_ = clickMute_ = endMute_ = mute_ = 0;
}

void TZelFileselect::ClearSelection() {
    selected_.clear();
    selectedNumber_ = -1;
}

void TZelFileselect::Error(const std::string& key) { host_.Message(host_.MessageText(key)); }

void TZelFileselect::Finish(const std::string& file, const std::string& label) {
    resultFile_ = file;
    resultLabel_ = label;
    result_ = 1;
    mute_ = clickMute_;
}

void TZelFileselect::DoSave() {
    if (selected_.empty()) {
        Error("NOSELECT_Text");
        ClearSelection();
        Rebuild();
        return;
    }
    if (FileExists(selected_) && !host_.Confirm(host_.MessageText("OVERSAVE_Text"), host_.MessageText("OVERSAVE_Yes"),
                                                host_.MessageText("OVERSAVE_No"))) {
        ClearSelection();
        Rebuild();
        return;
    }
    newest_ = selected_;
    Finish(selected_, "*OnSave");
}

void TZelFileselect::DoLoad() {
    if (selected_.empty()) {
        Error("NOSELECT_Text");
        return;
    }
    if (FileExists(selected_)) {
        Finish(selected_, "*OnLoad");
        return;
    }
    Error("NOFILEOPEN_Text");
    ClearSelection();
    Rebuild();
}

void TZelFileselect::Confirmed() {
    if (save_)
        DoSave();
    else
        DoLoad();
}

void TZelFileselect::DoDelete() {
    if (selected_.empty()) {
        Error("NOSELECT_Text");
    } else if (FileExists(selected_)) {
        if (host_.Confirm(host_.MessageText("DELETE_Text"), host_.MessageText("DELETE_Yes"),
                          host_.MessageText("DELETE_No"))) {
            if (::unlink(HostPath(selected_).c_str()) != 0) Error("DeleteSaveFileError");
            if (newest_ && *newest_ == selected_) newest_.reset();
        }
    } else {
        Error("NOFILEDELETE_Text");
    }
    ClearSelection();
    Rebuild();
}

void TZelFileselect::DoSwap(int32_t target) {
    const std::string other = SlotName(target);
    if (other != selected_) {
        std::string why;
        if (!SwapFiles(HostPath(selected_), HostPath(other), &why)) Error("SwapSaveFileError");
        newest_.reset();
    }
    ClearSelection();
    selectedSlot_ = TSlot{};
    Rebuild();
}

void TZelFileselect::OnClick(size_t i) {
    if (busy_ || i >= buttons_.size() || buttons_[i].entry->Locked() || result_ != 0) return;
    const std::string action = buttons_[i].action;
    IFileEntry& e = *buttons_[i].entry;
    if (const int32_t j = DataIndex(action); j >= 0) {
        const int32_t number = page_ * slots_ + j;
        if (selected_.empty()) {
            selected_ = SlotName(number);
            selectedNumber_ = number;
            Rebuild();
        } else if (e.Checked()) {
            Confirmed();
        } else if (!SwapLayout()) {
            selected_ = SlotName(number);
            selectedNumber_ = number;
            Rebuild();
        } else {
            DoSwap(number);
        }
    } else if (const int32_t p = PageIndex(action); p >= 0) {
        page_ = p;
        if (!SwapLayout()) ClearSelection();
        Rebuild();
    } else if (action == "open") {
        Confirmed();
    } else if (action == "delete") {
        DoDelete();
    } else if (action == "selectcancel") {
        ClearSelection();
        Rebuild();
    } else if (action == "cancel") {
        result_ = -1;
        mute_ = clickMute_;
    } else if (action == "quicksave") {
        const std::string name = QuickSaveName();
        if (!name.empty()) Finish(name, "*OnQuickSave");
    } else if (action == "quickload") {
        const std::string name = QuickLoadChoice();
        if (!name.empty()) {
            Finish(name, "*OnQuickLoad");
        } else {
            ClearSelection();
            Rebuild();
        }
    }
}

std::string TZelFileselect::QuickSaveName() const {
    const int32_t n = ChooseQuickSaveSlot(
        host_.QuickSaveCount(), [this](int32_t k) { return FileExists(QuickSaveSlotName(k)); },
        [this](int32_t k) -> std::optional<double> {
            const std::optional<TSaveSummary> s = ReadSummary(QuickSaveSlotName(k), nullptr);
            if (!s) return std::nullopt;
            return s->time;
        });
    return n < 0 ? std::string() : QuickSaveSlotName(n);
}

std::string TZelFileselect::QuickLoadChoice() {
    const std::optional<std::string> text = host_.ReadGameFile(kQuickLayout);
    const TLayoutText l = ReadLayoutText(text ? *text : std::string());
    const int32_t count = std::max(0, std::min(host_.QuickSaveCount(), 1024));
    std::vector<std::string> lines;
    std::vector<bool> enabled;
    for (int32_t n = 0; n < count; ++n) {
        const std::optional<TSaveSummary> s = ReadSummary(QuickSaveSlotName(n), nullptr);
        lines.push_back(FillSlotTemplate(s ? l.Get("fileexiststext") : l.Get("fileemptytext"), n, s ? &*s : nullptr));
        enabled.push_back(s.has_value());
    }
    const int32_t chosen = host_.ChooseFromList(l.Get("formcaption"), lines, enabled);
    if (chosen < 0 || chosen >= count || !enabled[static_cast<size_t>(chosen)]) return {};
    return QuickSaveSlotName(chosen);
}

int32_t TZelFileselect::Update(int32_t elapsedMs) {
    const int32_t ms = std::max(0, elapsedMs);
    mute_ = std::max(0, mute_ - ms);
    if (!open_) return 0;
    if (mute_ == 0 && result_ != 0) return result_;
    if (mute_ == 0) {
        const TMenuInput in = host_.Input();
        for (TEntry& b : buttons_) b.entry->Hover(in.x, in.y);
        for (TEntry& i : images_) i.entry->Hover(in.x, in.y);
        if (in.leftReleased) {
            for (size_t i = 0; i < buttons_.size(); ++i) {
                IFileEntry& e = *buttons_[i].entry;
                if (e.Visible() && !e.Locked() && e.Hit(in.x, in.y)) {
                    OnClick(i);
                    break;
                }
            }
        } else if (in.cancel) {
            if (!selected_.empty()) {
                ClearSelection();
                Rebuild();
            } else {
                result_ = -1;
                for (TEntry& b : buttons_) b.entry->Hide();
                for (TEntry& i : images_) i.entry->Hide();
                mute_ = endMute_;
            }
        }
    }
    for (TEntry& b : buttons_) b.entry->Advance(ms);
    for (TEntry& i : images_) i.entry->Advance(ms);
    if (marker_) marker_->Advance(ms);
    return 0;
}

void TZelFileselect::DrawInto(TARGB8888& frame) const {
    if (backdrop_) backdrop_->Draw(frame, 0, 0, 0, 0, backdrop_->Width(), backdrop_->Height());
    for (const TEntry& b : buttons_)
        if (b.entry->Visible()) b.entry->Draw(frame);
    for (const TEntry& i : images_)
        if (i.entry->Visible()) i.entry->Draw(frame);
    if (marker_ && marker_->Visible()) marker_->Draw(frame);
}

void TZelFileselect::Draw() {
    if (!open_) return;
    if (TARGB8888* t = host_.DrawTarget()) {
        DrawInto(*t);
        host_.ShowDrawn();
    }
}

}  // namespace zel
