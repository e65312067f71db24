#include "screens/ZelMenuLib.h"

#include <algorithm>
#include <charconv>

#include "base/Sjis.h"
#include "base/SjisText.h"
#include "graphics/ARGB8888Lib.h"
#include "screens/LayoutText.h"

namespace zel {

namespace {

constexpr const char* kMenuFolder = "System\\Menu\\";
// More entries than any menu has; a count beyond it is refused as absurd.
constexpr int64_t kMaxEntries = 1024;

int64_t ParseNumber(std::string_view s) {
    s = TrimBlanks(s);
    int64_t v = 0;
    if (!s.empty() && s[0] == '$') {
        const auto r = std::from_chars(s.data() + 1, s.data() + s.size(), v, 16);
        return r.ec == std::errc() && r.ptr == s.data() + s.size() ? v : 0;
    }
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() ? v : 0;
}

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

std::vector<std::string> Fields(std::string_view value) {
    std::vector<std::string> f = SplitFields(",", value);
    if (f.size() < 8) f.resize(8);
    return f;
}


std::string Word(const std::string& action) {
    const size_t colon = action.find(':');
    return AsciiLower(action.substr(0, colon));
}

}  // namespace

uint8_t MenuResultCode(const std::string& word) {
    static const char* const kWords[] = {"cancel", "load", "save", "log", "text", "view", "skip", "auto", "logskip",
                                         "screen", "config", "exit", "reset", "quicksave", "quickload",
                                         "selectload", "scenereturn", "sceneskipload", "sceneskipnoload"};
    for (size_t i = 0; i < std::size(kWords); ++i)
        if (word == kWords[i]) return static_cast<uint8_t>(i + 1);
    return 0;
}

TZelMenu::TZelMenu(IMenuHost& host) : host_(host) {}
TZelMenu::~TZelMenu() = default;

void TZelMenu::ReleaseLayout() {
    buttons_.clear();
    images_.clear();
    backdrop_.reset();
    open_ = false;
    loaded_.clear();
}

void TZelMenu::LoadLayout() {
    std::string path = kMenuFolder + host_.LayoutName();
    if (host_.LayoutName().empty() || !host_.GameFileExists(path)) path = std::string(kMenuFolder) + "Layout.dat";
    if (EqualsNoCase(path, loaded_) && !loaded_.empty()) return;
    ReleaseLayout();
    loaded_ = path;
    ++loads_;
    const std::optional<std::string> text = host_.ReadGameFile(path);
    if (text) Parse(*text);
}

void TZelMenu::Parse(const std::string& text) {
    const TLayoutText l = ReadLayoutText(text);
    blend_ = static_cast<uint32_t>(ParseNumber(l.Get("blendcolor")));
    beginMute_ = Clamp32(ParseNumber(l.Get("beginmutetime")));
    endMute_ = Clamp32(ParseNumber(l.Get("endmutetime")));
    clickMute_ = Clamp32(ParseNumber(l.Get("clickmutetime")));
    // The counts are bounded by the entries the layout really has.
    const int64_t buttons = std::clamp<int64_t>(ParseNumber(l.Get("buttoncount")), 0, l.IndexBound("btn[", kMaxEntries));
    const int64_t images = std::clamp<int64_t>(ParseNumber(l.Get("imagecount")), 0, l.IndexBound("img[", kMaxEntries));
    auto make = [&](const std::string& prefix, int64_t i) {
        const std::string k = prefix + "[" + std::to_string(i) + "].";
        const std::vector<std::string> files = Fields(l.Get(k + "filename"));
        const std::vector<std::string> pos = Fields(l.Get(k + "position"));
        const std::vector<std::string> hit = Fields(l.Get(k + "hitsize"));
        const TMenuRect r{Clamp32(ParseNumber(hit[0])), Clamp32(ParseNumber(hit[1])), Clamp32(ParseNumber(hit[2])),
                          Clamp32(ParseNumber(hit[3]))};
        return host_.MakeEntry(kMenuFolder + files[0], kMenuFolder + files[1], Clamp32(ParseNumber(pos[0])),
                               Clamp32(ParseNumber(pos[1])), Clamp32(ParseNumber(pos[2])), r);
    };
    for (int64_t i = 0; i < buttons; ++i) {
        TButton b;
        b.action = l.Get("btn[" + std::to_string(i) + "].action").substr(0, 63);
        b.entry = make("btn", i);
        if (b.entry) buttons_.push_back(std::move(b));
    }
    for (int64_t i = 0; i < images; ++i)
        if (auto e = make("img", i)) images_.push_back(std::move(e));
}

bool TZelMenu::LockedByAction(const std::string& action, IMenuEntry& entry) {
    const std::string w = Word(action);
    const uint32_t locks = host_.LockBits();
    auto has = [locks](uint32_t bit) { return (locks & bit) != 0; };
    if (w == "load") return has(menulock::Load);
    if (w == "save" || w == "quicksave") return has(menulock::Save);
    if (w == "log") return has(menulock::Log);
    if (w == "view") return has(menulock::View);
    if (w == "screen") return has(menulock::Screen);
    if (w == "config") return has(menulock::Config);
    if (w == "reset" || w == "exit") return has(menulock::Reset);
    if (w == "skip" || w == "logskip" || w == "auto") return !host_.PlayModeAllowed(w);
    if (w == "scenereturn") return !host_.SceneReturnPossible();
    if (w == "sceneskipload" || w == "sceneskipnoload") return !host_.SceneSkipSwitch() || has(menulock::Jump);
    if (w == "quickload") return has(menulock::Load) || !host_.SaveFileExists("QuickSaveData.svd");
    if (w == "selectload") return has(menulock::Load) || !host_.SaveFileExists("SelectSaveData.svd");
    const std::vector<std::string> f = SplitFields(":", action);
    if (w == "script") return f.size() < 2 || f[1].empty();
    if (w == "value") {
        if (f.size() < 2 || f[1].empty()) return true;
        const std::optional<int32_t> v = host_.ReadVariable(f[1]);
        if (!v) return true;
        entry.SetChecked(*v != 0);
    }
    return false;
}

void TZelMenu::OpenMenu() {
    LoadLayout();
    backdrop_ = std::make_unique<TARGB8888>();
    if (host_.CaptureScreen(*backdrop_) && !backdrop_->Empty()) {
        auto opaque = [this] {
            for (int32_t y = 0; y < backdrop_->Height(); ++y)
                for (uint32_t *p = backdrop_->Row(y), *e = p + backdrop_->Width(); p != e; ++p) *p |= 0xFF000000u;
        };
        opaque();
        // The blend colour over it with the colour's alpha; the backdrop stays opaque.
        if (blend_ != 0) {
            backdrop_->FillRectEx(0, 0, backdrop_->Width(), backdrop_->Height(), blend_, 2, 0, 1024);
            opaque();
        }
    } else {
        backdrop_.reset();
    }
    for (TButton& b : buttons_) {
        b.entry->SetLocked(false);
        b.entry->SetChecked(false);
        b.entry->Reset();
        b.entry->SetLocked(LockedByAction(b.action, *b.entry));
    }
    for (auto& i : images_) i->Reset();
    open_ = true;
    result_ = 0;
    mute_ = std::max(0, beginMute_);
}

void TZelMenu::OnClick(size_t i) {
    if (i >= buttons_.size() || buttons_[i].entry->Locked()) return;
    const std::string& action = buttons_[i].action;
    const std::string w = Word(action);
    const std::vector<std::string> f = SplitFields(":", action);
    result_ = MenuResultCode(w);
    if (w == "script" && f.size() == 2) host_.RunLabel(f[1]);
    if (w == "value" && f.size() == 2) {
        if (const std::optional<int32_t> v = host_.ReadVariable(f[1])) {
            const int32_t now = *v != 0 ? 0 : 1;
            host_.WriteVariable(f[1], now);
            buttons_[i].entry->SetChecked(now != 0);
        }
    }
    mute_ = std::max(0, clickMute_);
}

int32_t TZelMenu::Update(int32_t elapsedMs) {
    mute_ = std::max<int64_t>(0, int64_t{mute_} - std::max(0, elapsedMs));
    if (!open_) return 0;
    if (mute_ == 0 && result_ != 0) return result_;
    if (mute_ == 0) {
        const TMenuInput in = host_.Input();
        for (TButton& b : buttons_) b.entry->Hover(in.x, in.y);
        if (in.leftReleased)
            for (size_t i = 0; i < buttons_.size(); ++i)
                if (buttons_[i].entry->Hit(in.x, in.y)) OnClick(i);
        if (in.cancel) {
            result_ = 1;
            mute_ = std::max(0, endMute_);
            for (TButton& b : buttons_) b.entry->Hide();
            for (auto& i : images_) i->Hide();
        }
    }
    for (TButton& b : buttons_) b.entry->Advance(elapsedMs);
    for (auto& i : images_) i->Advance(elapsedMs);
    return 0;
}

void TZelMenu::DrawMenu(TARGB8888& frame) const {
    if (!open_ || !backdrop_) return;
    backdrop_->Draw(frame, 0, 0, 0, 0, backdrop_->Width(), backdrop_->Height());
    for (const auto& i : images_) i->Draw(frame);
    for (const TButton& b : buttons_) b.entry->Draw(frame);
}

void TZelMenu::Draw() {
    if (TARGB8888* target = host_.DrawTarget()) {
        DrawMenu(*target);
        host_.ShowDrawn();
    }
}

void TZelMenu::Close() {
    open_ = false;
    backdrop_.reset();
}

}  // namespace zel
