// TZelScript: one script interpreter (the game thread or the system thread).
//
// It executes a script one segment at a time. A command segment begins with a
// backslash or "@"; it is split into comma-separated fields (outside quotes,
// braces and brackets) and its command word is packed into a 32-bit code (the
// word in lower case without backslashes and blanks, first byte lowest; words
// longer than 4 bytes match nothing). Handlers are tried in a fixed order:
// control flow (which swallows everything inside a skipped region), jumps and
// calls, label lines, the general commands, then the scoped objects.
//
// RunFrame runs one frame: requests cleared, input and events serviced,
// timers and objects advanced, then up to the segments-per-frame limit (2048)
// executed until a wait, a request, an error or a hold.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/RequestCodes.h"
#include "script/ZelReaderLib.h"
#include "script/ZelScriptModel.h"
#include "script/ZelScriptServices.h"
#include "scriptdata/SystemCommands.h"
#include "scriptdata/ZelCalculationLib.h"

namespace zel {

class IGameFiles;
class IRegExp;
class ILineRewriter;
class TImageLib;
class TZelObjectManager;

// Wait states of a routine.
enum TWaitState : uint8_t {
    wsRunning = 0,
    wsStopEnding = 1,   // \play on a stop wait: ends at once
    wsStop = 2,         // \stop with a label
    wsWait = 3,         // \wait
    wsClick = 4,        // \clk
    wsTime = 5,         // \time
    wsSoundTime = 6,    // \sndt
    wsMessage = 7,      // \msg, text still appearing
    wsMessagePage = 8,  // \msg, page finished
    wsButton = 9,       // \btn
    wsWave = 10,        // \wav
};

// Packs a command word as the dispatcher does: lower case, backslashes and
// bytes below 33 dropped, at most 4 bytes (else -1), first byte lowest.
int32_t CommandCode(std::string_view word);

// Splits a command segment into its fields: at "," outside double quotes,
// braces and round or square brackets, Shift-JIS characters taken whole; every
// field trimmed; a trailing "," adds no field; padded with empty fields to at
// least minCount. The strings of out are reused.
void SplitCommandFields(std::string_view segment, std::vector<std::string>& out, size_t minCount = 9);

// Bits of the lock word (the _lk* constants of the scripts): a set bit forbids
// the player's keys, buttons and menu entries for those actions.
namespace ScriptLockBit {
enum : uint32_t {
    Screen = 1, Save = 2, Load = 4, Config = 8, Log = 16, View = 32, Auto = 64, Skip = 128, Jump = 256,
    Menu = 512, Reset = 1024, Minimize = 2048,
};
}

// A system-key binding that fired this frame: its action code
// (SystemKeyActionCode of the shell's key table), the label text that goes
// with the request and its number.
struct TFiredKey {
    int32_t action = 0;
    std::string label;
    uint32_t number = 0;
};

// The player's input of a frame as the event service hands it over.
struct TPlayerInput {
    bool fired = false;  // a binding fired (key below)
    TFiredKey key;
    bool pointerKnown = false;
    int32_t x = 0, y = 0;      // pointer, game position
    bool leftPressed = false;  // the left button went down this frame
};

// The script's own state block (saved with the game state).
struct TScriptState {
    int32_t request = ScriptRequest::None;
    std::string requestArgument;
    int32_t playMode = ScriptPlayMode::Normal;
    uint32_t lockWord = 0x0FFFFFFF;
    uint32_t customKeyMask = 0x0FFFFFFF;
    uint32_t customCheckedMask = 0;
    int32_t segmentsPerFrame = 2048;
    int32_t holdFrames = 0;
    int32_t timeSkip = 0;
    int32_t elapsedCredit = 0;
    int32_t scriptClock = 0;
    int32_t inputSettle = 0;
    uint8_t cursorVisible = 1;
    int32_t cursorHideDelay = 10000;
    int32_t navigationAlong = 1;
    int32_t navigationAcross = 10;
    uint32_t layerMask[2] = {0x0FFFFFFF, 0x0FFFFFFF};
    int32_t scriptTarget = 0;
    std::string selection;
    std::string afterLoadLabel;
    std::string sceneLabel;
    // Texts the system object keeps for the save file: the four header names
    // and the layout files of the load, save, menu and log screens.
    std::array<std::string, 4> saveTexts;
    std::array<std::string, 4> layoutNames;
    uint8_t sceneSkip = 0;
    int32_t autoPlayDelay = 0;
    bool noWait = false;
};

class TZelScript final : public ISystemObjectHost {
public:
    static constexpr int32_t kClockLimit = 0x0FFFFFFF;
    static constexpr int32_t kLastStreamChannel = 15;

