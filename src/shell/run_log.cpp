#include "shell/run_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace norvane {
namespace {

std::mutex g_pathMutex;
std::string g_path;

// Keeps at most `limit` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

void setRunLogPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_pathMutex);
  g_path = cutUtf8(path, 259);
}

std::string runLogPath() {
  std::lock_guard<std::mutex> lock(g_pathMutex);
  return g_path;
}

void appendRunLog(const char* format, ...) {
  std::string path = runLogPath();
  if (path.empty()) return;

  char message[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (n < 0) return;
  std::string text = cutUtf8(message, 511);

  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;  // the line is dropped
  // The log is held exclusively while one line is written; a holder elsewhere
  // means this line is lost rather than interleaved.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  char date[16];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%m/%d/%y", &local);
  std::string line = std::string(date) + "-" + text + "\r\n";
  if (::lseek(fd, 0, SEEK_END) >= 0) {
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
      ssize_t w = ::write(fd, data, left);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      data += w;
      left -= static_cast<std::size_t>(w);
    }
  }
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace norvane
