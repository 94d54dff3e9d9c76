// Answers no real service sends, against a real server and through the
// cache: ill-formed text, answers beyond their bounds, documents of a huge
// number of tiny values, codes that are no integers.
#include "platform/utf8.h"
#include "service/analysis_query.h"
#include "service/answer_limits.h"
#include "service/json_access.h"
#include "service/name_query.h"
#include "service/response_cache.h"
#include "service/service_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <type_traits>
#include <string>
#include <vector>

namespace norvane {
namespace {

using test::ServiceTest;

const std::string kFffd = "\xEF\xBF\xBD";

void fill(AnalysisQuery& q) {
  q.Xing = "李";
  q.Ming = "白";
  q.Birthday = "2019-3-7 08:05:00";
  q.Gender = 1;
  q.Longitude = 116.4f;
}

void fill(PageQuery& q) {
  q.Xing = "李";
  q.Birthday = "2020-2-8 09:05:00";
  q.Gender = 2;
  q.Longitude = 116.4f;
  q.CityId = 110101;
}

bool allWellFormed(const std::vector<std::string>& texts) {
  for (const std::string& t : texts)
    if (!isValidUtf8(t)) return false;
  return true;
}

std::size_t filesIn(CacheKind kind) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ResponseCache::folder(kind))) {
    (void)entry;
    ++n;
  }
  return n;
}

// One kind of question: its path, cache kind and byte bound, its answer
// with "TEXT" where a text goes, and a run that reports its status and every
// text the client kept.
struct Kind {
  const char* name;
  const char* path;
  CacheKind cache;
  std::size_t bound;
  std::string answerTemplate;
  std::function<ServiceStatus(std::vector<std::string>& texts)> run;

  std::string answer(const std::string& text = "吉") const {
    std::string a = answerTemplate;
    return a.replace(a.find("TEXT"), 4, text);
  }
};

template <typename Query>
ServiceStatus runPage(std::vector<std::string>& texts) {
  Query q;
  fill(q);
  if constexpr (std::is_same_v<Query, NicknameQuery>) q.NicknameStyles[0] = true;
  ServiceStatus status = q.run(true);
  for (const NameRecord& r : q.Names) texts.insert(texts.end(), {r.Xing, r.Ming});
  return status;
}

std::vector<Kind> kinds() {
  auto analysis = [](Endpoint endpoint) {
    return [endpoint](std::vector<std::string>& texts) {
      AnalysisQuery q(endpoint);
      fill(q);
      ServiceStatus status = q.run();
      test::collectTexts(q.Data, texts);
      return status;
    };
  };
  return {
      {"analysis", "/v1/show", CacheKind::Analysis, kMaxAnalysisAnswerBytes,
       R"({"code":0,"data":{"name":{"words":["TEXT","白"]}}})", analysis(Endpoint::NameAnalysis)},
      {"nickname analysis", "/v1/child/show", CacheKind::Analysis, kMaxAnalysisAnswerBytes,
       R"({"code":0,"data":{"name":{"TEXT":["李","宝"]}}})", analysis(Endpoint::NicknameAnalysis)},
      {"fortune", "/v1/luck", CacheKind::Fortune, kMaxFortuneAnswerBytes,
       R"({"code":0,"data":{"gx":"吉","list":["TEXT"],"ys":["甲"]}})",
       [](std::vector<std::string>& texts) {
         LuckQuery q;
         ServiceStatus status = q.run("李", "白");
         texts.push_back(q.Gx);
         texts.insert(texts.end(), q.List.begin(), q.List.end());
         texts.insert(texts.end(), q.Ys.begin(), q.Ys.end());
         return status;
       }},
      {"name page", "/v1/build", CacheKind::NamePage, kMaxPageAnswerBytes,
       R"({"code":0,"total":1,"data":[{"x":"李","m":"TEXT","f":90}]})", &runPage<NameQuery>},
      {"nickname page", "/v1/child/build", CacheKind::NamePage, kMaxPageAnswerBytes,
       R"({"code":0,"total":1,"data":[{"x":"TEXT","m":"宝宝","f":90}]})", &runPage<NicknameQuery>},
  };
}

TEST_F(ServiceTest, EveryKindHandsOnWellFormedTextFromTheServiceAndFromItsCache) {
  for (const Kind& kind : kinds()) {
    // A lone low surrogate, a lone high one, and one followed by a plain escape.
    server.answer(kind.path, kind.answer(R"(\uDC00李\uD800\uDBFF\u0041)"));
    std::size_t before = server.requestCount();
    for (const char* from : {"service", "cache"}) {
      std::vector<std::string> texts;
      ASSERT_EQ(kind.run(texts), 0) << kind.name << " from the " << from;
      EXPECT_TRUE(allWellFormed(texts)) << kind.name << " from the " << from;
      EXPECT_NE(std::find(texts.begin(), texts.end(), kFffd + "李" + kFffd + kFffd + "A"),
                texts.end())
          << kind.name << " from the " << from;
    }
    EXPECT_EQ(server.requestCount(), before + 2) << kind.name;  // asked once, then stored
  }
}

