// The page data of the three reports, from the fixture analyses and the
// fixture knowledge database.
#include "reports/page_data.h"

#include <gtest/gtest.h>

#include <functional>

#include "reports/page_text.h"
#include "reports/report_fixture.h"
#include "service/json_access.h"

namespace norvane::reports {
namespace {

using test::parsed;

class PageDataTest : public ::testing::Test {
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
    AreaLocation location;
    ASSERT_TRUE(db_.areaLocation(110101, location));
    place_ = {location.longitude, location.latitude, shortenPlaceName(location.place)};
  }
  PageData page(int index, const Json::Value& analysis) {
    return buildPageData(index, analysis, db_, test::fixtureRecord(), place_);
  }

  static test::TempDir* folder_;
  static bool ready_;
  KnowledgeDb db_;
  BirthPlace place_;
  const Json::Value analysis_ = test::readJsonFixture("name_analysis.json");
};
test::TempDir* PageDataTest::folder_ = nullptr;
bool PageDataTest::ready_ = false;

TEST_F(PageDataTest, SummaryPageHasEveryMember) {
  PageData d = page(0, analysis_);
  ASSERT_EQ(d.form, PageForm::JsonObject);
  EXPECT_EQ(d.object, parsed(R"({
    "time": {"sr": "2020-2-8 09:05:00", "nl": "庚子年正月十五巳时", "xnl": "庚子年正月十五辰时",
             "xsr": "2020-2-8 08:51:12", "csd": "北京市东城区", "jd": 116.41, "wd": 39.91,
             "bsd": "快", "tsd": "慢", "xsd": "慢",
             "bfz": 4, "bms": 28, "tfz": 14, "tms": 12, "xfz": 9, "xms": 44},
    "score": {"wx": 24, "jx": 23, "sx": 18, "yy": 19, "bhfen": "87.46",
              "sd": "声调理想", "sm": "声母很理想", "ym": "韵母次理想", "zx": "字形不理想"},
    "hz": ["阳：阳：日光。\r\n引申为光明、温暖。", "明：明：光亮，\"明白\"之明。"],
    "sx": ["明：鼠喜日月：光明在前。鼠喜日月：光明在前。", "轩：车有载：宜行。"],
    "jy": "综合评分93.50分。"
  })"));
}

TEST_F(PageDataTest, SummaryPageCarriesTheNamesSourceFromTheRecordElseFromTheAnalysis) {
  const NameSource fromRecord{"<b>明</b>月松间照，清泉石上流<script>x()</script>", "山居秋暝", "王维", "唐诗三百首"};
  const char* analysisSource = R"({"Text":"明月几时有，把酒问青天","Title":"水调歌头","Author":"苏轼","Book":"宋词三百首"})";
  auto analysisWith = [this](const std::string& chuChu) {
    Json::Value a = analysis_;
    a["ChuChu"] = parsed(chuChu);
    return a;
  };
  NameRecord withSource = test::fixtureRecord();
  withSource.ChuChu = fromRecord;
  struct Case {
    const char* what;
    NameRecord record;
    Json::Value analysis;
    Json::Value expected;  // "cc", or null for none
  } cases[] = {
      {"the record's own source, as it came", withSource, analysisWith(analysisSource),
       parsed(R"({"text":"<b>明</b>月松间照，清泉石上流<script>x()</script>","title":"山居秋暝","author":"王维",
                  "book":"唐诗三百首","ming":"明轩"})")},
      {"the analysis's source when the record has none", test::fixtureRecord(), analysisWith(analysisSource),
       parsed(R"({"text":"明月几时有，把酒问青天","title":"水调歌头","author":"苏轼","book":"宋词三百首","ming":"明轩"})")},
      {"no source anywhere", test::fixtureRecord(), analysis_, Json::Value()},
      {"a broken source in the analysis", test::fixtureRecord(),
       analysisWith(R"({"Text":"明月几时有","Title":["水调歌头"],"Author":"苏轼","Book":"宋词三百首"})"), Json::Value()},
      {"an analysis source that is no object", test::fixtureRecord(), analysisWith(R"("明月几时有")"), Json::Value()},
  };
  Json::Value plain = page(0, analysis_).object;
  for (const Case& c : cases) {
    PageData d = buildPageData(0, c.analysis, db_, c.record, place_);
    EXPECT_EQ(d.object.isMember("cc"), !c.expected.isNull()) << c.what;
    EXPECT_EQ(d.object["cc"], c.expected) << c.what;
    // Every other member stays exactly as it is without a source.
    Json::Value rest = d.object;
    rest.removeMember("cc");
    EXPECT_EQ(rest, plain) << c.what;
  }
}

TEST_F(PageDataTest, EightCharactersPageReadsBoneWeightAndFivePillarTexts) {
  PageData d = page(1, analysis_);
  ASSERT_EQ(d.form, PageForm::JsonObject);
  Json::Value expected = parsed(R"({
    "cgsm": {"l": 4, "q": 5, "js1": "四两五钱", "js2": "此命推来 福禄 厚，<br> 衣食 无忧。"},
    "sclm": ["甲日生于子时：<br>木得水生。", "海中金命。", "生于子月， 水 旺。", "日主甲木偏旺。", "五行缺火。"]
  })");
  expected["bazi"] = analysis_["bazi"];
  expected["pdy"] = analysis_["pdy"];
  EXPECT_EQ(d.object, expected) << test::firstDifference(d.object, expected);
}