    // parent: the game script, for the system script (which shares its
    // system store). objects: the object host; null gives the object manager.
    TZelScript(IGameFiles* files, IRegExp* regexp = nullptr, ILineRewriter* rewriter = nullptr,
               TZelScript* parent = nullptr, std::unique_ptr<IScriptObjects> objects = nullptr);
    ~TZelScript();
    TZelScript(const TZelScript&) = delete;
    TZelScript& operator=(const TZelScript&) = delete;

    // ISystemObjectHost: the switches the system object's words change.
    uint32_t& LockWord() override { return state_.lockWord; }
    uint32_t& CustomKeyMask() override { return state_.customKeyMask; }
    uint32_t& CustomCheckedMask() override { return state_.customCheckedMask; }
    uint32_t& LayerMask(int which) override { return state_.layerMask[which == 0 ? 0 : 1]; }
    int32_t& SegmentsPerFrame() override { return state_.segmentsPerFrame; }
    int32_t& AutoPlayDelay() override { return state_.autoPlayDelay; }
    uint8_t& SceneSkip() override { return state_.sceneSkip; }
    std::string& SceneLabel() override { return state_.sceneLabel; }
    std::string& LayoutName(int slot) override { return state_.layoutNames[static_cast<size_t>(slot & 3)]; }
    int32_t PlayMode() const override { return state_.playMode; }
    void SetPlayModeWord(int32_t mode) override { SetPlayMode(mode); }
    bool NoWait() const override { return state_.noWait; }
    void SetRequest(int32_t request, std::string_view argument) override;
    TImageLib* SystemLayer(bool notice) override { return notice ? noticeLayer_.get() : cursorLayer_.get(); }

    // Without buttons of its own the script asks the buttons among its objects.
    void SetServices(const TScriptServices& services) {
        services_ = services;
        if (!services_.buttons) services_.buttons = objectButtons_.get();
    }
    const TScriptServices& Services() const { return services_; }

    // Executes one segment.
    void Dispatch(std::string_view segment);
    // Dispatches at once every backslash command of the text (blanks dropped,
    // "//" ends it). True when at least one command was dispatched.
    bool ExecuteLine(std::string_view text);
    void RunFrame(int32_t elapsedMs, bool processInput);
    void ResetScript();

    // Argument helpers of the commands (evaluated at the current level).
    TReturnValue Evaluate(std::string_view text);
    // Literal "@@name", else the value of the expression; a text that is no
    // expression is taken as written.
    std::string LabelArgument(std::string_view text);
    // "self" or empty: the current file; else the value of the expression (or
    // the text as written) through the search paths.
    std::string FileArgument(std::string_view text);

    TZelReader& Reader() { return reader_; }
    const TZelReader& Reader() const { return reader_; }
    TScriptThread& Thread() { return thread_; }
    const TScriptThread& Thread() const { return thread_; }
    TZelCalculation& Calc() { return calc_; }
    IScriptObjects& Objects() { return *objects_; }
    IRegExp* RegExp() const { return regexp_; }
    TZelScript* Parent() const { return parent_; }
    // The script that object lookups and declarations act on: the parent
    // while the script-target flag is set, this script otherwise (also when
    // there is no parent).
    TZelScript& TargetScript();
    // Index of the current routine (the level of its local variables).
    int32_t Level() const { return thread_.Count() - 1; }
    TScriptRoutine& Routine() { return *thread_.Top(); }

    TScriptState& State() { return state_; }
    const TScriptState& State() const { return state_; }
    // Normal also ends the frames without waiting of the skip modes.
    void SetPlayMode(int32_t mode) {
        state_.playMode = mode;
        if (mode == ScriptPlayMode::Normal) state_.noWait = false;
    }
    // The next frame counts no elapsed time: the counter is set to 2, and a
    // frame decrements it and counts none while it is still positive.
    void SkipTimeOnce() { state_.timeSkip = 2; }

