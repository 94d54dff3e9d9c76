// KnowledgeDb on small databases made by the builder tool.
#include "data/knowledge_db.h"

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "data/knowledge_fixture.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::TempDir;

class FixtureDb : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test::runKnowledgeBuilder(path_, test::kKnowledgeFixtureSources), 0);
    ASSERT_TRUE(db_.open(path_, true));
  }
  TempDir dir_;
  std::string path_ = dir_.file("local.dat");
  KnowledgeDb db_;
};

TEST_F(FixtureDb, AreaTreeInStoredOrder) {
  auto names = [](const std::vector<AreaEntry>& list) {
    std::vector<std::pair<int, std::string>> v;
    for (const AreaEntry& e : list) v.emplace_back(e.id, e.name);
    return v;
  };
  std::vector<AreaEntry> provinces;
  ASSERT_TRUE(db_.childAreas(0, provinces));
  EXPECT_EQ(names(provinces), (std::vector<std::pair<int, std::string>>{{11, "北京市"}, {13, "河北省"}}));

  std::vector<AreaEntry> counties{{"kept", 1}};  // results are appended
  ASSERT_TRUE(db_.childAreas(1301, counties));
  // The row without a name (130104) is skipped.
  EXPECT_EQ(names(counties),
            (std::vector<std::pair<int, std::string>>{{1, "kept"}, {130102, "长安区"}, {130105, "新华区"}}));

  std::vector<AreaEntry> none;
  EXPECT_TRUE(db_.childAreas(130102, none));
  EXPECT_TRUE(none.empty());
}

TEST_F(FixtureDb, AreaLocationShortensCoordinates) {
  struct Case {
    int id;
    bool found;
    const char* place;
    const char* lng;
    const char* lat;
  } cases[] = {
      {110101, true, "中国,北京,北京市,东城区", "116.41", "39.91"},  // cut, not rounded
      {110102, true, "中国,北京,北京市,西城区", "116", "39.9"},
      {130102, true, "中国,河北省,石家庄市,长安区", "114.54", "38.04"},
      {130105, false, "", "", ""},  // no longitude stored
      {999999, false, "", "", ""},
  };
  for (const Case& c : cases) {
    AreaLocation loc{"old", "old", "old"};
    EXPECT_EQ(db_.areaLocation(c.id, loc), c.found) << c.id;
    if (c.found) {
      EXPECT_EQ(loc.place, c.place);
      EXPECT_EQ(loc.longitude, c.lng);
      EXPECT_EQ(loc.latitude, c.lat);
    } else {
      EXPECT_EQ(loc.place, "old") << "a failed lookup leaves its output alone";
    }
  }
}

TEST_F(FixtureDb, ExplanationTexts) {
  EXPECT_EQ(db_.charText("浩"), "浩：水大的样子。\r\n引申为广大、众多。");  // "\n" stored as "\r\n"
  EXPECT_EQ(db_.charText("'"), "引号");  // a quote is a value, not SQL
  EXPECT_EQ(db_.charText("无"), "");
  // The radical matches anywhere inside pp.
  EXPECT_EQ(db_.zodiacRadicalText("鼠", "口"), "鼠喜宀口米：有洞可居，有粮可食。");
  EXPECT_EQ(db_.zodiacRadicalText("鼠", "宀,口"), "鼠喜宀口米：有洞可居，有粮可食。");
  EXPECT_EQ(db_.zodiacRadicalText("牛", "口"), "");
  EXPECT_EQ(db_.sclm1Text("甲", "甲子"), "甲日甲子时");
  EXPECT_EQ(db_.sclm1Text("甲", "乙丑"), "");
  EXPECT_EQ(db_.sclm2Text("金", "鼠"), "金鼠");
  EXPECT_EQ(db_.birthdayText("0307"), "三月七日生");
  EXPECT_EQ(db_.birthdayText("0308"), "");
  // An argument that would overflow a textual statement finds nothing.
  EXPECT_EQ(db_.charText(std::string(600, 'x')), "");
}

