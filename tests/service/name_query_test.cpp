// Pages of formal names and nicknames against a real server: the request on
// the wire, the reading of answers, the statuses and the page cache.
#include "service/name_query.h"

#include "service/answer_limits.h"
#include "service/envelope.h"
#include "service/json_access.h"
#include "service/response_cache.h"
#include "service/service_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace norvane {
namespace {

using test::kKey;
using test::referenceMd5;
using test::ServiceTest;

const char* kThreeNames = R"({"code":0,"total":23,"data":[
  {"x":"李","m":"明轩","f":92.5,"w":80,"s":75,"j":90,"c":3,"y":88},
  {"x":"李","m":"子涵","f":88.25,"w":70,"s":65,"j":85,"c":2,"y":77},
  {"x":"李","m":"浩然","f":79,"w":60,"s":55,"j":70,"c":1,"y":66}]})";

void fillBirth(PageQuery& q) {
  q.Xing = "李";
  q.Birthday = "2020-2-8 09:05:00";
  q.Gender = 2;
  q.Longitude = 116.4f;
  q.CityId = 110101;
}

std::size_t filesIn(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++n;
  }
  return n;
}

TEST_F(ServiceTest, FormalNameRequestCrossesTheWireInTheServicesLayout) {
  server.answer("/v1/build", kThreeNames);
  NameQuery q;
  q.Xing = "欧阳";
  q.Birthday = "2020-2-8 09:05:00";
  q.Gender = 2;
  q.Longitude = 116.4f;
  q.CityId = 110101;
  q.NameLength = 1;
  q.Page = 3;
  q.Account = "u1";
  q.Token = "tk";
  q.AdvancedSettings.FixedFirst = u'明';
  q.AdvancedSettings.FixedSecond = u'华';  // not sent while a first character is fixed
  ASSERT_EQ(q.run(true), 0);

  auto posts = server.requestsTo("/v1/build");
  ASSERT_EQ(posts.size(), 1u);
  std::string sign = referenceMd5(kKey + "欧阳" + "1" + "2" + "20200208090500" + "10" + "3" + "1" +
                                  "1700000000" + "u1" + "tk");
  EXPECT_EQ(posts[0].body,
            "{\n"
            "   \"account\" : \"u1\",\n"
            "   \"b\" : \"2020-2-8 09:05:00\",\n"
            "   \"jd\" : 116.40000152587891,\n"
            "   \"m\" : 1,\n"
            "   \"ming\" : 1,\n"
            "   \"number\" : 10,\n"
            "   \"page\" : 3,\n"
            "   \"set\" : {\n"
            "      \"cyz\" : 2,\n"
            "      \"ny\" : 1,\n"
            "      \"sm\" : 0,\n"
            "      \"sx\" : 0,\n"
            "      \"wx\" : 1,\n"
            "      \"xb\" : 0,\n"
            "      \"xmx\" : 0,\n"
            "      \"yd\" : 0,\n"
            "      \"ym\" : 0,\n"
            "      \"zxz\" : 0\n"
            "   },\n"
            "   \"sex\" : 2,\n"
            "   \"sign\" : \"" + sign + "\",\n"
            "   \"t\" : 1700000000,\n"
            "   \"token\" : \"tk\",\n"
            "   \"xing\" : \"欧阳\",\n"
            "   \"z1\" : [ \"明\" ]\n"
            "}\n");
  // The server time is asked first, once per request.
  auto all = server.requests();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].path, "/system/timenow");
}

TEST_F(ServiceTest, OnlyTheSecondFixedCharacterIsSentAsZ2) {
  server.answer("/v1/build", kThreeNames);
  NameQuery q;
  fillBirth(q);
  q.AdvancedSettings.FixedSecond = u'华';
  ASSERT_EQ(q.run(true), 0);
  Json::Value sent;
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/build")[0].body, sent));
  EXPECT_FALSE(sent.isMember("z1"));
  EXPECT_EQ(sent["z2"][0].asString(), "华");
}

