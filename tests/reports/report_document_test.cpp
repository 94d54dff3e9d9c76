// The printable documents of the reports and the comparison of names: every
// page carries exactly the data its template gets in the report window, and
// the comparison's values and best marks come from each name's analysis.
#include "reports/report_document.h"

#include <gtest/gtest.h>

#include "reports/comparison_data.h"
#include "reports/report_fixture.h"
#include "service/json_access.h"

namespace norvane::reports {
namespace {

using test::parsed;

class ReportDocumentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempDir;
    ready_ = test::makeReportProgramFolder(folder_->path());
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(ready_) << "fixture program folder could not be made";
    ProgramFolder = folder_->path();
    KnowledgeDbPath = folder_->file("local.dat");
    ASSERT_TRUE(db_.open(KnowledgeDbPath, true));
  }

  // The fixture analysis with other scores and grid numbers.
  Json::Value variant(double total, int wx, int jx, int sx, int yy, double bhfen, const char* tg) {
    Json::Value a = analysis_;
    a["score"]["total"] = total;
    a["score"]["wx"] = wx;
    a["score"]["jx"] = jx;
    a["score"]["sx"] = sx;
    a["score"]["yy"] = yy;
    a["score"]["bhfen"] = bhfen;
    a["wuge"]["tg"][2] = tg;
    return a;
  }
  static ComparedName named(const char* ming, Json::Value analysis) {
    NameRecord r = test::fixtureRecord();
    r.Ming = ming;
    return {r, std::move(analysis)};
  }
  static const Json::Value* rowOf(const Json::Value& data, const std::string& label) {
    for (const Json::Value& row : data["rows"])
      if (row["label"].asString() == label) return &row;
    return nullptr;
  }

  static test::TempDir* folder_;
  static bool ready_;
  KnowledgeDb db_;
  const Json::Value analysis_ = test::readJsonFixture("name_analysis.json");
};
test::TempDir* ReportDocumentTest::folder_ = nullptr;
bool ReportDocumentTest::ready_ = false;

TEST_F(ReportDocumentTest, NameReportHoldsTheSevenPagesWithTheWindowsOwnData) {
  const NameRecord record = test::fixtureRecord();
  const BirthPlace place{"116.41", "39.91", "北京市东城区"};
  ReportDocument doc = nameReportDocument(analysis_, db_, record, place, exportDateText(2026, 12, 1));

  ASSERT_EQ(doc.parts.size(), 7u);
  const char* scripts[] = {"zongh", "baz", "sanc", "hout", "shux", "shengr", "xingz"};
  for (int page = 0; page < 7; ++page) {
    SCOPED_TRACE(page);
    EXPECT_EQ(doc.parts[page].page, scripts[page]);
    const PageData window = buildPageData(page, analysis_, db_, record, place);
    EXPECT_EQ(doc.parts[page].data.form, window.form);
    EXPECT_EQ(doc.parts[page].data.object, window.object);
    EXPECT_EQ(doc.parts[page].data.first, window.first);
    EXPECT_EQ(doc.parts[page].data.second, window.second);
  }
  EXPECT_EQ(doc.header["name"].asString(), "欧阳明轩");
  EXPECT_EQ(doc.header["chars"], parsed(R"([{"c":"欧","py":"ōu","wx":"土","jx":"吉"},{"c":"阳","py":"yáng","wx":"土","jx":"吉"},
      {"c":"明","py":"míng","wx":"火","jx":"大吉"},{"c":"轩","py":"xuān","wx":"土","jx":"凶"}])"));
  EXPECT_EQ(doc.header["score"].asString(), "93.50分");  // the fixture table's "Score" format
  EXPECT_EQ(doc.header["facts"], parsed(R"([["性别","男"],["出生时间","2020-2-8 09:05:00"],["出生地","北京市东城区"]])"));
  EXPECT_EQ(doc.footer, "欧阳明轩 · 姓名分析报告 · 导出于2026年12月1日");
  EXPECT_EQ(suggestedPdfName(doc), "姓名分析报告-欧阳明轩.pdf");
}

