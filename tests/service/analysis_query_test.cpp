// Analyses and fortunes against a real server: requests, statuses and their
// use of the answer cache.
#include "service/analysis_query.h"

#include "service/envelope.h"
#include "service/response_cache.h"
#include "service/service_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace norvane {
namespace {

using test::kKey;
using test::referenceMd5;
using test::ServiceTest;

const char* kAnalysis =
    R"({"code":0,"data":{"name":{"words":["欧","阳","明"]},"score":{"total":95.5}}})";
const char* kFortune = R"({"code":0,"data":{"gx":"吉","list":["一","二"],"ys":["甲","乙","丙"]}})";

void fill(AnalysisQuery& q, const std::string& xing, const std::string& ming) {
  q.Xing = xing;
  q.Ming = ming;
  q.Birthday = "2019-3-7 08:05:00";
  q.Gender = 1;
  q.Longitude = 116.404f;
}

TEST_F(ServiceTest, AnalysisRequestIsSignedOverItsValues) {
  server.answer("/v1/show", kAnalysis);
  AnalysisQuery q;
  fill(q, "欧阳", "明");
  ASSERT_EQ(q.run(), 0);
  EXPECT_EQ(q.Data["score"]["total"].asDouble(), 95.5);
  std::string sign = referenceMd5(kKey + "欧阳" + "明" + "1" + "20190307080500" + "1" + "1700000000");
  EXPECT_EQ(server.requestsTo("/v1/show")[0].body,
            "{\n"
            "   \"b\" : \"2019-3-7 08:05:00\",\n"
            "   \"jd\" : 116.40399932861328,\n"
            "   \"m\" : 1,\n"
            "   \"ming\" : \"明\",\n"
            "   \"sex\" : 1,\n"
            "   \"sign\" : \"" + sign + "\",\n"
            "   \"t\" : 1700000000,\n"
            "   \"xing\" : \"欧阳\"\n"
            "}\n");
}

TEST_F(ServiceTest, AnalysisFailuresKeepThePreviousDataAndStoreNothing) {
  struct Case {
    std::string answer;
    ServiceStatus status;
  } cases[] = {
      {"", 1},
      {"<html>oops</html>", 2},
      {R"({"data":{}})", 3},
      {"[]", 3},
      {R"({"code":1001})", 1001},
  };
  AnalysisQuery q(Endpoint::NicknameAnalysis);
  fill(q, "李", "宝宝");
  q.Data["kept"] = 1;
  for (const Case& c : cases) {
    server.answer("/v1/child/show", c.answer);
    EXPECT_EQ(q.run(), c.status) << c.answer;
    EXPECT_EQ(q.Data["kept"].asInt(), 1);
  }
  EXPECT_EQ(server.requestsTo("/v1/show").size(), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(ResponseCache::folder(CacheKind::Analysis)));
}

TEST_F(ServiceTest, SurnameAndGivenNameSplitDifferentlyShareOneStoredAnalysis) {
  server.answer("/v1/show", kAnalysis);
  AnalysisQuery first;
  fill(first, "欧", "阳明");
  ASSERT_EQ(first.run(), 0);
  ASSERT_EQ(server.requestCount(), 2u);

  AnalysisQuery second;
  fill(second, "欧阳", "明");
  EXPECT_EQ(second.cacheKey(), "欧阳明|2019-3-7 08:05:00|1|116.40");
  EXPECT_EQ(second.run(), 0);
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(second.Data, first.Data);

  // A nickname analysis of the same text is a different question.
  server.answer("/v1/child/show", R"({"code":0,"data":{"shuli":{"xm":["1","x"]}}})");
  AnalysisQuery nickname(Endpoint::NicknameAnalysis);
  fill(nickname, "欧阳", "明");
  EXPECT_EQ(nickname.run(), 0);
  EXPECT_EQ(server.requestsTo("/v1/child/show").size(), 1u);
  EXPECT_TRUE(nickname.Data.isMember("shuli"));
}

TEST_F(ServiceTest, AStoredAnalysisWithoutCodeCountsAsSuccess) {
  AnalysisQuery q;
  fill(q, "李", "白");
  std::string path = ResponseCache::path(CacheKind::Analysis, q.cacheKey());
  ASSERT_TRUE(ResponseCache::write(path, R"({"data":{"from":"disk"}})"));
  EXPECT_EQ(q.run(), 0);
  EXPECT_EQ(q.Data["from"].asString(), "disk");
  EXPECT_EQ(server.requestCount(), 0u);

  // A stored failure or a document that is no answer sends the question on.
  server.answer("/v1/show", R"({"code":0,"data":{"from":"service"}})");
  for (const char* stored : {R"({"code":1002,"data":{"from":"disk"}})", "[1]", "{broken"}) {
    ASSERT_TRUE(ResponseCache::write(path, stored));
    EXPECT_EQ(q.run(), 0) << stored;
    EXPECT_EQ(q.Data["from"].asString(), "service") << stored;
  }
  EXPECT_EQ(server.requestsTo("/v1/show").size(), 3u);
}

TEST_F(ServiceTest, FortuneIsSignedAndReadInOrder) {
  server.setTime("77");
  server.answer("/v1/luck", kFortune);
  LuckQuery q;
  ASSERT_EQ(q.run("李", "白"), 0);
  EXPECT_EQ(q.Gx, "吉");
  EXPECT_EQ(q.List, (std::vector<std::string>{"一", "二"}));
  EXPECT_EQ(q.Ys, (std::vector<std::string>{"甲", "乙", "丙"}));
  std::string sign = referenceMd5(kKey + "李白77");
  EXPECT_EQ(server.requestsTo("/v1/luck")[0].body,
            "{\n   \"ming\" : \"白\",\n   \"sign\" : \"" + sign +
                "\",\n   \"t\" : 77,\n   \"xing\" : \"李\"\n}\n");

  // The second time it comes from the cache.
  LuckQuery again;
  ASSERT_EQ(again.run("李", "白"), 0);
  EXPECT_EQ(again.Ys, q.Ys);
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(ServiceTest, AFailedFortuneIsStoredAndAskedAgainNextTime) {
  server.answer("/v1/luck", R"({"code":1002,"data":{"list":["stale"]}})");
  LuckQuery q;
  EXPECT_EQ(q.run("李", "白"), 2);
  std::string path = ResponseCache::path(CacheKind::Fortune, "李白");
  EXPECT_EQ(test::readFile(path), R"({"code":1002,"data":{"list":["stale"]}})");

  server.answer("/v1/luck", kFortune);
  EXPECT_EQ(q.run("李", "白"), 0);
  EXPECT_EQ(server.requestsTo("/v1/luck").size(), 2u);
  EXPECT_EQ(q.Gx, "吉");
  EXPECT_EQ(q.List, (std::vector<std::string>{"一", "二"}));
  EXPECT_EQ(test::readFile(path), kFortune);
}

TEST_F(ServiceTest, FortuneFailuresAreOneOrTwo) {
  struct Case {
    std::string answer;
    ServiceStatus status;
    bool stored;
  } cases[] = {
      {"", 1, false},
      {"<html>", 2, true},
      {R"({"code":1004})", 2, true},
      {R"({"code":0,"data":"wrong"})", 0, true},  // no fortune in it, but no failure either
      {"[1,2]", 2, true},
      {R"({"code":0,"data":{"gx":{"a":1},"list":"x","ys":[1,{"b":2},"丁"]}})", 0, true},
  };
  std::string path = ResponseCache::path(CacheKind::Fortune, "王五");
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    server.answer("/v1/luck", c.answer);
    LuckQuery q;
    EXPECT_EQ(q.run("王", "五"), c.status) << c.answer;
    EXPECT_EQ(std::filesystem::exists(path), c.stored) << c.answer;
    if (c.status == 0) {
      EXPECT_EQ(q.Gx, "");
    }
  }
  LuckQuery q;
  q.run("王", "五");
  EXPECT_EQ(q.Ys, (std::vector<std::string>{"", "", "丁"}));
}

TEST_F(ServiceTest, AFortuneWithoutANameIsNeitherLookedUpNorStored) {
  server.answer("/v1/luck", kFortune);
  LuckQuery q;
  EXPECT_EQ(q.run("", ""), 0);
  EXPECT_TRUE(std::filesystem::is_empty(ResponseCache::folder(CacheKind::Fortune)));
}

}  // namespace
}  // namespace norvane
