#include "data/favorites_store.h"

#include <sqlcipher/sqlite3.h>

#include <cstdio>

#include "platform/folders.h"
#include "platform/utf8.h"

namespace norvane {
namespace {

// The table as every version of the program creates it (the tabs are part of
// the stored schema text).
const char kCreateTable[] =
    "CREATE TABLE IF NOT EXISTS favorit \t\t\t\t\t\t\t\t\t\t(Xing TEXT,Ming TEXT,FengShu DECIMAL,"
    "WuXing INTEGER,\t\t\t\t\t\t\t\t\t\tShengXiao INTEGER,JiXiong INTEGER,ChangYongDu INTEGER,"
    "YinLv INTEGER,\t\t\t\t\t\t\t\t\t\tBirthday TEXT,CityId INTEGER,Gender INTEGER,Longitude DECIMAL,"
    "\t\t\t\t\t\t\t\t\t\tIsXiaoming INTEGER)";

// The name's source lives in four TEXT columns after the thirteen of the
// table: added to every file that lacks them (the rows stay), never renamed,
// so a program that knows only the thirteen still reads the file by position
// and still writes it by column name.
const char* const kSourceColumns[4] = {"ChuChuText", "ChuChuTitle", "ChuChuAuthor", "ChuChuBook"};

const char kInsert[] =
    "INSERT INTO favorit('Xing','Ming','FengShu','WuXing','ShengXiao','JiXiong',\t\t\t\t\t"
    "'ChangYongDu','YinLv','Birthday','CityId','Gender','Longitude','IsXiaoming',"
    "'ChuChuText','ChuChuTitle','ChuChuAuthor','ChuChuBook') \t\t\t\t\t"
    "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

std::string formatNumber(const char* format, double value) {
  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, format, value);
  return n > 0 && static_cast<std::size_t>(n) < sizeof buffer ? std::string(buffer, n) : std::string("0");
}

void bindText(sqlite3_stmt* st, int index, const std::string& text) {
  sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

const char* columnText(sqlite3_stmt* st, int column) {
  return reinterpret_cast<const char*>(sqlite3_column_text(st, column));
}

std::string columnString(sqlite3_stmt* st, int column) {
  if (column < 0) return {};
  const char* text = columnText(st, column);
  return text ? fromUtf8(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(st, column))))
              : std::string();
}

bool hasTable(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  bool found = sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='favorit'", -1, &st,
                                  nullptr) == SQLITE_OK &&
               sqlite3_step(st) == SQLITE_ROW;
  sqlite3_finalize(st);
  return found;
}

// Which of the source columns the table has; false when it cannot be asked.
bool findSourceColumns(sqlite3* db, bool (&present)[4]) {
  for (bool& p : present) p = false;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA table_info(favorit)", -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return false;
  }
  while (sqlite3_step(st) == SQLITE_ROW) {
    const char* name = columnText(st, 1);
    for (int i = 0; i < 4; ++i)
      if (name != nullptr && sqlite3_stricmp(name, kSourceColumns[i]) == 0) present[i] = true;
  }
  sqlite3_finalize(st);
  return true;
}

