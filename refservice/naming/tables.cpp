#include "naming/tables.h"

#include <json/json.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace norvane::refservice {

namespace {

// Key of the encrypted knowledge database "local.dat".
constexpr char kKnowledgeKey[] = "Hq7vLmT2wXpR9sKdB4nZcJ6yFgQ1aEoU";

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::string::size_type start = 0;
  while (true) {
    auto pos = line.find('\t', start);
    out.push_back(line.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return out;
}

bool readLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    lines.push_back(line);
  }
  return true;
}

bool toInt(const std::string& s, int& out) {
  try {
    size_t used = 0;
    out = std::stoi(s, &used);
    return used == s.size();
  } catch (...) {
    return false;
  }
}

std::string readWhole(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string textOf(const Json::Value& row, const char* key) {
  const Json::Value& v = row[key];
  return v.isString() ? v.asString() : std::string();
}

}  // namespace

std::optional<std::vector<std::string>> splitUtf8(const std::string& text) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > text.size()) return std::nullopt;
    for (size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return std::nullopt;
    }
    out.push_back(text.substr(i, len));
    i += len;
  }
  return out;
}

Element elementFromText(const std::string& t) {
  if (t == "木") return kWood;
  if (t == "火") return kFire;
  if (t == "土") return kEarth;
  if (t == "金") return kMetal;
  if (t == "水") return kWater;
  return kNoElement;
}

const char* elementText(Element e) {
  switch (e) {
    case kWood: return "木";
    case kFire: return "火";
    case kEarth: return "土";
    case kMetal: return "金";
    case kWater: return "水";
    default: return "";
  }
}

int ZodiacRadicals::verdict(const std::string& zodiac, const std::string& radical) const {
  if (radical.empty()) return 0;
  auto it = rows.find(zodiac);
  if (it == rows.end()) return 0;
  for (const auto& [pp, v] : it->second) {
    if (pp.find(radical) != std::string::npos) return v;
  }
  return 0;
}

bool CharTable::load(const std::string& folder, std::string& error) {
  std::vector<std::string> lines;
  const std::string charPath = folder + "/characters.tsv";
  if (!readLines(charPath, lines)) {
    error = "cannot read " + charPath;
    return false;
  }
  int rank = 0;
  for (const auto& line : lines) {
    auto f = splitTabs(line);
    CharInfo c;
    if (f.size() < 11 || !toInt(f[2], c.tone) || !toInt(f[5], c.strokes) || !toInt(f[6], c.kangxi) ||
        !toInt(f[8], c.level)) {
      error = "malformed line in " + charPath + ": " + line.substr(0, 60);
      return false;
    }
    c.ch = f[0];
    c.pinyin = f[1];
    c.initial = f[3];
    c.final = f[4];
    c.traditional = f[7];
    c.element = elementFromText(f[9]);
    c.radical = f[10];
    c.rank = ++rank;
    chars_[c.ch] = c;
  }
  lines.clear();
  const std::string surnamePath = folder + "/surnames.tsv";
  if (!readLines(surnamePath, lines)) {
    error = "cannot read " + surnamePath;
    return false;
  }
  for (const auto& line : lines) {
    auto f = splitTabs(line);
    auto chars = f.empty() ? std::nullopt : splitUtf8(f[0]);
    if (f.size() < 3 || !chars || chars->empty() || chars->size() > 2) {
      error = "malformed line in " + surnamePath + ": " + line.substr(0, 60);
      return false;
    }
    SurnameInfo s;
    s.chars = *chars;
    s.listed = true;
    std::istringstream py(f[1]);
    for (std::string syl; py >> syl;) s.pinyin.push_back(syl);
    std::istringstream st(f[2]);
    for (std::string n; std::getline(st, n, ',');) {
      int v = 0;
      if (!toInt(n, v)) {
        error = "malformed strokes in " + surnamePath + ": " + line.substr(0, 60);
        return false;
      }
      s.kangxi.push_back(v);
    }
    if (s.pinyin.size() != s.chars.size() || s.kangxi.size() != s.chars.size()) {
      error = "malformed line in " + surnamePath + ": " + line.substr(0, 60);
      return false;
    }
    surnames_[f[0]] = s;
  }
  lines.clear();
  const std::string blockPath = folder + "/blocklist.txt";
  if (!readLines(blockPath, lines)) {
    error = "cannot read " + blockPath;
    return false;
  }
  for (const auto& line : lines) blocked_.insert(splitTabs(line)[0]);
  lines.clear();
  const std::string unluckyPath = folder + "/unlucky_readings.txt";
  if (!readLines(unluckyPath, lines)) {
    error = "cannot read " + unluckyPath;
    return false;
  }
  for (const auto& line : lines) {
    std::istringstream in(splitTabs(line)[0]);
    std::vector<std::string> syllables;
    for (std::string syl; in >> syl;) syllables.push_back(syl);
    if (syllables.size() < 2) {
      error = "malformed line in " + unluckyPath + " (a word needs two syllables): " + line.substr(0, 60);
      return false;
    }
    unlucky_.add(std::move(syllables));
  }
  lines.clear();
  const std::string pairingPath = folder + "/pairing_rules.txt";
  if (!readLines(pairingPath, lines)) {
    error = "cannot read " + pairingPath;
    return false;
  }
  for (const auto& line : lines) {
    auto f = splitTabs(line);
    auto text = f.size() >= 2 ? splitUtf8(f[1]) : std::nullopt;
    bool ok = text.has_value();
    if (ok && f[0] == "word" && text->size() == 2) pairing_.addWord(f[1]);
    else if (ok && f[0] == "thing" && text->size() == 1) pairing_.addClass(f[1], PairingRules::kThing);
    else if (ok && f[0] == "act" && text->size() == 1) pairing_.addClass(f[1], PairingRules::kAct);
    else {
      error = "malformed line in " + pairingPath + " (word with two characters, thing or act with one): " +
              line.substr(0, 60);
      return false;
    }
  }
  return true;
}

