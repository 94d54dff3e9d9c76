// The knowledge-database builder: what it stores and what it refuses.
#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/knowledge_db.h"
#include "data/knowledge_fixture.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::TempDir;

TEST(KnowledgeBuilder, CsvQuotingAndLineBreaks) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("src"));
  test::writeFile(dir.file("src/area.csv"),
                  "id,pid,name,merger_name,lng,lat\r\n"
                  "1,0,\"有\"\"引号\"\"省\",\"中国,有\"\"引号\"\"省\",100.123456,30\r\n"
                  "101,1,\"多行\r\n市\",\"中国,省,市\",,\n");
  test::writeFile(dir.file("src/jxjs.json"),
                  R"([{"wd": "一", "js": "甲\n乙\r\n丙\n\n丁"}, {"wd": "二", "js": null}])");
  ASSERT_EQ(test::runKnowledgeBuilder(dir.file("out.dat"), dir.file("src")), 0);
  KnowledgeDb db(dir.file("out.dat"), true);
  std::vector<AreaEntry> list;
  ASSERT_TRUE(db.childAreas(0, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "有\"引号\"省");
  AreaLocation loc;
  ASSERT_TRUE(db.areaLocation(1, loc));
  EXPECT_EQ(loc.place, "中国,有\"引号\"省");
  EXPECT_EQ(loc.longitude, "100.12");
  EXPECT_EQ(loc.latitude, "30");
  list.clear();
  ASSERT_TRUE(db.childAreas(1, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "多行\r\n市");
  EXPECT_FALSE(db.areaLocation(101, loc)) << "empty coordinates are stored as NULL";
  EXPECT_EQ(db.charText("一"), "甲\r\n乙\r\n丙\r\n\r\n丁");
  EXPECT_EQ(db.charText("二"), "");
}

TEST(KnowledgeBuilder, RefusesBrokenSourcesAndLeavesNoFile) {
  struct Case {
    const char* what;
    const char* file;
    const char* content;
  } cases[] = {
      {"malformed JSON", "jxjs.json", R"([{"wd": "一", )"},
      {"not an array", "jxjs.json", R"({"wd": "一"})"},
      {"element not an object", "jxjs.json", R"([1])"},
      {"text in an integer column", "sljs.json", R"([{"id": "十", "jx": "吉"}])"},
      {"float value", "sljs.json", R"([{"id": 1.5}])"},
      {"array value", "jxjs.json", R"([{"wd": ["一"]}])"},
      {"wrong CSV header", "area.csv", "id,pid,name\n1,0,x\n"},
      {"short CSV record", "area.csv", "id,pid,name,merger_name,lng,lat\n1,0,x\n"},
      {"duplicate area id", "area.csv", "id,pid,name,merger_name,lng,lat\n1,0,a,b,1,2\n1,0,c,d,1,2\n"},
      {"missing pid", "area.csv", "id,pid,name,merger_name,lng,lat\n1,,a,b,1,2\n"},
      {"unterminated quote", "area.csv", "id,pid,name,merger_name,lng,lat\n1,0,\"a,b,1,2\n"},
      {"invalid UTF-8", "jxjs.json", "[{\"wd\": \"\xff\"}]"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("src"));
    test::writeFile(dir.file("src/") + c.file, c.content);
    EXPECT_NE(test::runKnowledgeBuilder(dir.file("out.dat"), dir.file("src")), 0) << c.what;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.dat"))) << c.what;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.dat.part"))) << c.what;
  }
}

TEST(KnowledgeBuilder, OutputIsEncryptedWithTheProgramKey) {
  TempDir dir;
  ASSERT_EQ(test::runKnowledgeBuilder(dir.file("out.dat"), test::kKnowledgeFixtureSources), 0);
  const std::string bytes = test::readFile(dir.file("out.dat"));
  EXPECT_EQ(bytes.find("SQLite format 3"), std::string::npos);
  EXPECT_EQ(bytes.find("石家庄"), std::string::npos) << "texts must not be readable in the file";
  // A plain open sees no database.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(dir.file("out.dat").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_NE(sqlite3_exec(db, "SELECT count(*) FROM area", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace
}  // namespace norvane