    // ---- Events (ZelScriptEvents.cpp) ----
    static constexpr int32_t kNoPosition = -65536;
    // Steps 7 and 8 of a frame: a fired key ends the play modes; with input
    // processed, the pointer reaches the objects and the key acts.
    void ServicePlayerInput(const TPlayerInput& in, bool processInput);
    // A click at (x, y), or without position when both are kNoPosition;
    // generated: made by Auto or Skip.
    void Click(int32_t x, int32_t y, bool generated);
    // What a fired binding does: a click, a request under its lock, a pointer
    // move to the nearest selectable object.
    void SystemKeyAction(const TFiredKey& key, int32_t pointerX, int32_t pointerY);
    // The system button under (x, y) performs its action word; false when none.
    bool SystemButtonAction(int32_t x, int32_t y);
    // Whether the play mode may be entered now (system buttons and menu).
    bool ModeMayEnter(int32_t mode);
    // Already-read text lies ahead of the current position.
    bool CanLogSkip() const;
    bool SceneReturnPossible() const;
    void SceneReturn();
    // Whether the selection save exists; the file is looked at again only on
    // every 40th call or when refresh is set.
    bool SelectSaveExists(bool refresh);
    // The reader entered line n under the label key.
    void RecordReadPosition(std::string_view key, int32_t n);
    // The wait-cursor label of the current wait state and play mode.
    std::string_view WaitCursorLabel();
    // The wait-cursor and notice layers (image objects the script owns and
    // draws above the game in every frame with the fixed pass).
    void SetSystemLayers(std::unique_ptr<TImageLib> cursor, std::unique_ptr<TImageLib> notice);
    TImageLib* CursorLayer() { return cursorLayer_.get(); }
    TImageLib* NoticeLayer() { return noticeLayer_.get(); }

    // Writes the built-in result variables of this script.
    void ClearResults();
    void SetResultInt(int32_t value, int32_t index = 0);
    void SetResultStr(std::string_view text, int32_t index = 0);

    // Called with the position and the segment before each dispatch.
    using TraceFn = std::function<void(std::string_view position, std::string_view segment)>;
    void SetTrace(TraceFn trace) { trace_ = std::move(trace); }
    // Runs first in every ResetScript.
    using ResetHook = std::function<void(TZelScript&)>;
    void SetResetHook(ResetHook hook) { resetHook_ = std::move(hook); }

private:
    struct TFieldBuffer;

    // Handlers of Dispatch, in the order tried.
    bool ControlFlow(int32_t code, const std::vector<std::string>& f, bool skipping);
    bool JumpCommand(int32_t code, const std::vector<std::string>& f);
    bool LabelLine(const std::vector<std::string>& f);
    bool GeneralCommand(int32_t code, const std::vector<std::string>& f);
    void ScopedObjects(const TScriptCommand& command);

    TScriptBlock& OpenBlock(TScriptRoutine& r);
    void CloseBlock(TScriptRoutine& r, const std::vector<std::string>& f);
    void Answer(TScriptBlock& b, const std::vector<std::string>& f);
    void Go(const std::vector<std::string>& f, bool keepRoutine);
    bool Call(std::string_view labelField, std::string_view fileField, const std::vector<std::string>& f,
              size_t firstParam);
    void Return(std::string_view labelField);
    void DeclareParameters(int32_t level, const std::vector<std::string>& f, size_t firstParam);
    void UpdateFileVariables();
    void AfterRoutineChange(int32_t routinesBefore);
    void ClearObjectsKeepingSystemStore();

    // ZelScriptWaits.cpp
    void TestWait();

    // ZelScriptEvents.cpp
    void PlayModeAutomation();
    void FrameVisuals(int32_t elapsed);
    void RefreshSystemButtons();
    void PointerMove(int32_t x, int32_t y);
    void JumpAfterClick(const std::string& label);
    bool Locked(uint32_t bits) const { return (state_.lockWord & bits) != 0; }

    // ZelScriptCommands.cpp
    void Declare(int scopeCode, const std::vector<std::string>& f);
    void Scope(const std::vector<std::string>& f);
    void Swap(const std::vector<std::string>& f);
    void Format(const std::vector<std::string>& f);
    void RegExpCommand(int32_t code, const std::vector<std::string>& f);
    std::string PatternField(std::string_view field);
    void ClickWait(const std::vector<std::string>& f);
    void StopWait(const std::vector<std::string>& f);
    TScriptRoutine* TopWaitingRoutine();
    int32_t IntArg(std::string_view field);
    std::string StrArg(std::string_view field);

    TZelReader reader_;
    TScriptThread thread_;
    std::unique_ptr<IScriptObjects> objects_;
    TZelCalculation calc_;
    IRegExp* regexp_;
    TZelScript* parent_;
    TScriptServices services_;
    TScriptState state_;
    TraceFn trace_;
    ResetHook resetHook_;
    std::vector<std::unique_ptr<TFieldBuffer>> fieldBuffers_;
    int dispatchDepth_ = 0;
    TZelObjectManager* objectManager_ = nullptr;  // the object host when it is the manager
    std::unique_ptr<IScriptButtons> objectButtons_;  // the manager's buttons
    std::unique_ptr<TImageLib> cursorLayer_, noticeLayer_;
    int32_t selectSaveCalls_ = 0;
    bool selectSaveKnown_ = false;
};

}  // namespace zel
