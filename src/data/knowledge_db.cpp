#include "data/knowledge_db.h"

#include <sqlcipher/sqlite3.h>
#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

#include "platform/utf8.h"

namespace norvane {

const char databaseKey[] = "Hq7vLmT2wXpR9sKdB4nZcJ6yFgQ1aEoU";
std::string KnowledgeDbPath;

namespace {

// SQLCipher 3.x defaults: PBKDF2-HMAC-SHA1 over the passphrase and the
// 16-byte salt at the start of the file, 64000 iterations, a 256-bit key.
constexpr int kSaltBytes = 16;
constexpr int kKdfIterations = 64000;
constexpr int kKeyBytes = 32;

bool readSalt(const std::string& path, std::string& salt) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char buffer[kSaltBytes];
  std::size_t n = std::fread(buffer, 1, kSaltBytes, f);
  std::fclose(f);
  if (n != kSaltBytes) return false;
  salt.assign(buffer, kSaltBytes);
  return true;
}

// "x'<64 hex digits>'": SQLCipher takes this as the raw page key and reads
// the salt from the file, skipping the passphrase derivation.
bool rawKeyFor(const std::string& passphrase, const std::string& salt, std::string& rawKey) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, std::string> derived;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = derived.find({passphrase, salt});
  if (found != derived.end()) {
    rawKey = found->second;
    return true;
  }
  unsigned char key[kKeyBytes];
  if (PKCS5_PBKDF2_HMAC_SHA1(passphrase.data(), static_cast<int>(passphrase.size()),
                             reinterpret_cast<const unsigned char*>(salt.data()), kSaltBytes,
                             kKdfIterations, kKeyBytes, key) != 1) {
    return false;
  }
  static const char digits[] = "0123456789ABCDEF";
  std::string text = "x'";
  for (unsigned char b : key) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  text += "'";
  derived.emplace(std::make_pair(passphrase, salt), text);
  rawKey = std::move(text);
  return true;
}

sqlite3* openHandle(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

std::string columnText(sqlite3_stmt* st, int column) {
  const unsigned char* text = sqlite3_column_text(st, column);
  return text ? fromUtf8(reinterpret_cast<const char*>(text)) : std::string();
}

}  // namespace