TEST_F(PageDataTest, GridsPageFillsGridsTalentsCombinationsAndHexagram) {
  PageData d = page(2, analysis_);
  ASSERT_EQ(d.form, PageForm::JsonObject);
  EXPECT_EQ(d.object, parsed(R"({
    "wuge": {
      "tg": ["天格", "复姓之格", "大吉", "智略之数", "才艺多能", "天赋吉运"],
      "rg": ["人格", "主运", "大吉", "旭日之数", "旭日东升", "壮丽壮观"],
      "dg": ["地格", "前运", "吉", "福寿之数", "福寿<br>圆满", "涵养 雅量 "],
      "wg": ["外格", "副运", "", "", "", ""],
      "zg": ["总格", "后运", "吉", "富贵之数", "富贵荣华", "财帛丰盈"]
    },
    "sancai": {"pz": "火火土", "js": "三才配置火火土，大吉", "jx": "吉", "js1": "三才释 二 ", "js2": "三才<br>释三"},
    "peihe": {"p1": ["吉", "天人相生，<br> 上进 有力。"], "p2": ["平", "人地比和。"], "p3": ["凶", "人外相克。"],
              "p4": "天格13（火）", "p5": ["外格24", "总格39"], "p6": ["喜火土", "名合所喜。"]},
    "geju": "人格属火。",
    "youdao": {"text": "名字五行为火土"},
    "gx": ["地天泰", "天地交泰。<br> 小往大来 "]
  })"));
}

TEST_F(PageDataTest, TextPagesTakeTheirFormsAndCleaning) {
  PageData remedies = page(3, analysis_);
  ASSERT_EQ(remedies.form, PageForm::JsonObject);
  EXPECT_EQ(remedies.object,
            parsed(R"({"htbj": "宜多用红色。", "mpys": {"color": "红"}, "kymp": ["红玛瑙", "南方"]})"));

  PageData zodiac = page(4, analysis_);
  EXPECT_EQ(zodiac.form, PageForm::TwoStrings);
  EXPECT_EQ(zodiac.first, "鼠");
  EXPECT_EQ(zodiac.second, "属鼠的人机敏，<br> 善于  应变 。");

  PageData birthday = page(5, analysis_);
  EXPECT_EQ(birthday.form, PageForm::OneString);
  EXPECT_EQ(birthday.first, "二月八日生：<br>心思 细腻 ， 重情 。");

  // The star-sign text goes out as stored; the host cleans it.
  PageData star = page(6, analysis_);
  EXPECT_EQ(star.form, PageForm::Utf8String);
  EXPECT_EQ(star.first, "水瓶座：\r\n独立'自由'，\"博爱\"。");

  EXPECT_EQ(page(7, analysis_).form, PageForm::None);
  EXPECT_EQ(page(-1, analysis_).form, PageForm::None);
}

