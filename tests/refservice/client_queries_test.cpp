// The client's own queries against the reference service: every answer must
// parse into what the client reads, with the members and types its reports use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/folders.h"
#include "platform/utf8.h"
#include "refservice_test_support.h"
#include "service/analysis_query.h"
#include "service/endpoints.h"
#include "service/name_query.h"
#include "support/temp_dir.h"

namespace norvane::refservice::test {
namespace {

// A running service and a client pointed at it with an empty answer cache.
class ClientAgainstService : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.started()) << server_.error();
    pointClientAt(dataDir_.path());
  }
  void pointClientAt(const std::string& dataFolder) {
    norvane::ServiceEndpoints::initialize(NORVANE_BIN_DIR, dataFolder,
                                          "http://127.0.0.1:" + std::to_string(server_.server().port()));
  }
  void requireNaming() {
    ASSERT_TRUE(server_.server().namingReady()) << "naming engine: " << server_.server().engineError();
  }
  void fault(const std::string& control) {
    ASSERT_EQ(exchange("POST", server_.url("/control/fault"), control, "").status, 200);
  }

  static void fillBirth(norvane::BirthInfo& q, const char* xing, int gender) {
    q.Xing = xing;
    q.Birthday = "2019-3-7 08:05:00";
    q.Gender = gender;
    q.Longitude = 116.4f;
    q.CityId = 110101;
  }

  // The naming tables built beside the program, with the small vocabulary of
  // the naming tests so the answers do not depend on a built local.dat.
  static ServerOptions namingOptions() {
    ServerOptions options;
    options.vocabularyFile = std::string(NORVANE_SOURCE_DIR) + "/tests/refservice/naming/fixture";
    return options;
  }

  RunningServer server_{namingOptions()};
  norvane::test::TempDir dataDir_;
};

std::vector<std::string> mings(const norvane::PageQuery& q) {
  std::vector<std::string> out;
  for (const auto& r : q.Names) out.push_back(r.Ming);
  return out;
}

TEST_F(ClientAgainstService, FormalNamePagesAreStableAndCoverTheWholeSet) {
  requireNaming();
  norvane::NameQuery q;
  fillBirth(q, "李", 1);
  q.NameLength = 2;
  ASSERT_EQ(q.run(true), 0);
  ASSERT_EQ(q.Names.size(), 10u);
  int total = q.Total;
  ASSERT_GT(total, 20);
  std::vector<std::string> page1 = mings(q);
  for (const auto& r : q.Names) {
    SCOPED_TRACE(r.Ming);
    EXPECT_EQ(r.Xing, "李");
    EXPECT_EQ(norvane::utf8Length(r.Ming), 2u);
    EXPECT_GT(r.FengShu, 0.f);
    EXPECT_LE(r.FengShu, 100.f);
    for (int rating : {r.WuXing, r.ShengXiao, r.JiXiong}) {
      EXPECT_GE(rating, 0);
      EXPECT_LE(rating, 100);
    }
    EXPECT_EQ(r.Birthday, q.Birthday);
    EXPECT_FALSE(r.IsXiaoming);
  }

  q.Page = 2;
  ASSERT_EQ(q.run(true), 0);
  EXPECT_EQ(q.Total, total);
  std::vector<std::string> page2 = mings(q);
  for (const auto& m : page2) EXPECT_EQ(std::count(page1.begin(), page1.end(), m), 0) << m << " on two pages";

  // The last page holds the rest; the page after it is empty.
  unsigned pages = static_cast<unsigned>((total + 9) / 10);
  q.Page = pages;
  ASSERT_EQ(q.run(true), 0);
  EXPECT_EQ(q.Names.size(), static_cast<std::size_t>(total - 10 * (static_cast<int>(pages) - 1)));
  q.Page = pages + 1;
  EXPECT_EQ(q.run(true), 10);

  // Asked again without a cache, page 1 is the same page.
  norvane::test::TempDir other;
  pointClientAt(other.path());
  q.Page = 1;
  ASSERT_EQ(q.run(true), 0);
  EXPECT_EQ(mings(q), page1);
  EXPECT_EQ(q.Total, total);
}

TEST_F(ClientAgainstService, FixedCharacterAndNameLengthReachTheNames) {
  requireNaming();
  struct Row {
    unsigned length;
    char16_t first, second;
    int position;  // where the fixed character must stand, -1 none
  } rows[] = {{1, 0, 0, -1}, {2, u'子', 0, 0}, {2, 0, u'明', 1}, {2, u'子', u'明', 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.position);
    norvane::NameQuery q;
    fillBirth(q, "欧阳", 2);
    q.NameLength = row.length;
    q.AdvancedSettings.FixedFirst = row.first;
    q.AdvancedSettings.FixedSecond = row.second;
    ASSERT_EQ(q.run(true), 0);
    ASSERT_FALSE(q.Names.empty());
    std::string fixed = row.position < 0 ? "" : norvane::fixedCharacterText(row.first ? row.first : row.second);
    for (const auto& r : q.Names) {
      EXPECT_EQ(r.Xing, "欧阳");
      EXPECT_EQ(norvane::utf8Length(r.Ming), row.length) << r.Ming;
      if (row.position >= 0) {
        std::u32string cps = norvane::utf8ToCodePoints(r.Ming);
        EXPECT_EQ(norvane::codePointToUtf8(cps[static_cast<std::size_t>(row.position)]), fixed) << r.Ming;
      }
    }
  }
}

