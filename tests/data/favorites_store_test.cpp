// FavoritesStore against real SQLite files.
#include "data/favorites_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlcipher/sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::TempDir;

NameRecord record(const std::string& ming, float score = 90.5f, int commonness = 0) {
  NameRecord r;
  r.Xing = "张";
  r.Ming = ming;
  r.Birthday = "2024-3-7 08:30:00";
  r.FengShu = score;
  r.WuXing = 80;
  r.ShengXiao = 70;
  r.JiXiong = 60;
  r.ChangYongDu = commonness;
  r.YinLv = 3;
  r.CityId = 110101;
  r.Gender = 2;
  r.Longitude = 116.4f;
  return r;
}

std::vector<std::string> names(const FavoritesStore& store) {
  std::vector<std::string> v;
  for (const NameRecord& r : store) v.push_back(r.Ming);
  return v;
}

// Runs one statement on the file and returns the first column of every row as text.
std::vector<std::string> query(const std::string& path, const std::string& sql) {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

TEST(FavoritesStore, SaveAndLoadRoundTrip) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  FavoritesStore store;
  NameRecord nick = record("宝宝", 87.456f, 5);
  nick.IsXiaoming = true;
  nick.Gender = 1;
  nick.Longitude = 87.617f;
  store.add(record("浩然"));
  store.add(nick);
  EXPECT_TRUE(store.modified());
  ASSERT_TRUE(store.save(path));
  EXPECT_FALSE(store.modified());

  // Stored values: the score with two decimals, the longitude with six.
  EXPECT_EQ(query(path, "SELECT FengShu || '|' || typeof(FengShu) || '|' || Longitude || '|' || "
                        "Ming || '|' || IsXiaoming FROM favorit"),
            (std::vector<std::string>{"90.5|real|116.400002|浩然|0", "87.46|real|87.616997|宝宝|1"}));

  FavoritesStore loaded;
  loaded.load(path);
  EXPECT_FALSE(loaded.modified());
  ASSERT_EQ(names(loaded), (std::vector<std::string>{"浩然", "宝宝"}));
  const NameRecord& back = *std::next(loaded.begin());
  EXPECT_FLOAT_EQ(back.FengShu, 87.46f);
  EXPECT_EQ(back.ChangYongDu, 5);
  EXPECT_EQ(back.Birthday, nick.Birthday);
  EXPECT_TRUE(back.IsXiaoming);
  EXPECT_EQ(back.Gender, 1);
  EXPECT_EQ(back.CityId, 110101);
  EXPECT_FLOAT_EQ(back.Longitude, 87.617f);
  EXPECT_TRUE(loaded.contains(record("浩然")));
}

TEST(FavoritesStore, UnchangedListIsNotWrittenBackButAddThenRemoveIs) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  {
    FavoritesStore store;
    store.add(record("一"));
    store.add(record("二"));
    ASSERT_TRUE(store.save(path));
  }
  const std::string before = test::readFile(path);

  FavoritesStore unchanged;
  unchanged.load(path);
  EXPECT_TRUE(unchanged.save(path));
  EXPECT_EQ(test::readFile(path), before) << "a loaded, unchanged list must not touch the file";

  FavoritesStore touched;
  touched.load(path);
  touched.add(record("三"));
  ASSERT_TRUE(touched.remove(record("三")));
  EXPECT_TRUE(touched.modified());
  ASSERT_TRUE(touched.save(path));
  EXPECT_NE(test::readFile(path), before) << "add then remove still rewrites";
  FavoritesStore again;
  again.load(path);
  EXPECT_EQ(names(again), (std::vector<std::string>{"一", "二"}));
}

