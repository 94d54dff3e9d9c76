#include "platform/profile_file.h"

#include "platform/file_io.h"
#include "platform/utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace norvane {
namespace {

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> readLines(const std::string& path, bool& exists) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  exists = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    // Editors on other systems like to start a UTF-8 file with a byte-order
    // mark; left in place it would hide the first section.
    if (lines.empty() && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "[name]" -> name; nullopt for other lines.
std::optional<std::string> sectionName(const std::string& line) {
  std::string t = trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return trim(t.substr(1, close - 1));
}

// "key=value" -> key; nullopt for lines without "=" or comment lines.
std::optional<std::string> keyName(const std::string& line) {
  std::string t = trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '#') return std::nullopt;
  std::size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return trim(line.substr(0, eq));
}

struct Location {
  long sectionLine = -1;  // index of the "[section]" line
  long sectionEnd = -1;   // one past the last line that belongs to the section
  long keyLine = -1;
};

Location locate(const std::vector<std::string>& lines, const std::string& section,
                const std::string& key) {
  Location loc;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = sectionName(lines[i])) {
      if (inSection) break;
      if (equalsIgnoreCase(*name, section)) {
        inSection = true;
        loc.sectionLine = static_cast<long>(i);
        loc.sectionEnd = static_cast<long>(i) + 1;
      }
      continue;
    }
    if (!inSection) continue;
    if (!trim(lines[i]).empty()) loc.sectionEnd = static_cast<long>(i) + 1;
    if (loc.keyLine < 0) {
      if (auto k = keyName(lines[i]); k && equalsIgnoreCase(*k, key)) loc.keyLine = static_cast<long>(i);
    }
  }
  return loc;
}

// Every change is a read-modify-write of the whole file. Threads of this
// process (the window thread saving form input, the update worker, the login
// check) may change the same file at once; they take turns here so that no
// change is lost.
std::mutex& writeMutex() {
  static std::mutex mutex;
  return mutex;
}

// Writes the lines to a temporary file of its own beside `path` and renames
// it over the file. The new file keeps the permissions of the one it
// replaces (a file the user made private stays private); a new file gets the
// usual permissions for the user's umask.
bool writeLinesAtomically(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  static unsigned counter = 0;  // guarded by writeMutex()
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(++counter);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = true;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
  ok = ok && writeFully(fd, text);
  ok = ::close(fd) == 0 && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

// A value is one line of the file: a line break inside it would end the
// entry early and turn the rest into lines of their own (even a new section).
std::string oneLine(const std::string& value) {
  std::string line = value;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

}  // namespace

std::optional<std::string> readProfileValue(const std::string& path, const std::string& section,
                                            const std::string& key, std::size_t maxChars) {
  bool exists = false;
  std::vector<std::string> lines = readLines(path, exists);
  if (!exists) return std::nullopt;
  Location loc = locate(lines, section, key);
  if (loc.keyLine < 0) return std::nullopt;
  const std::string& line = lines[static_cast<std::size_t>(loc.keyLine)];
  std::string value = trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                            (value.front() == '\'' && value.back() == '\''))) {
    value = value.substr(1, value.size() - 2);
  }
  return utf8Prefix(fromUtf8(value), maxChars);
}

std::string readProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue,
                              std::size_t maxChars) {
  auto value = readProfileValue(path, section, key, maxChars);
  return value ? *value : utf8Prefix(defaultValue, maxChars);
}

int readProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue) {
  auto value = readProfileValue(path, section, key);
  if (!value) return defaultValue;
  return static_cast<int>(std::strtol(value->c_str(), nullptr, 10));
}

bool writeProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(writeMutex());
  bool exists = false;
  std::vector<std::string> lines = readLines(path, exists);
  Location loc = locate(lines, section, key);
  std::string entry = key + "=" + oneLine(value);
  if (loc.keyLine >= 0) {
    lines[static_cast<std::size_t>(loc.keyLine)] = entry;
  } else if (loc.sectionLine >= 0) {
    lines.insert(lines.begin() + loc.sectionEnd, entry);
  } else {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  return writeLinesAtomically(path, lines);
}

bool deleteProfileKey(const std::string& path, const std::string& section,
                      const std::string& key) {
  std::lock_guard<std::mutex> lock(writeMutex());
  bool exists = false;
  std::vector<std::string> lines = readLines(path, exists);
  if (!exists) return true;
  Location loc = locate(lines, section, key);
  if (loc.keyLine < 0) return true;
  lines.erase(lines.begin() + loc.keyLine);
  return writeLinesAtomically(path, lines);
}

}  // namespace norvane