TEST_F(ServiceTest, NicknameRequestCarriesItsPatternsAndItsOwnSign) {
  server.setTime("  -12\n");
  server.answer("/v1/child/build", kThreeNames);
  NicknameQuery q;
  fillBirth(q);
  q.NicknameStyles[0] = true;
  q.NicknameStyles[3] = true;
  ASSERT_EQ(q.run(true), 0);
  std::string sign =
      referenceMd5(kKey + "李" + "2" + "20200208090500" + "10" + "1" + "1" + "-12" + "" + "");
  EXPECT_EQ(server.requestsTo("/v1/child/build")[0].body,
            "{\n"
            "   \"account\" : \"\",\n"
            "   \"b\" : \"2020-2-8 09:05:00\",\n"
            "   \"jd\" : 116.40000152587891,\n"
            "   \"m\" : 1,\n"
            "   \"number\" : 10,\n"
            "   \"page\" : 1,\n"
            "   \"set\" : {\n"
            "      \"ct1\" : true,\n"
            "      \"ct2\" : false,\n"
            "      \"ct3\" : false,\n"
            "      \"ct4\" : true,\n"
            "      \"ct5\" : false,\n"
            "      \"ct6\" : false\n"
            "   },\n"
            "   \"sex\" : 2,\n"
            "   \"sign\" : \"" + sign + "\",\n"
            "   \"t\" : -12,\n"
            "   \"token\" : \"\",\n"
            "   \"xing\" : \"李\"\n"
            "}\n");
  for (const NameRecord& r : q.Names) EXPECT_TRUE(r.IsXiaoming);
}

TEST_F(ServiceTest, APageOfNamesCarriesTheQuerysBirthData) {
  server.answer("/v1/build", kThreeNames);
  NameQuery q;
  fillBirth(q);
  q.NameLength = 2;
  ASSERT_EQ(q.run(true), 0);
  EXPECT_EQ(q.Total, 23);
  ASSERT_EQ(q.Names.size(), 3u);
  const NameRecord& first = q.Names[0];
  EXPECT_EQ(first.Xing, "李");
  EXPECT_EQ(first.Ming, "明轩");
  EXPECT_FLOAT_EQ(first.FengShu, 92.5f);
  EXPECT_EQ(first.WuXing, 80);
  EXPECT_EQ(first.ShengXiao, 75);
  EXPECT_EQ(first.JiXiong, 90);
  EXPECT_EQ(first.ChangYongDu, 3);
  EXPECT_EQ(first.YinLv, 88);
  EXPECT_EQ(q.Names[2].Ming, "浩然");
  for (const NameRecord& r : q.Names) {
    EXPECT_EQ(r.Birthday, "2020-2-8 09:05:00");
    EXPECT_EQ(r.CityId, 110101);
    EXPECT_EQ(r.Gender, 2);
    EXPECT_FLOAT_EQ(r.Longitude, 116.4f);
    EXPECT_FALSE(r.IsXiaoming);
  }
}

struct StatusCase {
  const char* name;
  int httpStatus;
  std::string body;
  ServiceStatus expected;
  std::size_t names;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class PageStatusTest : public ServiceTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(PageStatusTest, EndsInItsStatusAndCachesOnlySuccess) {
  const StatusCase& c = GetParam();
  server.answer("/v1/build", c.body, c.httpStatus,
                c.httpStatus == 200 ? "application/json" : "text/html");
  NameQuery q;
  fillBirth(q);
  q.Names.push_back(NameRecord{});  // the previous page
  q.Total = 99;
  EXPECT_EQ(q.run(true), c.expected);
  EXPECT_EQ(q.Names.size(), c.names);
  // A failed page keeps the total of the last page that was delivered.
  if (c.expected != 0 && c.expected != 10) {
    EXPECT_EQ(q.Total, 99);
  }
  EXPECT_EQ(filesIn(ResponseCache::folder(CacheKind::NamePage)), c.expected == 0 ? 1u : 0u);
}

const StatusCase kStatusCases[] = {
    {"EmptyBody", 200, "", 1, 0},
    {"Html500", 500, "<html><body><h1>500 Internal Server Error</h1></body></html>", 2, 0},
    {"NotJson", 200, "code=0", 2, 0},
    {"NoCode", 200, R"({"total":3,"data":[{"x":"李","m":"白"}]})", 3, 0},
    {"RootIsArray", 200, R"([{"code":0}])", 3, 0},
    {"RootIsNumber", 200, "0", 3, 0},
    {"CodeIsText", 200, R"({"code":"0","data":[{"x":"李"}]})", 3, 0},
    {"SignExpired", 200, R"({"code":1002,"msg":"sign expired"})", 1002, 0},
    {"UnknownCode", 200, R"({"code":500})", 500, 0},
    {"EmptyData", 200, R"({"code":0,"total":0,"data":[]})", 10, 0},
    {"NoData", 200, R"({"code":0,"total":5})", 10, 0},
    {"DataIsObject", 200, R"({"code":0,"data":{"a":{"x":"李"},"b":{"x":"王"}}})", 10, 0},
    {"DeepNesting", 200,
     R"({"code":0,"data":)" + std::string(100000, '[') + std::string(100000, ']') + "}", 2, 0},
    {"Success", 200, kThreeNames, 0, 3},
    // Wrong types everywhere: nothing throws, each wrong member reads as absent.
    {"WrongTypes", 200,
     R"({"code":0,"total":"23","data":[{"x":5,"m":{"a":1},"f":"92.5","w":[1],"s":true,"j":null,
        "c":"x","y":{}},"oops",[1,2],{"x":"李","m":"白","f":92.5}]})",
     0, 4},
};