TEST(FavoritesStore, RowsWithoutNameOrBirthdayAreSkipped) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  {
    FavoritesStore store;
    store.add(record("好"));
    ASSERT_TRUE(store.save(path));
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string columns = "INSERT INTO favorit(Xing,Ming,FengShu,WuXing,ShengXiao,JiXiong,ChangYongDu,"
                              "YinLv,Birthday,CityId,Gender,Longitude,IsXiaoming) VALUES ";
  ASSERT_EQ(sqlite3_exec(db,
                         (columns + "('张','无生日',1,1,1,1,1,1,NULL,1,1,1,0);" + columns +
                          "(NULL,'无姓',1,1,1,1,1,1,'2024-1-1 00:00:00',1,1,1,0);" + columns +
                          "('张','后',1,1,1,1,1,1,'2024-1-1 00:00:00',1,1,1,0);")
                             .c_str(),
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  FavoritesStore store;
  store.load(path);
  EXPECT_EQ(names(store), (std::vector<std::string>{"好", "后"}));
}

TEST(FavoritesStore, EqualityIgnoresCommonnessAndRemoveTakesTheFirst) {
  FavoritesStore store;
  store.add(record("甲", 90.5f, 1));
  store.add(record("乙"));
  store.add(record("甲", 90.5f, 2));
  EXPECT_TRUE(store.contains(record("甲", 90.5f, 9)));  // only ChangYongDu differs

  struct Change {
    const char* what;
    void (*apply)(NameRecord&);
  } changes[] = {
      {"score", [](NameRecord& r) { r.FengShu += 0.01f; }},
      {"longitude", [](NameRecord& r) { r.Longitude = 116.41f; }},
      {"birthday", [](NameRecord& r) { r.Birthday += " "; }},
      {"nickname", [](NameRecord& r) { r.IsXiaoming = true; }},
      {"city", [](NameRecord& r) { r.CityId = 1; }},
      {"gender", [](NameRecord& r) { r.Gender = 1; }},
      {"rhythm", [](NameRecord& r) { r.YinLv = 0; }},
  };
  for (const Change& c : changes) {
    NameRecord other = record("甲");
    c.apply(other);
    EXPECT_FALSE(store.contains(other)) << c.what;
  }

  FavoritesStore fresh;
  EXPECT_FALSE(fresh.remove(record("甲")));
  EXPECT_FALSE(fresh.modified());

  ASSERT_TRUE(store.remove(record("甲", 90.5f, 7)));
  ASSERT_EQ(names(store), (std::vector<std::string>{"乙", "甲"}));
  EXPECT_EQ(store.begin()->ChangYongDu, 0);
  EXPECT_EQ(std::next(store.begin())->ChangYongDu, 2) << "the first equal record goes";
}

// A save that dies between its rows leaves the rows of the previous save.
TEST(FavoritesStore, SaveKilledHalfwayKeepsThePreviousRows) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  {
    FavoritesStore store;
    store.add(record("旧一"));
    store.add(record("旧二"));
    ASSERT_TRUE(store.save(path));
  }
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FavoritesStore store;
    store.load(path);
    for (int i = 0; i < 40; ++i) store.add(record("新" + std::to_string(i)));
    store.onRowWritten = [](std::size_t n) {
      if (n == 20) raise(SIGKILL);
    };
    store.save(path);
    _exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child must die inside the save";

  FavoritesStore after;
  after.load(path);
  EXPECT_EQ(names(after), (std::vector<std::string>{"旧一", "旧二"}));
  after.add(record("再"));
  ASSERT_TRUE(after.save(path));
  FavoritesStore last;
  last.load(path);
  EXPECT_EQ(names(last), (std::vector<std::string>{"旧一", "旧二", "再"}));
}

// ---------------------------------------------------------------------------
// The name's source, and files of the program before it kept sources

// The table and the statements of a program that knows thirteen columns.
const char kOldCreate[] =
    "CREATE TABLE IF NOT EXISTS favorit \t\t\t\t\t\t\t\t\t\t(Xing TEXT,Ming TEXT,FengShu DECIMAL,"
    "WuXing INTEGER,\t\t\t\t\t\t\t\t\t\tShengXiao INTEGER,JiXiong INTEGER,ChangYongDu INTEGER,"
    "YinLv INTEGER,\t\t\t\t\t\t\t\t\t\tBirthday TEXT,CityId INTEGER,Gender INTEGER,Longitude DECIMAL,"
    "\t\t\t\t\t\t\t\t\t\tIsXiaoming INTEGER)";
std::string oldInsert(const std::string& ming) {
  return "INSERT INTO favorit('Xing','Ming','FengShu','WuXing','ShengXiao','JiXiong',\t\t\t\t\t"
         "'ChangYongDu','YinLv','Birthday','CityId','Gender','Longitude','IsXiaoming') \t\t\t\t\t"
         "VALUES('张','" + ming + "',90.50,80,70,60,0,3,'2024-3-7 08:30:00',110101,2,116.400002,0)";
}

void exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

// How a program that knows thirteen columns reads the file: by position.
std::vector<std::string> oldLoad(const std::string& path) {
  return query(path, "SELECT Xing || Ming || '|' || FengShu || '|' || IsXiaoming FROM (SELECT * FROM favorit)");
}

std::vector<std::string> columnNames(const std::string& path) {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, "PRAGMA table_info(favorit)", -1, &st, nullptr), SQLITE_OK);
  while (st && sqlite3_step(st) == SQLITE_ROW) out.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

