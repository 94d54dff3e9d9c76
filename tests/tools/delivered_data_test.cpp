// The data files the build puts beside the executables: the language tables
// made from resources/language and local.dat made from resources/knowledge.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/knowledge_db.h"
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

}  // namespace
}  // namespace norvane
