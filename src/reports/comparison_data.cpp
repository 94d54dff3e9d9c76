#include "reports/comparison_data.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "service/json_access.h"
#include "service/name_source.h"

namespace norvane::reports {
namespace {

// The five part scores of an analysis, with the words of their strong side.
struct PartScore {
  const char* member;
  const char* label;
  const char* strength;
};
const PartScore kPartScores[] = {
    {"wx", "五行评分", "五行相合"}, {"jx", "数理吉凶", "数理吉祥"}, {"sx", "生肖评分", "生肖相宜"},
    {"yy", "音律评分", "音律和谐"}, {"bhfen", "笔画评分", "笔画匀称"},
};

struct Grid {
  const char* member;
  const char* label;
};
const Grid kGrids[] = {{"tg", "天格"}, {"rg", "人格"}, {"dg", "地格"}, {"wg", "外格"}, {"zg", "总格"}};

std::string joined(const Json::Value& array, const char* separator) {
  std::string out;
  const Json::Value& a = jsonArray(array);
  for (Json::ArrayIndex i = 0; i < a.size(); ++i) {
    if (i > 0) out += separator;
    out += jsonText(a[i]);
  }
  return out;
}

std::string numberText(double v, bool twoDecimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, twoDecimals ? "%0.2f" : "%0.0f", v);
  return buffer;
}

// A score as a number, or NaN when the analysis has none.
double scoreOf(const Json::Value& analysis, const char* member) {
  const Json::Value& v = jsonMember(jsonMember(analysis, "score"), member);
  if (!v.isNumeric()) return std::nan("");
  return v.asDouble();
}

bool isWholePart(const char* member) { return std::string(member) != "bhfen"; }

// The columns whose rank is the highest; none when all ranks are equal or
// none can be ranked.
Json::Value bestColumns(const std::vector<double>& ranks) {
  Json::Value best(Json::arrayValue);
  bool any = false, differ = false;
  double top = 0;
  for (double r : ranks) {
    if (std::isnan(r)) continue;
    if (!any) top = r;
    else if (r != top) differ = true;
    if (r > top) top = r;
    any = true;
  }
  for (std::size_t i = 0; i < ranks.size(); ++i) {
    if (std::isnan(ranks[i])) differ = true;  // a missing value loses to any value
  }
  if (!any || !differ) return Json::Value();
  for (std::size_t i = 0; i < ranks.size(); ++i)
    if (!std::isnan(ranks[i]) && ranks[i] == top) best.append(static_cast<int>(i));
  return best;
}

struct RowBuilder {
  Json::Value& rows;
  std::string group;
  void add(const char* label, const std::vector<std::string>& cells, const std::vector<std::string>* tags,
           const std::vector<double>& ranks) {
    Json::Value row(Json::objectValue);
    row["group"] = group;
    row["label"] = label;
    row["cells"] = Json::Value(Json::arrayValue);
    for (const std::string& c : cells) row["cells"].append(c);
    if (tags != nullptr) {
      row["tags"] = Json::Value(Json::arrayValue);
      for (const std::string& t : *tags) row["tags"].append(t);
    }
    Json::Value best = bestColumns(ranks);
    if (!best.isNull()) row["best"] = best;
    rows.append(row);
  }
};

double rankOf(const std::string& mark) {
  int r = luckRank(mark);
  return r < 0 ? std::nan("") : r;
}

}  // namespace

int luckRank(const std::string& mark) {
  if (mark == "大吉") return 4;
  if (mark == "吉") return 3;
  if (mark == "半吉") return 2;
  if (mark == "凶") return 1;
  if (mark == "大凶") return 0;
  return -1;
}

Json::Value classicalSource(const Json::Value& analysis) {
  const Json::Value& s = jsonMember(analysis, "ChuChu");
  if (!s.isObject()) return Json::Value();
  Json::Value out(Json::objectValue);
  for (const char* key : {"Text", "Title", "Author", "Book"}) {
    const Json::Value& v = s[key];
    if (!v.isNull() && !v.isString()) return Json::Value();
    out[key] = v.isString() ? v.asString() : std::string();
  }
  if (out["Text"].asString().empty()) return Json::Value();
  return out;
}

std::string strongestPoint(const Json::Value& analysis) {
  const PartScore* best = nullptr;
  double top = 0;
  for (const PartScore& p : kPartScores) {
    double v = scoreOf(analysis, p.member);
    if (std::isnan(v)) continue;
    if (best == nullptr || v > top) {
      best = &p;
      top = v;
    }
  }
  if (best == nullptr) return std::string();
  return std::string(best->strength) + "（" + numberText(top, !isWholePart(best->member)) + "分）";
}

