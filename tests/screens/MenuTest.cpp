#include <gtest/gtest.h>

#include <map>

#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "screens/ZelMenuLib.h"

namespace zel {
namespace {

class TFakeEntry final : public IMenuEntry {
public:
    explicit TFakeEntry(TMenuRect hit) : hit_(hit) {}
    void Reset() override { hidden = false; }
    void SetLocked(bool l) override { locked = l; }
    bool Locked() const override { return locked; }
    void SetChecked(bool c) override { checked = c; }
    bool Checked() const override { return checked; }
    void Hover(int32_t, int32_t) override {}
    bool Hit(int32_t x, int32_t y) const override {
        return x >= hit_.left && x < hit_.right && y >= hit_.top && y < hit_.bottom;
    }
    void Hide() override { hidden = true; }
    void Advance(int32_t) override {}
    void Draw(TARGB8888& frame) const override { frame.FillRect(hit_.left, hit_.top, hit_.right, hit_.bottom, 0xFFFF0000u); }
    bool locked = false, checked = false, hidden = false;

private:
    TMenuRect hit_;
};

class TFakeMenuHost final : public IMenuHost {
public:
    std::map<std::string, std::string> files;
    std::string layoutName;
    uint32_t locks = 0;
    bool modesAllowed = true, sceneReturn = true, sceneSkip = true;
    std::map<std::string, bool> saves;
    std::map<std::string, int32_t> vars;
    std::vector<std::string> labels;
    TMenuInput input;
    int reads = 0;

