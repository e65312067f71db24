// TDDDD7: the display device behind IDisplayDevice.
//
// The engine draws every frame into a back buffer of ARGB8888 pixels (the
// byte order of TARGB8888) that lives in ordinary memory for the whole run,
// so it can never be lost. Drawing code locks it, writes, marks the rows it
// changed and unlocks; Present hands the changed rows to the output (the
// SDL texture, or nothing at all for headless runs) and has it shown. When
// the output loses its content (a render-device reset) the next present
// re-creates it and shows every row; when that fails, Lock fails until
// Restore succeeds, and the shell treats a failed Restore as fatal.
//
// The mode list holds what the output can show (at most 511 entries); the
// mode itself is chosen by TDirectXPack (ScreenModes.h). With the debug
// option ddoDebugMessage every log call appends "debug#NNNNN text" to
// "dddd.debug" (the first line of a run recreates the file); detailed lines
// also need ddoDetailedLog. A failed output call is logged with
// "(Error Code(%x))" and turned into a lost output, never into an exit.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Devices.h"
#include "platform/ScreenModes.h"

namespace zel {

struct TDisplayMode {
    int32_t width = 0, height = 0, refreshRate = 0, bitDepth = 0;
    bool operator==(const TDisplayMode&) const = default;
};

enum TDDDDDebugOption : uint32_t {
    ddoHaltOnError = 1,
    ddoDebugMessage = 2,
    ddoDetailedLog = 4,
};

enum class TDDDDSurfaceMemoryType : int32_t {
    smtDefault, smtCompatible, smtSystemMemory, smtVideoMemory, smtNonLocalVideoMemory
};
enum class TDDDDBackBufferMemoryType : int32_t { bmtDefault, bmtCompatible, bmtSystemMemory, bmtVideoMemory };

// Rows [top, bottom) of the back buffer.
struct TRowSpan {
    int32_t top = 0, bottom = 0;
};

class TDDDD7 : public IDisplayDevice {
public:
    static constexpr size_t kMaxModes = 511;

    TDDDD7();
    ~TDDDD7() override;
    TDDDD7(const TDDDD7&) = delete;
    TDDDD7& operator=(const TDDDD7&) = delete;

    // ---- IDisplayDevice ----
    // The configured size; a side outside 1..4096 becomes 800 or 600.
    void SetScreenSize(int width, int height) override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    void SetMemoryTypes(int surface, int backBuffer) override;
    void SetHighColour(bool on) override { pack_.Settings().highColour = on; }
    // Enumerates the modes and lets TDirectXPack choose one.
    bool Initialize(bool fullScreen) override;
    bool IsInitialized() const override { return init_; }
    bool IsFullScreen() const override { return fullScreen_; }
    bool ToggleFullScreen() override;
    uint32_t* Lock(int* pitchBytes) override;
    void Unlock() override;
    void MarkRows(int top, int bottom) override;
    void MarkRowsOfParity(int top, int bottom, int parity) override;
    void Present(bool force) override;
    bool Restore() override;

    // ---- Device operations ----
    // Fills the mode list; false when the output cannot be asked.
    bool EnumerateModes();
    // refresh and bitDepth 0 match any.
    bool HasMode(int width, int height, int refresh, int bitDepth) const;
    const std::vector<TDisplayMode>& Modes() const { return modes_; }
    bool InitWindowed(int width, int height);
    bool InitFullScreen(int width, int height, int bitDepth);
    int BitDepth() const { return bitDepth_; }
    TDirectXPack& Pack() { return pack_; }

    // ---- Debug log ----
    void SetDebugOptions(uint32_t options) { debugOptions_ = options; }
    uint32_t DebugOptions() const { return debugOptions_; }
    void SetDebugLogPath(std::string path) { logPath_ = std::move(path); }
    void Log(std::string_view text, bool detailed = false);
    // Logs text + "(Error Code(%x))".
    void LogFailure(std::string_view text, uint32_t code);

    // ---- What was shown ----
    // The back buffer: ScreenWidth() x ScreenHeight() pixels, pitch width * 4.
    const std::vector<uint32_t>& BackBuffer() const { return back_; }
    // Per row, 1 when the last present handed it to the output.
    const std::vector<uint8_t>& LastShownRows() const { return lastShown_; }
    int PresentCount() const { return presents_; }

protected:
    // ---- The output (implemented by the platform back end) ----
    // The modes the output can show (the device keeps the first 511).
    virtual bool QueryModes(std::vector<TDisplayMode>& modes) = 0;
    // A window (or the whole desktop) showing a width x height picture,
    // scaled to fit; bitDepth receives the depth of the desktop.
    virtual bool OpenWindowed(int width, int height, int* bitDepth) = 0;
    virtual bool OpenFullScreen(int width, int height, int bitDepth) = 0;
    // Takes the changed rows (in ascending order; may be none when only a
    // repaint was asked for) and shows the whole picture.
    virtual bool ShowFrame(const uint32_t* pixels, int pitchBytes, const std::vector<TRowSpan>& spans) = 0;
    // Re-creates the output in the current mode after it was lost.
    virtual bool RecreateOutput() = 0;

    // For back ends: the output lost its content (may be called from any
    // thread); the next present re-creates it and shows every row.
    void OutputLost() { lost_.store(true); }
    // For back ends: the window needs drawing again (exposed, resized).
    void RepaintNeeded() { repaint_.store(true); }

private:
    void EnsureBackBuffer(int width, int height);
    void MarkAll();
    bool Recover();

    TDirectXPack pack_{*this};
    std::vector<TDisplayMode> modes_;
    std::vector<uint32_t> back_;
    int32_t backWidth_ = 0, backHeight_ = 0;
    std::vector<uint8_t> changed_, lastShown_;
    int32_t changedTop_ = 0, changedBottom_ = 0;  // bounds of the marked rows
    std::vector<TRowSpan> spans_;
    bool init_ = false, fullScreen_ = false, locked_ = false, failed_ = false;
    std::atomic<bool> lost_{false}, repaint_{false};
    int32_t bitDepth_ = 32;
    TDDDDSurfaceMemoryType surfaceMemory_ = TDDDDSurfaceMemoryType::smtDefault;
    TDDDDBackBufferMemoryType backBufferMemory_ = TDDDDBackBufferMemoryType::bmtDefault;
    int presents_ = 0;
    uint32_t debugOptions_ = ddoHaltOnError;
    std::string logPath_ = "dddd.debug";
    int logLines_ = 0;
};

}  // namespace zel