Json::Value buildComparisonData(const std::vector<ComparedName>& names, KnowledgeDb& db) {
  Json::Value data(Json::objectValue);
  data["names"] = Json::Value(Json::arrayValue);
  data["rows"] = Json::Value(Json::arrayValue);
  data["sources"] = Json::Value(Json::arrayValue);
  data["strongest"] = Json::Value(Json::arrayValue);
  for (const ComparedName& n : names) {
    data["names"].append(n.record.Xing + n.record.Ming);
    // The analysis's source first; else the one the name came with from its page.
    Json::Value source = classicalSource(n.analysis);
    if (source.isNull() && !n.record.ChuChu.empty()) source = nameSourceJson(n.record.ChuChu);
    data["sources"].append(source);
    data["strongest"].append(strongestPoint(n.analysis));
  }

  // One value per name, from a reader of that name's analysis.
  auto each = [&](const std::function<std::string(const Json::Value&)>& read) {
    std::vector<std::string> out;
    for (const ComparedName& n : names) out.push_back(read(n.analysis));
    return out;
  };
  const std::vector<double> unranked(names.size(), std::nan(""));

  RowBuilder rows{data["rows"], "名字"};
  rows.add("拼音", each([](const Json::Value& a) { return joined(jsonMember(jsonMember(a, "name"), "py"), " "); }),
           nullptr, unranked);
  rows.add("五行", each([](const Json::Value& a) { return joined(jsonMember(jsonMember(a, "name"), "wx"), ""); }),
           nullptr, unranked);

  rows.group = "评分";
  {
    std::vector<std::string> cells;
    std::vector<double> ranks;
    for (const ComparedName& n : names) {
      double v = scoreOf(n.analysis, "total");
      cells.push_back(std::isnan(v) ? std::string() : numberText(static_cast<float>(v), true));
      ranks.push_back(std::isnan(v) ? v : std::round(static_cast<float>(v) * 100.0) / 100.0);
    }
    rows.add("综合评分", cells, nullptr, ranks);
  }
  for (const PartScore& p : kPartScores) {
    std::vector<std::string> cells;
    std::vector<double> ranks;
    for (const ComparedName& n : names) {
      double v = scoreOf(n.analysis, p.member);
      cells.push_back(std::isnan(v) ? std::string() : numberText(v, !isWholePart(p.member)));
      ranks.push_back(std::isnan(v) ? v : (isWholePart(p.member) ? std::round(v) : std::round(v * 100.0) / 100.0));
    }
    rows.add(p.label, cells, nullptr, ranks);
  }

  rows.group = "三才五格";
  {
    std::vector<std::string> cells, tags;
    std::vector<double> ranks;
    for (const ComparedName& n : names) {
      const Json::Value& sancai = jsonMember(n.analysis, "sancai");
      cells.push_back(joined(jsonMember(sancai, "pz"), ""));
      std::string jx, js2, js3;
      if (!db.numberTexts3(jsonInt(jsonMember(sancai, "id")), jx, js2, js3)) jx.clear();
      tags.push_back(jx);
      ranks.push_back(rankOf(jx));
    }
    rows.add("三才配置", cells, &tags, ranks);
  }
  for (const Grid& g : kGrids) {
    std::vector<std::string> cells, tags;
    std::vector<double> ranks;
    for (const ComparedName& n : names) {
      const Json::Value& grid = jsonArray(jsonMember(jsonMember(n.analysis, "wuge"), g.member));
      const std::string number = grid.size() > 2 ? jsonText(grid[2]) : std::string();
      cells.push_back(number);
      std::string jx, js1, js2, js3;
      if (number.empty() || !db.numberTexts4(std::atoi(number.c_str()), jx, js1, js2, js3)) jx.clear();
      tags.push_back(jx);
      ranks.push_back(rankOf(jx));
    }
    rows.add(g.label, cells, &tags, ranks);
  }
  return data;
}

ReportDocument comparisonDocument(const std::vector<ComparedName>& names, const Json::Value& data,
                                  const std::string& exportDate) {
  ReportDocument doc;
  doc.title = "名字对比";
  for (const ComparedName& n : names) doc.name += (doc.name.empty() ? "" : "、") + n.record.Xing + n.record.Ming;
  doc.footer = doc.name + " · " + doc.title + " · 导出于" + exportDate;
  PageData page;
  page.form = PageForm::JsonObject;
  page.object = data;
  doc.parts.push_back({"compare", page});
  return doc;
}

}  // namespace norvane::reports
