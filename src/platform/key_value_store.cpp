#include "platform/key_value_store.h"

#include "platform/folders.h"
#include "platform/profile_file.h"

#include <cstdlib>
#include <sys/stat.h>

namespace norvane {
namespace {

constexpr const char* kSection = "Norvane";
constexpr const char* kTextTag = "sz:";
constexpr const char* kNumberTag = "dword:";

bool startsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

std::string parentOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

KeyValueStore::KeyValueStore(std::string path) : path_(std::move(path)) {}

std::optional<std::string> KeyValueStore::raw(const std::string& name) const {
  if (path_.empty()) return std::nullopt;
  return readProfileValue(path_, kSection, name, kStoreValueMaxChars);
}

std::optional<std::string> KeyValueStore::readText(const std::string& name) const {
  auto value = raw(name);
  if (!value || !startsWith(*value, kTextTag)) return std::nullopt;
  return value->substr(std::char_traits<char>::length(kTextTag));
}

std::optional<std::uint32_t> KeyValueStore::readNumber(const std::string& name) const {
  auto value = raw(name);
  if (!value || !startsWith(*value, kNumberTag)) return std::nullopt;
  const char* digits = value->c_str() + std::char_traits<char>::length(kNumberTag);
  char* end = nullptr;
  unsigned long n = std::strtoul(digits, &end, 10);
  if (end == digits) return std::nullopt;
  return static_cast<std::uint32_t>(n);
}

bool KeyValueStore::exists(const std::string& name) const { return raw(name).has_value(); }

bool KeyValueStore::writeText(const std::string& name, const std::string& value) {
  if (path_.empty()) return false;
  ensureFolder(parentOf(path_));
  // A value is one line of the file: line breaks cannot be stored.
  std::string oneLine;
  for (char c : value) oneLine += (c == '\n' || c == '\r') ? ' ' : c;
  return writeProfileString(path_, kSection, name, kTextTag + oneLine);
}

bool KeyValueStore::writeNumber(const std::string& name, std::uint32_t value) {
  if (path_.empty()) return false;
  ensureFolder(parentOf(path_));
  return writeProfileString(path_, kSection, name, kNumberTag + std::to_string(value));
}

bool KeyValueStore::remove(const std::string& name) {
  if (path_.empty()) return false;
  return deleteProfileKey(path_, kSection, name);
}

KeyValueStore userStore() {
  std::string folder = DataFolder.empty() ? locateDataFolder() : DataFolder;
  return KeyValueStore(folder.empty() ? std::string() : JoinPath(folder, "registry.ini"));
}

KeyValueStore machineStore() {
  const char* overridePath = std::getenv("NORVANE_MACHINE_STORE");
  if (overridePath && overridePath[0] != '\0') return KeyValueStore(overridePath);
  return KeyValueStore("/etc/norvane/machine.ini");
}

}  // namespace norvane
