#pragma once
// The statistics host: usage reports arrive as Base64 text of an AES-128-ECB
// ciphertext (PKCS#7 padding) of a small JSON record; each accepted report is
// kept in an SQLite database.
#include <json/value.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace norvane::refservice {

// The key the clients encrypt their reports with (16 bytes, AES-128).
extern const char* const kReportKey;

// Strict Base64 (standard alphabet, "=" padding, length a multiple of 4);
// surrounding white space is ignored. nullopt for anything else.
std::optional<std::string> base64Decode(const std::string& text);

// AES-128-ECB decryption with PKCS#7 padding; nullopt when the length is not
// a whole number of blocks or the padding is wrong.
std::optional<std::string> aesEcbDecrypt(const std::string& cipher, const std::string& key);

// The fields of one usage report.
struct UsageReport {
  int appId = 0;
  std::string channelCode;
  std::string machineCode;
  std::string os;
  int osBit = 0;
  int typeId = 0;
  std::string version;
  std::string plainText;  // the decrypted JSON text as received
};

// Decodes one posted body into a report. A body is accepted only when it is
// Base64 of a correctly padded ciphertext of a JSON object that holds all
// seven members with their types (integers "AppId", "OsBit", "TypeId";
// strings "ChannelCode", "MachineCode", "Os", "Version"). On failure `why`
// says what was wrong.
std::optional<UsageReport> decodeReport(const std::string& body, std::string& why);

// Reports kept in SQLite (plain, no page key). Thread-safe.
class StatsStore {
 public:
  StatsStore() = default;
  ~StatsStore();
  StatsStore(const StatsStore&) = delete;
  StatsStore& operator=(const StatsStore&) = delete;

  // Opens (creating when needed) the database at path; ":memory:" keeps it in
  // memory. False with `error` set when the file cannot be used.
  bool open(const std::string& path, std::string& error);

  // Stores one report with its arrival time; false when the write failed.
  bool add(const UsageReport& report);

  // Every stored report in arrival order, as JSON objects with the record's
  // members plus "id" and "received" (seconds since the epoch).
  Json::Value all();

  // Removes every stored report.
  bool clear();

 private:
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};

}  // namespace norvane::refservice