const std::vector<std::string> kAllColumns = {
    "Xing",   "Ming",       "FengShu",    "WuXing",      "ShengXiao",    "JiXiong",   "ChangYongDu", "YinLv", "Birthday",
    "CityId", "Gender",     "Longitude",  "IsXiaoming",  "ChuChuText",   "ChuChuTitle", "ChuChuAuthor", "ChuChuBook"};

TEST(FavoritesStore, SourcesAreStoredAndReadBack) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  FavoritesStore store;
  NameRecord guanJu = record("雎鸠");
  guanJu.ChuChu = {"关关雎鸠，在河之洲", "周南·关雎", "", "诗经"};
  NameRecord hostile = record("浩然");
  hostile.ChuChu = {"'); DROP TABLE favorit; --<b>", "\"引号\"", "O'Neil", "唐诗三百首"};
  store.add(guanJu);
  store.add(record("无源"));
  store.add(hostile);
  ASSERT_TRUE(store.save(path));
  EXPECT_EQ(columnNames(path), kAllColumns);
  // A name without a source leaves the four columns NULL, as an older program would.
  EXPECT_EQ(query(path, "SELECT quote(ChuChuText) || quote(ChuChuBook) FROM favorit WHERE Ming = '无源'"),
            std::vector<std::string>{"NULLNULL"});

  FavoritesStore loaded;
  loaded.load(path);
  ASSERT_EQ(names(loaded), (std::vector<std::string>{"雎鸠", "无源", "浩然"}));
  auto it = loaded.begin();
  EXPECT_EQ(it->ChuChu, guanJu.ChuChu);
  EXPECT_TRUE((++it)->ChuChu.empty());
  EXPECT_EQ((++it)->ChuChu, hostile.ChuChu);
  EXPECT_TRUE(loaded.contains(record("雎鸠"))) << "the source is no part of record equality";
}