TEST_F(FixtureDb, RowLookupsStoreOnlyNonNullColumns) {
  std::string a = "keep", b = "keep", c = "keep", d = "keep";
  EXPECT_TRUE(db_.cgsmTexts("15", a, b));  // integer id in the source, text key in the file
  EXPECT_EQ(a, "称骨一两五钱");
  EXPECT_EQ(b, "称骨歌");
  a = b = "keep";
  EXPECT_TRUE(db_.cgsmTexts("16", a, b));
  EXPECT_EQ(a, "keep");
  EXPECT_EQ(b, "只有释文");
  EXPECT_FALSE(db_.cgsmTexts("17", a, b));

  a = b = "keep";
  EXPECT_TRUE(db_.signTexts("白羊座", a, b));
  EXPECT_EQ(a, "keep");
  EXPECT_EQ(b, "热情勇敢。");

  a = b = c = "keep";
  EXPECT_TRUE(db_.numberTexts3(2, a, b, c));
  EXPECT_EQ(a, "凶");
  EXPECT_EQ(b, "混沌未定");
  EXPECT_EQ(c, "keep");

  a = b = c = d = "keep";
  EXPECT_TRUE(db_.numberTexts4(1, a, b, c, d));
  EXPECT_EQ(std::vector<std::string>({a, b, c, d}),
            std::vector<std::string>({"吉", "太极之数", "万物开泰", "大吉"}));
  a = b = c = d = "keep";
  EXPECT_FALSE(db_.numberTexts4(2, a, b, c, d));  // js3 is NULL: nothing stored
  EXPECT_EQ(std::vector<std::string>({a, b, c, d}), std::vector<std::string>(4, "keep"));

  a = b = c = "keep";
  EXPECT_TRUE(db_.gxfxById("1", a, b, c));
  EXPECT_EQ(std::vector<std::string>({a, b, c}), std::vector<std::string>({"乾为天", "刚健中正", "乾"}));
  a = b = "keep";
  EXPECT_TRUE(db_.gxfxNameById("2", a, b));
  EXPECT_EQ(a, "坤为地");
  EXPECT_EQ(b, "keep");
  a = b = c = "keep";
  EXPECT_TRUE(db_.gxfxBySid("坤", a, b, c));
  EXPECT_EQ(std::vector<std::string>({a, b, c}), std::vector<std::string>({"keep", "坤为地", "厚德载物"}));
  EXPECT_FALSE(db_.gxfxBySid("震", a, b, c));

  a = b = "keep";
  EXPECT_TRUE(db_.combinationTexts(5, a, b));
  EXPECT_EQ(a, "吉");
  EXPECT_EQ(b, "天地人配合良好");
  EXPECT_FALSE(db_.combinationTexts(6, a, b));
}

