// The naming engine on the real character tables and a small vocabulary of its own
// (tests/refservice/naming/fixture): filters, paging, determinism, answers' members,
// bad input and broken data.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "naming/naming_engine.h"
#include "naming/numerology.h"
#include "naming/ordering.h"
#include "naming/tables.h"
#include "support/temp_dir.h"

using namespace norvane::refservice;

namespace {

const std::string kCharFolder = std::string(NORVANE_SOURCE_DIR) + "/resources/refservice";
const std::string kFixture = std::string(NORVANE_SOURCE_DIR) + "/tests/refservice/naming/fixture";

const NamingEngine& engine() {
  static NamingEngine e({kCharFolder, kFixture});
  return e;
}

// The fixture's given-name characters and their gender; 死 and 病 are listed but blocked,
// 王 is a surname only, 𠀀 is not in the character table.
const std::map<std::string, char>& fixtureSex() {
  static const std::map<std::string, char> m = {
      {"浩", 'm'}, {"涛", 'm'}, {"博", 'm'}, {"轩", 'm'}, {"宇", 'm'}, {"杰", 'm'}, {"强", 'm'}, {"睿", 'm'},
      {"科", 'm'}, {"婷", 'f'}, {"丽", 'f'}, {"娜", 'f'}, {"雅", 'f'}, {"琳", 'f'}, {"欣", 'f'}, {"梦", 'f'},
      {"怡", 'f'}, {"秀", 'f'}, {"文", 'n'}, {"子", 'n'}, {"明", 'n'}, {"晨", 'n'}, {"宁", 'n'}, {"乐", 'n'},
      {"思", 'n'}, {"嘉", 'n'}, {"安", 'n'}, {"一", 'n'}, {"然", 'n'}, {"秋", 'n'}};
  return m;
}

std::vector<std::string> chars(const std::string& s) { return splitUtf8(s).value(); }

std::string compact(const Json::Value& v) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, v);
}

BirthQuestion birth(const std::string& surname = "张", int gender = 1) {
  // 2005-12-23 08:37: a 鸡 year; 辛 day master.
  return {surname, gender, "2005-12-23 08:37:00", 120.0};
}

// All names of a request, page after page; checks the paging contract on the way.
std::vector<Json::Value> allNames(const NamePageRequest& base) {
  std::vector<Json::Value> out;
  NamePageRequest q = base;
  q.pageSize = 7;
  int total = -1;
  for (q.page = 1;; ++q.page) {
    NamingResult r = engine().namePage(q);
    EXPECT_TRUE(r.ok()) << r.message;
    if (!r.ok()) break;
    if (total < 0) total = r.data["total"].asInt();
    EXPECT_EQ(r.data["total"].asInt(), total) << "total changes between pages";
    const Json::Value& data = r.data["data"];
    EXPECT_TRUE(data.isArray());
    EXPECT_LE(static_cast<int>(data.size()), q.pageSize);
    if (data.empty()) break;
    for (const auto& item : data) out.push_back(item);
    if (q.page > 500) break;
  }
  EXPECT_EQ(static_cast<int>(out.size()), total);
  return out;
}

// True when the line holds the characters in their order.
bool holdsInOrder(const std::string& line, const std::string& given) {
  size_t at = 0;
  for (const auto& ch : chars(given)) {
    at = line.find(ch, at);
    if (at == std::string::npos) return false;
    at += ch.size();
  }
  return true;
}

// Checks the page order: every cited line holds its name in order and comes from a known
// book, and a name without a line stands before a name with one only when the later
// name's character was already in two names of the earlier one's block (a page holds a
// character twice at most).
void expectSourcedFirst(const std::vector<Json::Value>& names, const std::string& fixed) {
  static const std::set<std::string> books = {"诗经", "楚辞", "唐诗三百首", "宋词三百首", "论语", "曹操诗集", "纳兰词"};
  auto freeChars = [&](const Json::Value& n) {
    std::vector<std::string> out;
    for (const auto& ch : chars(n["m"].asString()))
      if (ch != fixed) out.push_back(ch);
    return out;
  };
  size_t reach = std::min(names.size(), kVarietyPlaces);
  for (size_t i = 0; i < names.size(); ++i) {
    const Json::Value& n = names[i];
    std::string given = n["m"].asString();
    if (n.isMember("ChuChu")) {
      const Json::Value& c = n["ChuChu"];
      EXPECT_TRUE(holdsInOrder(c["Text"].asString(), given)) << given << " from " << c["Text"].asString();
      EXPECT_EQ(books.count(c["Book"].asString()), 1u) << c["Book"].asString();
      EXPECT_FALSE(c["Title"].asString().empty()) << given;
      EXPECT_TRUE(c["Author"].isString()) << given;
      continue;
    }
    if (i >= reach) continue;
    // Uses of each character in this block before place i.
    std::map<std::string, int> blockUses;
    for (size_t k = i - i % kPageBlock; k < i; ++k)
      for (const auto& ch : freeChars(names[k])) ++blockUses[ch];
    for (size_t j = i + 1; j < reach; ++j) {
      if (!names[j].isMember("ChuChu")) continue;
      bool atLimit = false;
      for (const auto& ch : freeChars(names[j])) atLimit = atLimit || blockUses[ch] >= kMaxUsesPerBlock;
      if (!atLimit) {
        ADD_FAILURE() << names[j]["m"].asString() << " (with a line) placed after " << given << " at " << i;
        return;
      }
    }
  }
}

}  // namespace

