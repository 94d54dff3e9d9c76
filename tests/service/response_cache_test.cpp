// The answer cache on disk: folders, file names, atomic replacement, reading
// and clearing.
#include "service/response_cache.h"

#include "platform/folders.h"
#include "service/endpoints.h"
#include "service/envelope.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace norvane {
namespace {

namespace fs = std::filesystem;

class ResponseCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data = dir.file("config/Norvane");
    ServiceEndpoints::initialize(dir.path(), data, "api.example.com");
  }
  test::TempDir dir;
  std::string data;
};

const char* const kFolders[] = {"cache/fenxi", "cache/quming", "cache/yunsi", "cache/quxiaoming"};

TEST_F(ResponseCacheTest, StartUpCreatesTheDataFolderAndTheFourKindFolders) {
  for (const char* folder : kFolders) EXPECT_TRUE(fs::is_directory(data + "/" + folder)) << folder;
  EXPECT_EQ(ResponseCache::folder(CacheKind::Analysis), data + "/cache/fenxi/");
  EXPECT_EQ(ResponseCache::folder(CacheKind::NamePage), data + "/cache/quming/");
  EXPECT_EQ(ResponseCache::folder(CacheKind::Fortune), data + "/cache/yunsi/");
  EXPECT_EQ(ResponseCache::folder(CacheKind::Nickname), data + "/cache/quxiaoming/");
}

TEST_F(ResponseCacheTest, FilesAreNamedByTheDigestOfTheirKey) {
  EXPECT_EQ(ResponseCache::path(CacheKind::Fortune, "李白"),
            data + "/cache/yunsi/" + md5Hex("李白") + ".dat");
  EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(analysisCacheKey("欧", "阳明", "2019-3-7 08:05:00", 2, 116.405f),
            analysisCacheKey("欧阳", "明", "2019-3-7 08:05:00", 2, 116.405f));
  EXPECT_EQ(analysisCacheKey("李", "白", "2019-3-7 08:05:00", 2, 121.476f),
            "李白|2019-3-7 08:05:00|2|121.48");
  EXPECT_NE(nicknameAnalysisCacheKey("李", "白", "b", 1, 1), analysisCacheKey("李", "白", "b", 1, 1));
  EXPECT_EQ(fortuneCacheKey("李", "白"), "李白");
}

TEST_F(ResponseCacheTest, WriteReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  std::string path = ResponseCache::path(CacheKind::NamePage, "key");
  EXPECT_EQ(ResponseCache::find(path), "");
  ASSERT_TRUE(ResponseCache::write(path, R"({"code":0,"data":[1,2,3,4,5,6,7,8,9]})"));
  ASSERT_TRUE(ResponseCache::write(path, R"({"code":0})"));
  EXPECT_EQ(ResponseCache::find(path), path);
  EXPECT_EQ(test::readFile(path), R"({"code":0})");
  Json::Value doc;
  ASSERT_TRUE(ResponseCache::read(path, doc));
  EXPECT_EQ(doc["code"].asInt(), 0);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(ResponseCache::folder(CacheKind::NamePage))) {
    EXPECT_EQ(entry.path().string(), path);
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(ResponseCacheTest, UnreadableFilesFailQuietly) {
  std::string path = ResponseCache::path(CacheKind::Analysis, "k");
  Json::Value doc;
  EXPECT_FALSE(ResponseCache::read(path, doc));  // missing
  test::writeFile(path, "{\"code\":0");
  EXPECT_FALSE(ResponseCache::read(path, doc));  // truncated
  test::writeFile(path, std::string(1000, '[') + std::string(1000, ']'));
  EXPECT_FALSE(ResponseCache::read(path, doc));  // nested beyond the limit
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_FALSE(ResponseCache::read(path, doc));  // a folder in its place
  EXPECT_FALSE(ResponseCache::write(path, "{}"));
}

TEST_F(ResponseCacheTest, ClearDeletesEveryFileAndKeepsTheFolders) {
  for (CacheKind kind : {CacheKind::Analysis, CacheKind::NamePage, CacheKind::Fortune,
                         CacheKind::Nickname})
    ASSERT_TRUE(ResponseCache::write(ResponseCache::path(kind, "k"), "{}"));
  fs::create_directories(data + "/cache/quming/extra");
  test::writeFile(data + "/cache/quming/extra/stray.dat", "{}");
  test::writeFile(data + "/cache/loose.txt", "x");
  // A link to a folder outside the cache: the link goes, the folder's files stay.
  fs::create_directory(dir.file("outside"));
  test::writeFile(dir.file("outside/keep.txt"), "keep");
  fs::create_directory_symlink(dir.file("outside"), data + "/cache/yunsi/link");
  test::writeFile(data + "/config.ini", "[Main]\n");

  ResponseCache::clear();

  for (const char* folder : kFolders) {
    EXPECT_TRUE(fs::is_directory(data + "/" + folder)) << folder;
    EXPECT_TRUE(fs::is_empty(data + "/" + folder) || std::string(folder) == "cache/quming")
        << folder;
  }
  EXPECT_TRUE(fs::is_directory(data + "/cache/quming/extra"));
  EXPECT_TRUE(fs::is_empty(data + "/cache/quming/extra"));
  EXPECT_FALSE(fs::exists(data + "/cache/loose.txt"));
  EXPECT_EQ(test::readFile(dir.file("outside/keep.txt")), "keep");
  EXPECT_TRUE(fs::exists(data + "/config.ini"));
}

TEST(ResponseCacheWithoutDataFolderTest, NothingIsFoundOrWritten) {
  ServiceEndpoints::initialize("", "", "api.example.com");
  EXPECT_EQ(ResponseCache::root(), "");
  EXPECT_EQ(ResponseCache::path(CacheKind::NamePage, "k"), "");
  EXPECT_EQ(ResponseCache::find(""), "");
  EXPECT_FALSE(ResponseCache::write("", "{}"));
  ResponseCache::clear();  // nothing to do, and nothing outside is touched
  EXPECT_FALSE(fs::exists("/cache/quming"));
}

}  // namespace
}  // namespace norvane