TEST_F(ReportDocumentTest, NicknameAndFortuneDocumentsHaveTheirOnePage) {
  NameRecord nick = test::fixtureRecord();
  nick.Xing = "李";
  nick.Ming = "小宝";
  nick.IsXiaoming = true;
  const Json::Value nickAnalysis = test::readJsonFixture("nickname_analysis.json");
  ReportDocument n = nicknameReportDocument(nickAnalysis, db_, nick, "2026年1月2日");
  ASSERT_EQ(n.parts.size(), 1u);
  EXPECT_EQ(n.parts[0].page, "xiaoming");
  EXPECT_EQ(n.parts[0].data.object, buildNicknamePageData(nickAnalysis, db_));
  EXPECT_EQ(suggestedPdfName(n), "小名分析报告-小宝.pdf");

  LuckQuery luck;
  luck.Xing = "李";
  luck.Ming = "白";
  ReportDocument f = fortuneReportDocument(luck, db_, "2026年1月2日");
  ASSERT_EQ(f.parts.size(), 1u);
  EXPECT_EQ(f.parts[0].page, "yuns");
  EXPECT_EQ(f.footer, "李白 · 姓名运势 · 导出于2026年1月2日");
}

TEST_F(ReportDocumentTest, SuggestedFileNameHoldsNoPathOrControlCharacters) {
  ReportDocument doc;
  doc.title = "姓名分析报告";
  doc.name = "../王\n/五\\x";
  EXPECT_EQ(suggestedPdfName(doc), "姓名分析报告-..王五x.pdf");
  doc.title.clear();
  doc.name = "..";
  EXPECT_EQ(suggestedPdfName(doc), "-...pdf");
  doc.name = "\x01";
  doc.title = ".";
  EXPECT_EQ(suggestedPdfName(doc), "-.pdf");
}

