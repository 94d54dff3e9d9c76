// Names from the classical lines, on the real tables and the real vocabulary
// (resources/knowledge): the first pages of many searches as a parent reads them, the
// chosen book, and the line table itself.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <map>
#include <set>

#include "naming/naming_engine.h"
#include "naming/sources.h"
#include "naming/tables.h"

using namespace norvane::refservice;

namespace {

const std::string kCharFolder = std::string(NORVANE_SOURCE_DIR) + "/resources/refservice";
const std::string kKnowledge = std::string(NORVANE_SOURCE_DIR) + "/resources/knowledge";

const NamingEngine& engine() {
  static NamingEngine e({kCharFolder, kKnowledge});
  return e;
}

const CharTable& table() {
  static CharTable t = [] {
    CharTable t;
    std::string error;
    EXPECT_TRUE(t.load(kCharFolder, error)) << error;
    return t;
  }();
  return t;
}

// The gender tag of every vocabulary character.
const std::map<std::string, std::string>& vocabularySex() {
  static const std::map<std::string, std::string> m = [] {
    std::map<std::string, std::string> out;
    std::ifstream in(kKnowledge + "/jxjs.json");
    Json::Value rows;
    in >> rows;
    for (const auto& r : rows)
      if (r["use"].asString() == "name" || r["use"].asString() == "both") out[r["wd"].asString()] = r["sex"].asString();
    return out;
  }();
  return m;
}

std::vector<std::string> chars(const std::string& s) { return splitUtf8(s).value(); }

bool holdsInOrder(const std::string& line, const std::string& given) {
  size_t at = 0;
  for (const auto& ch : chars(given)) {
    at = line.find(ch, at);
    if (at == std::string::npos) return false;
    at += ch.size();
  }
  return true;
}

std::string compact(const Json::Value& v) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, v);
}

Json::Value firstPage(const std::string& surname, int gender, const std::string& birthday, const std::string& cc = "",
                      int length = 2) {
  NamePageRequest q;
  q.birth = {surname, gender, birthday, 116.4};
  q.nameLength = length;
  q.source = cc;
  NamingResult r = engine().namePage(q);
  EXPECT_TRUE(r.ok()) << r.message;
  return r.data;
}

// Characters a parent today finds elderly or vulgar in a given name.
const std::set<std::string> kDated = {"寿", "贵", "财", "福", "富", "禄", "发", "旺", "花", "芬", "秀"};

}  // namespace

TEST(ClassicalNames, FirstPagesComeFromTheLinesAndEveryPageSuitsTheChild) {
  ASSERT_TRUE(engine().ready()) << engine().loadError();
  const char* surnames[] = {"李", "王", "张", "刘", "陈", "司马", "欧阳"};
  const char* births[] = {"2024-3-8 09:30:00", "2025-11-21 23:40:00", "2019-7-2 04:05:00"};
  for (const char* surname : surnames) {
    for (const char* birthday : births) {
      SCOPED_TRACE(std::string(surname) + " " + birthday);
      std::set<std::string> pages[3];
      for (int gender : {1, 2}) {
        for (int pageNumber = 1; pageNumber <= 3; ++pageNumber) {
          NamePageRequest q;
          q.birth = {surname, gender, birthday, 116.4};
          q.page = pageNumber;
          NamingResult r = engine().namePage(q);
          ASSERT_TRUE(r.ok()) << r.message;
          const Json::Value& page = r.data;
          ASSERT_EQ(page["data"].size(), 10u);
          int sourced = 0, place = 0;
          std::map<std::string, int> uses;
          for (const auto& n : page["data"]) {
            // The analysis is slow: two names of the first page.
            bool analysed = pageNumber == 1 && place++ % 5 == 0;
            std::string given = n["m"].asString();
            if (pageNumber == 1) pages[gender].insert(given);
            if (n.isMember("ChuChu")) {
              ++sourced;
              EXPECT_TRUE(holdsInOrder(n["ChuChu"]["Text"].asString(), given))
                  << given << " is not in " << n["ChuChu"]["Text"].asString();
            }
            for (const auto& ch : chars(given)) {
              ++uses[ch];
              const CharInfo* info = table().find(ch);
              ASSERT_NE(info, nullptr) << given;
              EXPECT_EQ(info->level, 1) << "rare character in " << given;
              EXPECT_FALSE(table().blocked(ch)) << "ill sense in " << given;
              EXPECT_EQ(kDated.count(ch), 0u) << "dated character in " << given;
              auto sex = vocabularySex().find(ch);
              ASSERT_NE(sex, vocabularySex().end()) << given;
              EXPECT_NE(sex->second, gender == 1 ? "f" : "m") << "the other gender's character in " << given;
            }
            // The score is the analysis total, and the analysis cites the same line.
            if (!analysed) continue;
            NamingResult a = engine().analyse({surname, gender, birthday, 116.4}, given);
            ASSERT_TRUE(a.ok()) << a.message;
            EXPECT_DOUBLE_EQ(a.data["score"]["total"].asDouble(), n["f"].asDouble()) << given;
            EXPECT_EQ(compact(a.data["ChuChu"]), compact(n["ChuChu"])) << given;
          }
          if (pageNumber == 1) { EXPECT_GE(sourced, 8); }
          for (const auto& [ch, count] : uses) EXPECT_LE(count, 2) << ch << " on page " << pageNumber;
        }
      }
      int shared = 0;
      for (const auto& name : pages[1]) shared += static_cast<int>(pages[2].count(name));
      EXPECT_LE(shared, 2) << "the boy's and the girl's first pages share " << shared << " names";
    }
  }
}

