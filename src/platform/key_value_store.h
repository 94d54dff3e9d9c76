#pragma once
// The per-user and machine-wide value stores under which the program keeps
// its account, update and machine values (the names are the ones the program
// has always used: "Account", "Token", "UpdateDay", "uid", ...).
//
// Each store is a profile file whose section "Norvane" holds one line per
// value, "name=sz:text" or "name=dword:number", so a value keeps its type:
// reading a text value as a number (or the reverse) finds nothing.
//   per-user store:  DataFolder location + "/registry.ini"
//   machine store:   /etc/norvane/machine.ini, or $NORVANE_MACHINE_STORE
// Writing the machine store needs root, as writing machine-wide values always has.
#include <cstdint>
#include <optional>
#include <string>

namespace norvane {

class KeyValueStore {
 public:
  explicit KeyValueStore(std::string path);

  const std::string& path() const { return path_; }

  std::optional<std::string> readText(const std::string& name) const;
  std::optional<std::uint32_t> readNumber(const std::string& name) const;
  bool exists(const std::string& name) const;

  bool writeText(const std::string& name, const std::string& value);
  bool writeNumber(const std::string& name, std::uint32_t value);
  // True when the value is gone afterwards (a missing value is no error).
  bool remove(const std::string& name);

 private:
  std::optional<std::string> raw(const std::string& name) const;
  std::string path_;
};

// Values are longer than any profile buffer may hold, so reads use this bound.
constexpr std::size_t kStoreValueMaxChars = 4096;

KeyValueStore userStore();
KeyValueStore machineStore();

}  // namespace norvane