sqlite3* openKeyedDatabaseUncached(const std::string& path, const std::string& passphrase, int flags) {
  sqlite3* db = openHandle(path, flags);
  if (db == nullptr) return nullptr;
  if (sqlite3_key(db, passphrase.data(), static_cast<int>(passphrase.size())) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

sqlite3* openKeyedDatabase(const std::string& path, const std::string& passphrase, int flags) {
  std::string salt;
  std::string rawKey;
  // A file too short to carry a salt (or a new file) takes the passphrase.
  if (!readSalt(path, salt) || !rawKeyFor(passphrase, salt, rawKey)) {
    return openKeyedDatabaseUncached(path, passphrase, flags);
  }
  sqlite3* db = openHandle(path, flags);
  if (db == nullptr) return nullptr;
  if (sqlite3_key(db, rawKey.data(), static_cast<int>(rawKey.size())) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

bool databaseReadable(sqlite3* db) {
  return db != nullptr &&
         sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string shortenCoordinate(std::string_view text) {
  std::size_t point = text.find('.');
  if (point == std::string_view::npos || point + 3 >= text.size()) return std::string(text);
  return std::string(text.substr(0, point + 3));
}

std::string shortenPlaceName(const std::string& mergerName) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = mergerName.find(',', start);
    parts.push_back(mergerName.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::string result;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    // A municipality's short name ("北京") before its full one ("北京市").
    if (i == 1 && parts.size() >= 3 && utf8Length(parts[1]) == 2 &&
        parts[2].compare(0, parts[1].size(), parts[1]) == 0) {
      continue;
    }
    result += parts[i];
  }
  return result;
}

// One prepared query: binds its arguments, steps to the first row.
class KnowledgeDb::Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (db != nullptr) sqlite3_prepare_v2(db, sql, -1, &st_, nullptr);
  }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool prepared() const { return st_ != nullptr; }
  Statement& bind(int index, int value) {
    if (st_) sqlite3_bind_int(st_, index, value);
    return *this;
  }
  Statement& bind(int index, const std::string& value) {
    if (st_) sqlite3_bind_text(st_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool step() { return st_ != nullptr && sqlite3_step(st_) == SQLITE_ROW; }
  bool isNull(int column) const { return sqlite3_column_type(st_, column) == SQLITE_NULL; }
  std::string text(int column) const { return columnText(st_, column); }
  std::string rawText(int column) const {
    const unsigned char* t = sqlite3_column_text(st_, column);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
  }
  int integer(int column) const { return sqlite3_column_int(st_, column); }
  // Sets `out` from a non-NULL column; leaves it alone otherwise.
  void store(int column, std::string& out) const {
    if (!isNull(column)) out = text(column);
  }

 private:
  sqlite3_stmt* st_ = nullptr;
};

namespace {

// The lookups keep the length limit of statements built as text in a
// 512-byte buffer (1024 for sclm1): an argument that would not fit finds
// nothing, so bound and textual statements return the same rows. `format` is
// that textual statement, with "%s" for each argument and "%%" for "%".
bool fits(const char* format, std::initializer_list<const std::string*> args,
          std::size_t buffer = 512) {
  std::size_t length = 0;
  auto arg = args.begin();
  for (const char* c = format; *c; ++c) {
    if (c[0] == '%' && c[1] == '%') {
      ++length;
      ++c;
    } else if (c[0] == '%' && c[1] == 's' && arg != args.end()) {
      length += (*arg++)->size();
      ++c;
    } else {
      ++length;
    }
  }
  return length < buffer;
}

}  // namespace

KnowledgeDb::KnowledgeDb(const std::string& path, bool pathIsUtf8) : path_(path) {
  if (!path.empty()) open(path, pathIsUtf8);
}

KnowledgeDb::~KnowledgeDb() { close(); }

bool KnowledgeDb::prepareKey(const std::string& path) {
  std::string salt;
  std::string rawKey;
  return readSalt(path, salt) && rawKeyFor(databaseKey, salt, rawKey);
}

bool KnowledgeDb::open(const std::string& path, bool pathIsUtf8) {
  close();
  path_ = path;
  const std::string file = pathIsUtf8 ? path : toUtf8(path);
  sqlite3* db = openKeyedDatabase(file, databaseKey, SQLITE_OPEN_READONLY);
  if (db == nullptr) return false;
  if (!databaseReadable(db)) {  // wrong key, not a database, unreadable
    sqlite3_close(db);
    return false;
  }
  db_ = db;
  return true;
}

void KnowledgeDb::close() {
  if (db_ != nullptr) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

bool KnowledgeDb::childAreas(int pid, std::vector<AreaEntry>& out) {
  if (db_ == nullptr) return false;
  Statement st(db_, "select id,name from area where pid=?");
  if (!st.prepared()) return false;
  st.bind(1, pid);
  while (st.step()) {
    if (st.isNull(1)) continue;
    out.push_back(AreaEntry{st.text(1), st.integer(0)});
  }
  return true;
}

bool KnowledgeDb::areaLocation(int id, AreaLocation& out) {
  if (db_ == nullptr) return false;
  Statement st(db_, "select merger_name,lng,lat from area where id=?");
  if (!st.bind(1, id).step() || st.isNull(0) || st.isNull(1) || st.isNull(2)) return false;
  out.place = st.text(0);
  out.longitude = shortenCoordinate(st.text(1));
  out.latitude = shortenCoordinate(st.text(2));
  return true;
}

std::string KnowledgeDb::charText(const std::string& word) {
  if (db_ == nullptr || !fits("select js from jxjs where wd='%s'", {&word})) return {};
  Statement st(db_, "select js from jxjs where wd=?");
  return st.bind(1, toUtf8(word)).step() ? st.text(0) : std::string();
}

std::string KnowledgeDb::zodiacRadicalText(const std::string& sx, const std::string& pp) {
  if (db_ == nullptr || !fits("select js from sxpp where sx='%s' and pp like '%%%s%%'", {&sx, &pp})) return {};
  Statement st(db_, "select js from sxpp where sx=? and pp like '%' || ? || '%'");
  return st.bind(1, toUtf8(sx)).bind(2, toUtf8(pp)).step() ? st.text(0) : std::string();
}

bool KnowledgeDb::cgsmTexts(const std::string& id, std::string& chy, std::string& js) {
  if (db_ == nullptr || !fits("select chy,js from cgsm where id='%s'", {&id})) return false;
  Statement st(db_, "select chy,js from cgsm where id=?");
  if (!st.bind(1, id).step()) return false;
  st.store(0, chy);
  st.store(1, js);
  return true;
}

std::string KnowledgeDb::sclm1Text(const std::string& dayg, const std::string& timegz) {
  if (db_ == nullptr || !fits("select js from sclm1 where dayg='%s' and timegz='%s'", {&dayg, &timegz}, 1024)) return {};
  Statement st(db_, "select js from sclm1 where dayg=? and timegz=?");
  return st.bind(1, toUtf8(dayg)).bind(2, toUtf8(timegz)).step() ? st.text(0) : std::string();
}

std::string KnowledgeDb::sclm2Text(const std::string& bz, const std::string& sid) {
  if (db_ == nullptr || !fits("select js from sclm2 where bz='%s' and sid='%s'", {&bz, &sid})) return {};
  Statement st(db_, "select js from sclm2 where bz=? and sid=?");
  return st.bind(1, toUtf8(bz)).bind(2, toUtf8(sid)).step() ? st.text(0) : std::string();
}

bool KnowledgeDb::signTexts(const std::string& sid, std::string& js1, std::string& js2) {
  if (db_ == nullptr || !fits("select js1,js2 from sxxz where sid='%s'", {&sid})) return false;
  Statement st(db_, "select js1,js2 from sxxz where sid=?");
  if (!st.bind(1, toUtf8(sid)).step()) return false;
  st.store(0, js1);
  st.store(1, js2);
  return true;
}

std::string KnowledgeDb::signText2Utf8(const std::string& sid) {
  if (db_ == nullptr || !fits("select js2 from sxxz where sid='%s'", {&sid})) return {};
  Statement st(db_, "select js2 from sxxz where sid=?");
  if (!st.bind(1, toUtf8(sid)).step() || st.isNull(0)) return {};
  return st.rawText(0);
}

std::string KnowledgeDb::birthdayText(const std::string& rq) {
  if (db_ == nullptr || !fits("select js from srmm where rq='%s'", {&rq})) return {};
  Statement st(db_, "select js from srmm where rq=?");
  return st.bind(1, toUtf8(rq)).step() ? st.text(0) : std::string();
}

bool KnowledgeDb::numberTexts3(int id, std::string& jx, std::string& js2, std::string& js3) {
  if (db_ == nullptr) return false;
  Statement st(db_, "select jx,js2,js3 from sljs where id=?");
  if (!st.bind(1, id).step()) return false;
  st.store(0, jx);
  st.store(1, js2);
  st.store(2, js3);
  return true;
}

bool KnowledgeDb::numberTexts4(int id, std::string& jx, std::string& js1, std::string& js2,
                               std::string& js3) {
  if (db_ == nullptr) return false;
  Statement st(db_, "select jx,js1,js2,js3 from sljs where id=?");
  if (!st.bind(1, id).step()) return false;
  for (int c = 0; c < 4; ++c) {
    if (st.isNull(c)) return false;
  }
  jx = st.text(0);
  js1 = st.text(1);
  js2 = st.text(2);
  js3 = st.text(3);
  return true;
}

bool KnowledgeDb::gxfxById(const std::string& id, std::string& name, std::string& js2, std::string& sid) {
  if (db_ == nullptr || !fits("select name,js2,sid from gxfx where id='%s'", {&id})) return false;
  Statement st(db_, "select name,js2,sid from gxfx where id=?");
  if (!st.bind(1, id).step()) return false;
  st.store(0, name);
  st.store(1, js2);
  st.store(2, sid);
  return true;
}

bool KnowledgeDb::gxfxNameById(const std::string& id, std::string& name, std::string& js2) {
  if (db_ == nullptr || !fits("select name,js2 from gxfx where id='%s'", {&id})) return false;
  Statement st(db_, "select name,js2 from gxfx where id=?");
  if (!st.bind(1, id).step()) return false;
  st.store(0, name);
  st.store(1, js2);
  return true;
}

bool KnowledgeDb::gxfxBySid(const std::string& sid, std::string& jx, std::string& name, std::string& js3) {
  if (db_ == nullptr || !fits("select jx,name,js3 from gxfx where sid='%s'", {&sid})) return false;
  Statement st(db_, "select jx,name,js3 from gxfx where sid=?");
  if (!st.bind(1, sid).step()) return false;
  st.store(0, jx);
  st.store(1, name);
  st.store(2, js3);
  return true;
}

bool KnowledgeDb::combinationTexts(int id, std::string& jx, std::string& js) {
  if (db_ == nullptr) return false;
  Statement st(db_, "select jx,js from phjs where id=?");
  if (!st.bind(1, id).step()) return false;
  st.store(0, jx);
  st.store(1, js);
  return true;
}

}  // namespace norvane
