#include "reports/report_document.h"

#include <cstdio>

#include "platform/utf8.h"
#include "service/json_access.h"
#include "shell/text_table.h"

namespace norvane::reports {
namespace {

const char* const kNamePageScripts[kNamePageCount] = {"zongh", "baz", "sanc", "hout", "shux", "shengr", "xingz"};

std::string textAt(const Json::Value& array, Json::ArrayIndex i) {
  const Json::Value& a = jsonArray(array);
  return i < a.size() ? jsonText(a[i]) : std::string();
}

std::string footerLine(const std::string& name, const std::string& title, const std::string& date) {
  return name + " · " + title + " · 导出于" + date;
}

Json::Value fact(const std::string& label, const std::string& value) {
  Json::Value f(Json::arrayValue);
  f.append(label);
  f.append(value);
  return f;
}

const char* genderText(int gender) { return gender == 2 ? "女" : "男"; }

Json::Value baseHeader(const std::string& title, const std::string& name) {
  Json::Value h(Json::objectValue);
  h["title"] = title;
  h["name"] = name;
  h["facts"] = Json::Value(Json::arrayValue);
  return h;
}

void addBirthFacts(Json::Value& header, const NameRecord& record, const std::string& place) {
  header["facts"].append(fact("性别", genderText(record.Gender)));
  if (!record.Birthday.empty()) header["facts"].append(fact("出生时间", record.Birthday));
  if (!place.empty()) header["facts"].append(fact("出生地", place));
}

}  // namespace

std::string namePageScript(int page) {
  return page >= 0 && page < kNamePageCount ? kNamePageScripts[page] : std::string();
}

std::string exportDateText(int year, int month, int day) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%d年%d月%d日", year, month, day);
  return buffer;
}

std::string totalScoreText(const Json::Value& analysis) {
  const double total = static_cast<float>(jsonDouble(jsonMember(jsonMember(analysis, "score"), "total")));
  std::string score;
  if (formatText(GetText("Score"), {total}, score)) return score;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%0.2f", total);
  return buffer;
}

ReportDocument nameReportDocument(const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                                  const BirthPlace& place, const std::string& exportDate) {
  ReportDocument doc;
  doc.title = "姓名分析报告";
  doc.name = record.Xing + record.Ming;
  doc.header = baseHeader(doc.title, doc.name);
  const Json::Value& name = jsonMember(analysis, "name");
  const Json::Value& words = jsonArray(jsonMember(name, "words"));
  Json::Value chars(Json::arrayValue);
  for (Json::ArrayIndex i = 0; i < words.size(); ++i) {
    Json::Value c(Json::objectValue);
    c["c"] = jsonText(words[i]);
    c["py"] = textAt(jsonMember(name, "py"), i);
    c["wx"] = textAt(jsonMember(name, "wx"), i);
    c["jx"] = textAt(jsonMember(name, "jx"), i);
    chars.append(c);
  }
  doc.header["chars"] = chars;
  doc.header["score"] = totalScoreText(analysis);
  addBirthFacts(doc.header, record, place.place);
  doc.footer = footerLine(doc.name, doc.title, exportDate);
  for (int page = 0; page < kNamePageCount; ++page)
    doc.parts.push_back({namePageScript(page), buildPageData(page, analysis, db, record, place)});
  return doc;
}

ReportDocument nicknameReportDocument(const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                                      const std::string& exportDate) {
  ReportDocument doc;
  doc.title = "小名分析报告";
  doc.name = record.Ming;
  doc.header = baseHeader(doc.title, doc.name);
  const Json::Value& score = jsonMember(jsonMember(analysis, "score"), "total");
  if (!score.isNull()) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%0.2f", jsonDouble(score));
    doc.header["score"] = buffer;
  }
  if (!record.Xing.empty()) doc.header["facts"].append(fact("姓氏", record.Xing));
  addBirthFacts(doc.header, record, std::string());
  doc.footer = footerLine(doc.name, doc.title, exportDate);
  PageData data;
  data.form = PageForm::JsonObject;
  data.object = buildNicknamePageData(analysis, db);
  doc.parts.push_back({"xiaoming", data});
  return doc;
}

ReportDocument fortuneReportDocument(const LuckQuery& luck, KnowledgeDb& db, const std::string& exportDate) {
  ReportDocument doc;
  doc.title = "姓名运势";
  doc.name = luck.Xing + luck.Ming;
  doc.header = baseHeader(doc.title, doc.name);
  doc.footer = footerLine(doc.name, doc.title, exportDate);
  PageData data;
  data.form = PageForm::JsonObject;
  data.object = buildFortunePageData(luck, db);
  doc.parts.push_back({"yuns", data});
  return doc;
}

std::string suggestedPdfName(const ReportDocument& document) {
  std::string name;
  for (char32_t c : utf8ToCodePoints(document.title + "-" + document.name)) {
    if (c < 0x20 || c == 0x7F || c == U'/' || c == U'\\') continue;
    name += codePointToUtf8(c);
  }
  while (!name.empty() && name[0] == '.') name.erase(0, 1);
  if (name.empty()) name = "报告";
  return name + ".pdf";
}

}  // namespace norvane::reports