TEST(FavoritesStore, AFileOfTheOlderProgramGetsTheSourceColumnsAndKeepsItsRows) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  exec(path, std::string(kOldCreate) + ";" + oldInsert("旧一") + ";" + oldInsert("旧二"));
  ASSERT_EQ(columnNames(path).size(), 13u);

  FavoritesStore store;
  store.load(path);
  EXPECT_EQ(names(store), (std::vector<std::string>{"旧一", "旧二"}));
  EXPECT_FALSE(store.modified());
  for (const NameRecord& r : store) {
    EXPECT_TRUE(r.ChuChu.empty());
    EXPECT_FLOAT_EQ(r.FengShu, 90.5f);
    EXPECT_EQ(r.CityId, 110101);
  }
  EXPECT_EQ(columnNames(path), kAllColumns) << "the open adds the columns";
  EXPECT_EQ(oldLoad(path), (std::vector<std::string>{"张旧一|90.5|0", "张旧二|90.5|0"}));

  NameRecord guanJu = record("雎鸠");
  guanJu.ChuChu = {"关关雎鸠，在河之洲", "周南·关雎", "", "诗经"};
  store.add(guanJu);
  ASSERT_TRUE(store.save(path));

  // The older program still reads every row by position and still adds its own.
  EXPECT_EQ(oldLoad(path), (std::vector<std::string>{"张旧一|90.5|0", "张旧二|90.5|0", "张雎鸠|90.5|0"}));
  exec(path, std::string(kOldCreate) + ";" + oldInsert("旧三"));
  FavoritesStore again;
  again.load(path);
  ASSERT_EQ(names(again), (std::vector<std::string>{"旧一", "旧二", "雎鸠", "旧三"}));
  EXPECT_EQ(std::next(again.begin(), 2)->ChuChu, guanJu.ChuChu);
  EXPECT_TRUE(std::next(again.begin(), 3)->ChuChu.empty());

  // Opening a file that has the columns changes nothing in it.
  const std::string before = test::readFile(path);
  FavoritesStore unchanged;
  unchanged.load(path);
  EXPECT_EQ(test::readFile(path), before);
}

// A file that cannot be changed just now (another program holds its write
// lock) is read as it is, without sources, and gets its columns later.
TEST(FavoritesStore, AnOlderFileThatCannotBeChangedNowIsReadAsItIs) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  exec(path, std::string(kOldCreate) + ";" + oldInsert("旧一"));
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  FavoritesStore store;
  store.load(path);
  EXPECT_EQ(names(store), std::vector<std::string>{"旧一"});
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  EXPECT_EQ(columnNames(path).size(), 13u);

  FavoritesStore later;
  later.load(path);
  EXPECT_EQ(names(later), std::vector<std::string>{"旧一"});
  EXPECT_EQ(columnNames(path), kAllColumns);
}

TEST(FavoritesStore, BrokenStoredSourcesReadAsNone) {
  TempDir dir;
  const std::string path = dir.file("Favorit.db");
  FavoritesStore store;
  NameRecord r = record("雎鸠");
  r.ChuChu = {"关关雎鸠", "关雎", "", "诗经"};
  store.add(r);
  store.add(record("长"));
  ASSERT_TRUE(store.save(path));
  exec(path, "UPDATE favorit SET ChuChuText = '' WHERE Ming = '雎鸠';"
             "UPDATE favorit SET ChuChuText = hex(zeroblob(2600)), ChuChuBook = '诗经' WHERE Ming = '长'");
  FavoritesStore loaded;
  loaded.load(path);
  ASSERT_EQ(loaded.size(), 2u);
  for (const NameRecord& back : loaded) EXPECT_TRUE(back.ChuChu.empty()) << back.Ming;
}

TEST(FavoritesStore, MissingAndBrokenFiles) {
  TempDir dir;
  FavoritesStore store;
  store.load(dir.file("missing.db"));
  EXPECT_TRUE(store.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db"))) << "loading must not create the file";
  EXPECT_TRUE(store.save(dir.file("missing.db")));  // nothing changed: nothing written
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));

  const std::string broken = dir.file("broken.db");
  const std::string junk(3000, 'j');
  test::writeFile(broken, junk);
  store.load(broken);
  EXPECT_TRUE(store.empty());
  store.add(record("新"));
  EXPECT_FALSE(store.save(broken));
  EXPECT_EQ(test::readFile(broken), junk);
  EXPECT_TRUE(store.modified());
  EXPECT_FALSE(store.save(dir.file("no/such/folder/Favorit.db")));
  EXPECT_FALSE(store.save(""));  // no data folder: nothing is written anywhere

  // A file whose table does not exist yet gets it on the first save.
  const std::string other = dir.file("other.db");
  ASSERT_TRUE(store.save(other));
  EXPECT_EQ(query(other, "SELECT Ming FROM favorit"), std::vector<std::string>{"新"});
}

}  // namespace
}  // namespace norvane
