// The seven pages of the name analysis report.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reports/page_data.h"
#include "reports/page_text.h"
#include "service/json_access.h"
#include "shell/text_table.h"

namespace norvane::reports {
namespace {

const char* const kTemplates[kNamePageCount] = {"zongh.html", "baz.html",    "sanc.html", "hout.html",
                                                "shux.html",  "shengr.html", "xingz.html"};

// "shengr.html" is tested before "shux.html", so a URL naming both is page 5.
const int kUrlOrder[kNamePageCount] = {0, 1, 2, 3, 5, 6, 4};

const char* const kGridKeys[5] = {"tg", "rg", "dg", "wg", "zg"};

const Json::Value& at(const Json::Value& value, const char* a) { return jsonMember(value, a); }
const Json::Value& at(const Json::Value& value, const char* a, const char* b) {
  return jsonMember(jsonMember(value, a), b);
}
std::string textAt(const Json::Value& array, Json::ArrayIndex i) {
  const Json::Value& a = jsonArray(array);
  return i < a.size() ? jsonText(a[i]) : std::string();
}

std::string fixed2(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%0.2f", static_cast<double>(static_cast<float>(value)));
  return buffer;
}

std::string combinationText(const std::string& prefix, int n) { return GetText(prefix + std::to_string(n)); }

const char* fastOrSlow(const Json::Value& time, const char* member) {
  return jsonInt(jsonMember(time, member)) > 0 ? "快" : "慢";
}

Json::Value timeObject(const Json::Value& analysis, const NameRecord& record, const BirthPlace& place) {
  const Json::Value& t = at(analysis, "time");
  Json::Value o(Json::objectValue);
  o["sr"] = record.Birthday;
  o["nl"] = jsonText(jsonMember(t, "nl"));
  o["xnl"] = jsonText(jsonMember(t, "xnl"));
  o["xsr"] = place.place.empty() ? std::string() : jsonText(jsonMember(t, "xsr"));
  o["csd"] = place.place;
  o["jd"] = std::atof(place.longitude.c_str());
  o["wd"] = std::atof(place.latitude.c_str());
  for (const char* m : {"bsd", "tsd", "xsd"}) o[m] = fastOrSlow(t, m);
  for (const char* m : {"bfz", "bms", "tfz", "tms", "xfz", "xms"}) o[m] = jsonInt(jsonMember(t, m));
  return o;
}

Json::Value scoreObject(const Json::Value& analysis) {
  const Json::Value& s = at(analysis, "score");
  Json::Value o(Json::objectValue);
  for (const char* m : {"wx", "jx", "sx", "yy"}) o[m] = jsonInt(jsonMember(s, m));
  o["bhfen"] = fixed2(jsonDouble(jsonMember(s, "bhfen")));
  o["sd"] = combinationText("ShendiaoZuhe", jsonInt(jsonMember(s, "sd")));
  o["sm"] = combinationText("ShenmuZuhe", jsonInt(jsonMember(s, "sm")));
  o["ym"] = combinationText("YunmuZuhe", jsonInt(jsonMember(s, "ym")));
  o["zx"] = combinationText("ZixingZuhe", jsonInt(jsonMember(s, "zx")));
  return o;
}

// Explanations of the given-name characters (the first character is the
// surname's and is left out); null when none has one.
Json::Value characterTexts(const Json::Value& analysis, KnowledgeDb& db) {
  Json::Value list;  // null until the first element
  const Json::Value& words = jsonArray(at(analysis, "name", "words"));
  if (words.size() <= 1) return list;
  for (Json::ArrayIndex i = 1; i < words.size(); ++i) {
    const std::string w = jsonText(words[i]);
    const std::string t = db.charText(w);
    if (!t.empty()) list.append(w + "：" + t);
  }
  return list;
}

// How each character's radicals suit the zodiac sign; null when none has a text.
Json::Value zodiacTexts(const Json::Value& analysis, KnowledgeDb& db) {
  Json::Value list;
  const Json::Value& name = at(analysis, "name");
  const Json::Value& words = jsonArray(jsonMember(name, "words"));
  const std::string zodiac = jsonText(at(analysis, "content", "sx"));
  for (Json::ArrayIndex i = 0; i < words.size(); ++i) {
    const std::string p1 = textAt(jsonMember(name, "pp1"), i);
    const std::string p2 = textAt(jsonMember(name, "pp2"), i);
    std::string a = p1.empty() ? std::string() : db.zodiacRadicalText(zodiac, p1);
    std::string b = p2.empty() ? std::string() : db.zodiacRadicalText(zodiac, p2);
    if (a.empty() && b.empty()) continue;
    replaceAll(a, ":", "：");
    replaceAll(b, ":", "：");
    list.append(jsonText(words[i]) + "：" + a + b);
  }
  return list;
}

// The classical source of the name: the record's own (a name from a list or
// the favourites), else the analysis's best one for the given name; with the
// given name, whose characters the page marks in the line. Null when there
// is none, and the page then shows nothing of it.
Json::Value sourceObject(const Json::Value& analysis, const NameRecord& record) {
  NameSource source = record.ChuChu;
  if (source.empty()) source = readNameSource(at(analysis, "ChuChu"));
  if (source.empty()) return Json::Value();
  Json::Value o(Json::objectValue);
  o["text"] = source.Text;
  o["title"] = source.Title;
  o["author"] = source.Author;
  o["book"] = source.Book;
  o["ming"] = record.Ming;
  return o;
}

Json::Value summaryPage(const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                        const BirthPlace& place) {
  Json::Value o(Json::objectValue);
  o["time"] = timeObject(analysis, record, place);
  o["score"] = scoreObject(analysis);
  o["hz"] = characterTexts(analysis, db);
  o["sx"] = zodiacTexts(analysis, db);
  o["jy"] = at(analysis, "content", "jy");
  if (Json::Value source = sourceObject(analysis, record); !source.isNull()) o["cc"] = source;
  return o;
}

Json::Value cleanedPieces(const std::string& filled) {
  Json::Value list;
  for (const std::string& piece : splitText(filled, "<br>")) list.append(cleanText(piece));
  return list;
}

Json::Value eightCharactersPage(const Json::Value& analysis, KnowledgeDb& db) {
  const Json::Value& cgsm = at(analysis, "cgsm");
  std::string chy, js;
  db.cgsmTexts(std::to_string(jsonInt(jsonMember(cgsm, "id"))), chy, js);
  Json::Value o(Json::objectValue);
  o["bazi"] = at(analysis, "bazi");
  Json::Value c(Json::objectValue);
  c["l"] = jsonMember(cgsm, "l");
  c["q"] = jsonMember(cgsm, "q");
  c["js1"] = cleanText(chy);
  c["js2"] = cleanText(js);
  o["cgsm"] = c;
  o["pdy"] = at(analysis, "pdy");
  o["sclm"] = cleanedPieces(fillSclmTemplate(analysis));
  return o;
}

Json::Value combination(KnowledgeDb& db, int id) {
  std::string jx, js;
  db.combinationTexts(id, jx, js);
  Json::Value pair(Json::arrayValue);
  pair.append(jx);
  pair.append(cleanText(js));
  return pair;
}

Json::Value gridsPage(const Json::Value& analysis, KnowledgeDb& db) {
  Json::Value o(Json::objectValue);
  Json::Value wuge(Json::objectValue);
  for (int k = 0; k < 5; ++k) wuge[kGridKeys[k]] = cleanedPieces(fillGridTemplate(analysis, k));
  o["wuge"] = wuge;

  const Json::Value& sancai = at(analysis, "sancai");
  std::string jx, js2, js3;
  db.numberTexts3(jsonInt(jsonMember(sancai, "id")), jx, js2, js3);
  const Json::Value& pz = jsonMember(sancai, "pz");
  Json::Value s(Json::objectValue);
  s["pz"] = textAt(pz, 0) + textAt(pz, 1) + textAt(pz, 2);
  s["js"] = jsonText(jsonMember(sancai, "js"));
  s["jx"] = jx;
  s["js1"] = cleanText(js2);
  s["js2"] = cleanText(js3);
  o["sancai"] = s;

  const Json::Value& peihe = at(analysis, "peihe");
  Json::Value p(Json::objectValue);
  p["p1"] = combination(db, jsonInt(jsonMember(peihe, "p1")));
  p["p2"] = combination(db, jsonInt(jsonMember(peihe, "p2")));
  p["p3"] = combination(db, jsonInt(jsonMember(peihe, "p3")));
  p["p4"] = jsonMember(peihe, "p4");
  p["p5"] = jsonMember(peihe, "p5");
  const Json::Value& p6 = jsonArray(jsonMember(peihe, "p6"));
  Json::Value six(Json::arrayValue);
  six.append(p6.size() > 0 ? p6[0] : Json::Value());
  six.append(combination(db, leadingInt(textAt(p6, 1)))[1]);
  p["p6"] = six;
  o["peihe"] = p;

  o["geju"] = at(analysis, "geju");
  o["youdao"] = at(analysis, "youdao");

  std::string name, gxJs2, sid;
  db.gxfxById(jsonText(at(analysis, "content", "gx")), name, gxJs2, sid);
  Json::Value gx(Json::arrayValue);
  gx.append(name);
  gx.append(cleanText(gxJs2));
  o["gx"] = gx;
  return o;
}

Json::Value remediesPage(const Json::Value& analysis) {
  const Json::Value& content = at(analysis, "content");
  Json::Value o(Json::objectValue);
  for (const char* m : {"htbj", "mpys", "kymp"}) o[m] = jsonMember(content, m);
  return o;
}

// Fills the placeholders from the highest number down: every value is then
// inserted after all placeholders still to be replaced, so a value that itself
// contains "{n}" is never taken for a placeholder.
void fillFromTheEnd(std::string& text, const std::string* values, const bool* present, int count) {
  for (int n = count; n >= 1; --n) {
    if (present[n - 1]) replacePlaceholder(text, n, values[n - 1]);
  }
}

}  // namespace

const char* namePageTemplate(int page) { return page >= 0 && page < kNamePageCount ? kTemplates[page] : nullptr; }

int namePageForUrl(const std::string& url) {
  for (int page : kUrlOrder) {
    if (url.find(kTemplates[page]) != std::string::npos) return page;
  }
  return -1;
}

std::string fillSclmTemplate(const Json::Value& analysis) {
  KnowledgeDb db(KnowledgeDbPath, true);
  std::string values[5];
  bool present[5] = {false, false, false, false, false};
  const Json::Value& sclm = at(analysis, "sclm");
  std::vector<std::string> s1 = splitText(jsonText(jsonMember(sclm, "s1")), ",");
  if (s1.size() == 2) {
    values[0] = db.sclm1Text(s1[0], s1[1]);
    present[0] = true;
  }
  const Json::Value& s2 = jsonMember(sclm, "s2");
  for (int j = 0; j < 4; ++j) {
    std::vector<std::string> pieces = splitText(textAt(s2, static_cast<Json::ArrayIndex>(j)), ",");
    if (pieces.size() == 2) {
      values[j + 1] = db.sclm2Text(pieces[0], pieces[1]);
      present[j + 1] = true;
    }
  }
  std::string text = "{1}<br>{2}<br>{3}<br>{4}<br>{5}";
  fillFromTheEnd(text, values, present, 5);
  return text;
}

std::string fillGridTemplate(const Json::Value& analysis, int grid) {
  if (grid < 0 || grid > 4) return std::string();
  KnowledgeDb db(KnowledgeDbPath, true);
  const Json::Value& g = at(analysis, "wuge", kGridKeys[grid]);
  std::string jx, js1, js2, js3;
  if (!db.numberTexts4(leadingInt(textAt(g, 2)), jx, js1, js2, js3)) jx = js1 = js2 = js3 = std::string();
  const std::string values[6] = {textAt(g, 0), textAt(g, 1), jx, js1, js2, js3};
  const bool present[6] = {true, true, true, true, true, true};
  std::string text = "{1}<br>{2}<br>{3}<br>{4}<br>{5}<br>{6}";
  fillFromTheEnd(text, values, present, 6);
  return text;
}

PageData buildPageData(int page, const Json::Value& analysis, KnowledgeDb& db, const NameRecord& record,
                       const BirthPlace& place) {
  PageData data;
  switch (page) {
    case 0:
      data.form = PageForm::JsonObject;
      data.object = summaryPage(analysis, db, record, place);
      break;
    case 1:
      data.form = PageForm::JsonObject;
      data.object = eightCharactersPage(analysis, db);
      break;
    case 2:
      data.form = PageForm::JsonObject;
      data.object = gridsPage(analysis, db);
      break;
    case 3:
      data.form = PageForm::JsonObject;
      data.object = remediesPage(analysis);
      break;
    case 4: {
      data.form = PageForm::TwoStrings;
      data.first = jsonText(at(analysis, "content", "sx"));
      std::string js1, js2;
      db.signTexts(data.first, js1, js2);
      data.second = cleanText(js2);
      break;
    }
    case 5:
      data.form = PageForm::OneString;
      data.first = cleanText(db.birthdayText(jsonText(at(analysis, "content", "sr"))));
      break;
    case 6:
      data.form = PageForm::Utf8String;
      data.first = db.signText2Utf8(jsonText(at(analysis, "content", "xz")));
      break;
    default:
      break;
  }
  return data;
}

}  // namespace norvane::reports