TEST_F(ClientAgainstService, NicknamePagesFollowTheChosenPatterns) {
  requireNaming();
  norvane::NicknameQuery q;
  fillBirth(q, "王", 2);
  q.NicknameStyles[1] = true;  // 小宝
  ASSERT_EQ(q.run(true), 0);
  ASSERT_FALSE(q.Names.empty());
  EXPECT_GT(q.Total, 0);
  for (const auto& r : q.Names) {
    EXPECT_TRUE(r.IsXiaoming);
    EXPECT_EQ(norvane::utf8Prefix(r.Ming, 1), "小") << r.Ming;
    EXPECT_EQ(norvane::utf8Length(r.Ming), 2u) << r.Ming;
  }
}

// The members of a name analysis the reports read, with the types they read them as.
enum class Kind { Text, Integer, Number, Array, Any };

const Json::Value* at(const Json::Value& root, const std::string& path) {
  const Json::Value* v = &root;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t dot = path.find('.', start);
    std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (!v->isObject() || !v->isMember(part)) return nullptr;
    v = &(*v)[part];
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return v;
}

bool holdsNumber(const Json::Value& v) {
  if (v.isNumeric()) return true;
  if (!v.isString() || v.asString().empty()) return false;
  char* end = nullptr;
  std::strtod(v.asCString(), &end);
  return end != v.asCString();
}

void expectKind(const Json::Value& data, const std::string& path, Kind kind) {
  SCOPED_TRACE(path);
  const Json::Value* v = at(data, path);
  ASSERT_NE(v, nullptr) << "missing";
  switch (kind) {
    case Kind::Text: EXPECT_TRUE(v->isString()); break;
    case Kind::Integer: EXPECT_TRUE(v->isIntegral() && !v->isBool()); break;
    case Kind::Number: EXPECT_TRUE(v->isNumeric() && !v->isBool()); break;
    case Kind::Array: EXPECT_TRUE(v->isArray()); break;
    case Kind::Any: EXPECT_FALSE(v->isNull()); break;
  }
}

TEST_F(ClientAgainstService, NameAnalysisCarriesEveryMemberTheReportsRead) {
  requireNaming();
  norvane::AnalysisQuery q(norvane::Endpoint::NameAnalysis);
  q.Xing = "李";
  q.Ming = "明轩";
  q.Birthday = "2019-3-7 08:05:00";
  q.Gender = 1;
  q.Longitude = 116.4f;
  ASSERT_EQ(q.run(), 0);
  const Json::Value& d = q.Data;

  for (const char* p : {"name.words", "name.py", "name.wx", "name.jx", "name.pp1", "name.pp2"}) {
    expectKind(d, p, Kind::Array);
    const Json::Value* v = at(d, p);
    if (v && v->isArray()) {
      EXPECT_EQ(v->size(), 3u) << p << ": one element per character of the full name";
      for (const auto& e : *v) EXPECT_TRUE(e.isString()) << p;
    }
  }
  for (const char* p : {"score.total", "score.bhfen"}) expectKind(d, p, Kind::Number);
  for (const char* p : {"score.wx", "score.jx", "score.sx", "score.yy", "score.sd", "score.sm", "score.ym", "score.zx"})
    expectKind(d, p, Kind::Integer);
  for (const char* p : {"score.sd", "score.sm", "score.ym", "score.zx"}) {
    const Json::Value* v = at(d, p);
    if (v) {
      EXPECT_GE(v->asInt(), 0) << p;
      EXPECT_LE(v->asInt(), 3) << p;
    }
  }
  for (const char* p : {"time.nl", "time.xnl", "time.xsr"}) expectKind(d, p, Kind::Text);
  for (const char* p : {"time.bsd", "time.bfz", "time.bms", "time.tsd", "time.tfz", "time.tms", "time.xsd", "time.xfz",
                        "time.xms"})
    expectKind(d, p, Kind::Integer);
  for (const char* p : {"bazi", "pdy", "geju", "youdao", "cgsm.l", "cgsm.q", "peihe.p4", "peihe.p5", "content.jy",
                        "content.htbj", "content.mpys", "content.kymp"})
    expectKind(d, p, Kind::Any);
  expectKind(d, "cgsm.id", Kind::Integer);
  expectKind(d, "sclm.s1", Kind::Text);
  EXPECT_NE(d["sclm"]["s1"].asString().find(','), std::string::npos);
  expectKind(d, "sclm.s2", Kind::Array);
  EXPECT_EQ(d["sclm"]["s2"].size(), 4u);
  for (const auto& e : d["sclm"]["s2"]) EXPECT_NE(e.asString().find(','), std::string::npos);
  for (const char* p : {"wuge.tg", "wuge.rg", "wuge.dg", "wuge.wg", "wuge.zg"}) {
    expectKind(d, p, Kind::Array);
    const Json::Value* v = at(d, p);
    if (v && v->isArray() && v->size() == 3) {
      EXPECT_TRUE(holdsNumber((*v)[2])) << p;
    } else {
      ADD_FAILURE() << p << " is not an array of three";
    }
  }
  expectKind(d, "sancai.id", Kind::Integer);
  expectKind(d, "sancai.pz", Kind::Array);
  EXPECT_EQ(d["sancai"]["pz"].size(), 3u);
  expectKind(d, "sancai.js", Kind::Text);
  for (const char* p : {"peihe.p1", "peihe.p2", "peihe.p3"}) expectKind(d, p, Kind::Integer);
  expectKind(d, "peihe.p6", Kind::Array);
  ASSERT_EQ(d["peihe"]["p6"].size(), 2u);
  EXPECT_TRUE(holdsNumber(d["peihe"]["p6"][1]));
  for (const char* p : {"content.sx", "content.gx", "content.sr", "content.xz"}) expectKind(d, p, Kind::Text);
}