bool PairingRules::refuses(const std::vector<std::string>& given) const {
  if (given.size() != 2) return false;
  if (words_.count(given[0] + given[1])) return true;
  return kindOf(given[0]) != kFree && kindOf(given[1]) != kFree;
}

void UnluckyReadings::add(std::vector<std::string> syllables) {
  if (syllables.empty()) return;
  std::string first = syllables.front();
  byFirst_[first].push_back(std::move(syllables));
}

bool UnluckyReadings::matches(const std::vector<std::string>& syllables, size_t firstGiven) const {
  for (size_t i = 0; i < syllables.size(); ++i) {
    auto it = byFirst_.find(syllables[i]);
    if (it == byFirst_.end()) continue;
    for (const auto& word : it->second) {
      size_t end = i + word.size();
      if (end > syllables.size() || end <= firstGiven) continue;
      if (std::equal(word.begin(), word.end(), syllables.begin() + static_cast<std::ptrdiff_t>(i))) return true;
    }
  }
  return false;
}

std::string plainSyllable(const std::string& initial, const std::string& final) {
  std::string f = final;
  bool jqxy = initial == "j" || initial == "q" || initial == "x" || initial == "y";
  if (jqxy && !f.empty() && f[0] == 'v') f[0] = 'u';
  return initial + f;
}

const CharInfo* CharTable::find(const std::string& ch) const {
  auto it = chars_.find(ch);
  return it == chars_.end() ? nullptr : &it->second;
}

std::optional<SurnameInfo> CharTable::surname(const std::string& text) const {
  auto it = surnames_.find(text);
  if (it != surnames_.end()) return it->second;
  auto chars = splitUtf8(text);
  if (!chars || chars->empty() || chars->size() > 2) return std::nullopt;
  SurnameInfo s;
  s.chars = *chars;
  for (const auto& c : *chars) {
    // A two-character surname not in the table may join two single surnames (张李).
    auto single = surnames_.find(c);
    const CharInfo* info = find(c);
    if (!info) return std::nullopt;
    if (single != surnames_.end()) {
      s.pinyin.push_back(single->second.pinyin[0]);
      s.kangxi.push_back(single->second.kangxi[0]);
    } else {
      s.pinyin.push_back(info->pinyin);
      s.kangxi.push_back(info->kangxi);
    }
  }
  return s;
}