    std::string LayoutName() const override { return layoutName; }
    bool GameFileExists(const std::string& p) override { return files.count(p) != 0; }
    std::optional<std::string> ReadGameFile(const std::string& p) override {
        ++reads;
        auto it = files.find(p);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    bool CaptureScreen(TARGB8888& into) override {
        into.NewImage(64, 48, 0x00204060u);
        return true;
    }
    uint32_t LockBits() const override { return locks; }
    bool PlayModeAllowed(const std::string&) const override { return modesAllowed; }
    bool SceneReturnPossible() const override { return sceneReturn; }
    bool SceneSkipSwitch() const override { return sceneSkip; }
    bool SaveFileExists(const std::string& n) const override { return saves.count(n) != 0; }
    std::optional<int32_t> ReadVariable(const std::string& n) override {
        auto it = vars.find(n);
        if (it == vars.end()) return std::nullopt;
        return it->second;
    }
    void WriteVariable(const std::string& n, int32_t v) override { vars[n] = v; }
    void RunLabel(const std::string& l) override { labels.push_back(l); }
    TMenuInput Input() override {
        TMenuInput i = input;
        input.leftReleased = input.cancel = false;
        return i;
    }
    std::unique_ptr<IMenuEntry> MakeEntry(const std::string&, const std::string&, int32_t, int32_t, int32_t,
                                          const TMenuRect& hit) override {
        return std::make_unique<TFakeEntry>(hit);
    }
    TARGB8888* DrawTarget() override { return nullptr; }
};

// A layout of one button per action, each 10 pixels wide at x = 10 i.
std::string LayoutOf(const std::vector<std::string>& actions, const std::string& extra = "") {
    std::string s = "ButtonCount=" + std::to_string(actions.size()) + "\r\n" + extra;
    for (size_t i = 0; i < actions.size(); ++i) {
        const std::string k = "btn[" + std::to_string(i) + "].";
        s += k + "Action=" + actions[i] + "\r\n" + k + "Filename=a.png,b.png\r\n" + k + "HitSize=" +
             std::to_string(10 * i) + ",0," + std::to_string(10 * i + 10) + ",10\r\n";
    }
    return s;
}

const char* const kLayout = "System\\Menu\\Layout.dat";

TEST(Menu, LockTable) {
    struct Case {
        const char* action;
        uint32_t locks;
        bool locked;
    };
    const Case cases[] = {
        {"load", menulock::Load, true},       {"load", menulock::Save, false},
        {"save", menulock::Save, true},       {"quicksave", menulock::Save, true},
        {"log", menulock::Log, true},         {"view", menulock::View, true},
        {"screen", menulock::Screen, true},   {"config", menulock::Config, true},
        {"reset", menulock::Reset, true},     {"exit", menulock::Reset, true},
        {"exit", menulock::Menu, false},      {"sceneskipload", menulock::Jump, true},
        {"sceneskipnoload", 0, false},        {"quickload", menulock::Load, true},
        {"cancel", 0xFFFF, false},            {"script", 0, true},
        {"script:*label", 0, false},          {"value", 0, true},
        {"value:missing", 0, true},           {"value:flag", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        TFakeMenuHost host;
        host.files[kLayout] = LayoutOf({c.action});
        host.locks = c.locks;
        host.vars["flag"] = 3;
        host.saves["QuickSaveData.svd"] = true;
        TZelMenu menu(host);
        menu.OpenMenu();
        ASSERT_EQ(menu.ButtonCount(), 1u);
        EXPECT_EQ(menu.Button(0).Locked(), c.locked);
    }
    // The predicates of the interpreter.
    struct Pred {
        const char* action;
        void (*set)(TFakeMenuHost&);
    };
    const Pred preds[] = {
        {"skip", [](TFakeMenuHost& h) { h.modesAllowed = false; }},
        {"auto", [](TFakeMenuHost& h) { h.modesAllowed = false; }},
        {"logskip", [](TFakeMenuHost& h) { h.modesAllowed = false; }},
        {"scenereturn", [](TFakeMenuHost& h) { h.sceneReturn = false; }},
        {"sceneskipload", [](TFakeMenuHost& h) { h.sceneSkip = false; }},
        {"selectload", [](TFakeMenuHost&) {}},  // no selection save
    };
    for (const Pred& p : preds) {
        SCOPED_TRACE(p.action);
        TFakeMenuHost host;
        host.files[kLayout] = LayoutOf({p.action});
        p.set(host);
        TZelMenu menu(host);
        menu.OpenMenu();
        EXPECT_TRUE(menu.Button(0).Locked());
    }
}

TEST(Menu, ResultCodesAndMuteTimes) {
    EXPECT_EQ(MenuResultCode("cancel"), 1);
    EXPECT_EQ(MenuResultCode("save"), 3);
    EXPECT_EQ(MenuResultCode("config"), 11);
    EXPECT_EQ(MenuResultCode("sceneskipnoload"), 19);
    EXPECT_EQ(MenuResultCode("script"), 0);
    TFakeMenuHost host;
    host.files[kLayout] =
        LayoutOf({"load", "SAVE"}, "BeginMuteTime=100\r\nClickMuteTime=50\r\nEndMuteTime=30\r\nBlendColor=$80000000\r\n");
    TZelMenu menu(host);
    menu.OpenMenu();
    EXPECT_EQ(menu.BlendColour(), 0x80000000u);
    EXPECT_EQ(menu.RemainingMute(), 100);
    // A click during the begin mute does nothing.
    host.input = {15, 5, true, false};
    EXPECT_EQ(menu.Update(60), 0);
    EXPECT_EQ(menu.ResultCode(), 0);
    EXPECT_EQ(menu.Update(60), 0);  // mute over: the click of this frame counts
    EXPECT_EQ(menu.ResultCode(), 3);
    EXPECT_EQ(menu.RemainingMute(), 50);
    EXPECT_EQ(menu.Update(30), 0);
    EXPECT_EQ(menu.Update(30), 3);  // delivered once the click mute has run out
    // Cancel: result 1 after the end mute, everything hidden.
    menu.Close();
    menu.OpenMenu();
    EXPECT_EQ(menu.ResultCode(), 0);
    menu.Update(100);
    host.input.cancel = true;
    EXPECT_EQ(menu.Update(10), 0);
    EXPECT_EQ(menu.RemainingMute(), 30);
    EXPECT_TRUE(static_cast<TFakeEntry&>(menu.Button(0)).hidden);
    EXPECT_EQ(menu.Update(40), 1);
    // Clicks on a locked button do nothing.
    host.locks = menulock::Save;
    menu.OpenMenu();
    menu.Update(100);
    host.input = {15, 5, true, false};
    menu.Update(10);
    EXPECT_EQ(menu.ResultCode(), 0);
}

TEST(Menu, ValueTogglesAndScriptRuns) {
    TFakeMenuHost host;
    host.files[kLayout] = LayoutOf({"value:Flag", "script:*OnMenu"});
    host.vars["flag"] = 7;
    TZelMenu menu(host);
    menu.OpenMenu();
    EXPECT_TRUE(menu.Button(0).Checked());
    host.input = {5, 5, true, false};
    EXPECT_EQ(menu.Update(10), 0);
    EXPECT_EQ(host.vars["flag"], 0);
    EXPECT_FALSE(menu.Button(0).Checked());
    host.input = {5, 5, true, false};
    menu.Update(10);
    EXPECT_EQ(host.vars["flag"], 1);
    EXPECT_TRUE(menu.Button(0).Checked());
    EXPECT_EQ(menu.Update(10), 0);  // no result: the menu stays open
    EXPECT_TRUE(menu.IsOpen());
    host.input = {15, 5, true, false};
    menu.Update(10);
    ASSERT_EQ(host.labels.size(), 1u);
    EXPECT_EQ(host.labels[0], "*onmenu");
}

TEST(Menu, UnchangedLayoutKeptButLocksEvaluatedAgain) {
    TFakeMenuHost host;
    host.files[kLayout] = LayoutOf({"save"});
    host.files["System\\Menu\\Other.dat"] = LayoutOf({"load", "log"});
    TZelMenu menu(host);
    menu.OpenMenu();
    EXPECT_FALSE(menu.Button(0).Locked());
    menu.Close();
    host.locks = menulock::Save;
    menu.OpenMenu();
    EXPECT_EQ(menu.LayoutLoads(), 1);
    EXPECT_EQ(host.reads, 1);
    EXPECT_TRUE(menu.Button(0).Locked());
    // A missing named layout falls back to Layout.dat: still the same file.
    host.layoutName = "Missing.dat";
    menu.OpenMenu();
    EXPECT_EQ(menu.LayoutLoads(), 1);
    host.layoutName = "Other.dat";
    menu.OpenMenu();
    EXPECT_EQ(menu.LayoutLoads(), 2);
    EXPECT_EQ(menu.ButtonCount(), 2u);
    EXPECT_EQ(menu.LoadedPath(), "System\\Menu\\Other.dat");
}

TEST(Menu, CountsBoundedByTheLayout) {
    TFakeMenuHost host;
    // A count far beyond the entries written: only the entries there are.
    host.files[kLayout] = "ButtonCount=2000000000\r\nImageCount=-5\r\nbtn[0].Action=save\r\nbtn[2].Action=load\r\n";
    TZelMenu menu(host);
    menu.OpenMenu();
    EXPECT_EQ(menu.ButtonCount(), 3u);
    EXPECT_EQ(menu.ImageCount(), 0u);
    EXPECT_EQ(menu.Action(1), "");
    // No layout at all: a menu with no buttons that can only be cancelled.
    TFakeMenuHost empty;
    TZelMenu none(empty);
    none.OpenMenu();
    EXPECT_EQ(none.ButtonCount(), 0u);
    empty.input.cancel = true;
    EXPECT_EQ(none.Update(10), 0);
    EXPECT_EQ(none.Update(10), 1);
}

TEST(Menu, BackdropIsOpaqueAndBlended) {
    TFakeMenuHost host;
    host.files[kLayout] = LayoutOf({"save"}, "BlendColor=$80000000\r\n");
    TZelMenu menu(host);
    menu.OpenMenu();
    TARGB8888 frame;
    frame.NewImage(64, 48, 0);
    menu.DrawMenu(frame);
    EXPECT_EQ(frame.Pixel(40, 40), 0xFF0F1F2Fu);  // half of 0x204060 over black, kept opaque
    EXPECT_EQ(frame.Pixel(5, 5), 0xFFFF0000u);    // the button over it
}

}  // namespace
}  // namespace zel
