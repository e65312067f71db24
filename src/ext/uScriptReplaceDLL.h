// The optional line-rewriting plug-in: "DLL/SCRREP.so" under the game root,
// a shared library with the C entry point SRReplace (include/zel/plugin.h)
// that rewrites each script source line in place in a 1024-byte buffer. When
// the game has no such plug-in, lines pass through unchanged and nothing is
// reported.
#pragma once

#include <string>

#include "ext/TextServices.h"

namespace zel {

class TScriptReplaceDLL : public ILineRewriter {
public:
    // Size of the buffer handed to the plug-in, terminating NUL included.
    static constexpr size_t kBufferSize = 1024;

    TScriptReplaceDLL() = default;
    ~TScriptReplaceDLL() override;
    TScriptReplaceDLL(const TScriptReplaceDLL&) = delete;
    TScriptReplaceDLL& operator=(const TScriptReplaceDLL&) = delete;

    // Loads DLL/SCRREP.so under gameRoot (folder and file names matched
    // without regard to ASCII case), replacing any plug-in loaded before.
    // Returns false without a message when there is no such file; false with
    // LastError() set when the file cannot be loaded or lacks SRReplace. After
    // a failure no plug-in is loaded.
    bool Load(const std::string& gameRoot);
    void Release();
    bool Loaded() const { return replace_ != nullptr; }
    // Host path of the loaded plug-in (empty when none is loaded).
    const std::string& ModulePath() const { return modulePath_; }
    // Why the last Load failed (Shift-JIS); empty when it succeeded or found no file.
    const std::string& LastError() const { return lastError_; }

    // The line as the plug-in rewrites it; unchanged when no plug-in is loaded
    // and for lines the buffer cannot carry (1024 bytes or more, or holding a
    // NUL byte).
    std::string ReplaceLine(const std::string& line) override;

private:
    using ReplaceFn = void (*)(char*);
    void* handle_ = nullptr;
    ReplaceFn replace_ = nullptr;
    std::string modulePath_;
    std::string lastError_;
};

}  // namespace zel
