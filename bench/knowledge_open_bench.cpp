// Opens per second of the knowledge database, the way the report pages open
// it (open, key, one query, close): with the passphrase's key derivation on
// every open, and with the key derived once per process and file salt.
//
//   norvane-bench-knowledge-open [DATABASE] [SECONDS_PER_SIDE]
//
// Without DATABASE a small database is made in the temporary folder.
#include <sqlcipher/sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/knowledge_db.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string makeDatabase() {
  const std::string path = (std::filesystem::temp_directory_path() / "norvane-bench-local.dat").string();
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_key(db, norvane::databaseKey, 32);
  sqlite3_exec(db,
               "CREATE TABLE jxjs(wd TEXT, js TEXT, use TEXT, sex TEXT, wx TEXT);"
               "INSERT INTO jxjs VALUES('浩','水大的样子','name','m','水');",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return path;
}

// One open as the page builders do it, with the given open function.
template <typename Open>
bool openAndLook(const std::string& path, Open open) {
  sqlite3* db = open(path, norvane::databaseKey, SQLITE_OPEN_READONLY);
  bool ok = false;
  if (db != nullptr) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "select count(*) from sqlite_master", -1, &st, nullptr) == SQLITE_OK) {
      ok = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  return ok;
}

template <typename Body>
double perSecond(double seconds, Body body) {
  long count = 0;
  const auto start = Clock::now();
  const auto until = start + std::chrono::duration<double>(seconds);
  auto now = start;
  while (now < until) {
    if (!body()) {
      std::fprintf(stderr, "open failed\n");
      std::exit(1);
    }
    ++count;
    now = Clock::now();
  }
  return count / std::chrono::duration<double>(now - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const bool own = argc < 2 || argv[1][0] == '\0';
  const std::string path = own ? makeDatabase() : argv[1];
  const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;

  const double before = perSecond(seconds, [&] { return openAndLook(path, norvane::openKeyedDatabaseUncached); });
  const double after = perSecond(seconds, [&] { return openAndLook(path, norvane::openKeyedDatabase); });
  // The object the program uses, for the record (open checks the key, then one lookup).
  const double object = perSecond(seconds, [&] {
    norvane::KnowledgeDb db(path, true);
    return db.isOpen();
  });

  std::printf("database: %s\n", path.c_str());
  std::printf("passphrase open + query:    %10.1f opens/s (%.2f ms each)\n", before, 1000.0 / before);
  std::printf("derived-key open + query:   %10.1f opens/s (%.3f ms each)\n", after, 1000.0 / after);
  std::printf("KnowledgeDb open (checked): %10.1f opens/s\n", object);
  std::printf("ratio after/before: %.1fx\n", after / before);
  if (own) std::filesystem::remove(path);
  return 0;
}
