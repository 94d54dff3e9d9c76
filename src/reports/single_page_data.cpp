// The one-page reports: the nickname analysis and the fortune of a name.
#include <string>

#include "reports/page_data.h"
#include "reports/page_text.h"
#include "service/json_access.h"

namespace norvane::reports {
namespace {

std::string textAt(const Json::Value& array, Json::ArrayIndex i) {
  const Json::Value& a = jsonArray(array);
  return i < a.size() ? jsonText(a[i]) : std::string();
}

// Element i of `list`, which stays null until its first element; positions
// in front without a value are stored as explicit nulls.
void setAt(Json::Value& list, Json::ArrayIndex i, Json::Value value) {
  if (i > 0 && list.size() < i) list.resize(i);
  list[i] = std::move(value);
}

// [number text, its reading, luck mark, three explanations] of one numerology
// entry; the explanations are cleaned when `clean` is set.
Json::Value numerology(const Json::Value& pair, KnowledgeDb& db, bool clean) {
  const std::string number = textAt(pair, 0);
  const std::string reading = textAt(pair, 1);
  std::string jx, js1, js2, js3;
  if (!db.numberTexts4(leadingInt(number), jx, js1, js2, js3)) jx = js1 = js2 = js3 = std::string();
  Json::Value list(Json::arrayValue);
  list.append(number);
  list.append(reading);
  list.append(jx);
  list.append(clean ? cleanText(js1) : js1);
  list.append(clean ? cleanText(js2) : js2);
  list.append(clean ? cleanText(js3) : js3);
  return list;
}

// An element per character position; a repeated character (宝宝) is looked up
// once, and positions without a text stay null.
template <class Lookup>
Json::Value perCharacter(const Json::Value& words, Lookup lookup) {
  Json::Value list;
  std::string previous;
  for (Json::ArrayIndex i = 0; i < words.size(); ++i) {
    const std::string w = jsonText(words[i]);
    if (w == previous) continue;
    previous = w;
    const std::string t = lookup(i, w);
    if (!t.empty()) setAt(list, i, w + "：" + cleanText(t));
  }
  return list;
}

// The numbered entries of a fortune list; an entry whose key has no row
// leaves its position null, and numbering follows the position.
Json::Value fortuneEntries(const std::vector<std::string>& keys, KnowledgeDb& db) {
  Json::Value list;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::string jx, name, js3;
    if (!db.gxfxBySid(keys[i], jx, name, js3)) continue;
    replaceAll(js3, "\r\n", "<br>");
    Json::Value entry(Json::arrayValue);
    entry.append(std::to_string(i + 1));
    entry.append(jx);
    entry.append(name);
    entry.append(js3);
    setAt(list, static_cast<Json::ArrayIndex>(i), entry);
  }
  return list;
}

}  // namespace

Json::Value buildNicknamePageData(const Json::Value& analysis, KnowledgeDb& db) {
  const Json::Value& name = jsonMember(analysis, "name");
  const Json::Value& words = jsonArray(jsonMember(name, "words"));
  const Json::Value& shuli = jsonMember(analysis, "shuli");
  const std::string zodiac = jsonText(jsonMember(name, "sx"));

  Json::Value o(Json::objectValue);
  o["score"] = jsonMember(analysis, "score");
  Json::Value s(Json::objectValue);
  s["xm"] = numerology(jsonMember(shuli, "xm"), db, false);
  s["zong"] = numerology(jsonMember(shuli, "zong"), db, true);
  o["shuli"] = s;
  o["hz"] = perCharacter(words, [&](Json::ArrayIndex, const std::string& w) { return db.charText(w); });
  o["sx"] = perCharacter(words, [&](Json::ArrayIndex i, const std::string&) {
    // Without radicals the pattern would be "%%" and match any row of the
    // sign: such a character gets no text instead of another character's.
    const std::string radicals = textAt(jsonMember(name, "pp1"), i) + textAt(jsonMember(name, "pp2"), i);
    return radicals.empty() ? std::string() : db.zodiacRadicalText(zodiac, radicals);
  });
  o["jy"] = jsonMember(analysis, "jianyi");
  return o;
}

Json::Value buildFortunePageData(const LuckQuery& luck, KnowledgeDb& db) {
  Json::Value o(Json::objectValue);
  std::string gua, js;
  if (db.gxfxNameById(luck.Gx, gua, js)) {
    replaceAll(js, "\r\n", "<br>");
    o["name"] = luck.Xing + luck.Ming;
    o["gua"] = gua;
    o["js"] = js;
  }
  o["list"] = fortuneEntries(luck.List, db);
  o["yunshi"] = fortuneEntries(luck.Ys, db);
  return o;
}

}  // namespace norvane::reports
