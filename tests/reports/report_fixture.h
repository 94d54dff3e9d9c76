#pragma once
// The program folder of the report tests: a knowledge database built by the
// real builder tool from tests/reports/fixtures/knowledge, a small language
// table, and the fixture analyses.
#include <json/value.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "data/knowledge_db.h"
#include "data/knowledge_fixture.h"
#include "platform/folders.h"
#include "service/json_access.h"
#include "service/name_query.h"
#include "shell/text_table.h"
#include "support/temp_dir.h"

namespace norvane::test {

inline const std::string kReportFixtures = std::string(NORVANE_SOURCE_DIR) + "/tests/reports/fixtures";

inline Json::Value readJsonFixture(const std::string& name) {
  Json::Value v;
  parseJson(readFile(kReportFixtures + "/" + name), v);
  return v;
}

inline Json::Value parsed(const std::string& text) {
  Json::Value v;
  parseJson(text, v);
  return v;
}

// Makes `folder` a program folder (local.dat, language/cn.dat) and points
// ProgramFolder and KnowledgeDbPath at it. Returns false when a file could
// not be made.
inline bool makeReportProgramFolder(const std::string& folder) {
  std::filesystem::create_directories(folder + "/language");
  if (runKnowledgeBuilder(folder + "/local.dat", kReportFixtures + "/knowledge") != 0) return false;
  std::string error;
  const TextEntries texts = {
      {"ShendiaoZuhe2", "声调理想"},   {"ShenmuZuhe3", "声母很理想"},
      {"YunmuZuhe1", "韵母次理想"},    {"ZixingZuhe0", "字形不理想"},
      {"Score", "%0.2f分"},           {"XingmingButtonFormat", "%s（%s分）"},
  };
  const TextEntries messages = {{"Title", "提示"},
                                 {"FenxiFail", "分析失败"},
                                 {"QumingFail", "起名失败"},
                                 {"PdfSaved", "已保存：%s"},
                                 {"PdfWriteFail", "无法保存PDF：%s"},
                                 {"PdfRenderFail", "无法生成PDF：%s"},
                                 {"PrintFail", "打印失败：%s"},
                                 {"CompareChooseCount", "请勾选二至四个名字"},
                                 {"CompareNickname", "小名不能对比"}};
  if (!writeTextTable(folder + "/language/cn.dat", {{"Text", texts}, {"Message", messages}}, error)) return false;
  ProgramFolder = folder;
  KnowledgeDbPath = folder + "/local.dat";
  return true;
}

// The record of the fixture name analysis.
inline NameRecord fixtureRecord() {
  NameRecord r;
  r.Xing = "欧阳";
  r.Ming = "明轩";
  r.Birthday = "2020-2-8 09:05:00";
  r.FengShu = 93.5f;
  r.CityId = 110101;
  r.Gender = 1;
  r.Longitude = 116.41f;
  return r;
}

}  // namespace norvane::test

namespace norvane::test {
// The first place where two documents differ (type or value), or "".
inline std::string firstDifference(const Json::Value& a, const Json::Value& b, const std::string& at = "$") {
  if (a.type() != b.type()) return at + ": type " + std::to_string(a.type()) + " vs " + std::to_string(b.type());
  if (a.isObject()) {
    for (const std::string& m : a.getMemberNames()) {
      if (!b.isMember(m)) return at + "." + m + ": missing on the right";
      std::string d = firstDifference(a[m], b[m], at + "." + m);
      if (!d.empty()) return d;
    }
    for (const std::string& m : b.getMemberNames())
      if (!a.isMember(m)) return at + "." + m + ": missing on the left";
    return "";
  }
  if (a.isArray()) {
    if (a.size() != b.size()) return at + ": size " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
    for (Json::ArrayIndex i = 0; i < a.size(); ++i) {
      std::string d = firstDifference(a[i], b[i], at + "[" + std::to_string(i) + "]");
      if (!d.empty()) return d;
    }
    return "";
  }
  return a == b ? "" : at + ": " + a.toStyledString() + " vs " + b.toStyledString();
}
}  // namespace norvane::test

namespace Json {
// Failure messages show the document, not its bytes.
inline void PrintTo(const Value& value, std::ostream* os) { *os << value.toStyledString(); }
}  // namespace Json