// One change to the fixture analysis (or to the birth place) and what it does
// to one member of one page.
struct EdgeCase {
  const char* what;
  int page;
  std::function<void(Json::Value&, BirthPlace&)> change;
  std::function<const Json::Value&(const Json::Value&)> member;
  const char* expected;  // JSON
};

TEST_F(PageDataTest, EdgeCasesOfTheNameAnalysis) {
  const EdgeCase cases[] = {
      {"bhfen rounds to two decimals after narrowing", 0, [](Json::Value& d, BirthPlace&) { d["score"]["bhfen"] = 79.999; },
       [](const Json::Value& o) -> const Json::Value& { return o["score"]["bhfen"]; }, R"("80.00")"},
      {"a one-character name has no character texts", 0,
       [](Json::Value& d, BirthPlace&) { d["name"]["words"] = parsed(R"(["明"])"); },
       [](const Json::Value& o) -> const Json::Value& { return o["hz"]; }, "null"},
      {"no character with a zodiac text leaves sx null", 0,
       [](Json::Value& d, BirthPlace&) { d["content"]["sx"] = "牛"; },
       [](const Json::Value& o) -> const Json::Value& { return o["sx"]; }, "null"},
      {"an unknown county leaves xsr empty", 0, [](Json::Value&, BirthPlace& p) { p = BirthPlace{}; },
       [](const Json::Value& o) -> const Json::Value& { return o["time"]; },
       R"({"sr": "2020-2-8 09:05:00", "nl": "庚子年正月十五巳时", "xnl": "庚子年正月十五辰时", "xsr": "", "csd": "",
           "jd": 0.0, "wd": 0.0, "bsd": "快", "tsd": "慢", "xsd": "慢",
           "bfz": 4, "bms": 28, "tfz": 14, "tms": 12, "xfz": 9, "xms": 44})"},
      {"s1 of three pieces leaves {1} visible", 1, [](Json::Value& d, BirthPlace&) { d["sclm"]["s1"] = "甲,甲子,丙"; },
       [](const Json::Value& o) -> const Json::Value& { return o["sclm"]; },
       R"(["{1}", "海中金命。", "生于子月， 水 旺。", "日主甲木偏旺。", "五行缺火。"])"},
      {"s2 without a comma leaves {3} visible", 1, [](Json::Value& d, BirthPlace&) { d["sclm"]["s2"][1] = "月令子"; },
       [](const Json::Value& o) -> const Json::Value& { return o["sclm"][2]; }, R"("{3}")"},
      {"a service text holding a placeholder is not filled in", 2,
       [](Json::Value& d, BirthPlace&) { d["wuge"]["tg"][0] = "天格{2}"; },
       [](const Json::Value& o) -> const Json::Value& { return o["wuge"]["tg"]; },
       R"(["天格{2}", "复姓之格", "大吉", "智略之数", "才艺多能", "天赋吉运"])"},
      {"an unknown combination gives empty texts", 2, [](Json::Value& d, BirthPlace&) { d["peihe"]["p6"][1] = "x"; },
       [](const Json::Value& o) -> const Json::Value& { return o["peihe"]["p6"]; }, R"(["喜火土", ""])"},
      {"copied members keep quotes, apostrophes and line breaks", 0,
       [](Json::Value& d, BirthPlace&) { d["content"]["jy"] = "a'b\"c\r\nd"; },
       [](const Json::Value& o) -> const Json::Value& { return o["jy"]; }, R"("a'b\"c\r\nd")"},
  };
  for (const EdgeCase& c : cases) {
    Json::Value analysis = analysis_;
    BirthPlace place = place_;
    c.change(analysis, place);
    PageData d = buildPageData(c.page, analysis, db_, test::fixtureRecord(), place);
    EXPECT_EQ(c.member(d.object), parsed(c.expected)) << c.what << "\n" << c.member(d.object).toStyledString();
  }
}