TEST_F(ServiceTest, AStoredAnswerWithInvalidBytesIsReadAsWellFormedText) {
  AnalysisQuery q;
  fill(q);
  ASSERT_TRUE(ResponseCache::write(ResponseCache::path(CacheKind::Analysis, q.cacheKey()),
                                   "{\"code\":0,\"data\":{\"a\xFF\":[\"\xED\xB0\x80\",\"\xC0\xAF\"]}}"));
  ASSERT_EQ(q.run(), 0);
  EXPECT_EQ(server.requestCount(), 0u);
  ASSERT_EQ(q.Data.getMemberNames(), std::vector<std::string>{"a" + kFffd});
  EXPECT_EQ(q.Data["a" + kFffd][0].asString(), kFffd + kFffd + kFffd);
  EXPECT_EQ(q.Data["a" + kFffd][1].asString(), kFffd + kFffd);
}

// Valid JSON of exactly `size` bytes: the good answer padded with blanks.
std::string padded(const std::string& answer, std::size_t size) {
  return answer + std::string(size - answer.size(), ' ');
}

TEST_F(ServiceTest, AnswersBeyondTheirKindsBoundAreRefusedAndNeverStored) {
  for (const Kind& kind : kinds()) {
    std::vector<std::string> texts;
    server.answer(kind.path, padded(kind.answer(), kind.bound + 1));
    EXPECT_EQ(kind.run(texts), 2) << kind.name;
    EXPECT_EQ(filesIn(kind.cache), 0u) << kind.name;

    // Within the bound, many tiny values side by side make no document.
    std::string tiny = "{\"pad\":[";
    while (tiny.size() + kind.answer().size() + 10 < kind.bound) tiny += "[],";
    tiny += "[]],";
    server.answer(kind.path, kind.answer().replace(0, 1, tiny));
    EXPECT_EQ(kind.run(texts), 2) << kind.name;

    // An answer of exactly the bound is read.
    server.answer(kind.path, padded(kind.answer(), kind.bound));
    EXPECT_EQ(kind.run(texts), 0) << kind.name;
    std::filesystem::remove_all(ResponseCache::folder(kind.cache));
    std::filesystem::create_directories(ResponseCache::folder(kind.cache));
  }
}

TEST_F(ServiceTest, AStoredAnswerBeyondItsKindsBoundIsIgnoredAndReplaced) {
  // Stored answers that the service never sent: too large to be an answer.
  for (const Kind& kind : kinds()) {
    server.answer(kind.path, kind.answer());
    std::vector<std::string> texts;
    ASSERT_EQ(kind.run(texts), 0) << kind.name;
    std::string stored;
    for (const auto& entry : std::filesystem::directory_iterator(ResponseCache::folder(kind.cache)))
      stored = entry.path().string();
    ASSERT_TRUE(ResponseCache::write(stored, padded(kind.answer(), kind.bound + 1)));

    std::size_t before = server.requestCount();
    EXPECT_EQ(kind.run(texts), 0) << kind.name;
    EXPECT_EQ(server.requestCount(), before + 2) << kind.name;
    EXPECT_EQ(test::readFile(stored), kind.answer()) << kind.name;
    std::filesystem::remove(stored);
  }
}

TEST_F(ServiceTest, AFortuneOrStoredAnalysisWhoseCodeIsNoIntegerIsNoSuccess) {
  for (const char* code : {"true", "[]", "\"0\"", "1e39", "null", "{}"}) {
    std::string answer =
        std::string(R"({"code":)") + code + R"(,"data":{"gx":"吉","list":["一"],"ys":[]}})";
    Json::Value root;
    ASSERT_TRUE(parseJson(answer, root));
    LuckQuery direct;
    EXPECT_EQ(direct.parseLuck(root), 3) << code;
    EXPECT_EQ(direct.Gx, "") << code;

    // From the service: stored, reported as a failure; stored: asked again.
    std::filesystem::remove(ResponseCache::path(CacheKind::Fortune, "李白"));
    server.answer("/v1/luck", answer);
    std::size_t before = server.requestsTo("/v1/luck").size();
    LuckQuery q;
    EXPECT_EQ(q.run("李", "白"), 2) << code;
    EXPECT_EQ(q.run("李", "白"), 2) << code;
    EXPECT_EQ(server.requestsTo("/v1/luck").size(), before + 2) << code;

    AnalysisQuery analysis;
    fill(analysis);
    ASSERT_TRUE(ResponseCache::write(ResponseCache::path(CacheKind::Analysis, analysis.cacheKey()),
                                     std::string(R"({"code":)") + code + R"(,"data":{"from":"disk"}})"));
    server.answer("/v1/show", R"({"code":0,"data":{"from":"service"}})");
    EXPECT_EQ(analysis.run(), 0) << code;
    EXPECT_EQ(analysis.Data["from"].asString(), "service") << code;
  }
}

}  // namespace
}  // namespace norvane