TEST(ClassicalNames, AChosenBookGivesEveryNameALineOfIt) {
  const std::pair<const char*, const char*> books[] = {
      {"诗经", "诗经"}, {"楚辞", "楚辞"}, {"唐诗", "唐诗三百首"}, {"宋词", "宋词三百首"}, {"论语", "论语"}};
  for (const auto& [cc, book] : books) {
    for (int length : {1, 2}) {
      for (int gender : {1, 2}) {
        SCOPED_TRACE(std::string(cc) + " length " + std::to_string(length) + " gender " + std::to_string(gender));
        NamePageRequest q;
        q.birth = {"王", gender, "2023-5-17 14:20:00", 121.5};
        q.nameLength = length;
        q.source = cc;
        for (q.page = 1; q.page <= 3; ++q.page) {
          NamingResult r = engine().namePage(q);
          ASSERT_TRUE(r.ok()) << r.message;
          ASSERT_EQ(r.data["data"].size(), 10u) << "page " << q.page;
          for (const auto& n : r.data["data"]) {
            ASSERT_TRUE(n.isMember("ChuChu")) << n["m"].asString();
            EXPECT_EQ(n["ChuChu"]["Book"].asString(), book) << n["m"].asString();
            EXPECT_TRUE(holdsInOrder(n["ChuChu"]["Text"].asString(), n["m"].asString()));
          }
        }
      }
    }
  }
  // "不限" is the search without a book, answer for answer.
  EXPECT_EQ(compact(firstPage("陈", 2, "2022-1-30 06:00:00", "不限")), compact(firstPage("陈", 2, "2022-1-30 06:00:00")));
}

TEST(ClassicalNames, PagesOfABookAreCompleteAndTheSameEveryTime) {
  NamePageRequest q;
  q.birth = {"欧阳", 1, "2021-9-9 18:45:00", 113.3};
  q.source = "论语";
  q.pageSize = 100;
  std::vector<std::string> names;
  int total = -1;
  for (q.page = 1; q.page < 1000; ++q.page) {
    NamingResult r = engine().namePage(q);
    ASSERT_TRUE(r.ok()) << r.message;
    if (total < 0) total = r.data["total"].asInt();
    EXPECT_EQ(r.data["total"].asInt(), total);
    if (r.data["data"].empty()) break;
    for (const auto& n : r.data["data"]) names.push_back(n["m"].asString());
  }
  EXPECT_GT(total, 100);
  EXPECT_EQ(static_cast<int>(names.size()), total);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "a name on two pages";
  // A fresh engine (no ranked set cached) orders the same way.
  NamingEngine again({kCharFolder, kKnowledge});
  q.page = 1;
  q.pageSize = 10;
  NamingResult fresh = again.namePage(q);
  ASSERT_TRUE(fresh.ok());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(fresh.data["data"][i]["m"].asString(), names[static_cast<size_t>(i)]);
}

TEST(ClassicalNames, TheLineLookupPrefersAWordOfTheLineAndTheGendersBook) {
  SourceTable lines;
  std::string error;
  ASSERT_TRUE(lines.load(kCharFolder + "/sources.tsv", error)) << error;
  // 修远 is a word of 「路漫漫其修远兮」 (楚辞).
  Citation c = lines.find({"修", "远"}, 1, -1);
  ASSERT_TRUE(c.found());
  EXPECT_EQ(c.tier, kWordTier);
  EXPECT_NE(lines.lines()[c.line].text.find("修远"), std::string::npos);
  EXPECT_EQ(bookName(lines.lines()[c.line].book), std::string("楚辞"));
  // No line of the table gives 谗人 (「谗人高张」 holds 谗, a character of ill sense).
  EXPECT_FALSE(lines.find({"谗", "人"}, 1, -1).found());
  // A word beats characters far apart; the same tier goes to the gender's first book.
  for (int gender : {1, 2}) {
    Citation best = lines.find({"清", "扬"}, gender, -1);
    ASSERT_TRUE(best.found());
    for (int book = 0; book < kBookCount; ++book) {
      Citation other = lines.find({"清", "扬"}, gender, book);
      if (!other.found()) continue;
      EXPECT_FALSE(citationBefore(other, best, lines.lines(), gender)) << bookName(book);
    }
  }
  EXPECT_LT(bookPreference(kChuci, 1), bookPreference(kShijing, 1));
  EXPECT_LT(bookPreference(kShijing, 2), bookPreference(kChuci, 2));
}

// A fixed character, in the vocabulary (清) or not (鹿), first or second: each cited line
// holds the name in its order, fixed character included.
TEST(ClassicalNames, AFixedCharacterIsCitedInItsPlace) {
  struct Case {
    const char* first;
    const char* second;
  } cases[] = {{"清", ""}, {"", "清"}, {"鹿", ""}, {"", "鹿"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + "|" + c.second);
    NamePageRequest q;
    q.birth = {"李", 2, "2021-4-4 08:00:00", 116.4};
    q.fixedFirst = c.first;
    q.fixedSecond = c.second;
    q.settings[kSetCyz] = 0;
    NamingResult r = engine().namePage(q);
    ASSERT_TRUE(r.ok()) << r.message;
    int sourced = 0;
    for (const auto& n : r.data["data"]) {
      std::string given = n["m"].asString();
      EXPECT_EQ(chars(given)[*c.first ? 0 : 1], *c.first ? c.first : c.second) << given;
      if (!n.isMember("ChuChu")) continue;
      ++sourced;
      EXPECT_TRUE(holdsInOrder(n["ChuChu"]["Text"].asString(), given)) << given << " " << n["ChuChu"]["Text"].asString();
    }
    EXPECT_GE(sourced, 8);
  }
}
