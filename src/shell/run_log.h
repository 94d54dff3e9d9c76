#pragma once
// The run log: an append-only text file ("run.log" in the program folder)
// for failures the user never sees. Each line is "MM/DD/YY-" followed by the
// message and CR LF. The file is opened for every line and held exclusively
// while the line is written; when another holder has it locked or it cannot
// be opened, the line is dropped silently.
#include <string>

namespace norvane {

// Sets the log file path (at most 259 bytes are kept). Until set, nothing is logged.
void setRunLogPath(const std::string& path);
std::string runLogPath();

// printf-style; the message is cut at 511 characters before the line is built.
void appendRunLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace norvane
