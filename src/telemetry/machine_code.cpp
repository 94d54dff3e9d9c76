#include "telemetry/machine_code.h"

#include "platform/key_value_store.h"

#include <zlib.h>

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace norvane {
namespace {

constexpr std::size_t kMaxDisks = 4;

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool isWholeFixedDiskName(const std::string& name) {
  for (const char* skipped : {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd", "mtd"}) {
    if (startsWith(name, skipped)) return false;
  }
  return !name.empty();
}

std::string readSmallFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::string text;
  char buffer[256];
  in.read(buffer, sizeof buffer);
  text.assign(buffer, static_cast<std::size_t>(in.gcount()));
  return text;
}

// HDIO_GET_IDENTITY hands out the identify data with its text fields already
// in reading order.
std::string serialByIdentity(const std::string& device) {
  int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "";
  struct hd_driveid id = {};
  std::string serial;
  if (::ioctl(fd, HDIO_GET_IDENTITY, &id) == 0) {
    serial = trimSerial(std::string(reinterpret_cast<const char*>(id.serial_no), sizeof id.serial_no));
  }
  ::close(fd);
  return serial;
}

std::string serialFromSysfs(const std::filesystem::path& disk) {
  for (const char* relative : {"device/serial", "serial"}) {
    std::string serial = trimSerial(readSmallFile(disk / relative));
    if (!serial.empty()) return serial;
  }
  return "";
}

}  // namespace

std::string trimSerial(const std::string& field) {
  std::string serial = field.substr(0, field.find('\0'));
  while (!serial.empty() && (serial.back() == ' ' || serial.back() == '\n' || serial.back() == '\r')) {
    serial.pop_back();
  }
  return serial;
}

std::string serialFromIdentify(const std::uint8_t identify[512]) {
  std::string field;
  for (int word = 10; word < 20; ++word) {
    const std::uint8_t low = identify[2 * word];
    const std::uint8_t high = identify[2 * word + 1];
    field += static_cast<char>(high);
    field += static_cast<char>(low);
  }
  return trimSerial(field);
}

std::string readDiskSerials(const std::string& sysBlock, const std::string& devDir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(sysBlock, ec)) {
    std::string name = entry.path().filename().string();
    if (!isWholeFixedDiskName(name)) continue;
    if (trimSerial(readSmallFile(entry.path() / "removable")) == "1") continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  std::string text;
  std::size_t asked = 0;
  for (const std::string& name : names) {
    if (asked++ == kMaxDisks) break;
    std::string serial = serialByIdentity(devDir + "/" + name);
    if (serial.empty()) serial = serialFromSysfs(std::filesystem::path(sysBlock) / name);
    text += serial;
  }
  if (text.size() > kHardwareTextMaxChars) text.resize(kHardwareTextMaxChars);
  return text;
}

std::string firmwareChecksumText(const std::uint8_t firmware[kFirmwareBytes]) {
  const uLong first = crc32(crc32(0L, Z_NULL, 0), firmware, 2048);
  const uLong second = crc32(crc32(0L, Z_NULL, 0), firmware + 1024, 2048);
  char text[32];
  std::snprintf(text, sizeof text, "%04lX%04lX", static_cast<unsigned long>(first),
                static_cast<unsigned long>(second));
  return text;
}

std::string readFirmwareChecksum(const std::string& memoryDevice) {
  int fd = ::open(memoryDevice.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  std::uint8_t firmware[kFirmwareBytes];
  std::size_t got = 0;
  while (got < kFirmwareBytes) {
    ssize_t n = ::pread(fd, firmware + got, kFirmwareBytes - got, static_cast<off_t>(kFirmwareAddress + got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got != kFirmwareBytes) return "";
  return firmwareChecksumText(firmware);
}

std::string machineCodeFromHardware(const std::string& hardwareText) {
  return md5Hex(hardwareText.substr(0, kHardwareTextMaxChars));
}

std::string uidFromMachineCode(const std::string& machineCode) {
  std::string uid = md5Hex(machineCode.empty() ? std::string("1") : machineCode).substr(0, 16);
  for (char& c : uid) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return uid;
}

bool computeMachineCode(std::string& code, std::size_t bufferChars) {
  code.clear();
  if (bufferChars == 0) return false;
  std::string hardware = readDiskSerials();
  hardware += readFirmwareChecksum();
  code = machineCodeFromHardware(hardware);
  if (code.size() > bufferChars - 1) code.resize(bufferChars - 1);
  return true;
}

bool storeMachineCode() {
  std::string code;
  computeMachineCode(code);
  return machineStore().writeText("uid", uidFromMachineCode(code));
}

}  // namespace norvane