TEST(NamingEngine, LoadsTheTablesAndTheVocabulary) {
  ASSERT_TRUE(engine().ready()) << engine().loadError();
}

TEST(NamingEngine, FiveGridsOfNamesComputedByHand) {
  // Kangxi strokes: 王4 明8 张(張)11 浩11 然12 欧(歐)15 阳(陽)17 诸(諸)16 葛15 文4 华(華)14,
  // 于3 (the surname keeps its own form) 一1.
  struct Case {
    const char* surname;
    const char* given;
    const char* tg;
    const char* rg;
    const char* dg;
    const char* wg;
    const char* zg;
    int sancai;
  } cases[] = {
      {"王", "明", "5（土）", "12（木）", "9（水）", "2（木）", "12（木）", 315},
      {"张", "浩然", "12（木）", "22（木）", "23（火）", "13（火）", "34（火）", 112},
      {"欧阳", "明", "32（木）", "25（土）", "9（水）", "16（土）", "40（水）", 135},
      {"诸葛", "文华", "31（木）", "19（水）", "18（金）", "30（水）", "49（水）", 154},
      {"于", "一", "4（火）", "4（火）", "2（木）", "2（木）", "4（火）", 221},
  };
  for (const auto& c : cases) {
    NamingResult r = engine().analyse(birth(c.surname), c.given);
    ASSERT_TRUE(r.ok()) << c.surname << c.given << ": " << r.message;
    const Json::Value& w = r.data["wuge"];
    std::pair<const char*, const char*> grids[] = {{"tg", c.tg}, {"rg", c.rg}, {"dg", c.dg}, {"wg", c.wg}, {"zg", c.zg}};
    for (const auto& [key, expected] : grids) {
      EXPECT_EQ(w[key][1].asString(), expected) << c.surname << c.given << " " << key;
      // The third element is the number alone, as the report looks it up.
      EXPECT_EQ(std::to_string(std::atoi(expected)), w[key][2].asString()) << key;
    }
    EXPECT_EQ(r.data["sancai"]["id"].asInt(), c.sancai) << c.surname << c.given;
  }
}

TEST(NamingEngine, SurnamesAreReadWithTheirSurnameReadings) {
  struct Case {
    const char* surname;
    std::vector<std::string> pinyin;
  } cases[] = {{"曾", {"zēng"}}, {"单", {"shàn"}}, {"仇", {"qiú"}}, {"翟", {"zhái"}},
               {"解", {"xiè"}},  {"尉迟", {"yù", "chí"}}, {"张李", {"zhāng", "lǐ"}}};
  for (const auto& c : cases) {
    NamingResult r = engine().analyse(birth(c.surname), "明");
    ASSERT_TRUE(r.ok()) << c.surname << ": " << r.message;
    for (size_t i = 0; i < c.pinyin.size(); ++i) EXPECT_EQ(r.data["name"]["py"][int(i)].asString(), c.pinyin[i]) << c.surname;
  }
}