// The star-sign text for the page that takes UTF-8 comes back byte for byte;
// the other readers make the text valid local text.
TEST_F(FixtureDb, SignText2Utf8KeepsStoredBytes) {
  db_.close();
  sqlite3* raw = openKeyedDatabase(path_, databaseKey, SQLITE_OPEN_READWRITE);
  ASSERT_NE(raw, nullptr);
  ASSERT_EQ(sqlite3_exec(raw, "UPDATE sxxz SET js2 = CAST(X'E4BDA0FF41' AS TEXT) WHERE sid = '鼠'", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  ASSERT_TRUE(db_.open(path_, true));
  EXPECT_EQ(db_.signText2Utf8("鼠"), "\xE4\xBD\xA0\xFF" "A");
  std::string js1, js2;
  ASSERT_TRUE(db_.signTexts("鼠", js1, js2));
  EXPECT_EQ(js2, "你\xEF\xBF\xBD" "A");
  EXPECT_EQ(db_.signText2Utf8("白羊座"), "热情勇敢。");
}

TEST(KnowledgeDbFailures, WrongKeyMissingFileAndClosedObjectGiveNoRows) {
  TempDir dir;
  // A database with the right tables under another key.
  const std::string other = dir.file("other.dat");
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    sqlite3_key(db, "another key", 11);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE area(id INTEGER, pid INTEGER, name TEXT, merger_name TEXT, "
                               "lng TEXT, lat TEXT); INSERT INTO area VALUES (1,0,'x','y','1','2')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  test::writeFile(dir.file("garbage.dat"), std::string(5000, 'g'));
  test::writeFile(dir.file("short.dat"), "abc");
  const std::string missing = dir.file("missing.dat");

  for (const std::string& path : {other, dir.file("garbage.dat"), dir.file("short.dat"), missing,
                                  dir.path()}) {
    KnowledgeDb db(path, true);
    EXPECT_FALSE(db.isOpen()) << path;
    EXPECT_FALSE(db.open(path, true)) << path;
    std::vector<AreaEntry> list;
    EXPECT_FALSE(db.childAreas(0, list)) << path;
    EXPECT_TRUE(list.empty());
    AreaLocation loc;
    EXPECT_FALSE(db.areaLocation(1, loc));
    EXPECT_EQ(db.charText("浩"), "");
    std::string a, b, c, d;
    EXPECT_FALSE(db.numberTexts4(1, a, b, c, d));
  }
  EXPECT_FALSE(std::filesystem::exists(missing)) << "opening must not create the file";

  KnowledgeDb empty;  // constructed without a path: closed
  std::vector<AreaEntry> list;
  EXPECT_FALSE(empty.childAreas(0, list));
}

TEST(KnowledgeDbFailures, TablesWithoutSourcesAreEmpty) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("src"));
  ASSERT_EQ(test::runKnowledgeBuilder(dir.file("empty.dat"), dir.file("src")), 0);
  KnowledgeDb db(dir.file("empty.dat"), true);
  ASSERT_TRUE(db.isOpen());
  std::vector<AreaEntry> list;
  EXPECT_TRUE(db.childAreas(0, list));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(db.charText("浩"), "");
}

// Several objects on one file, and a file replaced by a new build (new salt)
// at the same path: the per-process key cache must not serve a stale key.
TEST(KnowledgeDbOpen, RepeatedOpensAndReplacedFile) {
  TempDir dir;
  const std::string path = dir.file("local.dat");
  ASSERT_EQ(test::runKnowledgeBuilder(path, test::kKnowledgeFixtureSources), 0);
  KnowledgeDb first(path, true);
  KnowledgeDb second(path, true);
  EXPECT_EQ(first.charText("浩").substr(0, 3), "浩");
  EXPECT_EQ(second.birthdayText("0307"), "三月七日生");

  ASSERT_EQ(test::runKnowledgeBuilder(path, test::kKnowledgeFixtureSources), 0);
  KnowledgeDb third(path, true);
  ASSERT_TRUE(third.isOpen());
  EXPECT_EQ(third.birthdayText("0307"), "三月七日生");

  // The raw-key open reads what a passphrase open reads.
  sqlite3* slow = openKeyedDatabaseUncached(path, databaseKey, SQLITE_OPEN_READONLY);
  ASSERT_NE(slow, nullptr);
  EXPECT_TRUE(databaseReadable(slow));
  sqlite3_close(slow);
}

// Objects on the same file in several threads at once, each opening its own
// connection (the first opens race for the key derivation).
TEST(KnowledgeDbOpen, ConcurrentObjectsOnOneFile) {
  TempDir dir;
  const std::string path = dir.file("local.dat");
  ASSERT_EQ(test::runKnowledgeBuilder(path, test::kKnowledgeFixtureSources), 0);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        KnowledgeDb db(path, true);
        std::string jx, js1, js2, js3;
        if (!db.numberTexts4(1, jx, js1, js2, js3) || js3 != "大吉") ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

// The start derives the key on a worker while the window thread goes on:
// an open during the derivation waits for it and reads the file; a file that
// cannot be read prepares nothing.
TEST(KnowledgeDbOpen, KeyPreparedOnAnotherThreadServesTheOpen) {
  TempDir dir;
  const std::string path = dir.file("local.dat");
  ASSERT_EQ(test::runKnowledgeBuilder(path, test::kKnowledgeFixtureSources), 0);
  std::atomic<bool> prepared{false};
  std::thread worker([&] { prepared = KnowledgeDb::prepareKey(path); });
  KnowledgeDb db(path, true);
  worker.join();
  EXPECT_TRUE(prepared.load());
  ASSERT_TRUE(db.isOpen());
  std::vector<AreaEntry> provinces;
  EXPECT_TRUE(db.childAreas(0, provinces));
  EXPECT_FALSE(provinces.empty());
  EXPECT_FALSE(KnowledgeDb::prepareKey(dir.file("missing.dat")));
}

TEST(PlaceText, ShortenPlaceName) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"中国,北京,北京市,东城区", "北京市东城区"},
      {"中国,河北省,石家庄市,长安区", "河北省石家庄市长安区"},
      {"中国,上海,上海市", "上海市"},
      {"中国,北京", "北京"},            // two elements: the province is kept
      {"中国,香港,九龙,油尖旺区", "香港九龙油尖旺区"},  // next element does not start with it
      {"中国", ""},
      {"", ""},
      {"中国,,北京市", "北京市"},
  };
  for (const Case& c : cases) EXPECT_EQ(shortenPlaceName(c.in), c.out) << c.in;
}

TEST(PlaceText, ShortenCoordinate) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"116.405285", "116.40"}, {"39.9", "39.9"}, {"116", "116"},   {"121.4", "121.4"},
      {"121.45", "121.45"},     {"-0.129", "-0.12"}, {".12345", ".12"}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(shortenCoordinate(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace norvane
