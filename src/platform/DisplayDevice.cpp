#include "platform/DisplayDevice.h"

#include <algorithm>
#include <cstdio>

#include "base/Sjis.h"

namespace zel {

TDDDD7::TDDDD7() = default;
TDDDD7::~TDDDD7() = default;

void TDDDD7::SetScreenSize(int width, int height) {
    // Sizes of 0 or below would make an empty output and divide by zero when
    // scaling: they take the default like sizes above the limit.
    pack_.Settings().width = TDirectXPack::ValidWidth(width);
    pack_.Settings().height = TDirectXPack::ValidHeight(height);
}

int TDDDD7::ScreenWidth() const { return init_ ? backWidth_ : pack_.Settings().width; }
int TDDDD7::ScreenHeight() const { return init_ ? backHeight_ : pack_.Settings().height; }

void TDDDD7::SetMemoryTypes(int surface, int backBuffer) {
    surfaceMemory_ = static_cast<TDDDDSurfaceMemoryType>(std::clamp(surface, 0, 4));
    backBufferMemory_ = static_cast<TDDDDBackBufferMemoryType>(std::clamp(backBuffer, 0, 3));
    Log("SurfaceLocation=" + std::to_string(int(surfaceMemory_)) +
            " BackBufferLocationAtWindowed=" + std::to_string(int(backBufferMemory_)),
        true);
}

bool TDDDD7::Initialize(bool fullScreen) {
    if (!EnumerateModes()) {
        LogFailure("EnumerateModes", 0);
        return false;
    }
    pack_.Settings().fullScreen = fullScreen;
    init_ = pack_.InitScreen();
    return init_;
}

bool TDDDD7::ToggleFullScreen() {
    if (!init_) return false;
    locked_ = false;
    init_ = pack_.ToggleFullScreen();
    return init_;
}

bool TDDDD7::EnumerateModes() {
    std::vector<TDisplayMode> modes;
    if (!QueryModes(modes)) return false;
    if (modes.size() > kMaxModes) modes.resize(kMaxModes);
    modes_ = std::move(modes);
    for (const TDisplayMode& m : modes_)
        Log("Mode " + std::to_string(m.width) + "x" + std::to_string(m.height) + " " + std::to_string(m.refreshRate) +
                "Hz " + std::to_string(m.bitDepth) + "bit",
            true);
    return true;
}

bool TDDDD7::HasMode(int width, int height, int refresh, int bitDepth) const {
    return std::any_of(modes_.begin(), modes_.end(), [&](const TDisplayMode& m) {
        return m.width == width && m.height == height && (refresh == 0 || m.refreshRate == refresh) &&
               (bitDepth == 0 || m.bitDepth == bitDepth);
    });
}

void TDDDD7::EnsureBackBuffer(int width, int height) {
    if (width != backWidth_ || height != backHeight_ || back_.empty()) {
        back_.assign(size_t(width) * size_t(height), 0xFF000000u);
        backWidth_ = width;
        backHeight_ = height;
        changed_.assign(size_t(height), 0);
        lastShown_.assign(size_t(height), 0);
    }
    MarkAll();
}

bool TDDDD7::InitWindowed(int width, int height) {
    Log("InitWindowed(" + std::to_string(width) + ", " + std::to_string(height) + ")");
    int depth = 32;
    if (!OpenWindowed(width, height, &depth)) {
        LogFailure("InitWindowed", 0);
        return false;
    }
    EnsureBackBuffer(width, height);
    fullScreen_ = false;
    bitDepth_ = depth;
    lost_ = false;
    failed_ = false;
    Log("PixelFormat: AMask=ff000000 RMask=00ff0000 GMask=0000ff00 BMask=000000ff", true);
    return true;
}

bool TDDDD7::InitFullScreen(int width, int height, int bitDepth) {
    Log("InitFullScreen(" + std::to_string(width) + ", " + std::to_string(height) + ", " + std::to_string(bitDepth) +
        ")");
    if (!OpenFullScreen(width, height, bitDepth)) {
        LogFailure("InitFullScreen", 0);
        return false;
    }
    EnsureBackBuffer(width, height);
    fullScreen_ = true;
    bitDepth_ = bitDepth;
    lost_ = false;
    failed_ = false;
    return true;
}

uint32_t* TDDDD7::Lock(int* pitchBytes) {
    if (!init_ || failed_ || locked_ || back_.empty()) return nullptr;
    locked_ = true;
    if (pitchBytes) *pitchBytes = backWidth_ * 4;
    return back_.data();
}

void TDDDD7::Unlock() {
    if (!locked_) {
        Log(Sj("サーフェスのアンロックに失敗しました"));
        return;
    }
    locked_ = false;
}

void TDDDD7::MarkRows(int top, int bottom) {
    top = std::clamp(top, 0, backHeight_);
    bottom = std::clamp(bottom, 0, backHeight_);
    if (top >= bottom) return;
    std::fill(changed_.begin() + top, changed_.begin() + bottom, uint8_t{1});
    if (changedTop_ >= changedBottom_) {
        changedTop_ = top;
        changedBottom_ = bottom;
    } else {
        changedTop_ = std::min(changedTop_, top);
        changedBottom_ = std::max(changedBottom_, bottom);
    }
}

void TDDDD7::MarkRowsOfParity(int top, int bottom, int parity) {
    top = std::clamp(top, 0, backHeight_);
    bottom = std::clamp(bottom, 0, backHeight_);
    int y = top + ((top & 1) != (parity & 1) ? 1 : 0);
    if (y >= bottom) return;
    const int first = y;
    for (; y < bottom; y += 2) changed_[size_t(y)] = 1;
    const int last = y - 2 + 1;
    if (changedTop_ >= changedBottom_) {
        changedTop_ = first;
        changedBottom_ = last;
    } else {
        changedTop_ = std::min(changedTop_, first);
        changedBottom_ = std::max(changedBottom_, last);
    }
}

void TDDDD7::MarkAll() { MarkRows(0, backHeight_); }

bool TDDDD7::Recover() {
    Log(Sj("サーフェスを復元します"));
    if (!RecreateOutput()) {
        Log(Sj("ディスプレイの再構成に失敗しました。"));
        failed_ = true;
        return false;
    }
    lost_ = false;
    failed_ = false;
    MarkAll();
    return true;
}

void TDDDD7::Present(bool force) {
    if (!init_ || back_.empty()) return;
    if (failed_) return;  // Lock fails too: the frame loop calls Restore
    if (lost_.load() && !Recover()) return;
    if (force) MarkAll();
    spans_.clear();
    std::fill(lastShown_.begin(), lastShown_.end(), uint8_t{0});
    for (int32_t y = changedTop_; y < changedBottom_;) {
        if (!changed_[size_t(y)]) {
            ++y;
            continue;
        }
        const int32_t top = y;
        while (y < changedBottom_ && changed_[size_t(y)]) ++y;
        spans_.push_back({top, y});
    }
    for (const TRowSpan& s : spans_) {
        std::fill(changed_.begin() + s.top, changed_.begin() + s.bottom, uint8_t{0});
        std::fill(lastShown_.begin() + s.top, lastShown_.begin() + s.bottom, uint8_t{1});
    }
    changedTop_ = changedBottom_ = 0;
    ++presents_;
    const bool repaint = repaint_.exchange(false);
    if (spans_.empty() && !repaint) return;  // the output still shows this picture
    if (!ShowFrame(back_.data(), backWidth_ * 4, spans_)) {
        LogFailure("Present", 0);
        OutputLost();
    }
}

bool TDDDD7::Restore() {
    if (!init_) return false;
    locked_ = false;
    Log(Sj("サーフェスを復元します"));  // the back buffer (kept in memory) ...
    return Recover();                    // ... and the output
}

void TDDDD7::Log(std::string_view text, bool detailed) {
    if (!(debugOptions_ & ddoDebugMessage)) return;
    if (detailed && !(debugOptions_ & ddoDetailedLog)) return;
    std::FILE* f = std::fopen(logPath_.c_str(), logLines_ == 0 ? "wb" : "ab");
    ++logLines_;
    if (!f) return;
    std::fprintf(f, "debug#%.5d %.*s\r\n", logLines_, int(text.size()), text.data());
    std::fclose(f);
}

void TDDDD7::LogFailure(std::string_view text, uint32_t code) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "(Error Code(%x))", code);
    Log(std::string(text) + buf);
}

}  // namespace zel
