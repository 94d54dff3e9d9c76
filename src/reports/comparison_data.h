#pragma once
// The comparison of two to four names side by side: for each name its pinyin,
// elements, the five part scores and the total, the three talents and the five
// grids with their luck, its classical source where it has one, and its
// strongest point; in every row whose values can be ranked the best ones are
// marked. Everything comes from each name's own analysis (as the name report
// receives it) and the knowledge database's luck marks.
//
// All texts are UTF-8 (the program's local narrow text).
#include <json/value.h>

#include <string>
#include <vector>

#include "data/knowledge_db.h"
#include "reports/report_document.h"
#include "service/name_query.h"

namespace norvane::reports {

constexpr std::size_t kMinCompared = 2;
constexpr std::size_t kMaxCompared = 4;

struct ComparedName {
  NameRecord record;
  Json::Value analysis;  // the "data" of the name's analysis answer
};

// The rank of a luck mark: 大吉 4, 吉 3, 半吉 2, 凶 1, 大凶 0; -1 for any other text.
int luckRank(const std::string& mark);

// The classical source of an analysis ("data" → "ChuChu" with the texts
// "Text", "Title", "Author", "Book"), or null when it has none or it is not
// such an object.
Json::Value classicalSource(const Json::Value& analysis);

// Each name's strongest point: the best of its five part scores, in words
// ("音律和谐（96分）").
std::string strongestPoint(const Json::Value& analysis);

// The page data of "compare.html": "names", "rows" [{"group","label","cells",
// "tags"?, "best"?}], "sources" (the analysis's classical source, else the
// record's own), "strongest". A row's "best" lists the columns
// holding its best value; it is left out when every column is equal or no
// value can be ranked.
Json::Value buildComparisonData(const std::vector<ComparedName>& names, KnowledgeDb& db);

// The comparison as a printable document: one page ("compare") with `data`
// (from buildComparisonData), the names in the footer.
ReportDocument comparisonDocument(const std::vector<ComparedName>& names, const Json::Value& data,
                                  const std::string& exportDate);

}  // namespace norvane::reports
