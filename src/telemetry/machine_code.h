#pragma once
// The machine code: a short text derived from the hardware that survives a
// reinstallation, so the statistics host can tell installations apart.
//
//   hardware text = the serials of the fixed disks, back to back
//                 + two CRC-32 values of the 4096 firmware bytes at physical 0xFE000
//   machine code  = MD5 of the hardware text, 32 lower-case hex digits
//   "uid"         = first 16 hex digits of the MD5 of the machine code, upper case
//                   (of "1" when no machine code could be produced)
//
// The "/makemachine" run stores the uid in the machine store; reading the
// disks and /dev/mem needs root, and a run without it computes a different code.
#include "platform/md5.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvane {

// The hardware text is cut to this many characters.
constexpr std::size_t kHardwareTextMaxChars = 4096;
// The machine code is handed out in a buffer of this many characters.
constexpr std::size_t kMachineCodeMaxChars = 256;

constexpr std::uint64_t kFirmwareAddress = 0xFE000;
constexpr std::size_t kFirmwareBytes = 4096;

// Serial text of one drive from its raw 512-byte ATA IDENTIFY data: words 10
// to 19, each word high byte first, trailing spaces removed (leading ones stay).
std::string serialFromIdentify(const std::uint8_t identify[512]);

// A serial field that is already in reading order (what the kernel hands out
// through HDIO_GET_IDENTITY and sysfs): trailing spaces, zero bytes and line
// breaks removed, leading spaces kept.
std::string trimSerial(const std::string& field);

// Serials of up to four fixed disks, in the order of their names under
// sysBlock ("/sys/block"): whole disks only (no loop, RAM, zram, device-mapper,
// RAID, optical or floppy devices, nothing removable). Each disk is asked with
// HDIO_GET_IDENTITY on devDir/<name>; when that fails, the serial the kernel
// exposes in sysfs (<disk>/device/serial, <disk>/serial) is used. Disks that
// give no serial are skipped.
std::string readDiskSerials(const std::string& sysBlock = "/sys/block", const std::string& devDir = "/dev");

// "%04X" of the CRC-32 of bytes 0..2047 followed by that of bytes 1024..3071.
std::string firmwareChecksumText(const std::uint8_t firmware[kFirmwareBytes]);

// The checksum text of the 4096 bytes at kFirmwareAddress of the given memory
// device; empty when they cannot be read.
std::string readFirmwareChecksum(const std::string& memoryDevice = "/dev/mem");

// The machine code of a hardware text.
std::string machineCodeFromHardware(const std::string& hardwareText);

// The uid stored for a machine code ("1" stands in for an empty code).
std::string uidFromMachineCode(const std::string& machineCode);

// The machine code of this machine, cut to bufferChars - 1 characters; false
// (and an empty code) when no buffer is given.
bool computeMachineCode(std::string& code, std::size_t bufferChars = kMachineCodeMaxChars);

// The "/makemachine" run: computes the uid and writes it as "uid" into the
// machine store. Returns whether the store was written (a failed write, for
// example without root, changes nothing else).
bool storeMachineCode();

}  // namespace norvane
