#pragma once
// A report as one printable document: a header naming what it is about, the
// pages of the report in their order, each with exactly the page data its
// template receives in the report window, and the footer line every printed
// sheet carries (the name and the date of the export). The PDF export, the
// printer and the command line print the same document.
//
// All texts are UTF-8 (the program's local narrow text).
#include <json/value.h>

#include <string>
#include <vector>

#include "data/knowledge_db.h"
#include "reports/page_data.h"
#include "service/analysis_query.h"
#include "service/name_query.h"

namespace norvane::reports {

// One page of the document: the page script that shows it ("zongh", "baz", …,
// "xiaoming", "yuns", "compare") and its data.
struct DocumentPart {
  std::string page;
  PageData data;
};

struct ReportDocument {
  // What the report is ("姓名分析报告"), and of what ("欧阳明轩").
  std::string title;
  std::string name;
  // The header of the first sheet, as the print page reads it: "title", "name",
  // "chars" [{"c","py","wx","jx"}], "score" (text), "facts" [[label, value]].
  Json::Value header;
  std::string footer;
  std::vector<DocumentPart> parts;
};

// The page-script name of a name-report page ("zongh" for 0 … "xingz" for 6).
std::string namePageScript(int page);

// "2026年12月11日" of a local date.
std::string exportDateText(int year, int month, int day);

// The total score of a name analysis as the report's header shows it: the
// language table's "Score" format with D.score.total, or "%0.2f".
std::string totalScoreText(const Json::Value& analysis);

// The seven pages of a name analysis with its header (characters, pinyin,
// elements, luck marks, total score, birth facts).
ReportDocument nameReportDocument(const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                                  const BirthPlace& place, const std::string& exportDate);

// The nickname page.
ReportDocument nicknameReportDocument(const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                                      const std::string& exportDate);

// The fortune page of a finished fortune query.
ReportDocument fortuneReportDocument(const LuckQuery& luck, KnowledgeDb& db, const std::string& exportDate);

// The file name offered for a document: "<title>-<name>.pdf", with anything a
// file name cannot hold (a slash, control characters, a leading dot) taken out.
std::string suggestedPdfName(const ReportDocument& document);

}  // namespace norvane::reports