INSTANTIATE_TEST_SUITE_P(Answers, PageStatusTest, ::testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, WrongTypedMembersGiveEmptyFields) {
  server.answer("/v1/build", kStatusCases[std::size(kStatusCases) - 1].body);
  NameQuery q;
  fillBirth(q);
  ASSERT_EQ(q.run(true), 0);
  EXPECT_EQ(q.Total, 0);
  ASSERT_EQ(q.Names.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    const NameRecord& r = q.Names[i];
    EXPECT_EQ(r.Xing, "");
    EXPECT_EQ(r.Ming, "");
    EXPECT_EQ(r.FengShu, 0.0f);
    EXPECT_EQ(r.WuXing + r.ShengXiao + r.JiXiong + r.ChangYongDu + r.YinLv, 0);
    EXPECT_EQ(r.Birthday, "2020-2-8 09:05:00");
  }
  EXPECT_EQ(q.Names[3].Ming, "白");
  EXPECT_FLOAT_EQ(q.Names[3].FengShu, 92.5f);
}

TEST_F(ServiceTest, AHugeAnswerIsNotJsonAndIsNotCached) {
  server.on("/v1/build", [](const httplib::Request&, httplib::Response& res) {
    // A well-formed page whose one name is 40 MiB long.
    res.set_chunked_content_provider("application/json", [](size_t offset, httplib::DataSink& sink) {
      static const std::string head = R"({"code":0,"total":1,"data":[{"x":"李","m":")";
      static const std::string filler(1 << 20, 'a');
      static const std::string tail = R"("}]})";
      if (offset == 0) return sink.write(head.data(), head.size());
      if (offset < head.size() + (40u << 20)) return sink.write(filler.data(), filler.size());
      sink.write(tail.data(), tail.size());
      sink.done();
      return true;
    });
  });
  NameQuery q;
  fillBirth(q);
  EXPECT_EQ(q.run(true), 2);
  EXPECT_TRUE(q.Names.empty());
  EXPECT_EQ(filesIn(ResponseCache::folder(CacheKind::NamePage)), 0u);
}

TEST_F(ServiceTest, AnOversizedPageOfEmptyRecordsIsRefusedFromServiceAndCache) {
  // Well-formed, far below the transfer bound, but hundreds of thousands of records.
  std::string flood = R"({"code":0,"total":1,"data":[)";
  while (flood.size() <= kMaxPageAnswerBytes) flood += "{},";
  flood += "{}]}";
  server.answer("/v1/build", flood);
  NameQuery q;
  fillBirth(q);
  EXPECT_EQ(q.run(true), 2);
  EXPECT_TRUE(q.Names.empty());
  EXPECT_EQ(filesIn(ResponseCache::folder(CacheKind::NamePage)), 0u);

  // The same text left in the cache is not read; the service is asked instead.
  ASSERT_TRUE(ResponseCache::write(ResponseCache::path(CacheKind::NamePage, q.cacheKey()), flood));
  server.answer("/v1/build", kThreeNames);
  EXPECT_EQ(q.run(true), 0);
  EXPECT_EQ(q.Names.size(), 3u);
}

