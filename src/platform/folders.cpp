#include "platform/folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace norvane {

std::string ProgramFolder;
std::string DataFolder;

std::string locateProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path().string();
}

std::string locateDataFolder() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return {};
    base = JoinPath(home, ".config");
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return JoinPath(base, "Norvane");
}

bool ensureFolder(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), F_OK) == 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

}  // namespace norvane
