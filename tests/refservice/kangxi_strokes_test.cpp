// The Kangxi stroke counts behind the grids, as a client reads them from the analysis
// of a name: a table of dictionary counts (ordinary characters beside those whose radical
// today's writing counts differently: 廴 3, 瓦 5, 禸 5, 鬼 10, 鼎 13, 龜 16), each asked in
// a name and read back from its five grids.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "refservice_test_support.h"

namespace norvane::refservice::test {
namespace {

// A character with the stroke count of the Kangxi dictionary, as a given-name character
// and, where it is a surname, as a surname (the two differ for a surname kept in its own form).
struct DictionaryCount {
  const char* ch;
  int given;    // 0: not asked as a given name
  int surname;  // 0: not asked as a surname
  const char* why;
};

const DictionaryCount kCounts[] = {
    {"江", 7, 7, "氵 counts as 水 4"},
    {"明", 8, 8, "日 4 + 4"},
    {"华", 14, 14, "華: 艸 6 + 8"},
    {"张", 11, 11, "張: 弓 3 + 8"},
    {"建", 9, 0, "廴 3 + 6"},
    {"延", 7, 0, "廴 3 + 4"},
    {"廷", 7, 0, "廴 3 + 4"},
    {"禹", 9, 9, "禸 5 + 4"},
    {"鼎", 13, 0, "鼎 13"},
    {"魁", 14, 0, "鬼 10 + 4"},
    {"瓶", 11, 0, "瓦 5 + 6"},
    {"魏", 18, 18, "鬼 10 + 8"},
    {"甄", 14, 14, "瓦 5 + 9"},
    {"龟", 16, 0, "龜 16"},
    {"海", 11, 0, "氵 counts as 水 4"},
    {"振", 11, 0, "扌 counts as 手 4"},
    {"花", 10, 0, "艹 counts as 艸 6"},
    {"远", 17, 0, "遠: 辶 counts as 辵 7"},
    {"陈", 16, 16, "陳: 阝 on the left counts as 阜 8"},
    {"郑", 19, 19, "鄭: 阝 on the right counts as 邑 7"},
    {"珍", 10, 0, "王 counts as 玉 5"},
    {"胡", 11, 11, "月 of flesh counts as 肉 6"},
    {"五", 5, 0, "numerals count their value"},
    {"十", 10, 0, "numerals count their value"},
    {"余", 16, 7, "餘 in a given name, 余 as a surname"},
    {"于", 0, 3, "the surname keeps its own form (not 於)"},
};

// Grid number as the analysis gives it in the third element ("9"), or -1.
int gridNumber(const Json::Value& analysis, const char* grid) {
  const Json::Value& g = analysis["data"]["wuge"][grid];
  if (!g.isArray() || g.size() != 3 || !g[2].isString()) return -1;
  return std::atoi(g[2].asCString());
}

class KangxiGrids : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ServerOptions options;
    options.vocabularyFile = std::string(NORVANE_SOURCE_DIR) + "/tests/refservice/naming/fixture";
    server_ = new RunningServer(options);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server_->started()) << server_->error();
    ASSERT_TRUE(server_->server().namingReady()) << server_->server().engineError();
  }

  // Asks the analysis of surname + given and compares its grids with those of the
  // given counts: 天格 = surname strokes (+1 for one character), 人格 = last surname
  // character + first given character, 地格 = given strokes (+1 for one character).
  static void expectGrids(const std::string& surname, const std::vector<int>& surnameCounts,
                          const std::string& given, const std::vector<int>& givenCounts) {
    SCOPED_TRACE(surname + given);
    Json::Value answer = server_->post("/v1/show", showBody(server_->serverTime(), surname, given));
    ASSERT_TRUE(answer.isObject()) << answer.asString();
    ASSERT_EQ(answer["code"].asInt(), 0) << answer["msg"].asString();
    int s = 0, g = 0;
    for (int c : surnameCounts) s += c;
    for (int c : givenCounts) g += c;
    EXPECT_EQ(gridNumber(answer, "tg"), s + (surnameCounts.size() == 1 ? 1 : 0));
    EXPECT_EQ(gridNumber(answer, "rg"), surnameCounts.back() + givenCounts.front());
    EXPECT_EQ(gridNumber(answer, "dg"), g + (givenCounts.size() == 1 ? 1 : 0));
    EXPECT_EQ(gridNumber(answer, "zg"), s + g);
  }

  static RunningServer* server_;
};

RunningServer* KangxiGrids::server_ = nullptr;

// Each character alone as the given name after 王 (4 strokes: 王 itself is the one
// character of its radical counted as written).
TEST_F(KangxiGrids, GivenNameCharactersCountAsTheDictionary) {
  for (const auto& c : kCounts) {
    if (c.given == 0) continue;
    SCOPED_TRACE(std::string(c.ch) + ": " + c.why);
    expectGrids("王", {4}, c.ch, {c.given});
  }
}

// Each surname before the one-stroke given name 一.
TEST_F(KangxiGrids, SurnamesCountAsTheDictionary) {
  for (const auto& c : kCounts) {
    if (c.surname == 0) continue;
    SCOPED_TRACE(std::string(c.ch) + ": " + c.why);
    expectGrids(c.ch, {c.surname}, "一", {1});
  }
}

// Compound surnames and two-character given names add the counts of each character.
TEST_F(KangxiGrids, CompoundSurnamesAndTwoCharacterNamesAddTheirCharacters) {
  expectGrids("呼延", {8, 7}, "建鼎", {9, 13});  // 呼: 口 3 + 5
  expectGrids("魏", {18}, "延龟", {7, 16});
  expectGrids("欧阳", {15, 17}, "魁", {14});     // 歐: 欠 4 + 11, 陽: 阜 8 + 9
}

}  // namespace
}  // namespace norvane::refservice::test