TEST_F(ClientAgainstService, NicknameAnalysisCarriesEveryMemberTheReportReads) {
  requireNaming();
  norvane::AnalysisQuery q(norvane::Endpoint::NicknameAnalysis);
  q.Xing = "王";
  q.Ming = "小萌";
  q.Birthday = "2019-3-7 08:05:00";
  q.Gender = 2;
  q.Longitude = 116.4f;
  ASSERT_EQ(q.run(), 0);
  const Json::Value& d = q.Data;
  for (const char* p : {"name.words", "name.pp1", "name.pp2"}) expectKind(d, p, Kind::Array);
  expectKind(d, "name.sx", Kind::Text);
  expectKind(d, "score", Kind::Any);
  expectKind(d, "jianyi", Kind::Any);
  for (const char* p : {"shuli.xm", "shuli.zong"}) {
    expectKind(d, p, Kind::Array);
    const Json::Value* v = at(d, p);
    if (v && v->isArray() && v->size() == 2) {
      EXPECT_TRUE(holdsNumber((*v)[0])) << p;
    } else {
      ADD_FAILURE() << p << " is not an array of two";
    }
  }
}

TEST_F(ClientAgainstService, FortuneFillsAllThreeParts) {
  requireNaming();
  norvane::LuckQuery q;
  ASSERT_EQ(q.run("李", "明轩"), 0);
  EXPECT_FALSE(q.Gx.empty());
  EXPECT_FALSE(q.List.empty());
  EXPECT_FALSE(q.Ys.empty());
}

// What the client makes of each scripted fault (and of a good answer).
TEST_F(ClientAgainstService, ClientStatusForEachFault) {
  struct Row {
    const char* control;
    int status;
  } rows[] = {
      {R"({"mode":"empty"})", 1},
      {R"({"mode":"html500"})", 2},
      {R"({"mode":"cut"})", 2},
      {R"({"mode":"notjson"})", 2},
      {R"({"mode":"nocode"})", 3},
      {R"({"mode":"code","code":1002})", 1002},
      {R"({"mode":"code","code":500})", 500},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control);
    fault(row.control);
    norvane::AnalysisQuery q(norvane::Endpoint::NameAnalysis);
    q.Xing = "李";
    q.Ming = "明轩";
    q.Birthday = "2019-3-7 08:0" + std::to_string(n++) + ":00";  // a new question each time: no cache
    q.Gender = 1;
    q.Longitude = 116.4f;
    EXPECT_EQ(q.run(), row.status);
  }
}

// The client's envelope is accepted as it stands: its sign and time pass.
TEST_F(ClientAgainstService, ClientRequestsPassTheEnvelope) {
  norvane::NameQuery names;
  fillBirth(names, "李", 1);
  names.NameLength = 2;
  names.Account = "13800138000";
  names.Token = "token-text";
  names.AdvancedSettings.FixedFirst = u'子';
  norvane::NicknameQuery nicknames;
  fillBirth(nicknames, "欧阳", 2);
  nicknames.NicknameStyles[5] = true;
  norvane::AnalysisQuery analysis(norvane::Endpoint::NicknameAnalysis);
  analysis.Xing = "王";
  analysis.Ming = "小萌";
  analysis.Birthday = "2019-12-25 23:59:00";
  analysis.Longitude = 87.6f;
  norvane::LuckQuery luck;
  int statuses[] = {names.run(true), nicknames.run(true), analysis.run(), luck.run("欧阳", "子明")};
  for (int status : statuses) {
    EXPECT_NE(status, 1001);
    EXPECT_NE(status, 1002);
    EXPECT_NE(status, 1003);
    EXPECT_NE(status, 1004);
    if (server_.server().namingReady()) {
      EXPECT_EQ(status, 0);
    }
  }
}

}  // namespace
}  // namespace norvane::refservice::test