// Adds the source columns the table lacks. Runs inside the caller's
// transaction when there is one; false when a column could not be added.
bool addSourceColumns(sqlite3* db) {
  bool present[4];
  if (!findSourceColumns(db, present)) return false;
  for (int i = 0; i < 4; ++i) {
    if (present[i]) continue;
    const std::string add = std::string("ALTER TABLE favorit ADD COLUMN ") + kSourceColumns[i] + " TEXT";
    if (sqlite3_exec(db, add.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  }
  return true;
}

// A file written before the source columns existed gets them on open, all
// four or none; a file that has them is not touched. A file that cannot be
// written (read-only) is read as it is.
void migrate(sqlite3* db) {
  if (!hasTable(db)) return;
  bool present[4];
  if (!findSourceColumns(db, present) || (present[0] && present[1] && present[2] && present[3])) return;
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return;
  if (addSourceColumns(db) && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return;
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace

std::string FavoritesStore::defaultPath() {
  return DataFolder.empty() ? std::string() : JoinPath(DataFolder, "Favorit.db");
}

void FavoritesStore::load(const std::string& utf8Path) {
  if (utf8Path.empty()) return;  // SQLite would open a private temporary database
  sqlite3* db = nullptr;
  // Read-write so that a save cut short by a crash is rolled back here; no
  // create, so a missing file stays missing.
  if (sqlite3_open_v2(utf8Path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return;
  }
  migrate(db);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT * FROM favorit", -1, &st, nullptr) == SQLITE_OK) {
    // The thirteen columns are read by position, the source columns by name
    // (absent when the file could not be migrated).
    int sourceColumn[4] = {-1, -1, -1, -1};
    for (int c = 13; c < sqlite3_column_count(st); ++c) {
      for (int i = 0; i < 4; ++i)
        if (sqlite3_stricmp(sqlite3_column_name(st, c), kSourceColumns[i]) == 0) sourceColumn[i] = c;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      const char* xing = columnText(st, 0);
      const char* ming = columnText(st, 1);
      const char* birthday = columnText(st, 8);
      if (xing == nullptr || ming == nullptr || birthday == nullptr) continue;
      NameRecord r;
      r.Xing = fromUtf8(xing);
      r.Ming = fromUtf8(ming);
      r.Birthday = birthday;
      r.FengShu = static_cast<float>(sqlite3_column_double(st, 2));
      r.WuXing = sqlite3_column_int(st, 3);
      r.ShengXiao = sqlite3_column_int(st, 4);
      r.JiXiong = sqlite3_column_int(st, 5);
      r.ChangYongDu = sqlite3_column_int(st, 6);
      r.YinLv = sqlite3_column_int(st, 7);
      r.CityId = sqlite3_column_int(st, 9);
      r.Gender = sqlite3_column_int(st, 10);
      r.Longitude = static_cast<float>(sqlite3_column_double(st, 11));
      r.IsXiaoming = sqlite3_column_int(st, 12) != 0;
      r.ChuChu = checkedNameSource({columnString(st, sourceColumn[0]), columnString(st, sourceColumn[1]),
                                    columnString(st, sourceColumn[2]), columnString(st, sourceColumn[3])});
      records_.push_back(std::move(r));
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}

bool FavoritesStore::save(const std::string& utf8Path) {
  if (!modified_) return true;
  if (utf8Path.empty()) return false;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(utf8Path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, kCreateTable, nullptr, nullptr, nullptr) == SQLITE_OK && addSourceColumns(db) &&
            sqlite3_exec(db, "DELETE FROM favorit", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* st = nullptr;
  ok = ok && sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr) == SQLITE_OK;
  std::size_t written = 0;
  for (auto it = records_.begin(); ok && it != records_.end(); ++it) {
    const NameRecord& r = *it;
    bindText(st, 1, toUtf8(r.Xing));
    bindText(st, 2, toUtf8(r.Ming));
    // The score and the longitude go in as the decimal texts "%0.2f" and "%f";
    // the columns' numeric affinity stores them as numbers.
    bindText(st, 3, formatNumber("%0.2f", r.FengShu));
    sqlite3_bind_int(st, 4, r.WuXing);
    sqlite3_bind_int(st, 5, r.ShengXiao);
    sqlite3_bind_int(st, 6, r.JiXiong);
    sqlite3_bind_int(st, 7, r.ChangYongDu);
    sqlite3_bind_int(st, 8, r.YinLv);
    bindText(st, 9, toUtf8(r.Birthday));
    sqlite3_bind_int(st, 10, r.CityId);
    sqlite3_bind_int(st, 11, r.Gender);
    bindText(st, 12, formatNumber("%f", r.Longitude));
    sqlite3_bind_int(st, 13, r.IsXiaoming ? 1 : 0);
    // No source: NULL, as a program that knows only thirteen columns leaves it.
    const std::string* source[4] = {&r.ChuChu.Text, &r.ChuChu.Title, &r.ChuChu.Author, &r.ChuChu.Book};
    for (int i = 0; i < 4; ++i) {
      if (r.ChuChu.empty())
        sqlite3_bind_null(st, 14 + i);
      else
        bindText(st, 14 + i, toUtf8(*source[i]));
    }
    // A row that cannot be written fails the whole save: the file then keeps
    // its previous rows instead of losing this one.
    ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_reset(st);
    if (ok && onRowWritten) onRowWritten(++written);
  }
  sqlite3_finalize(st);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  ok = sqlite3_close(db) == SQLITE_OK && ok;
  if (ok) modified_ = false;
  return ok;
}

NameRecord* FavoritesStore::add(const NameRecord& record) {
  records_.push_back(record);
  modified_ = true;
  return &records_.back();
}

bool FavoritesStore::remove(const NameRecord& record) {
  for (auto it = records_.begin(); it != records_.end(); ++it) {
    if (sameRecord(*it, record)) {
      records_.erase(it);
      modified_ = true;
      return true;
    }
  }
  return false;
}

bool FavoritesStore::contains(const NameRecord& record) const {
  for (const NameRecord& r : records_) {
    if (sameRecord(r, record)) return true;
  }
  return false;
}

}  // namespace norvane
