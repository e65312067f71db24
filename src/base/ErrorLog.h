// The engine-wide error reporter: the error flag, the in-memory error list and
// "ERRORLOG.txt". A subsystem that meets a bad argument, a missing file or a
// failed operation calls ReportError and carries on; the shell shows the list
// on its error screen from the next frame on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Sets the error flag and logs "[ERROR]:" + text.
void ReportError(std::string_view text);
// Appends a line to the error list and to the log file. The log file is
// truncated when the list holds exactly this one line, appended otherwise;
// file errors are ignored.
void LogLine(std::string_view text);
// Empties the error list (a game reset).
void ClearErrors();
const std::vector<std::string>& ErrorLines();

bool ErrorFlag();
void SetErrorFlag(bool on);

// Folder that receives "ERRORLOG.txt" (the game root); empty = no file is written.
void SetErrorLogFolder(const std::string& folder);

// Receives every line as it is logged (the headless runner echoes them);
// nullptr to remove.
using ErrorLineSink = void (*)(std::string_view line);
void SetErrorLineSink(ErrorLineSink sink);

}  // namespace zel
