// The data files the build puts beside the executables: the language tables
// made from resources/language and local.dat made from resources/knowledge.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/knowledge_db.h"
#include "platform/utf8.h"
#include "shell/text_table.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
using Kind = FormatArg::Kind;

const std::string kSource = NORVANE_SOURCE_DIR;
const std::string kBin = NORVANE_BIN_DIR;

struct Key {
  std::string section;
  std::string key;
  bool format = false;  // a format whose conversions must be `kinds`
  std::vector<Kind> kinds = {};
};

// Keys the program looks up with values it computes (and so cannot be found
// by reading the sources), with the formats and what their callers pass.
std::vector<Key> fixedKeys() {
  std::vector<Key> keys = {
      {"Text", "XingmingButtonFormat", true, {Kind::String, Kind::String}},
      {"Text", "Score", true, {Kind::Floating}},
      {"Text", "userNickname", true, {Kind::Integer, Kind::String}},
      {"Text", "CpatchaValidTime", true, {Kind::Integer}},
      {"Message", "ErrVerifySend", true, {Kind::String}},
      {"Text", "XiaomingNote"},
      {"Text", "QQLogin"},
      {"Text", "WeChatLogin"},
      {"Text", "SendCpatchaAgain"},
      {"Text", "DownloadingUpdate"},
      {"Text", "ProductName"},
      {"Message", "Title"},
  };
  for (const char* prefix : {"ShendiaoZuhe", "ShenmuZuhe", "YunmuZuhe", "ZixingZuhe"}) {
    for (int grade = 0; grade <= 3; ++grade) keys.push_back({"Text", prefix + std::to_string(grade)});
  }
  for (const char* k : {"NoSurname", "NeedChineseCharacters", "NoBirthAddress", "NoName", "XiaomingLength",
                        "XiaomingFormatErr", "ClearCache", "LoginSuccess", "InvalidMobile", "VerifyCodeIsEmpty",
                        "VerifyCodeIsError", "VerifySendByPhone", "AuthorizationFailed", "HasUpdate", "Updating",
                        "UpdateFail", "NotUpdate", "NoVersion", "FenxiFail",
                        // service statuses
                        "UnknowErr", "NoData", "SignErr", "SignExpired", "MissingParameter", "ParameterError",
                        "QumingFail"}) {
    keys.push_back({"Message", k});
  }
  return keys;
}

