#include "base/ErrorLog.h"

#include <cstdio>

namespace zel {

namespace {

// The one piece of global mutable state the engine keeps on purpose: every
// subsystem reports into the same list.
struct ErrorState {
    std::vector<std::string> lines;
    bool flag = false;
    std::string folder;
    ErrorLineSink sink = nullptr;
};

ErrorState& State() {
    static ErrorState s;
    return s;
}

}  // namespace

void ReportError(std::string_view text) {
    State().flag = true;
    std::string line = "[ERROR]:";
    line += text;
    LogLine(line);
}

void LogLine(std::string_view text) {
    ErrorState& s = State();
    s.lines.emplace_back(text);
    if (s.sink) s.sink(text);
    if (s.folder.empty()) return;
    const std::string path = s.folder + "/ERRORLOG.txt";
    std::FILE* f = std::fopen(path.c_str(), s.lines.size() == 1 ? "wb" : "ab");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fwrite("\r\n", 1, 2, f);
    std::fclose(f);
}

void ClearErrors() { State().lines.clear(); }
const std::vector<std::string>& ErrorLines() { return State().lines; }
bool ErrorFlag() { return State().flag; }
void SetErrorFlag(bool on) { State().flag = on; }
void SetErrorLogFolder(const std::string& folder) { State().folder = folder; }
void SetErrorLineSink(ErrorLineSink sink) { State().sink = sink; }

}  // namespace zel