TEST_F(ServiceTest, APageOfMoreRecordsThanAnyPageHoldsIsRefused) {
  auto page = [](std::size_t records) {
    std::string text = R"({"code":0,"total":1,"data":[{})";
    for (std::size_t i = 1; i < records; ++i) text += ",{}";
    return text + "]}";
  };
  NameQuery q;
  fillBirth(q);
  server.answer("/v1/build", page(kMaxPageRecords + 1));
  EXPECT_EQ(q.run(true), 2);
  EXPECT_TRUE(q.Names.empty());
  EXPECT_EQ(filesIn(ResponseCache::folder(CacheKind::NamePage)), 0u);

  // Stored, it is passed over for the service's answer.
  std::string path = ResponseCache::path(CacheKind::NamePage, q.cacheKey());
  ASSERT_TRUE(ResponseCache::write(path, page(kMaxPageRecords + 1)));
  server.answer("/v1/build", page(kMaxPageRecords));
  EXPECT_EQ(q.run(true), 0);
  EXPECT_EQ(q.Names.size(), kMaxPageRecords);
  EXPECT_EQ(test::readFile(path), page(kMaxPageRecords));
}

TEST_F(ServiceTest, NoServerGivesNoResponse) {
  ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), "http://127.0.0.1:1");
  NameQuery q;
  fillBirth(q);
  EXPECT_EQ(q.run(true), 1);
}

TEST_F(ServiceTest, AStoredPageIsServedWithoutAnyRequest) {
  server.answer("/v1/build", kThreeNames);
  NameQuery first;
  fillBirth(first);
  ASSERT_EQ(first.run(true), 0);
  ASSERT_EQ(server.requestCount(), 2u);

  // The service would now answer differently; the stored page still wins,
  // also for a birth place that differs only in its longitude.
  server.answer("/v1/build", R"({"code":1002})");
  NameQuery again;
  fillBirth(again);
  again.Longitude = 121.5f;
  EXPECT_EQ(again.run(true), 0);
  EXPECT_EQ(server.requestCount(), 2u);
  ASSERT_EQ(again.Names.size(), 3u);
  EXPECT_EQ(again.Total, 23);
  EXPECT_EQ(again.Names[1].Ming, "子涵");
  EXPECT_FLOAT_EQ(again.Names[1].Longitude, 121.5f);  // records carry the asking query's data

  // Another page, another gender or other settings are other questions.
  NameQuery otherPage;
  fillBirth(otherPage);
  otherPage.Page = 2;
  EXPECT_EQ(otherPage.run(true), 1002);
  NameQuery otherSettings;
  fillBirth(otherSettings);
  otherSettings.AdvancedSettings.sm = 1;
  EXPECT_EQ(otherSettings.run(true), 1002);
  EXPECT_EQ(server.requestCount(), 6u);
}

TEST_F(ServiceTest, AStoredPageWithoutNamesIsIgnoredAndReplaced) {
  NameQuery q;
  fillBirth(q);
  std::string path = ResponseCache::path(CacheKind::NamePage, q.cacheKey());
  for (const char* stored : {R"({"code":1002})", R"({"code":0,"data":[]})", "garbage"}) {
    ASSERT_TRUE(ResponseCache::write(path, stored));
    server.answer("/v1/build", kThreeNames);
    std::size_t before = server.requestCount();
    EXPECT_EQ(q.run(true), 0) << stored;
    EXPECT_EQ(server.requestCount(), before + 2) << stored;
    EXPECT_EQ(test::readFile(path), kThreeNames);
  }
}

// ---------------------------------------------------------------------------
// The classical source of a name ("ChuChu")

struct SourceCase {
  const char* name;
  std::string chuChu;  // the member's JSON text; "" leaves it out
  NameSource expected;
};

void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }

class NameSourceTest : public ::testing::TestWithParam<SourceCase> {};

TEST_P(NameSourceTest, ARecordReadsItsSourceWholeOrNotAtAll) {
  const SourceCase& c = GetParam();
  std::string item = R"({"x":"李","m":"雎鸠","f":90.5,"w":80)";
  if (!c.chuChu.empty()) item += R"(,"ChuChu":)" + c.chuChu;
  item += "}";
  Json::Value root;
  ASSERT_TRUE(parseJson(R"({"code":0,"total":2,"data":[)" + item + R"(,{"x":"李","m":"白"}]})", root));
  NameQuery q;
  fillBirth(q);
  ASSERT_EQ(q.parsePage(root), 0);
  ASSERT_EQ(q.Names.size(), 2u);
  EXPECT_EQ(q.Names[0].ChuChu, c.expected);
  EXPECT_EQ(q.Names[0].Ming, "雎鸠");  // the rest of the record reads as always
  EXPECT_FLOAT_EQ(q.Names[0].FengShu, 90.5f);
  EXPECT_TRUE(q.Names[1].ChuChu.empty());
}