TEST_F(PageDataTest, FastOrSlowFollowsTheSign) {
  const std::pair<int, const char*> cases[] = {{0, "慢"}, {1, "快"}, {-3, "慢"}, {59, "快"}};
  for (auto [sign, expected] : cases) {
    Json::Value analysis = analysis_;
    analysis["time"]["bsd"] = sign;
    EXPECT_EQ(page(0, analysis).object["time"]["bsd"].asString(), expected) << sign;
  }
}

TEST_F(PageDataTest, MissingOrMistypedAnalysisStillGivesEveryMember) {
  // An empty analysis, and one whose members have the wrong types: no page
  // fails, texts are empty and numbers 0.
  const Json::Value analyses[] = {Json::Value(Json::objectValue),
                                  parsed(R"({"name": "欧阳", "score": [1], "time": 5, "wuge": {"tg": "13"},
                                             "sclm": {"s1": 7, "s2": "甲,乙"}, "peihe": {"p6": "62"},
                                             "sancai": {"pz": {"a": 1}}, "content": []})")};
  for (const Json::Value& analysis : analyses) {
    PageData summary = page(0, analysis);
    EXPECT_EQ(summary.object["score"]["bhfen"].asString(), "0.00");
    EXPECT_EQ(summary.object["time"]["bsd"].asString(), "慢");
    EXPECT_TRUE(summary.object["hz"].isNull());
    EXPECT_TRUE(summary.object["sx"].isNull());
    PageData pillars = page(1, analysis);
    EXPECT_EQ(pillars.object["sclm"], parsed(R"(["{1}", "{2}", "{3}", "{4}", "{5}"])"));
    PageData grids = page(2, analysis);
    for (const char* g : {"tg", "rg", "dg", "wg", "zg"}) EXPECT_EQ(grids.object["wuge"][g].size(), 6u) << g;
    EXPECT_EQ(grids.object["sancai"]["pz"].asString(), "");
    EXPECT_EQ(page(4, analysis).first, "");
    EXPECT_EQ(page(5, analysis).first, "");
  }
}

TEST_F(PageDataTest, TemplateFillersWithoutTheirDatabaseLeaveTextsEmpty) {
  KnowledgeDbPath = folder_->file("no-such.dat");
  EXPECT_EQ(fillSclmTemplate(analysis_), "<br><br><br><br>");
  EXPECT_EQ(fillGridTemplate(analysis_, 0), "天格<br>复姓之格<br><br><br><br>");
  EXPECT_EQ(fillGridTemplate(analysis_, 5), "");
}

TEST_F(PageDataTest, UrlsFindTheirPage) {
  const std::pair<const char*, int> cases[] = {
      {"file:///opt/norvane/content/zongh.html", 0}, {"file:///c/baz.html", 1},
      {"file:///c/sanc.html", 2},                    {"file:///c/hout.html", 3},
      {"file:///c/shux.html", 4},                    {"file:///c/shengr.html", 5},
      {"file:///c/xingz.html", 6},                   {"file:///shux.html/shengr.html", 5},
      {"file:///c/other.html", -1},                  {"", -1},
  };
  for (auto [url, expected] : cases) EXPECT_EQ(namePageForUrl(url), expected) << url;
  for (int p = 0; p < kNamePageCount; ++p) EXPECT_EQ(namePageForUrl(std::string("x/") + namePageTemplate(p)), p);
}