TEST(NamingEngine, GenerationHonoursEveryFilter) {
  CharTable table;
  std::string error;
  ASSERT_TRUE(table.load(kCharFolder, error)) << error;
  struct Case {
    const char* label;
    int gender;
    int length;
    std::array<int, kSettingCount> set;
    const char* fixedFirst;
    const char* fixedSecond;
  } cases[] = {
      {"defaults boy", 1, 2, {2, 0, 0, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"defaults girl", 2, 2, {2, 0, 0, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"single character", 2, 1, {0, 0, 0, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"first fixed", 1, 2, {0, 1, 0, 0, 0, 1, 1, 0, 0, 0}, "嘉", ""},
      {"second fixed", 2, 2, {0, 0, 0, 0, 0, 1, 1, 0, 0, 0}, "", "安"},
      {"both fixed: the first wins", 1, 2, {0, 0, 0, 0, 0, 1, 1, 0, 0, 0}, "文", "安"},
      {"fixed single name", 1, 1, {0, 0, 0, 0, 0, 1, 1, 0, 0, 0}, "", "乐"},
      {"gender very strong", 1, 2, {0, 3, 0, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"gender strong", 2, 2, {0, 2, 0, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"neutral not all", 1, 2, {0, 0, 0, 1, 0, 1, 1, 0, 0, 0}, "", ""},
      {"neutral only", 2, 2, {0, 0, 0, 2, 0, 1, 1, 0, 0, 0}, "", ""},
      {"no neutral", 2, 2, {0, 0, 0, 3, 0, 1, 1, 0, 0, 0}, "", ""},
      {"zodiac not bad", 1, 2, {0, 0, 1, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"zodiac all good", 1, 2, {0, 0, 3, 0, 0, 1, 1, 0, 0, 0}, "", ""},
      {"grids not bad", 1, 2, {0, 0, 0, 0, 1, 1, 1, 0, 0, 0}, "", ""},
      {"grids all good", 2, 2, {0, 0, 0, 0, 3, 1, 1, 0, 0, 0}, "", ""},
      {"sound grades", 1, 2, {0, 0, 0, 0, 0, 1, 1, 2, 1, 2}, "", ""},
      {"key characters", 2, 2, {3, 0, 0, 0, 0, 3, 3, 0, 0, 0}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    NamePageRequest q;
    q.birth = birth("张", c.gender);
    q.nameLength = c.length;
    q.settings = c.set;
    q.fixedFirst = c.fixedFirst;
    q.fixedSecond = c.fixedSecond;
    std::vector<Json::Value> names = allNames(q);
    ASSERT_FALSE(names.empty());
    char own = c.gender == 2 ? 'f' : 'm', other = c.gender == 2 ? 'm' : 'f';
    std::string fixed = *c.fixedFirst ? c.fixedFirst : c.fixedSecond;
    int fixedPos = *c.fixedFirst ? 0 : (*c.fixedSecond ? (c.length == 1 ? 0 : 1) : -1);
    expectSourcedFirst(names, fixed);
    std::set<std::string> seen;
    for (const auto& n : names) {
      std::string given = n["m"].asString();
      EXPECT_EQ(n["x"].asString(), "张");
      EXPECT_TRUE(seen.insert(given).second) << "repeated " << given;
      double f = n["f"].asDouble();
      EXPECT_GE(f, 0.0);
      EXPECT_LE(f, 100.0);
      auto cs = chars(given);
      ASSERT_EQ(static_cast<int>(cs.size()), c.length) << given;
      if (fixedPos >= 0) { EXPECT_EQ(cs[fixedPos], fixed) << given; }
      int ownCount = 0, neutral = 0;
      for (size_t i = 0; i < cs.size(); ++i) {
        const std::string& ch = cs[i];
        EXPECT_FALSE(ch == "死" || ch == "病" || ch == "王" || ch == "张") << given;
        auto sex = fixtureSex().find(ch);
        ASSERT_TRUE(sex != fixtureSex().end()) << "not from the vocabulary: " << given;
        if (static_cast<int>(i) == fixedPos) continue;  // the user's own choice
        EXPECT_NE(sex->second, other) << given;
        ownCount += sex->second == own;
        neutral += sex->second == 'n';
        const CharInfo* info = table.find(ch);
        ASSERT_NE(info, nullptr);
        if (c.set[kSetCyz] == 2) { EXPECT_EQ(info->level, 1) << given; }
        if (c.set[kSetCyz] == 3) { EXPECT_LE(info->rank, 2500) << given; }
      }
      int free = c.length - (fixedPos >= 0 ? 1 : 0);
      if (c.set[kSetXb] == 3) { EXPECT_EQ(ownCount, free) << given; }
      if (c.set[kSetXb] == 2) { EXPECT_GE(ownCount, 1) << given; }
      if (c.set[kSetZxz] == 1) { EXPECT_LT(neutral, free) << given; }
      if (c.set[kSetZxz] == 2) { EXPECT_EQ(neutral, free) << given; }
      if (c.set[kSetZxz] == 3) { EXPECT_EQ(neutral, 0) << given; }
      // 鸡 year: the fixture marks 日 and 火 radicals unfavourable, 禾 favourable.
      if (c.set[kSetSx] >= 1) { EXPECT_GE(n["s"].asInt(), 80) << given; }
      if (c.set[kSetSx] == 3) { EXPECT_EQ(n["s"].asInt(), 100) << given; }
      if (c.set[kSetXmx] > 0 || c.set[kSetYd] > 0 || c.set[kSetSm] > 0 || c.set[kSetYm] > 0) {
        NamingResult a = engine().analyse(q.birth, given);
        ASSERT_TRUE(a.ok());
        const Json::Value& w = a.data["wuge"];
        for (const char* g : {"rg", "dg", "wg", "zg"}) {
          Luck l = numberLuck(std::atoi(w[g][2].asCString()));
          if (c.set[kSetXmx] >= 1) { EXPECT_NE(l, kBad) << given << " " << g; }
          if (c.set[kSetXmx] == 3) { EXPECT_EQ(l, kGood) << given << " " << g; }
        }
        const Json::Value& s = a.data["score"];
        EXPECT_GE(s["sd"].asInt(), c.set[kSetYd]) << given;
        if (c.set[kSetSm] > 0) { EXPECT_GE(s["sm"].asInt(), c.set[kSetSm] + 1) << given; }
        EXPECT_GE(s["ym"].asInt(), c.set[kSetYm]) << given;
      }
    }
  }
}

TEST(NamingEngine, PageScoresMatchTheAnalysisAndStayTheSame) {
  NamePageRequest q;
  q.birth = birth("欧阳", 2);
  q.pageSize = 10;
  NamingResult first = engine().namePage(q);
  ASSERT_TRUE(first.ok());
  ASSERT_GT(first.data["data"].size(), 0u);
  // A second engine on the same data gives the same page, byte for byte.
  NamingEngine again({kCharFolder, kFixture});
  EXPECT_EQ(compact(again.namePage(q).data), compact(first.data));
  EXPECT_EQ(compact(engine().namePage(q).data), compact(first.data));
  for (const auto& n : first.data["data"]) {
    NamingResult a = engine().analyse(q.birth, n["m"].asString());
    ASSERT_TRUE(a.ok());
    EXPECT_DOUBLE_EQ(a.data["score"]["total"].asDouble(), n["f"].asDouble()) << n["m"].asString();
    EXPECT_EQ(a.data["score"]["wx"].asInt(), n["w"].asInt());
    EXPECT_EQ(a.data["score"]["jx"].asInt(), n["j"].asInt());
    EXPECT_EQ(a.data["score"]["sx"].asInt(), n["s"].asInt());
    EXPECT_EQ(a.data["score"]["yy"].asInt(), n["y"].asInt());
    // Two decimals at most.
    double f = n["f"].asDouble();
    EXPECT_NEAR(f * 100, std::round(f * 100), 1e-6);
  }
  // A page past the end is empty and keeps the total.
  q.page = 100000;
  NamingResult past = engine().namePage(q);
  ASSERT_TRUE(past.ok());
  EXPECT_EQ(past.data["data"].size(), 0u);
  EXPECT_EQ(past.data["total"].asInt(), first.data["total"].asInt());
}

// The order does not depend on the page size: pages of 3, 10 and 100 list the same names
// in the same order, each once.
TEST(NamingEngine, PagesOfAnySizeFollowOneOrder) {
  auto sequence = [](int pageSize) {
    NamePageRequest q;
    q.birth = birth("李", 2);
    q.settings = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0};
    q.pageSize = pageSize;
    std::vector<std::string> out;
    for (q.page = 1; q.page <= 1000; ++q.page) {
      NamingResult r = engine().namePage(q);
      EXPECT_TRUE(r.ok()) << r.message;
      if (!r.ok() || r.data["data"].empty()) break;
      for (const auto& n : r.data["data"]) out.push_back(n["m"].asString());
    }
    return out;
  };
  std::vector<std::string> byTen = sequence(10);
  ASSERT_GT(byTen.size(), 30u);
  EXPECT_EQ(sequence(3), byTen);
  EXPECT_EQ(sequence(100), byTen);
  EXPECT_EQ(std::set<std::string>(byTen.begin(), byTen.end()).size(), byTen.size());
}

// Place names, ordinary words and pairs of two classed characters (things, actions) are
// never proposed; the same characters still appear beside a plain name character.
TEST(NamingEngine, OddPairingsAreNotProposed) {
  norvane::test::TempDir dir;
  std::string rows = "[";
  for (const char* ch : {"武", "汉", "芽", "贝", "观", "月", "宝", "阅", "明", "安"}) {
    if (rows.size() > 1) rows += ",";
    rows += std::string(R"({"wd":")") + ch + R"(","use":"name","sex":"n","wx":"木"})";
  }
  norvane::test::writeFile(dir.file("jxjs.json"), rows + "]");
  NamingEngine e({kCharFolder, dir.path()});
  ASSERT_TRUE(e.ready()) << e.loadError();
  auto names = [&](const char* fixedFirst) {
    NamePageRequest q;
    q.birth = birth("李", 2);
    q.fixedFirst = fixedFirst;
    q.pageSize = 100;
    q.settings = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0};
    NamingResult r = e.namePage(q);
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.data["total"].asInt(), static_cast<int>(r.data["data"].size()));
    std::set<std::string> out;
    for (const auto& item : r.data["data"]) out.insert(item["m"].asString());
    return out;
  };
  std::set<std::string> all = names("");
  struct Case {
    const char* name;
    bool proposed;
  } cases[] = {
      {"武汉", false},  // a city
      {"芽贝", false},  // thing + thing
      {"观月", false},  // act + thing
      {"宝阅", false},  // thing + act
      {"阅观", false},  // act + act
      {"明月", true},   {"月明", true}, {"宝安", true}, {"观明", true}, {"汉武", true},
  };
  for (const auto& c : cases) EXPECT_EQ(all.count(c.name), c.proposed ? 1u : 0u) << c.name;
  // A fixed character the user chose keeps the rule.
  std::set<std::string> withFixed = names("观");
  EXPECT_EQ(withFixed.count("观月"), 0u);
  EXPECT_EQ(withFixed.count("观明"), 1u);
}

TEST(NamingEngine, ABlockedFixedCharacterGivesNoNames) {
  NamePageRequest q;
  q.birth = birth();
  q.fixedFirst = "死";
  NamingResult r = engine().namePage(q);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data["total"].asInt(), 0);
  EXPECT_EQ(r.data["data"].size(), 0u);
}

// Full names that read as unlucky words are never proposed, while the same characters
// stay available under other surnames.
TEST(NamingEngine, NamesThatSoundLikeUnluckyWordsAreNotProposed) {
  norvane::test::TempDir dir;
  std::string rows = "[";
  for (const char* ch : {"伟", "德", "子", "腾", "珍", "香", "生", "津", "文", "明"}) {
    if (rows.size() > 1) rows += ",";
    rows += std::string(R"({"wd":")") + ch + R"(","use":"name","sex":"n","wx":"木"})";
  }
  norvane::test::writeFile(dir.file("jxjs.json"), rows + "]");
  NamingEngine e({kCharFolder, dir.path()});
  ASSERT_TRUE(e.ready()) << e.loadError();

  auto names = [&](const char* surname, int length, const char* fixed) {
    NamePageRequest q;
    q.birth = birth(surname);
    q.nameLength = length;
    q.fixedFirst = fixed;
    q.pageSize = 100;
    q.settings = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0};
    NamingResult r = e.namePage(q);
    EXPECT_TRUE(r.ok()) << r.message;
    std::set<std::string> out;
    for (const auto& item : r.data["data"]) out.insert(item["m"].asString());
    return out;
  };
  struct Case {
    const char* surname;
    int length;
    const char* fixed;
    const char* refused;  // reads as an unlucky word with this surname
    const char* control;  // a surname under which the same name is fine
  } cases[] = {
      {"杨", 1, "", "伟", "王"},        // 阳痿
      {"吴", 1, "", "德", "王"},        // 无德
      {"戴", 1, "", "子", "王"},        // 呆子
      {"杜", 2, "子", "子腾", "王"},    // 肚子疼
      {"史", 2, "珍", "珍香", "王"},    // 屎真香
      {"魏", 2, "生", "生津", "王"},    // 卫生巾
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.surname) + c.refused);
    std::set<std::string> refused = names(c.surname, c.length, c.fixed);
    EXPECT_FALSE(refused.empty()) << "the filter must not empty the page";
    EXPECT_EQ(refused.count(c.refused), 0u);
    EXPECT_EQ(names(c.control, c.length, c.fixed).count(c.refused), 1u);
  }

  // Nicknames are read with the surname too: under 戴 no nickname may start with 子
  // (戴子子, 戴子儿 read 呆子), under 王 they may.
  auto nicknames = [&](const char* surname) {
    NicknamePageRequest q;
    q.birth = birth(surname);
    q.patterns = {true, false, false, false, true, false};
    q.pageSize = 100;
    NamingResult r = e.nicknamePage(q);
    EXPECT_TRUE(r.ok()) << r.message;
    std::set<std::string> out;
    for (const auto& item : r.data["data"]) out.insert(item["m"].asString());
    return out;
  };
  std::set<std::string> dai = nicknames("戴");
  EXPECT_EQ(dai.count("子子") + dai.count("子儿"), 0u);
  EXPECT_EQ(dai.count("文儿"), 1u);
  std::set<std::string> wang = nicknames("王");
  EXPECT_EQ(wang.count("子子") + wang.count("子儿"), 2u);
}

TEST(NamingEngine, OutOfRangeInputAnswers1004) {
  auto withBirth = [](BirthQuestion b) {
    NamePageRequest q;
    q.birth = b;
    return q;
  };
  struct Case {
    const char* label;
    NamePageRequest q;
  } cases[] = {
      {"gender", withBirth({"张", 3, "2005-12-23 08:37:00", 120})},
      {"impossible date", withBirth({"张", 1, "2005-02-30 08:37:00", 120})},
      {"not a date", withBirth({"张", 1, "yesterday", 120})},
      {"longitude", withBirth({"张", 1, "2005-12-23 08:37:00", 400})},
      {"longitude NaN", withBirth({"张", 1, "2005-12-23 08:37:00", std::nan("")})},
      {"latin surname", withBirth({"Smith", 1, "2005-12-23 08:37:00", 120})},
      {"empty surname", withBirth({"", 1, "2005-12-23 08:37:00", 120})},
      {"three-character surname", withBirth({"欧阳张", 1, "2005-12-23 08:37:00", 120})},
      {"broken UTF-8", withBirth({"\xe5\xbc", 1, "2005-12-23 08:37:00", 120})},
  };
  for (const auto& c : cases) {
    NamingResult r = engine().namePage(c.q);
    EXPECT_EQ(r.code, kCodeOutOfRange) << c.label;
    EXPECT_FALSE(r.message.empty()) << c.label;
  }
  NamePageRequest q;
  q.birth = birth();
  auto expect1004 = [](const NamingResult& r, const char* label) { EXPECT_EQ(r.code, kCodeOutOfRange) << label; };
  NamePageRequest x = q;
  x.nameLength = 3;
  expect1004(engine().namePage(x), "name length");
  x = q;
  x.page = 0;
  expect1004(engine().namePage(x), "page 0");
  x = q;
  x.pageSize = 0;
  expect1004(engine().namePage(x), "page size 0");
  x = q;
  x.settings[kSetCyz] = 4;
  expect1004(engine().namePage(x), "setting 4");
  x = q;
  x.settings[kSetSm] = 3;  // the initials list has three items
  expect1004(engine().namePage(x), "initials setting 3");
  x = q;
  x.settings[kSetWx] = -1;
  expect1004(engine().namePage(x), "negative setting");
  x = q;
  x.fixedFirst = "安宁";
  expect1004(engine().namePage(x), "two fixed characters");
  x = q;
  x.fixedSecond = "a";
  expect1004(engine().namePage(x), "latin fixed character");
  for (const char* book : {"唐诗三百首", "史记", "诗", " 诗经"}) {
    x = q;
    x.source = book;
    expect1004(engine().namePage(x), book);
  }
  NicknamePageRequest n;
  n.birth = birth();
  expect1004(engine().nicknamePage(n), "no pattern");
  expect1004(engine().analyse(birth(), ""), "empty given name");
  expect1004(engine().analyse(birth(), "文安宁"), "three-character given name");
  expect1004(engine().analyse(birth(), "A"), "latin given name");
  expect1004(engine().analyseNickname(birth(), ""), "empty nickname");
  expect1004(engine().fortune("张", "\xff"), "broken UTF-8 given name");
  expect1004(engine().fortune("Q", "明"), "latin surname");
}

TEST(NamingEngine, NicknamePatterns) {
  const std::pair<int, std::regex> patterns[] = {
      {0, std::regex("^(.+)\\1$")},       // 宝宝
      {1, std::regex("^小(.+)$")},        // 小宝
      {2, std::regex("^阿(.+)$")},        // 阿宝
      {3, std::regex("^小(.+)\\1$")},     // 小宝宝
      {4, std::regex("^(.+)儿$")},        // 宝儿
      {5, std::regex("^小(.+)儿$")},      // 小宝儿
  };
  for (int gender : {1, 2}) {
    for (const auto& [index, re] : patterns) {
      SCOPED_TRACE("pattern " + std::to_string(index + 1) + " gender " + std::to_string(gender));
      NicknamePageRequest q;
      q.birth = birth("李", gender);
      q.patterns[index] = true;
      q.pageSize = 100;
      NamingResult r = engine().nicknamePage(q);
      ASSERT_TRUE(r.ok()) << r.message;
      ASSERT_GT(r.data["data"].size(), 0u);
      EXPECT_EQ(static_cast<int>(r.data["data"].size()), r.data["total"].asInt());
      char other = gender == 2 ? 'm' : 'f';
      for (const auto& n : r.data["data"]) {
        std::string nick = n["m"].asString();
        std::smatch m;
        ASSERT_TRUE(std::regex_match(nick, m, re)) << nick;
        std::string core = m[1];
        auto sex = fixtureSex().find(core);
        ASSERT_TRUE(sex != fixtureSex().end()) << nick;
        EXPECT_NE(sex->second, other) << nick;
      }
    }
  }
  // Several patterns together: the union, every nickname once.
  NicknamePageRequest all;
  all.birth = birth("李", 1);
  all.patterns = {true, true, true, true, true, true};
  all.pageSize = 100;
  std::set<std::string> nicks;
  int total = 0;
  for (all.page = 1;; ++all.page) {
    NamingResult r = engine().nicknamePage(all);
    ASSERT_TRUE(r.ok());
    total = r.data["total"].asInt();
    if (r.data["data"].empty()) break;
    for (const auto& n : r.data["data"]) EXPECT_TRUE(nicks.insert(n["m"].asString()).second);
  }
  EXPECT_EQ(static_cast<int>(nicks.size()), total);
  EXPECT_EQ(nicks.count("小浩儿"), 1u);
  EXPECT_EQ(nicks.count("死死"), 0u);
  EXPECT_EQ(nicks.count("婷婷"), 0u);
}

TEST(NamingEngine, AnalysisCarriesEveryMemberTheReportsRead) {
  for (const auto& [surname, given] : {std::pair<std::string, std::string>{"张", "浩然"}, {"欧阳", "明"}}) {
    SCOPED_TRACE(surname + given);
    NamingResult r = engine().analyse(birth(surname), given);
    ASSERT_TRUE(r.ok()) << r.message;
    const Json::Value& d = r.data;
    size_t n = chars(surname).size() + chars(given).size();
    for (const char* k : {"words", "py", "wx", "jx", "pp1", "pp2"}) {
      ASSERT_TRUE(d["name"][k].isArray()) << k;
      EXPECT_EQ(d["name"][k].size(), n) << k;
      for (const auto& e : d["name"][k]) EXPECT_TRUE(e.isString()) << k;
    }
    std::string joined;
    for (const auto& w : d["name"]["words"]) joined += w.asString();
    EXPECT_EQ(joined, surname + given);
    EXPECT_TRUE(d["score"]["total"].isDouble());
    EXPECT_TRUE(d["score"]["bhfen"].isNumeric());
    for (const char* k : {"wx", "jx", "sx", "yy"}) {
      ASSERT_TRUE(d["score"][k].isInt()) << k;
      EXPECT_GE(d["score"][k].asInt(), 0);
      EXPECT_LE(d["score"][k].asInt(), 100);
    }
    for (const char* k : {"sd", "sm", "ym", "zx"}) {
      ASSERT_TRUE(d["score"][k].isInt()) << k;
      EXPECT_GE(d["score"][k].asInt(), 0);
      EXPECT_LE(d["score"][k].asInt(), 3);
    }
    for (const char* k : {"nl", "xnl", "xsr"}) EXPECT_TRUE(d["time"][k].isString()) << k;
    for (const char* k : {"bsd", "bfz", "bms", "tsd", "tfz", "tms", "xsd", "xfz", "xms"})
      EXPECT_TRUE(d["time"][k].isInt()) << k;
    for (const char* k : {"bazi", "pdy", "geju", "youdao"}) EXPECT_FALSE(d[k].isNull()) << k;
    // Bone weight: 2两1钱 .. 7两2钱, id = 10 × 两 + 钱.
    int id = d["cgsm"]["id"].asInt();
    EXPECT_GE(id, 21);
    EXPECT_LE(id, 72);
    EXPECT_EQ(d["cgsm"]["l"].asInt() * 10 + d["cgsm"]["q"].asInt(), id);
    // Day stem with the hour pillar of the eight characters.
    EXPECT_EQ(d["sclm"]["s1"].asString(), "辛,壬辰");
    ASSERT_EQ(d["sclm"]["s2"].size(), 4u);
    const char* kinds[4] = {"纳音,", "月令,", "日主,", "五行,"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d["sclm"]["s2"][i].asString().rfind(kinds[i], 0), 0u) << i;
    EXPECT_EQ(d["sclm"]["s2"][0].asString(), "纳音,泉中水");  // 乙酉
    EXPECT_EQ(d["sclm"]["s2"][1].asString(), "月令,子");
    for (const char* g : {"tg", "rg", "dg", "wg", "zg"}) {
      ASSERT_EQ(d["wuge"][g].size(), 3u) << g;
      int num = std::atoi(d["wuge"][g][2].asCString());
      EXPECT_GE(num, 1);
      EXPECT_LE(num, 81);
    }
    int sc = d["sancai"]["id"].asInt();
    for (int digit : {sc / 100, sc / 10 % 10, sc % 10}) {
      EXPECT_GE(digit, 1);
      EXPECT_LE(digit, 5);
    }
    EXPECT_EQ(d["sancai"]["pz"].size(), 3u);
    EXPECT_TRUE(d["sancai"]["js"].isString());
    for (int p = 1; p <= 3; ++p) {
      int v = d["peihe"]["p" + std::to_string(p)].asInt();
      EXPECT_GE(v, p * 10 + 1);
      EXPECT_LE(v, p * 10 + 5);
    }
    int p6 = std::atoi(d["peihe"]["p6"][1].asCString());
    EXPECT_GE(p6, 61);
    EXPECT_LE(p6, 65);
    EXPECT_EQ(d["content"]["sx"].asString(), "鸡");
    EXPECT_EQ(d["content"]["sr"].asString(), "1223");
    EXPECT_EQ(d["content"]["xz"].asString(), "摩羯座");
    int gx = std::atoi(d["content"]["gx"].asCString());
    EXPECT_GE(gx, 1);
    EXPECT_LE(gx, 64);
    for (const char* k : {"jy", "htbj", "mpys", "kymp"}) EXPECT_FALSE(d["content"][k].isNull()) << k;
  }
}

TEST(NamingEngine, NicknameAnalysisAndFortuneMembers) {
  NamingResult r = engine().analyseNickname(birth("李"), "宁宁");
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.data["name"]["words"].size(), 2u);
  EXPECT_EQ(r.data["name"]["pp1"].size(), 2u);
  EXPECT_EQ(r.data["name"]["pp2"].size(), 2u);
  EXPECT_EQ(r.data["name"]["sx"].asString(), "鸡");
  EXPECT_FALSE(r.data["score"].isNull());
  EXPECT_FALSE(r.data["jianyi"].isNull());
  // 宁(寧) 14 + 14 = 28; with 李 7: 35.
  EXPECT_EQ(r.data["shuli"]["xm"][0].asString(), "28");
  EXPECT_EQ(r.data["shuli"]["zong"][0].asString(), "35");
  EXPECT_TRUE(r.data["shuli"]["xm"][1].isString());

  // 王明: strokes 4 and 8 → 震 over 坤 (雷地豫, 16), moving line 12 mod 6 = 6.
  NamingResult f = engine().fortune("王", "明");
  ASSERT_TRUE(f.ok()) << f.message;
  EXPECT_EQ(f.data["gx"].asString(), "16");
  ASSERT_EQ(f.data["list"].size(), 3u);
  EXPECT_EQ(f.data["list"][2].asString(), "G09");  // opposite: 巽 over 乾, 风天小畜
  EXPECT_EQ(f.data["list"][1].asString(), "G35");  // sixth line turns: 离 over 坤, 火地晋
  const char* aspects[5] = {"事业-", "财运-", "婚恋-", "健康-", "学业-"};
  ASSERT_EQ(f.data["ys"].size(), 5u);
  for (int i = 0; i < 5; ++i) {
    std::string s = f.data["ys"][i].asString();
    EXPECT_EQ(s.rfind(aspects[i], 0), 0u) << s;
    std::string grade = s.substr(std::string(aspects[i]).size());
    EXPECT_TRUE(grade == "吉" || grade == "半吉" || grade == "凶") << s;
  }
}

TEST(NamingEngine, BrokenOrMissingDataLeavesTheEngineUnavailable) {
  norvane::test::TempDir dir;
  namespace fs = std::filesystem;
  auto copyTables = [&](const std::string& to) {
    fs::create_directories(to);
    for (const char* f : {"characters.tsv", "surnames.tsv", "blocklist.txt", "unlucky_readings.txt", "pairing_rules.txt",
                          "sources.tsv"})
      fs::copy_file(kCharFolder + "/" + f, to + "/" + f, fs::copy_options::overwrite_existing);
  };
  std::string broken = dir.file("broken");
  copyTables(broken);
  norvane::test::writeFile(broken + "/characters.tsv", "张\tzhāng\tx\n");
  std::string badPairing = dir.file("badpairing");
  copyTables(badPairing);
  norvane::test::writeFile(badPairing + "/pairing_rules.txt", "word\t武汉\tcity\nthing\t树木\ttwo characters\n");
  std::string noPairing = dir.file("nopairing");
  copyTables(noPairing);
  fs::remove(noPairing + "/pairing_rules.txt");
  std::string noSources = dir.file("nosources");
  copyTables(noSources);
  fs::remove(noSources + "/sources.tsv");
  std::string badSources = dir.file("badsources");
  copyTables(badSources);
  norvane::test::writeFile(badSources + "/sources.tsv", "诗经\t关雎\t\t关关雎鸠，在河之洲。\n史记\t本纪\t司马迁\t天下之大。\n");
  std::string noVocabulary = dir.file("novocab");
  fs::create_directories(noVocabulary);
  norvane::test::writeFile(noVocabulary + "/jxjs.json", R"([{"wd":"王","use":"surname","sex":"n","wx":"土"}])");
  std::string notJson = dir.file("notjson");
  fs::create_directories(notJson);
  norvane::test::writeFile(notJson + "/jxjs.json", "[{\"wd\":");
  struct Case {
    const char* label;
    EngineFiles files;
  } cases[] = {
      {"missing character folder", {dir.file("nowhere"), kFixture}},
      {"malformed character table", {broken, kFixture}},
      {"malformed pairing rules", {badPairing, kFixture}},
      {"missing pairing rules", {noPairing, kFixture}},
      {"missing classical lines", {noSources, kFixture}},
      {"classical line of an unknown book", {badSources, kFixture}},
      {"missing vocabulary", {kCharFolder, dir.file("nowhere")}},
      {"vocabulary without name characters", {kCharFolder, noVocabulary}},
      {"vocabulary not JSON", {kCharFolder, notJson}},
      {"knowledge database missing", {kCharFolder, dir.file("missing.dat")}},
  };
  for (const auto& c : cases) {
    NamingEngine e(c.files);
    EXPECT_FALSE(e.ready()) << c.label;
    EXPECT_FALSE(e.loadError().empty()) << c.label;
    NamePageRequest q;
    q.birth = birth();
    NamingResult r = e.namePage(q);
    EXPECT_EQ(r.code, kCodeEngineUnavailable) << c.label;
    EXPECT_EQ(e.analyse(birth(), "明").code, kCodeEngineUnavailable) << c.label;
    EXPECT_EQ(e.fortune("张", "明").code, kCodeEngineUnavailable) << c.label;
  }
}

TEST(NamingEngine, ReadsTheVocabularyFromTheEncryptedKnowledgeDatabase) {
  norvane::test::TempDir dir;
  std::string path = dir.file("local.dat");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const char key[] = "Hq7vLmT2wXpR9sKdB4nZcJ6yFgQ1aEoU";
  sqlite3_key(db, key, static_cast<int>(sizeof key - 1));
  Json::Value rows;
  {
    Json::CharReaderBuilder b;
    std::string errs;
    std::istringstream in(norvane::test::readFile(kFixture + "/jxjs.json"));
    ASSERT_TRUE(Json::parseFromStream(b, in, &rows, &errs));
  }
  std::string sql =
      "create table jxjs(wd TEXT, js TEXT, use TEXT, sex TEXT, wx TEXT);"
      "create table sxpp(sx TEXT, pp TEXT, js TEXT);";
  auto quote = [](const Json::Value& v) {
    if (!v.isString()) return std::string("NULL");
    std::string s = v.asString(), out = "'";
    for (char ch : s) out += ch == '\'' ? std::string("''") : std::string(1, ch);
    return out + "'";
  };
  for (const auto& r : rows)
    sql += "insert into jxjs values(" + quote(r["wd"]) + "," + quote(r["js"]) + "," + quote(r["use"]) + "," +
           quote(r["sex"]) + "," + quote(r["wx"]) + ");";
  Json::Value sx;
  {
    Json::CharReaderBuilder b;
    std::string errs;
    std::istringstream in(norvane::test::readFile(kFixture + "/sxpp.json"));
    ASSERT_TRUE(Json::parseFromStream(b, in, &sx, &errs));
  }
  for (const auto& r : sx)
    sql += "insert into sxpp values(" + quote(r["sx"]) + "," + quote(r["pp"]) + "," + quote(r["js"]) + ");";
  char* err = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_close(db);

  NamingEngine fromDb({kCharFolder, path});
  ASSERT_TRUE(fromDb.ready()) << fromDb.loadError();
  NamePageRequest q;
  q.birth = birth("王", 2);
  q.settings[kSetSx] = 1;  // the zodiac rows must have come along too
  EXPECT_EQ(compact(fromDb.namePage(q).data), compact(engine().namePage(q).data));

  // The same file opened with a wrong key is refused with a message.
  std::string plain = dir.file("plain.dat");
  ASSERT_EQ(sqlite3_open(plain.c_str(), &db), SQLITE_OK);
  sqlite3_key(db, "other", 5);
  ASSERT_EQ(sqlite3_exec(db, "create table jxjs(wd TEXT, js TEXT, use TEXT, sex TEXT, wx TEXT);", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  NamingEngine wrongKey({kCharFolder, plain});
  EXPECT_FALSE(wrongKey.ready());
  EXPECT_FALSE(wrongKey.loadError().empty());
}

TEST(CharacterTable, DerivedStrokesReadingsAndSurnames) {
  CharTable table;
  std::string error;
  ASSERT_TRUE(table.load(kCharFolder, error)) << error;
  struct Case {
    const char* ch;
    int strokes, kangxi, tone;
    const char* initial;
    const char* final;
  } cases[] = {
      {"张", 7, 11, 1, "zh", "ang"},  // 張: 弓 3 + 8
      {"海", 10, 11, 3, "h", "ai"},   // 氵 counts as 水, 4
      {"铭", 11, 14, 2, "m", "ing"},  // 銘: 金 8 + 6
      {"郑", 8, 19, 4, "zh", "eng"},  // 鄭: 阝 on the right counts as 邑, 7
      {"五", 4, 5, 3, "w", "u"},      // numerals count their value
      {"十", 2, 10, 2, "sh", "i"},
      {"子", 3, 3, 3, "z", "i"},      // never the neutral tone
      {"绿", 11, 14, 4, "l", "v"},    // ü written v
  };
  for (const auto& c : cases) {
    const CharInfo* info = table.find(c.ch);
    ASSERT_NE(info, nullptr) << c.ch;
    EXPECT_EQ(info->strokes, c.strokes) << c.ch;
    EXPECT_EQ(info->kangxi, c.kangxi) << c.ch;
    EXPECT_EQ(info->tone, c.tone) << c.ch;
    EXPECT_EQ(info->initial, c.initial) << c.ch;
    EXPECT_EQ(info->final, c.final) << c.ch;
  }
  // Surnames keep their own form where the traditional form of the word differs.
  auto yu = table.surname("余");
  ASSERT_TRUE(yu);
  EXPECT_EQ(yu->kangxi, std::vector<int>{7});
  EXPECT_EQ(table.find("余")->kangxi, 16);  // 餘 in a given name
  auto ouyang = table.surname("欧阳");
  ASSERT_TRUE(ouyang);
  EXPECT_EQ(ouyang->kangxi, (std::vector<int>{15, 17}));
  EXPECT_FALSE(table.surname("欧阳张"));
  EXPECT_FALSE(table.surname("Li"));
  EXPECT_TRUE(table.blocked("死"));
  EXPECT_TRUE(table.blocked("尸"));
  EXPECT_FALSE(table.blocked("明"));
}