const NameSource kGuanJu{"关关雎鸠，在河之洲", "周南·关雎", "", "诗经"};

const SourceCase kSourceCases[] = {
    {"Absent", "", {}},
    {"Whole", R"({"Text":"关关雎鸠，在河之洲","Title":"周南·关雎","Author":"","Book":"诗经"})", kGuanJu},
    {"ExtraMembersIgnored",
     R"({"Book":"诗经","Text":"关关雎鸠，在河之洲","Title":"周南·关雎","Author":"","Note":[1]})", kGuanJu},
    // Service texts are data, kept exactly as sent; the windows show them as text.
    {"HostileTextsKept",
     R"({"Text":"<b>雎鸠</b><img src=x onerror=alert(1)>","Title":"</script><script>alert(1)</script>",
        "Author":"&amp;\u0000","Book":"诗经"})",
     {"<b>雎鸠</b><img src=x onerror=alert(1)>", "</script><script>alert(1)</script>",
      std::string("&amp;\0", 6), "诗经"}},
    {"NotAnObject", R"("关关雎鸠")", {}},
    {"AnArray", R"(["关关雎鸠","周南·关雎","","诗经"])", {}},
    {"Null", "null", {}},
    {"TitleNotAString", R"({"Text":"关关雎鸠","Title":1,"Author":"","Book":"诗经"})", {}},
    {"AuthorNull", R"({"Text":"关关雎鸠","Title":"关雎","Author":null,"Book":"诗经"})", {}},
    {"BookMissing", R"({"Text":"关关雎鸠","Title":"关雎","Author":""})", {}},
    {"TextAnObject", R"({"Text":{"a":"b"},"Title":"关雎","Author":"","Book":"诗经"})", {}},
    {"EmptyText", R"({"Text":"","Title":"关雎","Author":"","Book":"诗经"})", {}},
    {"HugeText",
     R"({"Text":")" + std::string(kMaxSourceTextBytes + 1, 'a') + R"(","Title":"关雎","Author":"","Book":"诗经"})", {}},
    {"LongestText",
     R"({"Text":")" + std::string(kMaxSourceTextBytes, 'a') + R"(","Title":"关雎","Author":"","Book":"诗经"})",
     {std::string(kMaxSourceTextBytes, 'a'), "关雎", "", "诗经"}},
    {"HugeTitle",
     R"({"Text":"关关雎鸠","Title":")" + std::string(kMaxSourceLabelBytes + 1, 't') + R"(","Author":"","Book":"诗经"})",
     {}},
};

INSTANTIATE_TEST_SUITE_P(ChuChu, NameSourceTest, ::testing::ValuesIn(kSourceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, NicknamePagesNeverCarryASource) {
  server.answer("/v1/child/build", R"({"code":0,"total":1,"data":[{"x":"李","m":"宝宝",
      "ChuChu":{"Text":"宝宝","Title":"t","Author":"a","Book":"诗经"}}]})");
  NicknameQuery q;
  fillBirth(q);
  q.NicknameStyles[0] = true;
  ASSERT_EQ(q.run(true), 0);
  ASSERT_EQ(q.Names.size(), 1u);
  EXPECT_TRUE(q.Names[0].ChuChu.empty());
}