TEST_F(PageDataTest, NicknamePageKeepsCharacterPositions) {
  Json::Value d = buildNicknamePageData(test::readJsonFixture("nickname_analysis.json"), db_);
  // "xm" keeps its texts as stored, "zong" is cleaned; 宝宝 is looked up once.
  Json::Value expected = parsed(R"({
    "score": {"total": 88.25, "wx": 20, "c": "叠字"},
    "shuli": {"xm": ["15", "小名数理15，\n'吉'", "吉", "福寿之数", "福寿\r\n圆满", "涵养'雅量'"],
              "zong": ["15", "姓氏连小名数理15", "吉", "福寿之数", "福寿<br>圆满", "涵养 雅量 "]},
    "hz": ["宝：宝：珍贵之物。", null, "贝：贝：古时的货币。"],
    "sx": ["宝：鼠喜宀：有洞可居，<br>有 家 可归。"],
    "jy": "小名\"宝宝贝\"叫起来亲切。"
  })");
  EXPECT_EQ(d, expected) << test::firstDifference(d, expected);
}

TEST_F(PageDataTest, NicknameEdgeCases) {
  // The first character without a text, the second with one: a null in front.
  Json::Value a = parsed(R"({"name": {"words": ["小", "宝"], "pp1": ["小", "宀"], "pp2": ["", ""], "sx": "鼠"}})");
  Json::Value d = buildNicknamePageData(a, db_);
  EXPECT_EQ(d["hz"], parsed(R"([null, "宝：宝：珍贵之物。"])"));
  EXPECT_EQ(d["sx"], parsed(R"([null, "宝：鼠喜宀：有洞可居，<br>有 家 可归。"])"));

  // A character without radicals gets no zodiac text (an empty pattern would
  // match any text of the sign), and unknown numbers give empty texts.
  a = parsed(R"({"name": {"words": ["宝"], "pp1": [""], "pp2": [""], "sx": "鼠"}, "shuli": {"xm": ["99", "x"]}})");
  d = buildNicknamePageData(a, db_);
  EXPECT_TRUE(d["sx"].isNull());
  EXPECT_EQ(d["shuli"]["xm"], parsed(R"(["99", "x", "", "", "", ""])"));
  EXPECT_EQ(d["shuli"]["zong"], parsed(R"(["", "", "", "", "", ""])"));
}

TEST_F(PageDataTest, FortunePageNumbersEntriesByPosition) {
  LuckQuery luck;
  luck.Xing = "李";
  luck.Ming = "白";
  luck.Gx = "1";
  luck.List = {"泰", "无此卦", "否"};
  luck.Ys = {"乾"};
  EXPECT_EQ(buildFortunePageData(luck, db_), parsed(R"({
    "name": "李白", "gua": "乾为天", "js": "刚健<br>\"中正\"",
    "list": [["1", "中上", "地天泰", "通泰"], null, ["3", "下下", "天地否", "不通<br>'守正'"]],
    "yunshi": [["1", "上上", "乾为天", "自强不息"]]
  })"));

  luck.Gx = "99";
  luck.List = {"无此卦"};
  luck.Ys.clear();
  EXPECT_EQ(buildFortunePageData(luck, db_), parsed(R"({"list": null, "yunshi": null})"));
}

TEST(PageText, SplitReplaceAndClean) {
  const std::tuple<const char*, const char*, std::vector<std::string>> splits[] = {
      {"a,b", ",", {"a", "b"}}, {"", ",", {""}}, {",a,,", ",", {"", "a", "", ""}},
      {"a<br>b<br>", "<br>", {"a", "b", ""}}, {"abc", "", {"abc"}},
  };
  for (const auto& [text, delimiter, pieces] : splits) EXPECT_EQ(splitText(text, delimiter), pieces) << text;

  std::string t = "{1}-{2}-{1}";
  replacePlaceholder(t, 1, "x");
  replacePlaceholder(t, 3, "y");
  EXPECT_EQ(t, "x-{2}-{1}");

  EXPECT_EQ(cleanText("A'B\"C\r\nD"), "A B C<br>D");
  EXPECT_EQ(cleanText("\r\r\n\n"), "\r<br>\n");

  const std::pair<const char*, int> ints[] = {{"62", 62}, {" -7x", -7}, {"+3", 3}, {"x", 0}, {"", 0},
                                              {"99999999999999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
  for (auto [text, value] : ints) EXPECT_EQ(leadingInt(text), value) << text;
}

}  // namespace
}  // namespace norvane::reports