// Keys written as literals in the program's sources: GetText("K"),
// ShowMessage("K", ...) and LookupText("Section", "K", ...).
std::vector<Key> keysInSources() {
  std::vector<Key> keys;
  const std::regex getText(R"re(\bGetText\(\s*"([^"]+)")re");
  const std::regex showMessage(R"re(\bShowMessage\(\s*"([^"]+)")re");
  const std::regex lookup(R"re(\bLookupText\(\s*"([^"]+)"\s*,\s*"([^"]+)")re");
  for (const auto& entry : fs::recursive_directory_iterator(kSource + "/src")) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    for (std::sregex_iterator it(s.begin(), s.end(), getText), end; it != end; ++it) {
      keys.push_back({"Text", (*it)[1]});
    }
    for (std::sregex_iterator it(s.begin(), s.end(), showMessage), end; it != end; ++it) {
      keys.push_back({"Message", (*it)[1]});
    }
    for (std::sregex_iterator it(s.begin(), s.end(), lookup), end; it != end; ++it) {
      keys.push_back({(*it)[1], (*it)[2]});
    }
  }
  return keys;
}

TEST(DeliveredLanguageTables, EveryKeyTheProgramUsesIsInBothTables) {
  if (!fs::exists(kSource + "/resources/language/zh_CN.txt")) GTEST_SKIP() << "no language source in this tree";
  std::vector<Key> keys = fixedKeys();
  for (Key& k : keysInSources()) keys.push_back(std::move(k));
  for (const char* table : {"cn.dat", "tw.dat"}) {
    const std::string path = kBin + "/language/" + table;
    ASSERT_TRUE(fs::exists(path)) << path;
    std::set<std::string> reported;
    for (const Key& k : keys) {
      std::string value;
      const bool found = LookupTextIn(path, k.section, k.key, "", value);
      if (!reported.insert(k.section + "/" + k.key).second) continue;
      EXPECT_TRUE(found && !value.empty()) << table << ": " << k.section << "/" << k.key << " missing";
      if (k.format) {
        EXPECT_TRUE(formatMatches(value, k.kinds)) << table << ": " << k.key << " = \"" << value
                                                   << "\" does not carry the conversions its callers pass";
      }
    }
  }
}

TEST(DeliveredLanguageTables, TraditionalTableIsConverted) {
  if (!fs::exists(kSource + "/resources/language/zh_CN.txt")) GTEST_SKIP() << "no language source in this tree";
  std::string cn, tw;
  ASSERT_TRUE(LookupTextIn(kBin + "/language/cn.dat", "Message", "NoSurname", "", cn));
  ASSERT_TRUE(LookupTextIn(kBin + "/language/tw.dat", "Message", "NoSurname", "", tw));
  EXPECT_NE(cn, tw) << "the traditional text should differ from the simplified one";
}

TEST(DeliveredKnowledgeDb, AreaTreeIsCompleteWithCoordinates) {
  if (!fs::exists(kSource + "/resources/knowledge/area.csv")) GTEST_SKIP() << "no area table in this tree";
  KnowledgeDb db(kBin + "/local.dat", true);
  ASSERT_TRUE(db.isOpen());
  std::vector<AreaEntry> provinces;
  ASSERT_TRUE(db.childAreas(0, provinces));
  EXPECT_EQ(provinces.size(), 33u);  // 31 provinces and regions, Hong Kong, Macau
  std::size_t counties = 0;
  for (const AreaEntry& p : provinces) {
    std::vector<AreaEntry> cities;
    ASSERT_TRUE(db.childAreas(p.id, cities));
    EXPECT_FALSE(cities.empty()) << p.name;
    for (const AreaEntry& c : cities) {
      std::vector<AreaEntry> list;
      ASSERT_TRUE(db.childAreas(c.id, list));
      EXPECT_FALSE(list.empty()) << p.name << " " << c.name;
      for (const AreaEntry& county : list) {
        AreaLocation loc;
        ASSERT_TRUE(db.areaLocation(county.id, loc)) << county.id;
        const double lng = std::stod(loc.longitude), lat = std::stod(loc.latitude);
        EXPECT_TRUE(lng > 73 && lng < 136 && lat > 3 && lat < 54) << county.id << " " << lng << "," << lat;
        EXPECT_FALSE(shortenPlaceName(loc.place).empty());
        EXPECT_NE(county.id / 10 % 10, 7) << "development zone " << county.id;
        ++counties;
      }
    }
  }
  EXPECT_GT(counties, 2800u);

  AreaLocation loc;
  ASSERT_TRUE(db.areaLocation(110101, loc));
  EXPECT_EQ(shortenPlaceName(loc.place), "北京市东城区");
  EXPECT_EQ(loc.longitude, "116.41");
  ASSERT_TRUE(db.areaLocation(130102, loc));
  EXPECT_EQ(shortenPlaceName(loc.place), "河北省石家庄市长安区");
}

// The explanation lookups the reports make, with the keys the naming service
// sends, find real Chinese text in the delivered database. Each table is
// checked when its source is in the tree.
bool hasChinese(const std::string& text) {
  for (char32_t cp : utf8ToCodePoints(text)) {
    if (cp >= 0x4E00 && cp <= 0x9FFF) return true;
  }
  return false;
}

bool haveSource(const char* table) {
  return fs::exists(kSource + "/resources/knowledge/" + table + ".json");
}

std::string two(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

TEST(DeliveredKnowledgeDb, ReportLookupsFindChineseTexts) {
  KnowledgeDb db(kBin + "/local.dat", true);
  ASSERT_TRUE(db.isOpen());
  int checkedTables = 0;
  if (haveSource("sljs")) {
    ++checkedTables;
    for (int id = 1; id <= 81; ++id) {
      std::string jx, js1, js2, js3;
      EXPECT_TRUE(db.numberTexts4(id, jx, js1, js2, js3) && hasChinese(js3)) << "sljs " << id;
    }
    for (int t = 1; t <= 5; ++t)
      for (int r = 1; r <= 5; ++r)
        for (int d = 1; d <= 5; ++d) {
          std::string jx, js2, js3;
          const int id = 100 * t + 10 * r + d;
          EXPECT_TRUE(db.numberTexts3(id, jx, js2, js3) && hasChinese(js2)) << "sljs " << id;
        }
  }
  if (haveSource("cgsm")) {
    ++checkedTables;
    for (int id = 21; id <= 72; ++id) {
      std::string chy, js;
      EXPECT_TRUE(db.cgsmTexts(std::to_string(id), chy, js) && hasChinese(js)) << "cgsm " << id;
    }
  }
  const std::vector<std::string> stems = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
  const std::vector<std::string> branches = {"子", "丑", "寅", "卯", "辰", "巳",
                                             "午", "未", "申", "酉", "戌", "亥"};
  if (haveSource("sclm1")) {
    ++checkedTables;
    for (int day = 0; day < 10; ++day)
      for (int hour = 0; hour < 12; ++hour) {
        // The hour stem follows from the day stem.
        const std::string pillar = stems[(day % 5 * 2 + hour) % 10] + branches[hour];
        EXPECT_TRUE(hasChinese(db.sclm1Text(stems[day], pillar))) << stems[day] << "," << pillar;
      }
  }
  if (haveSource("sclm2")) {
    ++checkedTables;
    for (const std::string& b : branches) EXPECT_TRUE(hasChinese(db.sclm2Text("月令", b))) << b;
    for (const std::string& stem : stems)
      for (const char* s : {"旺", "弱"}) EXPECT_TRUE(hasChinese(db.sclm2Text("日主", stem + s))) << stem << s;
    for (const char* v : {"缺金", "缺木", "缺水", "缺火", "缺土", "齐全"})
      EXPECT_TRUE(hasChinese(db.sclm2Text("五行", v))) << v;
  }
  if (haveSource("sxxz")) {
    ++checkedTables;
    for (const char* sign : {"鼠", "牛", "虎", "兔", "龙", "蛇", "马", "羊", "猴", "鸡", "狗", "猪"}) {
      std::string js1, js2;
      EXPECT_TRUE(db.signTexts(sign, js1, js2) && hasChinese(js2)) << sign;
    }
    for (const char* sign : {"白羊座", "金牛座", "双子座", "巨蟹座", "狮子座", "处女座", "天秤座", "天蝎座",
                             "射手座", "摩羯座", "水瓶座", "双鱼座"}) {
      EXPECT_TRUE(hasChinese(db.signText2Utf8(sign))) << sign;
    }
  }
  if (haveSource("srmm")) {
    ++checkedTables;
    const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= days[m - 1]; ++d) {
        EXPECT_TRUE(hasChinese(db.birthdayText(two(m) + two(d)))) << two(m) + two(d);
      }
  }
  if (haveSource("gxfx")) {
    ++checkedTables;
    for (int id = 1; id <= 64; ++id) {
      std::string name, js2, sid, jx, js3;
      EXPECT_TRUE(db.gxfxById(std::to_string(id), name, js2, sid) && hasChinese(js2)) << "gxfx " << id;
      EXPECT_TRUE(db.gxfxBySid("G" + two(id), jx, name, js3) && hasChinese(js3)) << "gxfx G" << two(id);
    }
    for (const char* aspect : {"事业", "财运", "婚恋", "健康", "学业"})
      for (const char* grade : {"吉", "半吉", "凶"}) {
        std::string jx, name, js3;
        EXPECT_TRUE(db.gxfxBySid(std::string(aspect) + "-" + grade, jx, name, js3) && hasChinese(js3))
            << aspect << "-" << grade;
      }
  }
  if (haveSource("phjs")) {
    ++checkedTables;
    for (int id : {11, 12, 13, 14, 15, 21, 22, 23, 24, 25, 31, 32, 33, 34, 35, 61, 62, 63, 64, 65}) {
      std::string jx, js;
      EXPECT_TRUE(db.combinationTexts(id, jx, js) && hasChinese(js)) << "phjs " << id;
    }
  }
  if (haveSource("jxjs")) {
    ++checkedTables;
    for (const char* surname : {"李", "王", "张", "刘", "陈"}) EXPECT_TRUE(hasChinese(db.charText(surname))) << surname;
  }
  if (checkedTables == 0) GTEST_SKIP() << "no explanation tables in this tree";
}

}  // namespace
}  // namespace norvane
