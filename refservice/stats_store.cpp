#include "refservice/stats_store.h"

#include <json/reader.h>
#include <openssl/evp.h>
#include <sqlcipher/sqlite3.h>

#include <ctime>
#include <memory>

namespace norvane::refservice {

const char* const kReportKey = "Kpn@Zr#305#DELTA";

namespace {

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

}  // namespace

std::optional<std::string> base64Decode(const std::string& input) {
  std::size_t begin = 0, end = input.size();
  while (begin < end && isSpace(input[begin])) ++begin;
  while (end > begin && isSpace(input[end - 1])) --end;
  std::string text = input.substr(begin, end - begin);
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      char c = text[i + k];
      if (c == '=') {
        // Padding only in the last group, only in its last two places, and
        // nothing but padding after it.
        if (i + 4 != text.size() || k < 2) return std::nullopt;
        ++padding;
        v[k] = 0;
      } else {
        if (padding > 0) return std::nullopt;
        v[k] = base64Value(c);
        if (v[k] < 0) return std::nullopt;
      }
    }
    unsigned bits = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
    out += static_cast<char>((bits >> 16) & 0xFF);
    if (padding < 2) out += static_cast<char>((bits >> 8) & 0xFF);
    if (padding < 1) out += static_cast<char>(bits & 0xFF);
  }
  return out;
}

std::optional<std::string> aesEcbDecrypt(const std::string& cipher, const std::string& key) {
  if (key.size() != 16 || cipher.empty() || cipher.size() % 16 != 0) return std::nullopt;
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  if (!ctx) return std::nullopt;
  if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()), nullptr) != 1) {
    return std::nullopt;
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), 1);
  std::string out(cipher.size() + 16, '\0');
  int written = 0, last = 0;
  if (EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &written,
                        reinterpret_cast<const unsigned char*>(cipher.data()), static_cast<int>(cipher.size())) != 1) {
    return std::nullopt;
  }
  if (EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + written, &last) != 1) {
    return std::nullopt;
  }
  out.resize(static_cast<std::size_t>(written + last));
  return out;
}

std::optional<UsageReport> decodeReport(const std::string& body, std::string& why) {
  auto cipher = base64Decode(body);
  if (!cipher) {
    why = "body is not Base64";
    return std::nullopt;
  }
  auto plain = aesEcbDecrypt(*cipher, kReportKey);
  if (!plain) {
    why = "body does not decrypt (length or padding)";
    return std::nullopt;
  }
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  bool parsed = false;
  try {
    parsed = reader->parse(plain->data(), plain->data() + plain->size(), &root, &errors);
  } catch (const std::exception&) {
    parsed = false;  // nested deeper than the reader allows
  }
  if (!parsed || !root.isObject()) {
    why = "decrypted text is not a JSON object";
    return std::nullopt;
  }
  UsageReport report;
  report.plainText = *plain;
  struct IntMember { const char* name; int* target; };
  struct TextMember { const char* name; std::string* target; };
  for (IntMember m : {IntMember{"AppId", &report.appId}, IntMember{"OsBit", &report.osBit},
                      IntMember{"TypeId", &report.typeId}}) {
    const Json::Value& v = root[m.name];
    if (!v.isInt() || v.isBool()) {
      why = std::string("member \"") + m.name + "\" missing or not an integer";
      return std::nullopt;
    }
    *m.target = v.asInt();
  }
  for (TextMember m : {TextMember{"ChannelCode", &report.channelCode}, TextMember{"MachineCode", &report.machineCode},
                       TextMember{"Os", &report.os}, TextMember{"Version", &report.version}}) {
    const Json::Value& v = root[m.name];
    if (!v.isString()) {
      why = std::string("member \"") + m.name + "\" missing or not a string";
      return std::nullopt;
    }
    *m.target = v.asString();
  }
  return report;
}

StatsStore::~StatsStore() {
  if (db_ != nullptr) sqlite3_close(db_);
}

bool StatsStore::open(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (db_ != nullptr) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    error = db_ ? sqlite3_errmsg(db_) : "cannot open database";
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  const char* schema =
      "CREATE TABLE IF NOT EXISTS reports ("
      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
      " received INTEGER NOT NULL,"
      " app_id INTEGER, channel_code TEXT, machine_code TEXT, os TEXT,"
      " os_bit INTEGER, type_id INTEGER, version TEXT, plain TEXT)";
  char* message = nullptr;
  if (sqlite3_exec(db_, schema, nullptr, nullptr, &message) != SQLITE_OK) {
    error = message ? message : "cannot create the reports table";
    sqlite3_free(message);
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  return true;
}

bool StatsStore::add(const UsageReport& r) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (db_ == nullptr) return false;
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "INSERT INTO reports (received, app_id, channel_code, machine_code, os, os_bit, type_id, version, plain)"
      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
  if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_int64(stmt, 1, static_cast<sqlite3_int64>(std::time(nullptr)));
  sqlite3_bind_int(stmt, 2, r.appId);
  sqlite3_bind_text(stmt, 3, r.channelCode.c_str(), static_cast<int>(r.channelCode.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 4, r.machineCode.c_str(), static_cast<int>(r.machineCode.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 5, r.os.c_str(), static_cast<int>(r.os.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt, 6, r.osBit);
  sqlite3_bind_int(stmt, 7, r.typeId);
  sqlite3_bind_text(stmt, 8, r.version.c_str(), static_cast<int>(r.version.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 9, r.plainText.c_str(), static_cast<int>(r.plainText.size()), SQLITE_TRANSIENT);
  bool done = sqlite3_step(stmt) == SQLITE_DONE;
  sqlite3_finalize(stmt);
  return done;
}

Json::Value StatsStore::all() {
  std::lock_guard<std::mutex> lock(mutex_);
  Json::Value list(Json::arrayValue);
  if (db_ == nullptr) return list;
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "SELECT id, received, app_id, channel_code, machine_code, os, os_bit, type_id, version, plain"
      " FROM reports ORDER BY id";
  if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) return list;
  auto text = [&](int column) {
    const unsigned char* p = sqlite3_column_text(stmt, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
             : std::string();
  };
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    Json::Value row(Json::objectValue);
    row["id"] = static_cast<Json::Int64>(sqlite3_column_int64(stmt, 0));
    row["received"] = static_cast<Json::Int64>(sqlite3_column_int64(stmt, 1));
    row["AppId"] = sqlite3_column_int(stmt, 2);
    row["ChannelCode"] = text(3);
    row["MachineCode"] = text(4);
    row["Os"] = text(5);
    row["OsBit"] = sqlite3_column_int(stmt, 6);
    row["TypeId"] = sqlite3_column_int(stmt, 7);
    row["Version"] = text(8);
    row["plain"] = text(9);
    list.append(row);
  }
  sqlite3_finalize(stmt);
  return list;
}

bool StatsStore::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (db_ == nullptr) return false;
  return sqlite3_exec(db_, "DELETE FROM reports", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace norvane::refservice