TEST_F(ReportDocumentTest, ComparisonValuesComeFromEachAnalysisAndTheBestAreMarked) {
  std::vector<ComparedName> names = {
      named("明轩", variant(93.5, 24, 23, 18, 19, 87.456, "13")),
      named("子涵", variant(88.25, 27, 23, 15, 19, 90.0, "15")),
      named("浩然", variant(93.5, 20, 23, 18, 12, 60.5, "21")),
  };
  Json::Value data = buildComparisonData(names, db_);
  EXPECT_EQ(data["names"], parsed(R"(["欧阳明轩","欧阳子涵","欧阳浩然"])"));

  struct Row {
    const char* label;
    const char* cells;
    const char* best;  // null when no column is marked
  };
  const Row rows[] = {
      {"拼音", R"(["ōu yáng míng xuān","ōu yáng míng xuān","ōu yáng míng xuān"])", nullptr},
      {"五行", R"(["土土火土","土土火土","土土火土"])", nullptr},
      {"综合评分", R"(["93.50","88.25","93.50"])", "[0,2]"},  // a tie marks both
      {"五行评分", R"(["24","27","20"])", "[1]"},
      {"数理吉凶", R"(["23","23","23"])", nullptr},  // all equal: nothing to mark
      {"生肖评分", R"(["18","15","18"])", "[0,2]"},
      {"音律评分", R"(["19","19","12"])", "[0,1]"},
      {"笔画评分", R"(["87.46","90.00","60.50"])", "[1]"},
      {"三才配置", R"(["火火土","火火土","火火土"])", nullptr},
      {"天格", R"(["13","15","21"])", "[0]"},  // 大吉 beats 吉
      {"人格", R"(["23","23","23"])", nullptr},
      {"总格", R"(["39","39","39"])", nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    const Json::Value* row = rowOf(data, r.label);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ((*row)["cells"], parsed(r.cells));
    EXPECT_EQ((*row)["best"], r.best ? parsed(r.best) : Json::Value());
  }
  EXPECT_EQ((*rowOf(data, "天格"))["tags"], parsed(R"(["大吉","吉","吉"])"));
  EXPECT_EQ((*rowOf(data, "三才配置"))["tags"], parsed(R"(["吉","吉","吉"])"));
  EXPECT_EQ(data["strongest"], parsed(R"(["笔画匀称（87.46分）","笔画匀称（90.00分）","笔画匀称（60.50分）"])"));

  ReportDocument doc = comparisonDocument(names, data, "2026年1月2日");
  ASSERT_EQ(doc.parts.size(), 1u);
  EXPECT_EQ(doc.parts[0].page, "compare");
  EXPECT_EQ(doc.parts[0].data.object, data);
  EXPECT_EQ(doc.footer, "欧阳明轩、欧阳子涵、欧阳浩然 · 名字对比 · 导出于2026年1月2日");
}

TEST_F(ReportDocumentTest, MissingValuesLoseAndAreShownEmpty) {
  Json::Value bare = analysis_;
  bare["score"] = Json::Value(Json::objectValue);
  bare["wuge"]["tg"] = "not an array";
  Json::Value a = analysis_;
  a["score"]["wx"] = 96;
  std::vector<ComparedName> names = {named("明轩", a), named("子涵", bare)};
  Json::Value data = buildComparisonData(names, db_);
  EXPECT_EQ((*rowOf(data, "综合评分"))["cells"], parsed(R"(["93.50",""])"));
  EXPECT_EQ((*rowOf(data, "综合评分"))["best"], parsed("[0]"));
  EXPECT_EQ((*rowOf(data, "天格"))["cells"], parsed(R"(["13",""])"));
  EXPECT_EQ((*rowOf(data, "天格"))["best"], parsed("[0]"));
  EXPECT_EQ(data["strongest"], parsed(R"(["五行相合（96分）",""])"));
}

TEST_F(ReportDocumentTest, ClassicalSourceOnlyFromAWellFormedObject) {
  struct Case {
    const char* chuchu;
    const char* expected;  // null: no source
  };
  const Case cases[] = {
      {R"({"Text":"明明上天，照临下土","Title":"小明","Author":"","Book":"诗经"})",
       R"({"Text":"明明上天，照临下土","Title":"小明","Author":"","Book":"诗经"})"},
      {R"({"Text":"路漫漫其修远兮","Book":"楚辞"})", R"({"Text":"路漫漫其修远兮","Title":"","Author":"","Book":"楚辞"})"},
      {R"("诗经")", nullptr},
      {R"({"Text":3,"Book":"诗经"})", nullptr},
      {R"({"Text":"","Book":"诗经"})", nullptr},
      {R"([1,2])", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chuchu);
    Json::Value a = analysis_;
    a["ChuChu"] = parsed(c.chuchu);
    EXPECT_EQ(classicalSource(a), c.expected ? parsed(c.expected) : Json::Value());
  }
  EXPECT_TRUE(classicalSource(analysis_).isNull());

  // In the comparison the analysis's source comes first, else the record's.
  ComparedName fromRecord = named("明远", analysis_);
  fromRecord.record.ChuChu = {"明明上天", "小明", "", "诗经"};
  Json::Value withOwn = analysis_;
  withOwn["ChuChu"] = parsed(R"({"Text":"路漫漫其修远兮","Title":"离骚","Author":"屈原","Book":"楚辞"})");
  ComparedName fromAnalysis = named("修远", withOwn);
  fromAnalysis.record.ChuChu = {"明明上天", "小明", "", "诗经"};
  Json::Value data = buildComparisonData({fromRecord, fromAnalysis, named("无源", analysis_)}, db_);
  EXPECT_EQ(data["sources"], parsed(R"([{"Text":"明明上天","Title":"小明","Author":"","Book":"诗经"},
      {"Text":"路漫漫其修远兮","Title":"离骚","Author":"屈原","Book":"楚辞"}, null])"));
  EXPECT_EQ(luckRank("大吉"), 4);
  EXPECT_EQ(luckRank("半吉"), 2);
  EXPECT_EQ(luckRank("大凶"), 0);
  EXPECT_EQ(luckRank("平"), -1);
}

}  // namespace
}  // namespace norvane::reports