bool Knowledge::addJxjsJson(const std::string& json, std::string& error) {
  Json::Value root;
  Json::CharReaderBuilder b;
  std::string errs;
  std::istringstream in(json);
  if (!Json::parseFromStream(b, in, &root, &errs) || !root.isArray()) {
    error = "the character rows are not a JSON array";
    return false;
  }
  for (const auto& row : root) {
    if (!row.isObject()) continue;
    VocabularyEntry e;
    e.ch = textOf(row, "wd");
    e.use = textOf(row, "use");
    std::string sex = textOf(row, "sex");
    e.sex = sex == "m" ? 'm' : sex == "f" ? 'f' : 'n';
    e.element = elementFromText(textOf(row, "wx"));
    auto chars = splitUtf8(e.ch);
    if (!chars || chars->size() != 1) continue;
    if (e.use == "name" || e.use == "both") vocabulary.push_back(e);
  }
  return true;
}

bool Knowledge::addSxppJson(const std::string& json, std::string& error) {
  Json::Value root;
  Json::CharReaderBuilder b;
  std::string errs;
  std::istringstream in(json);
  if (!Json::parseFromStream(b, in, &root, &errs) || !root.isArray()) {
    error = "the zodiac rows are not a JSON array";
    return false;
  }
  for (const auto& row : root) {
    if (!row.isObject()) continue;
    std::string js = textOf(row, "js");
    int v = js.rfind("宜", 0) == 0 ? 1 : js.rfind("忌", 0) == 0 ? -1 : 0;
    zodiac.rows[textOf(row, "sx")].push_back({textOf(row, "pp"), v});
  }
  return true;
}

bool Knowledge::load(const std::string& source, std::string& error) {
  namespace fs = std::filesystem;
  if (source.size() > 4 && source.substr(source.size() - 4) == ".dat") {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      error = "cannot open " + source;
      return false;
    }
    sqlite3_key(db, kKnowledgeKey, static_cast<int>(sizeof(kKnowledgeKey) - 1));
    auto query = [&](const char* sql, auto&& onRow) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
      while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> cols;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
          const unsigned char* t = sqlite3_column_text(st, i);
          cols.push_back(t ? reinterpret_cast<const char*>(t) : "");
        }
        onRow(cols);
      }
      sqlite3_finalize(st);
      return true;
    };
    bool ok = query("select wd,use,sex,wx from jxjs", [&](const std::vector<std::string>& c) {
      VocabularyEntry e{c[0], c[1], c[2] == "m" ? 'm' : c[2] == "f" ? 'f' : 'n', elementFromText(c[3])};
      auto chars = splitUtf8(e.ch);
      if (chars && chars->size() == 1 && (e.use == "name" || e.use == "both")) vocabulary.push_back(e);
    });
    if (ok) {
      query("select sx,pp,js from sxpp", [&](const std::vector<std::string>& c) {
        int v = c[2].rfind("宜", 0) == 0 ? 1 : c[2].rfind("忌", 0) == 0 ? -1 : 0;
        zodiac.rows[c[0]].push_back({c[1], v});
      });
    }
    sqlite3_close(db);
    if (!ok) {
      error = "cannot read the character table of " + source + " (wrong key or not a knowledge database)";
      return false;
    }
  } else {
    bool ok = false;
    std::string json = readWhole(source + "/jxjs.json", ok);
    if (!ok) {
      error = "cannot read " + source + "/jxjs.json";
      return false;
    }
    if (!addJxjsJson(json, error)) return false;
    std::string sx = readWhole(source + "/sxpp.json", ok);
    if (ok && !addSxppJson(sx, error)) return false;
  }
  if (vocabulary.empty()) {
    error = "no character of " + source + " may be used in a given name";
    return false;
  }
  return true;
}

}  // namespace norvane::refservice
