// Recording fakes of the subsystems the shell drives.
#pragma once

#include <string>
#include <vector>

#include "base/MemStream.h"
#include "shell/ShellInterfaces.h"

namespace zel::test {

struct FakeScript : IEngineScript {
    std::vector<std::string> log;        // every call, in order
    std::vector<int32_t> elapsedSeen;    // RunFrame elapsed values after SkipTimeOnce handling
    int32_t request = 0;
    std::string requestArg;
    int32_t playMode = 0;
    int skipFrames = 0;
    bool noWait = false;
    bool buttonWait = false;
    bool locks[3] = {false, false, false};
    std::string afterLoadLabel;
    bool saveOk = true, loadOk = true;

    void ResetScript() override { log.push_back("reset"); request = 0; requestArg.clear(); }
    bool ExecuteLine(const std::string& t) override { log.push_back("exec " + t); return true; }
    void RunFrame(int32_t elapsed, bool) override {
        // The interpreter's counter rule: SkipTimeOnce sets 2, each frame
        // decrements it, and the frame counts no time while it is still
        // positive, so one frame after SkipTimeOnce counts none.
        if (skipFrames > 0) {
            --skipFrames;
            if (skipFrames > 0) elapsed = 0;
        }
        elapsedSeen.push_back(elapsed);
    }
    void Draw(bool, bool overlays, int32_t z) override {
        log.push_back("draw " + std::to_string(overlays) + " " + std::to_string(z));
    }
    void ShowFrame(bool force, bool) override { log.push_back(force ? "show force" : "show"); }
    void ShowCells(bool, bool) override { log.push_back("cells"); }
    void InvalidateCells() override { log.push_back("invalidate"); }
    void RefreshCells() override {}
    void SetPlayMode(int32_t m) override { playMode = m; }
    int32_t GetPlayMode() const override { return playMode; }
    void SkipTimeOnce() override { skipFrames = 2; log.push_back("skiptime"); }
    bool Save(const std::string& f, bool) override { log.push_back("save " + f); return saveOk; }
    bool Load(const std::string& f) override { log.push_back("load " + f); return loadOk; }
    int32_t Request() const override { return request; }
    std::string RequestArgument() const override { return requestArg; }
    void SetAfterLoadLabel(const std::string& l) override { afterLoadLabel = l; }
    bool NoWait() const override { return noWait; }
    bool IsLocked(ScriptLock l) const override { return locks[static_cast<int>(l)]; }
    bool InButtonWait() const override { return buttonWait; }
    bool HasReadTextToSkip() const override { return true; }
    bool CanSceneReturn() const override { return false; }
    void SceneReturn() override {}
    std::optional<std::string> CaptureScreenBmp() override { log.push_back("capture"); return std::string("BM"); }
};

struct FakeScreen : IScreen {
    std::vector<int32_t> results;  // Step results, in order; then 0
    std::vector<std::string> log;
    std::string chosen = "SaveData001.svd";
    void Open(bool save) override { log.push_back(save ? "open save" : "open"); }
    int32_t Step(int32_t) override {
        if (results.empty()) return 0;
        const int32_t r = results.front();
        results.erase(results.begin());
        return r;
    }
    void Draw() override { log.push_back("draw"); }
    void Close() override { log.push_back("close"); }
    void Reset() override { log.push_back("reset"); }
    std::string ChosenFile() const override { return chosen; }
    std::string label = "*AfterSave";
    std::string quickName = "QuickSave01.svd";
    std::string ChosenLabel() const override { return label; }
    std::string QuickSaveFileName() const override { return quickName; }
};

struct FakeMovie : IMoviePlayer {
    int32_t state = 0;
    int32_t State() const override { return state; }
    void Stop() override {}
    void SaveState(TMemoryStream& s) override { s.WriteU32(state); }
    void LoadState(TMemoryStream& s) override { state = static_cast<int32_t>(s.ReadU32()); }
};

struct FakeSound : ISoundSystem {
    std::vector<std::string> log;
    void PauseAll() override { log.push_back("pause"); }
    void ResumeAll() override { log.push_back("resume"); }
    void StopAll() override { log.push_back("stop"); }
};

}  // namespace zel::test
