#pragma once
// The data the report pages receive through their script function SetData:
// the seven pages of the name analysis, the nickname page and the fortune
// page. Each builder joins members of the service's analysis, explanation
// texts of the knowledge database and a few language-table texts; the report
// host turns the result into one SetData call.
//
// All texts are UTF-8 (the program's local narrow text).
#include <json/value.h>

#include <string>

#include "data/knowledge_db.h"
#include "service/analysis_query.h"
#include "service/name_query.h"

namespace norvane::reports {

// How a page receives its data.
enum class PageForm {
  None,        // nothing is sent (no such page)
  JsonObject,  // SetData('<the object as styled JSON>')
  OneString,   // SetData('<first>')
  TwoStrings,  // SetData('<first>','<second>')
  Utf8String,  // SetData('<first after cleanText>')
};

struct PageData {
  PageForm form = PageForm::None;
  Json::Value object;  // JsonObject
  std::string first;   // OneString, TwoStrings, Utf8String
  std::string second;  // TwoStrings
};

// The birth place of the report's name: coordinates cut to two decimals and
// the shortened place text; all empty when the county was not found.
struct BirthPlace {
  std::string longitude;
  std::string latitude;
  std::string place;
};

// The seven pages of the name analysis, by index.
constexpr int kNamePageCount = 7;
// The template file of a page ("zongh.html" ... "xingz.html"); nullptr outside 0..6.
const char* namePageTemplate(int page);
// The page a loaded URL shows, found by its template name as a substring in
// the order zongh, baz, sanc, hout, shengr, xingz, shux; -1 when none matches.
int namePageForUrl(const std::string& url);

// The texts of the five-pillar reading: "{1}<br>...<br>{5}" filled from the
// sclm1/sclm2 tables for D.sclm.s1 and D.sclm.s2[0..3]. A source that does not
// split into exactly two pieces at "," leaves its placeholder in the text.
// Reads its own KnowledgeDb opened from KnowledgeDbPath.
std::string fillSclmTemplate(const Json::Value& analysis);

// The texts of grid k (0 tian, 1 ren, 2 di, 3 wai, 4 zong):
// "{1}<br>...<br>{6}" with the grid's name and label from the analysis and
// the luck mark and three texts of its number from the sljs table. Reads its
// own KnowledgeDb opened from KnowledgeDbPath.
std::string fillGridTemplate(const Json::Value& analysis, int grid);

// The data of page `page` (0..6) of the name analysis `analysis` of `record`.
// The summary page (0) gains "cc" = {"text", "title", "author", "book",
// "ming"} when the name has a source: the record's own, else the analysis's
// "ChuChu"; with none it has no "cc".
// Pages outside 0..6 give PageForm::None.
PageData buildPageData(int page, const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                       const BirthPlace& place);

// The nickname page "xiaoming.html".
Json::Value buildNicknamePageData(const Json::Value& analysis, KnowledgeDb& db);

// The fortune page "yuns.html" of a finished fortune query.
Json::Value buildFortunePageData(const LuckQuery& luck, KnowledgeDb& db);

}  // namespace norvane::reports
