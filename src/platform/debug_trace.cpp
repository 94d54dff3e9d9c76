#include "platform/debug_trace.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace norvane {

void DebugTrace(const char* format, ...) {
  if (std::getenv("NORVANE_TRACE") == nullptr) return;
  char line[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  std::size_t len = static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1;
  // One write() per line so lines of different threads do not interleave.
  ssize_t ignored = ::write(STDERR_FILENO, line, len);
  (void)ignored;
}

void TraceStartStep(const char* step) {
  if (std::getenv("NORVANE_TRACE") == nullptr) return;
  static const auto first = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first).count();
  DebugTrace("start +%.1f ms: %s\n", ms, step);
}

}  // namespace norvane
