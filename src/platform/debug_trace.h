#pragma once
// Diagnostic lines for developers: never shown to the user. They go to
// standard error, and only while the environment variable NORVANE_TRACE is set.
namespace norvane {

// printf-style; the line is cut at 511 characters.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A step of the start, as "start +12.3 ms: step": the time since the first
// such line of the process (the entry routine writes one first), to see
// where a start spends its time.
void TraceStartStep(const char* step);

}  // namespace norvane