TEST_F(ServiceTest, AChosenSourceBookIsSentAsCcAndKeepsItsOwnCachedPages) {
  const char* withSource = R"({"code":0,"total":1,"data":[{"x":"李","m":"雎鸠","f":90,
      "ChuChu":{"Text":"关关雎鸠，在河之洲","Title":"周南·关雎","Author":"","Book":"诗经"}}]})";
  NameQuery plain;
  fillBirth(plain);
  plain.NameLength = 2;
  server.answer("/v1/build", kThreeNames);
  ASSERT_EQ(plain.run(true), 0);
  const std::string plainBody = server.requestsTo("/v1/build").at(0).body;
  EXPECT_EQ(plainBody.find("\"cc\""), std::string::npos);

  // The same question narrowed to 诗经: the body is today's with "cc" in
  // "set" (and the same signature); the service is asked, not the cache.
  NameQuery shijing = plain;
  shijing.AdvancedSettings.cc = sourceBookPosition("诗经");
  server.answer("/v1/build", withSource);
  ASSERT_EQ(shijing.run(true), 0);
  std::string expected = plainBody;
  const std::string setOpening = "   \"set\" : {\n";
  ASSERT_NE(expected.find(setOpening), std::string::npos);
  expected.insert(expected.find(setOpening) + setOpening.size(), "      \"cc\" : \"诗经\",\n");
  ASSERT_EQ(server.requestsTo("/v1/build").size(), 2u);
  EXPECT_EQ(server.requestsTo("/v1/build").at(1).body, expected);
  ASSERT_EQ(shijing.Names.size(), 1u);
  EXPECT_EQ(shijing.Names[0].ChuChu, (NameSource{"关关雎鸠，在河之洲", "周南·关雎", "", "诗经"}));

  // Both pages now come from the cache, each with its own records and source.
  server.answer("/v1/build", R"({"code":1002})");
  NameQuery plainAgain = plain, shijingAgain = shijing;
  ASSERT_EQ(plainAgain.run(true), 0);
  ASSERT_EQ(shijingAgain.run(true), 0);
  EXPECT_EQ(server.requestsTo("/v1/build").size(), 2u);
  EXPECT_EQ(plainAgain.Names.size(), 3u);
  EXPECT_TRUE(plainAgain.Names[0].ChuChu.empty());
  ASSERT_EQ(shijingAgain.Names.size(), 1u);
  EXPECT_EQ(shijingAgain.Names[0].ChuChu, shijing.Names[0].ChuChu);

  // 不限 and positions outside the list are no narrowing: today's body.
  for (int position : {0, -1, kSourceBookCount}) {
    NameQuery other = plain;
    other.AdvancedSettings.cc = position;
    EXPECT_EQ(other.requestBody(), plain.requestBody()) << position;
    EXPECT_EQ(other.cacheKey(), plain.cacheKey()) << position;
  }
}

TEST(SourceBookTest, BooksAreKnownByTheirNamesOnly) {
  for (int i = 0; i < kSourceBookCount; ++i) EXPECT_EQ(sourceBookPosition(kSourceBooks[i]), i);
  for (const char* other : {"", "诗", "诗经 ", "唐诗三百首", "Shijing"}) EXPECT_EQ(sourceBookPosition(other), -1) << other;
  EXPECT_EQ(sourceBookSent(0), "");
  EXPECT_EQ(sourceBookSent(4), "宋词");
  EXPECT_EQ(sourceBookSent(6), "");
}

TEST(CacheKeyTest, PageKeysListInputPageAndSettings) {
  NameQuery names;
  fillBirth(names);
  names.NameLength = 2;
  names.Page = 4;
  names.AdvancedSettings.FixedFirst = u'明';  // U+660E = 26126
  EXPECT_EQ(names.cacheKey(), "李|2|2|2020-2-8 09:05:00|110101|4|2100100000261260");
  // A chosen source book is one more part; 不限 leaves the key as it was.
  names.AdvancedSettings.cc = sourceBookPosition("唐诗");
  EXPECT_EQ(names.cacheKey(), "李|2|2|2020-2-8 09:05:00|110101|4|2100100000261260|唐诗");
  names.AdvancedSettings.cc = 0;
  EXPECT_EQ(names.cacheKey(), "李|2|2|2020-2-8 09:05:00|110101|4|2100100000261260");

  NicknameQuery nicknames;
  fillBirth(nicknames);
  nicknames.NicknameStyles[0] = nicknames.NicknameStyles[1] = true;
  EXPECT_EQ(nicknames.cacheKey(), "李|2|0|2020-2-8 09:05:00|110101|1|110000");
}

TEST(NameRecordTest, EqualityIgnoresOnlyCommonness) {
  NameRecord a;
  a.Xing = "李";
  a.Ming = "白";
  a.FengShu = 92.5f;
  NameRecord b = a;
  b.ChangYongDu = 3;
  EXPECT_TRUE(a == b);
  auto differs = [&](auto change) {
    NameRecord c = a;
    change(c);
    return !(a == c);
  };
  EXPECT_TRUE(differs([](NameRecord& r) { r.Ming = "黑"; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.Birthday = "2020-2-8 09:05:00"; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.FengShu = 92.51f; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.Longitude = 1; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.YinLv = 1; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.CityId = 1; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.Gender = 2; }));
  EXPECT_TRUE(differs([](NameRecord& r) { r.IsXiaoming = true; }));
}

}  // namespace
}  // namespace norvane
