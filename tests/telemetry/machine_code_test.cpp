#include "telemetry/machine_code.h"

#include "platform/key_value_store.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace norvane {
namespace {

using test::TempDir;
using test::writeFile;

// Raw identify data carries each text word low byte first in memory, high byte
// being the first character.
std::array<std::uint8_t, 512> identifyWithSerial(const std::string& serial20) {
  std::array<std::uint8_t, 512> data{};
  for (int i = 0; i < 20; i += 2) {
    data[20 + i] = static_cast<std::uint8_t>(serial20[i + 1]);
    data[20 + i + 1] = static_cast<std::uint8_t>(serial20[i]);
  }
  // Model field filled so a reader that ran past the serial would show it.
  for (int i = 54; i < 94; ++i) data[i] = 'M';
  return data;
}

TEST(MachineCodeTest, SerialKeepsLeadingAndDropsTrailingSpaces) {
  auto data = identifyWithSerial("  AB12CD34          ");
  EXPECT_EQ(serialFromIdentify(data.data()), "  AB12CD34");
  auto full = identifyWithSerial("S1234567890123456789");
  EXPECT_EQ(serialFromIdentify(full.data()), "S1234567890123456789");
  auto blank = identifyWithSerial(std::string(20, ' '));
  EXPECT_EQ(serialFromIdentify(blank.data()), "");
  EXPECT_EQ(trimSerial("  WD-WX12   \n"), "  WD-WX12");
}

TEST(MachineCodeTest, FirmwareChecksumsCoverTwoOverlappingWindows) {
  std::array<std::uint8_t, kFirmwareBytes> firmware{};
  EXPECT_EQ(firmwareChecksumText(firmware.data()), "F1E8BA9EF1E8BA9E");

  // A byte below 1024 belongs to the first window only, one in 1024..2047 to
  // both, one in 2048..3071 to the second only, one above 3071 to neither.
  struct Case {
    std::size_t offset;
    bool firstChanges, secondChanges;
  };
  for (Case c : {Case{10, true, false}, Case{1500, true, true}, Case{2500, false, true}, Case{4000, false, false}}) {
    std::array<std::uint8_t, kFirmwareBytes> changed{};
    changed[c.offset] = 0x5A;
    std::string text = firmwareChecksumText(changed.data());
    ASSERT_EQ(text.size(), 16u);
    EXPECT_EQ(text.substr(0, 8) != "F1E8BA9E", c.firstChanges) << c.offset;
    EXPECT_EQ(text.substr(8) != "F1E8BA9E", c.secondChanges) << c.offset;
  }
}

TEST(MachineCodeTest, UidFromKnownHardwareTexts) {
  // No disk and no firmware: MD5 of the empty text, hashed again.
  EXPECT_EQ(uidFromMachineCode(machineCodeFromHardware("")), "74BE16979710D4C4");
  // No machine code at all: the digest of "1".
  EXPECT_EQ(uidFromMachineCode(""), "C4CA4238A0B92382");
  EXPECT_EQ(machineCodeFromHardware(""), "d41d8cd98f00b204e9800998ecf8427e");
  // Only an all-zero firmware area.
  const std::string code = machineCodeFromHardware("F1E8BA9EF1E8BA9E");
  EXPECT_EQ(code, md5Hex("F1E8BA9EF1E8BA9E"));
  EXPECT_TRUE(std::regex_match(uidFromMachineCode(code), std::regex("[0-9A-F]{16}")));
}

TEST(MachineCodeTest, DiskSerialsFromSysfsInNameOrder) {
  TempDir root;
  const std::string block = root.file("block");
  auto disk = [&](const std::string& name, const std::string& serialFile, const std::string& serial,
                  const char* removable = "0\n") {
    std::filesystem::create_directories(block + "/" + name + "/device");
    writeFile(block + "/" + name + "/removable", removable);
    if (!serialFile.empty()) writeFile(block + "/" + name + "/" + serialFile, serial);
  };
  disk("vda", "serial", "VIRT-0042\n");
  disk("nvme0n1", "device/serial", "  AB12CD34          \n");
  disk("loop0", "device/serial", "LOOPSERIAL\n");
  disk("sr0", "device/serial", "OPTICAL\n");
  disk("sdb", "device/serial", "USBSTICK\n", "1\n");
  disk("sda", "", "");  // answers nothing: skipped

  std::filesystem::create_directories(root.file("dev"));
  EXPECT_EQ(readDiskSerials(block, root.file("dev")), "  AB12CD34VIRT-0042");
  EXPECT_EQ(readDiskSerials(root.file("missing"), root.file("dev")), "");
}

TEST(MachineCodeTest, FirmwareReadFromTheMemoryDeviceOffset) {
  TempDir dir;
  const std::string memory = dir.file("mem");
  {
    // Zeros at the firmware address, non-zero bytes just before and after it.
    std::string image(kFirmwareAddress + kFirmwareBytes + 16, '\0');
    image[kFirmwareAddress - 1] = 'x';
    image[kFirmwareAddress + kFirmwareBytes] = 'y';
    writeFile(memory, image);
  }
  EXPECT_EQ(readFirmwareChecksum(memory), "F1E8BA9EF1E8BA9E");

  const std::string shortImage = dir.file("short");
  writeFile(shortImage, std::string(kFirmwareAddress + 100, '\0'));
  EXPECT_EQ(readFirmwareChecksum(shortImage), "");
  EXPECT_EQ(readFirmwareChecksum(dir.file("absent")), "");
}

TEST(MachineCodeTest, StoredUidIsStable) {
  ASSERT_TRUE(storeMachineCode());
  auto first = machineStore().readText("uid");
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(std::regex_match(*first, std::regex("[0-9A-F]{16}"))) << *first;
  ASSERT_TRUE(storeMachineCode());
  EXPECT_EQ(machineStore().readText("uid"), first);

  std::string code;
  EXPECT_FALSE(computeMachineCode(code, 0));
  EXPECT_TRUE(code.empty());
  ASSERT_TRUE(computeMachineCode(code, 9));
  EXPECT_EQ(code.size(), 8u);
}

}  // namespace
}  // namespace norvane
