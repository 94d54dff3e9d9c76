#include "naming/naming_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <mutex>

#include "naming/calendar.h"
#include "naming/numerology.h"
#include "naming/ordering.h"
#include "naming/scoring.h"
#include "naming/sources.h"
#include "naming/tables.h"

namespace norvane::refservice {

namespace {

NamingResult failure(int code, std::string message) {
  NamingResult r;
  r.code = code;
  r.message = std::move(message);
  return r;
}

std::string format(const char* fmt, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

double round2(double v) { return std::round(v * 100.0) / 100.0; }

// Strokes of the bone-weight fortune, in 钱 (tenths of a 两).
int yearWeight(int sexagenary) {
  static const int w[60] = {12, 9,  6,  7,  12, 5,  9,  8,  7,  8,  15, 9,  16, 8,  8,  19, 12, 6,  8,  7,
                            5,  15, 6,  16, 15, 7,  9,  12, 10, 7,  15, 6,  5,  14, 14, 9,  7,  7,  9,  12,
                            8,  7,  13, 5,  14, 5,  9,  17, 5,  7,  12, 8,  8,  6,  19, 6,  8,  16, 10, 6};
  return w[((sexagenary % 60) + 60) % 60];
}
int monthWeight(int month) {
  static const int w[12] = {6, 7, 18, 9, 5, 16, 9, 15, 18, 8, 9, 5};
  return w[(month - 1) % 12];
}
int dayWeight(int day) {
  static const int w[30] = {5, 10, 8,  15, 16, 15, 8, 16, 8, 16, 9, 17, 8, 17, 10,
                            8, 9,  18, 5,  15, 10, 9, 8,  9, 15, 18, 7, 8, 16, 6};
  return w[(day - 1) % 30];
}
int hourWeight(int branch) {
  static const int w[12] = {16, 6, 7, 10, 9, 16, 10, 8, 8, 9, 6, 6};
  return w[branch % 12];
}

const char* const kNayin[30] = {"海中金", "炉中火", "大林木", "路旁土", "剑锋金", "山头火", "涧下水", "城头土",
                                "白蜡金", "杨柳木", "泉中水", "屋上土", "霹雳火", "松柏木", "长流水", "沙中金",
                                "山下火", "平地木", "壁上土", "金箔金", "覆灯火", "天河水", "大驿土", "钗钏金",
                                "桑柘木", "大溪水", "沙中土", "天上火", "石榴木", "大海水"};

// Ten gods of a stem seen from the day stem.
std::string tenGod(int dayStem, int stem) {
  Element d = stemElement(dayStem), e = stemElement(stem);
  bool same = (dayStem % 2) == (stem % 2);
  if (d == e) return same ? "比肩" : "劫财";
  if (generates(d, e)) return same ? "食神" : "伤官";
  if (overcomes(d, e)) return same ? "偏财" : "正财";
  if (overcomes(e, d)) return same ? "七杀" : "正官";
  return same ? "偏印" : "正印";
}

struct ElementAdvice {
  const char* colour;
  const char* direction;
  const char* numbers;
  const char* trades;
  const char* items;
};
const ElementAdvice& adviceOf(Element e) {
  static const ElementAdvice a[6] = {
      {"", "", "", "", ""},
      {"绿色、青色", "东方", "3、8", "教育、文化、园林、出版", "木质饰品、绿植"},
      {"红色、紫色", "南方", "2、7", "能源、餐饮、传媒、电子", "红色饰物、灯饰"},
      {"黄色、棕色", "中部及本地", "5、0", "建筑、地产、农业、陶瓷", "陶瓷、玉石"},
      {"白色、金色", "西方", "4、9", "金融、机械、法律、五金", "金属饰品"},
      {"黑色、蓝色", "北方", "1、6", "航运、贸易、旅游、水产", "水晶、鱼缸"}};
  return a[e];
}

std::string joinElements(const std::vector<Element>& es) {
  std::string s;
  for (Element e : es) s += elementText(e);
  return s;
}

std::string gridLabel(int n) {
  int r = reduceNumber(n);
  return format("%d（%s）", r, elementText(numberElement(n)));
}

}  // namespace

// Two-character names without a classical line pair at most this many characters
// (40 000 names to rank besides the sourced ones).
constexpr size_t kPairedCharacters = 200;

// The page order's groups: a word of a classical line (0) before two characters of one
// clause (1), before two of one couplet (2), before names without a line (3). Within a
// group, a lean in hundredths of a point lifts a name (the score "f" itself never
// changes): each character marked for the child's own gender, and a line from one of the
// first two books of the gender's choice ("男楚辞，女诗经").
constexpr int kUnsourcedGroup = 3;
constexpr int kOwnGenderLean = 300;
constexpr int kFirstBooksLean = 100;

// One ranked name, kept small: a result set holds up to 90 000 of them.
struct ScoredName {
  std::string given;
  double total;
  int wx, sx, jx, yy, commonness;
  std::array<int, 2> free;  // pool positions of the characters not fixed by the user, −1 for none
  int line = -1;            // the classical line it comes from, −1 for none
  int rank = 0;             // f in hundredths plus the page-order lean
  int group = kUnsourcedGroup;
};

struct NamingEngine::Impl {
  CharTable chars;
  Knowledge knowledge;
  std::string error;
  bool ready = false;

  struct Candidate {
    const CharInfo* info;
    VocabularyEntry entry;
  };
  std::vector<Candidate> vocabulary;  // usable given-name characters, in table order
  std::map<std::string, VocabularyEntry> vocabularyIndex;
  std::map<std::string, int> vocabularyPosition;  // character -> index into vocabulary
  SourceTable sources;
  SourceIndex sourceIndex;  // the names the lines give over the usable vocabulary

  Json::Value citationJson(int line) const {
    const SourceLine& l = sources.lines()[static_cast<size_t>(line)];
    Json::Value c(Json::objectValue);
    c["Text"] = l.text;
    c["Title"] = l.title;
    c["Author"] = l.author;
    c["Book"] = bookName(l.book);
    return c;
  }

  // The ranked names of the last few questions, so paging through one result set does
  // not rank it again. Most recently used first.
  static constexpr size_t kCachedQuestions = 16;
  mutable std::mutex cacheLock;
  mutable std::list<std::pair<std::string, std::shared_ptr<const std::vector<ScoredName>>>> cache;

  std::shared_ptr<const std::vector<ScoredName>> cachedPage(const std::string& key) const {
    std::lock_guard<std::mutex> lock(cacheLock);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
      if (it->first == key) {
        cache.splice(cache.begin(), cache, it);
        return cache.front().second;
      }
    }
    return nullptr;
  }
  void remember(const std::string& key, std::shared_ptr<const std::vector<ScoredName>> names) const {
    std::lock_guard<std::mutex> lock(cacheLock);
    cache.emplace_front(key, std::move(names));
    if (cache.size() > kCachedQuestions) cache.pop_back();
  }
  NamingResult pageOf(const std::vector<ScoredName>& results, const NamePageRequest& q) const {
    NamingResult r;
    r.data["total"] = static_cast<Json::Int>(results.size());
    Json::Value list(Json::arrayValue);
    size_t start = static_cast<size_t>(q.page - 1) * static_cast<size_t>(q.pageSize);
    for (size_t i = start; i < results.size() && i < start + static_cast<size_t>(q.pageSize); ++i) {
      const auto& s = results[i];
      Json::Value item;
      item["x"] = q.birth.surname;
      item["m"] = s.given;
      item["f"] = s.total;
      item["w"] = s.wx;
      item["s"] = s.sx;
      item["j"] = s.jx;
      item["c"] = s.commonness;
      item["y"] = s.yy;
      if (s.line >= 0) item["ChuChu"] = citationJson(s.line);
      list.append(item);
    }
    r.data["data"] = list;
    return r;
  }

  NameChar nameChar(const std::string& ch) const {
    NameChar c;
    c.info = chars.find(ch);
    if (!c.info) return c;
    c.pinyin = c.info->pinyin;
    c.tone = c.info->tone;
    c.initial = c.info->initial;
    c.final = c.info->final;
    c.kangxi = c.info->kangxi;
    c.element = c.info->element;
    auto v = vocabularyIndex.find(ch);
    if (v != vocabularyIndex.end()) {
      if (v->second.element != kNoElement) c.element = v->second.element;
      c.sex = v->second.sex;
    }
    return c;
  }

  std::vector<NameChar> surnameChars(const SurnameInfo& s) const {
    std::vector<NameChar> out;
    for (size_t i = 0; i < s.chars.size(); ++i) {
      NameChar c = nameChar(s.chars[i]);
      c.pinyin = s.pinyin[i];
      splitSyllable(c.pinyin, c.tone, c.initial, c.final);
      c.kangxi = s.kangxi[i];
      out.push_back(c);
    }
    return out;
  }

  // True when surname and given name read together sound like an unlucky word
  // (杜 + 子腾 as 肚子疼); such names are never proposed.
  bool readsBadly(const std::vector<NameChar>& surname, const std::vector<NameChar>& given) const {
    const UnluckyReadings& unlucky = chars.unluckyReadings();
    if (unlucky.empty()) return false;
    std::vector<std::string> syllables;
    syllables.reserve(surname.size() + given.size());
    for (const auto& c : surname) syllables.push_back(plainSyllable(c.initial, c.final));
    for (const auto& c : given) syllables.push_back(plainSyllable(c.initial, c.final));
    return unlucky.matches(syllables, surname.size());
  }

  // Validates the birth data; fills needs and the surname.
  std::optional<NamingResult> checkBirth(const BirthQuestion& b, BirthNeeds& needs,
                                         std::vector<NameChar>& surname) const {
    if (b.gender != 1 && b.gender != 2) return failure(kCodeOutOfRange, "gender must be 1 or 2");
    if (!std::isfinite(b.longitude) || b.longitude < -180 || b.longitude > 180)
      return failure(kCodeOutOfRange, "longitude out of range");
    CivilTime t;
    if (!parseCivilTime(b.birthday, t)) return failure(kCodeOutOfRange, "birthday is not a date and time");
    auto s = chars.surname(b.surname);
    if (!s) return failure(kCodeOutOfRange, "unknown surname");
    surname = surnameChars(*s);
    needs = birthNeeds(t, b.longitude);
    return std::nullopt;
  }
};

EngineFiles EngineFiles::besideProgram(const std::string& programFolder) {
  return {programFolder + "/refservice", programFolder + "/local.dat"};
}

NamingEngine::NamingEngine(const EngineFiles& files) : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  if (!m.chars.load(files.characterFolder, m.error)) return;
  if (!m.knowledge.load(files.vocabulary, m.error)) return;
  if (!m.sources.load(files.characterFolder + "/sources.tsv", m.error)) return;
  for (const auto& e : m.knowledge.vocabulary) {
    if (m.vocabularyIndex.count(e.ch)) continue;  // first row of a character wins
    m.vocabularyIndex[e.ch] = e;
    const CharInfo* info = m.chars.find(e.ch);
    if (!info || m.chars.blocked(e.ch)) continue;
    m.vocabularyPosition[e.ch] = static_cast<int>(m.vocabulary.size());
    m.vocabulary.push_back({info, e});
  }
  if (m.vocabulary.empty()) {
    m.error = "no usable given-name character (vocabulary and character table do not meet)";
    return;
  }
  m.sourceIndex.build(m.sources, [&m](const std::string& ch) {
    if (isFunctionWord(ch)) return -1;
    auto it = m.vocabularyPosition.find(ch);
    return it == m.vocabularyPosition.end() ? -1 : it->second;
  });
  m.ready = true;
}

NamingEngine::~NamingEngine() = default;
bool NamingEngine::ready() const { return impl_->ready; }
const std::string& NamingEngine::loadError() const { return impl_->error; }

NamingResult NamingEngine::namePage(const NamePageRequest& q) const {
  const Impl& m = *impl_;
  if (!m.ready) return failure(kCodeEngineUnavailable, m.error);
  if (q.nameLength != 1 && q.nameLength != 2) return failure(kCodeOutOfRange, "name length must be 1 or 2");
  if (q.page < 1 || q.pageSize < 1 || q.pageSize > 100) return failure(kCodeOutOfRange, "page or page size out of range");
  for (int i = 0; i < kSettingCount; ++i) {
    int max = i == kSetSm ? 2 : 3;
    if (q.settings[i] < 0 || q.settings[i] > max) return failure(kCodeOutOfRange, "advanced setting out of range");
  }
  int book = -1;
  if (!q.source.empty()) {
    auto chosen = bookOfSetting(q.source);
    if (!chosen) return failure(kCodeOutOfRange, "unknown source book");
    book = *chosen;
  }
  // A question answered lately was valid then: serve its pages from the ranked set.
  std::string cacheKey = format("%d|%s|%d|%s|%.6f|", q.nameLength, q.birth.surname.c_str(), q.birth.gender,
                                q.birth.birthday.c_str(), q.birth.longitude) +
                         q.fixedFirst + "|" + q.fixedSecond + "|" + std::to_string(book);
  for (int v : q.settings) cacheKey += "|" + std::to_string(v);
  if (auto cached = m.cachedPage(cacheKey)) return m.pageOf(*cached, q);

  BirthNeeds needs;
  std::vector<NameChar> surname;
  if (auto bad = m.checkBirth(q.birth, needs, surname)) return *bad;

  // The fixed character and its place.
  std::string fixed = q.fixedFirst.empty() ? q.fixedSecond : q.fixedFirst;
  int fixedPos = q.fixedFirst.empty() ? (q.fixedSecond.empty() ? -1 : 1) : 0;
  if (fixedPos >= 0) {
    auto parts = splitUtf8(fixed);
    if (!parts || parts->size() != 1 || !m.chars.find(fixed))
      return failure(kCodeOutOfRange, "the fixed character is not a known character");
    if (q.nameLength == 1) fixedPos = 0;
  }

  const auto& set = q.settings;
  const int gender = q.birth.gender;
  char own = gender == 2 ? 'f' : 'm';
  char other = gender == 2 ? 'm' : 'f';
  auto tierAllows = [&](const CharInfo* c) {
    switch (set[kSetCyz]) {
      case 0: return true;
      case 1: return c->level <= 2;
      case 2: return c->level == 1;
      default: return c->rank <= 2500;
    }
  };
  std::vector<std::string> surnameText;
  for (const auto& c : surname) surnameText.push_back(c.info ? c.info->ch : std::string());

  // Characters allowed in a free position, and where each vocabulary character stands
  // in the pool (−1: not allowed).
  std::vector<NameChar> pool;
  std::vector<int> poolOf(m.vocabulary.size(), -1);
  std::vector<int> vocabularyOf;  // pool position -> vocabulary position
  for (size_t v = 0; v < m.vocabulary.size(); ++v) {
    const auto& cand = m.vocabulary[v];
    if (cand.entry.sex == other) continue;
    if (!tierAllows(cand.info)) continue;
    if (set[kSetXb] == 3 && cand.entry.sex != own) continue;
    if (set[kSetZxz] == 2 && cand.entry.sex != 'n') continue;
    if (set[kSetZxz] == 3 && cand.entry.sex == 'n') continue;
    if (std::find(surnameText.begin(), surnameText.end(), cand.info->ch) != surnameText.end()) continue;
    poolOf[v] = static_cast<int>(pool.size());
    vocabularyOf.push_back(static_cast<int>(v));
    pool.push_back(m.nameChar(cand.info->ch));
    pool.back().zodiacVerdict = m.knowledge.zodiac.verdict(needs.zodiac, cand.info->radical);
  }
  NameChar fixedChar = fixedPos >= 0 ? m.nameChar(fixed) : NameChar{};
  if (fixedPos >= 0 && m.chars.blocked(fixed)) {
    NamingResult r;
    r.data["total"] = 0;
    r.data["data"] = Json::Value(Json::arrayValue);
    return r;
  }
  auto fixedVocabulary = m.vocabularyPosition.find(fixed);
  int fixedId = fixedPos >= 0 && fixedVocabulary != m.vocabularyPosition.end() ? fixedVocabulary->second : -1;

  // The lines a fixed character outside the vocabulary stands in (the index does not
  // know it), searched for each of its names.
  std::vector<int> fixedLines;
  if (fixedPos >= 0 && fixedId < 0) fixedLines = m.sources.linesHolding(fixed);
  // The best line of a name (vocabulary positions, −1 for none) from the chosen book.
  auto citationOf = [&](int first, int second, const std::vector<std::string>& text) -> Citation {
    if (first >= 0 && (second >= 0 || text.size() == 1)) {
      const SourceIndex::PerBook* perBook = m.sourceIndex.find(first, second);
      return perBook ? SourceIndex::best(*perBook, m.sources.lines(), gender, book) : Citation{};
    }
    return m.sources.find(text, gender, book, fixedLines);  // a fixed character outside the vocabulary
  };

  ScoreWeights weights{set[kSetWx], set[kSetNy], set[kSetXb]};
  std::vector<ScoredName> results;
  auto consider = [&](const std::vector<NameChar>& given, std::array<int, 2> free, Citation cite) {
    if (book >= 0 && !cite.found()) return;
    if (given.size() == 2 && m.chars.pairingRules().refuses({given[0].info->ch, given[1].info->ch})) return;
    if (m.readsBadly(surname, given)) return;
    NameScore s = scoreName(needs, surname, given, gender, m.knowledge.zodiac, weights);
    // Gender emphasis and neutral characters over the whole given name.
    int ownCount = 0, neutral = 0;
    for (const auto& c : given) {
      ownCount += c.sex == own;
      neutral += c.sex == 'n';
    }
    int n = static_cast<int>(given.size());
    if (set[kSetXb] == 2 && ownCount == 0) return;
    if (set[kSetZxz] == 1 && neutral == n) return;
    // Zodiac filter.
    int good = 0, bad = 0;
    for (int v : s.zodiacVerdicts) {
      good += v > 0;
      bad += v < 0;
    }
    if (set[kSetSx] >= 1 && bad > 0) return;
    if (set[kSetSx] == 2 && good * 2 < n) return;
    if (set[kSetSx] == 3 && good < n) return;
    // Grid luck filter over 人格, 地格, 外格, 总格 (天格 is the surname's alone).
    Luck lucks[4] = {numberLuck(s.grids.ren), numberLuck(s.grids.di), numberLuck(s.grids.wai),
                     numberLuck(s.grids.zong)};
    int luckyGrids = 0, badGrids = 0;
    for (Luck l : lucks) {
      luckyGrids += l == kGood;
      badGrids += l == kBad;
    }
    if (set[kSetXmx] >= 1 && badGrids > 0) return;
    if (set[kSetXmx] == 2 && (luckyGrids < 3 || s.sancaiLuck == kBad)) return;
    if (set[kSetXmx] == 3 && (luckyGrids < 4 || s.sancaiLuck != kGood)) return;
    // Sound grades.
    if (s.sd < set[kSetYd]) return;
    if (set[kSetSm] > 0 && s.sm < set[kSetSm] + 1) return;
    if (s.ym < set[kSetYm]) return;
    std::string text;
    for (const auto& c : given) text += c.info->ch;
    int rank = static_cast<int>(std::lround(s.total * 100.0)) + kOwnGenderLean * ownCount;
    if (cite.found() && bookPreference(m.sources.lines()[static_cast<size_t>(cite.line)].book, gender) < 2)
      rank += kFirstBooksLean;
    results.push_back({text, s.total, s.wx, s.sx, s.jx, s.yy, s.commonness, free, cite.line, rank,
                       cite.found() ? cite.tier : kUnsourcedGroup});
  };

  if (q.nameLength == 1) {
    if (fixedPos >= 0) consider({fixedChar}, {-1, -1}, citationOf(fixedId, -1, {fixed}));
    else
      for (size_t i = 0; i < pool.size(); ++i)
        consider({pool[i]}, {static_cast<int>(i), -1}, citationOf(vocabularyOf[i], -1, {pool[i].info->ch}));
  } else if (fixedPos >= 0) {
    for (size_t i = 0; i < pool.size(); ++i) {
      const auto& c = pool[i];
      if (c.info->ch == fixed) continue;
      int v = vocabularyOf[i];
      if (fixedPos == 0) consider({fixedChar, c}, {static_cast<int>(i), -1}, citationOf(fixedId, v, {fixed, c.info->ch}));
      else consider({c, fixedChar}, {static_cast<int>(i), -1}, citationOf(v, fixedId, {c.info->ch, fixed}));
    }
  } else {
    // Every pair of allowed characters a classical line gives, in the line's order.
    for (const auto& [first, second] : m.sourceIndex.pairs()) {
      int a = poolOf[static_cast<size_t>(first)], b = poolOf[static_cast<size_t>(second)];
      if (a < 0 || b < 0) continue;
      consider({pool[a], pool[b]}, {a, b}, citationOf(first, second, {}));
    }
    if (book < 0) {
      // Beside them, pairs of the best-placed characters: rank the pool by what one
      // character brings (element need, zodiac, gender fit, commonness) and pair the
      // first ones (a pair a line gives was considered above).
      std::vector<std::pair<double, size_t>> unary;
      for (size_t i = 0; i < pool.size(); ++i) {
        NameScore s = scoreName(needs, surname, {pool[i]}, gender, m.knowledge.zodiac, weights);
        unary.push_back({-(s.wx * 3.0 + s.sx * 1.5 + s.gender + s.commonness * 0.5), i});
      }
      std::sort(unary.begin(), unary.end());
      if (unary.size() > kPairedCharacters) unary.resize(kPairedCharacters);
      std::vector<size_t> chosen;
      for (const auto& u : unary) chosen.push_back(u.second);
      std::sort(chosen.begin(), chosen.end());
      for (size_t a : chosen)
        for (size_t b : chosen)
          if (a != b && !m.sourceIndex.find(vocabularyOf[a], vocabularyOf[b]))
            consider({pool[a], pool[b]}, {static_cast<int>(a), static_cast<int>(b)}, Citation{});
    }
  }

  std::sort(results.begin(), results.end(), [](const ScoredName& a, const ScoredName& b) {
    if (a.group != b.group) return a.group < b.group;
    if (a.rank != b.rank) return a.rank > b.rank;
    if (a.total != b.total) return a.total > b.total;
    if (a.commonness != b.commonness) return a.commonness > b.commonness;
    return a.given < b.given;
  });
  // Variety: names whose characters the names above them already use move down.
  std::vector<OrderItem> items;
  items.reserve(results.size());
  for (const auto& r : results) items.push_back({r.rank, r.free, r.group});
  std::vector<ScoredName> ordered;
  ordered.reserve(results.size());
  for (size_t i : varietyOrder(items)) ordered.push_back(std::move(results[i]));
  auto shared = std::make_shared<const std::vector<ScoredName>>(std::move(ordered));
  m.remember(cacheKey, shared);
  return m.pageOf(*shared, q);
}

namespace {
const char* const kPatternPrefix[6] = {"", "小", "阿", "小", "", "小"};
const char* const kPatternSuffix[6] = {"", "", "", "", "儿", "儿"};
const bool kPatternDouble[6] = {true, false, false, true, false, false};

std::string nicknameOf(int pattern, const std::string& a) {
  return std::string(kPatternPrefix[pattern]) + a + (kPatternDouble[pattern] ? a : "") + kPatternSuffix[pattern];
}
}  // namespace

struct NicknameScore {
  double total = 0;
  int wx = 0, sx = 0, jx = 0, yy = 0, c = 0;
  int strokes = 0, allStrokes = 0;
};

static NicknameScore scoreNickname(const BirthNeeds& needs, const std::vector<NameChar>& surname,
                                   const std::vector<NameChar>& nick, const NameChar& core, int gender,
                                   const ZodiacRadicals& zodiac) {
  NicknameScore s;
  int need = core.element == kNoElement ? 0 : needs.need[core.element];
  s.wx = need > 0 ? 100 : need == 0 ? 78 : 50;
  int v = zodiac.verdict(needs.zodiac, core.info ? core.info->radical : std::string());
  s.sx = v > 0 ? 100 : v == 0 ? 80 : 45;
  for (const auto& c : nick) s.strokes += c.kangxi;
  s.allStrokes = s.strokes;
  for (const auto& c : surname) s.allStrokes += c.kangxi;
  auto points = [](Luck l) { return l == kGood ? 100 : l == kHalf ? 72 : 45; };
  s.jx = (points(numberLuck(s.strokes)) * 3 + points(numberLuck(s.allStrokes)) * 2) / 5;
  // Pet names sound softest on level tones.
  static const int toneValue[6] = {0, 100, 95, 72, 82, 70};
  s.yy = toneValue[std::clamp(core.tone, 1, 5)];
  char own = gender == 2 ? 'f' : 'm';
  int sex = core.sex == own ? 100 : 88;
  int rank = core.info ? core.info->rank : 9999;
  s.c = static_cast<int>(std::lround(std::max(0.0, 100.0 - (rank - 1) / 35.0)));
  s.total = round2(0.30 * s.wx + 0.20 * s.jx + 0.20 * s.sx + 0.20 * s.yy + 0.10 * sex);
  return s;
}

NamingResult NamingEngine::nicknamePage(const NicknamePageRequest& q) const {
  const Impl& m = *impl_;
  if (!m.ready) return failure(kCodeEngineUnavailable, m.error);
  if (q.page < 1 || q.pageSize < 1 || q.pageSize > 100) return failure(kCodeOutOfRange, "page or page size out of range");
  if (std::none_of(q.patterns.begin(), q.patterns.end(), [](bool b) { return b; }))
    return failure(kCodeOutOfRange, "no nickname pattern chosen");
  BirthNeeds needs;
  std::vector<NameChar> surname;
  if (auto bad = m.checkBirth(q.birth, needs, surname)) return *bad;
  char other = q.birth.gender == 2 ? 'm' : 'f';

  struct Scored {
    std::string nick;
    int pattern;
    NicknameScore score;
  };
  std::vector<Scored> results;
  for (const auto& cand : m.vocabulary) {
    if (cand.entry.sex == other) continue;
    const std::string& a = cand.info->ch;
    NameChar core = m.nameChar(a);
    for (int p = 0; p < 6; ++p) {
      if (!q.patterns[p]) continue;
      if (a == "小" || a == "阿" || a == "儿") continue;
      std::string nick = nicknameOf(p, a);
      std::vector<NameChar> chars;
      const auto pieces = splitUtf8(nick);
      for (const auto& c : pieces.value()) chars.push_back(m.nameChar(c));
      if (m.readsBadly(surname, chars)) continue;
      results.push_back({nick, p, scoreNickname(needs, surname, chars, core, q.birth.gender, m.knowledge.zodiac)});
    }
  }
  std::sort(results.begin(), results.end(), [](const Scored& a, const Scored& b) {
    if (a.score.total != b.score.total) return a.score.total > b.score.total;
    if (a.score.c != b.score.c) return a.score.c > b.score.c;
    if (a.pattern != b.pattern) return a.pattern < b.pattern;
    return a.nick < b.nick;
  });
  NamingResult r;
  r.data["total"] = static_cast<Json::Int>(results.size());
  Json::Value list(Json::arrayValue);
  size_t start = static_cast<size_t>(q.page - 1) * static_cast<size_t>(q.pageSize);
  for (size_t i = start; i < results.size() && i < start + static_cast<size_t>(q.pageSize); ++i) {
    const auto& s = results[i].score;
    Json::Value item;
    item["x"] = q.birth.surname;
    item["m"] = results[i].nick;
    item["f"] = s.total;
    item["w"] = s.wx;
    item["s"] = s.sx;
    item["j"] = s.jx;
    item["c"] = s.c;
    item["y"] = s.yy;
    list.append(item);
  }
  r.data["data"] = list;
  return r;
}

NamingResult NamingEngine::analyse(const BirthQuestion& birth, const std::string& givenName) const {
  const Impl& m = *impl_;
  if (!m.ready) return failure(kCodeEngineUnavailable, m.error);
  BirthNeeds needs;
  std::vector<NameChar> surname;
  if (auto bad = m.checkBirth(birth, needs, surname)) return *bad;
  auto parts = splitUtf8(givenName);
  if (!parts || parts->empty() || parts->size() > 2) return failure(kCodeOutOfRange, "the given name must have one or two characters");
  std::vector<NameChar> given;
  for (const auto& c : *parts) {
    given.push_back(m.nameChar(c));
    if (!given.back().info) return failure(kCodeOutOfRange, "unknown character in the given name");
  }
  NameScore s = scoreName(needs, surname, given, birth.gender, m.knowledge.zodiac, ScoreWeights{});
  const BirthChart& ch = needs.chart;
  Json::Value d;
  Citation cite = m.sources.find(*parts, birth.gender, -1);
  if (cite.found()) d["ChuChu"] = m.citationJson(cite.line);

  // name
  Json::Value words(Json::arrayValue), py(Json::arrayValue), wx(Json::arrayValue), jx(Json::arrayValue),
      pp1(Json::arrayValue), pp2(Json::arrayValue);
  std::vector<NameChar> full = surname;
  full.insert(full.end(), given.begin(), given.end());
  for (const auto& c : full) {
    words.append(c.info ? c.info->ch : "");
    py.append(c.pinyin);
    wx.append(elementText(c.element));
    jx.append(luckText(numberLuck(c.kangxi)));
    pp1.append(c.info ? c.info->radical : "");
    pp2.append("");
  }
  d["name"]["words"] = words;
  d["name"]["py"] = py;
  d["name"]["wx"] = wx;
  d["name"]["jx"] = jx;
  d["name"]["pp1"] = pp1;
  d["name"]["pp2"] = pp2;

  // score
  Json::Value& sc = d["score"];
  sc["total"] = s.total;
  sc["bhfen"] = round2(s.gridScore);
  sc["wx"] = s.wx;
  sc["jx"] = s.jx;
  sc["sx"] = s.sx;
  sc["yy"] = s.yy;
  sc["sd"] = s.sd;
  sc["sm"] = s.sm;
  sc["ym"] = s.ym;
  sc["zx"] = s.zx;

  // time: the lunar dates, the true solar time and its three parts (longitude offset,
  // equation of time, total) as 快/慢 flag, minutes and seconds.
  Json::Value& t = d["time"];
  const char* hourName[12] = {"子时", "丑时", "寅时", "卯时", "辰时", "巳时", "午时", "未时", "申时", "酉时", "戌时", "亥时"};
  int beijingBranch = ((ch.beijing.hour + 1) / 2) % 12;
  t["nl"] = ch.lunar.text() + hourName[beijingBranch];
  t["xnl"] = ch.trueSolarLunar.text() + hourName[branchOf(ch.pillars[3])];
  t["xsr"] = format("%d-%d-%d %02d:%02d:%02d", ch.trueSolar.year, ch.trueSolar.month, ch.trueSolar.day,
                    ch.trueSolar.hour, ch.trueSolar.minute, ch.trueSolar.second);
  auto parts3 = [&](const char* sd, const char* fz, const char* ms, double minutes) {
    long secs = std::lround(minutes * 60.0);
    t[sd] = secs > 0 ? 1 : 0;
    t[fz] = static_cast<int>(std::labs(secs) / 60);
    t[ms] = static_cast<int>(std::labs(secs) % 60);
  };
  parts3("bsd", "bfz", "bms", ch.longitudeMinutes);
  parts3("tsd", "tfz", "tms", ch.equationMinutes);
  parts3("xsd", "xfz", "xms", ch.longitudeMinutes + ch.equationMinutes);

  // bazi: the four pillars with their stems, branches, elements, sound elements and ten gods.
  Json::Value& bz = d["bazi"];
  const char* pillarNames[4] = {"年柱", "月柱", "日柱", "时柱"};
  int dayStem = stemOf(ch.pillars[2]);
  for (int i = 0; i < 4; ++i) {
    int p = ch.pillars[i];
    Json::Value col;
    col["name"] = pillarNames[i];
    col["gz"] = pillarText(p);
    col["tg"] = kStems[stemOf(p)];
    col["dz"] = kBranches[branchOf(p)];
    col["wx"] = std::string(elementText(stemElement(stemOf(p)))) + elementText(branchElement(branchOf(p)));
    col["ny"] = kNayin[p / 2];
    col["ss"] = i == 2 ? "日主" : tenGod(dayStem, stemOf(p));
    bz["zhu"].append(col);
  }
  bz["text"] = pillarText(ch.pillars[0]) + " " + pillarText(ch.pillars[1]) + " " + pillarText(ch.pillars[2]) + " " +
               pillarText(ch.pillars[3]);
  bz["sx"] = needs.zodiac;

  // pdy: the balance of the five elements and the day master's strength.
  Json::Value& pdy = d["pdy"];
  std::string countsText;
  for (int e = kMetal; ; e = e == kMetal ? kWood : e == kWood ? kWater : e == kWater ? kFire : e == kFire ? kEarth : 0) {
    if (e == 0) break;
    pdy["wx"][elementText(static_cast<Element>(e))] = needs.counts[e];
    countsText += format("%s%d个 ", elementText(static_cast<Element>(e)), needs.counts[e]);
    if (e == kEarth) break;
  }
  pdy["rz"] = std::string(kStems[dayStem]) + elementText(needs.dayMaster);
  pdy["qr"] = needs.strong ? "旺" : "弱";
  pdy["xys"] = joinElements(needs.wanted);
  pdy["js"] = format("八字五行：%s。日主%s%s，属%s，宜以%s补益。", countsText.c_str(), kStems[dayStem],
                     elementText(needs.dayMaster), needs.strong ? "身旺" : "身弱", joinElements(needs.wanted).c_str());

  // cgsm: bone weight from the lunar birth date and hour.
  const LunarDate& ld = ch.trueSolarLunar;
  int weight = yearWeight(ld.year) + monthWeight(ld.month) + dayWeight(ld.day) + hourWeight(branchOf(ch.pillars[3]));
  weight = std::clamp(weight, 21, 72);
  d["cgsm"]["id"] = weight;
  d["cgsm"]["l"] = weight / 10;
  d["cgsm"]["q"] = weight % 10;

  // sclm: day stem with hour pillar; sound element, season, day master, missing element.
  d["sclm"]["s1"] = std::string(kStems[dayStem]) + "," + pillarText(ch.pillars[3]);
  Json::Value s2(Json::arrayValue);
  s2.append(std::string("纳音,") + kNayin[ch.pillars[0] / 2]);
  s2.append(std::string("月令,") + kBranches[branchOf(ch.pillars[1])]);
  s2.append(std::string("日主,") + kStems[dayStem] + (needs.strong ? "旺" : "弱"));
  std::string missing = "齐全";
  for (Element e : {kMetal, kWood, kWater, kFire, kEarth}) {
    if (needs.counts[e] == 0) {
      missing = std::string("缺") + elementText(e);
      break;
    }
  }
  s2.append("五行," + missing);
  d["sclm"]["s2"] = s2;

  // wuge and sancai
  auto grid = [&](const char* label, int n) {
    Json::Value a(Json::arrayValue);
    a.append(label);
    a.append(gridLabel(n));
    a.append(std::to_string(reduceNumber(n)));
    return a;
  };
  d["wuge"]["tg"] = grid("天格", s.grids.tian);
  d["wuge"]["rg"] = grid("人格", s.grids.ren);
  d["wuge"]["dg"] = grid("地格", s.grids.di);
  d["wuge"]["wg"] = grid("外格", s.grids.wai);
  d["wuge"]["zg"] = grid("总格", s.grids.zong);
  d["sancai"]["id"] = s.sancaiId;
  Json::Value pz(Json::arrayValue);
  pz.append(elementText(s.tian));
  pz.append(elementText(s.ren));
  pz.append(elementText(s.di));
  d["sancai"]["pz"] = pz;
  d["sancai"]["js"] = format("三才配置%s%s%s，%s", elementText(s.tian), elementText(s.ren), elementText(s.di),
                             luckText(s.sancaiLuck));

  // peihe
  d["peihe"]["p1"] = 10 + relationToSelf(s.ren, s.tian);
  d["peihe"]["p2"] = 20 + relationToSelf(s.ren, s.di);
  d["peihe"]["p3"] = 30 + relationToSelf(s.ren, s.wai);
  d["peihe"]["p4"] = format("天格%d（%s） 人格%d（%s） 地格%d（%s）", reduceNumber(s.grids.tian), elementText(s.tian),
                            reduceNumber(s.grids.ren), elementText(s.ren), reduceNumber(s.grids.di), elementText(s.di));
  d["peihe"]["p5"] = format("外格%d（%s） 总格%d（%s）", reduceNumber(s.grids.wai), elementText(s.wai),
                            reduceNumber(s.grids.zong), elementText(s.zong));
  Json::Value p6(Json::arrayValue);
  p6.append("喜" + joinElements(needs.wanted));
  p6.append(std::to_string(s.p6));
  d["peihe"]["p6"] = p6;

  // geju and youdao: the grid structure and the name's strong points in words.
  d["geju"] = format("人格%d属%s，为%s数；地格%d为%s数；总格%d为%s数；三才%s%s%s，%s。", reduceNumber(s.grids.ren),
                     elementText(s.ren), luckText(numberLuck(s.grids.ren)), reduceNumber(s.grids.di),
                     luckText(numberLuck(s.grids.di)), reduceNumber(s.grids.zong), luckText(numberLuck(s.grids.zong)),
                     elementText(s.tian), elementText(s.ren), elementText(s.di), luckText(s.sancaiLuck));
  std::string givenElements;
  for (const auto& c : given) givenElements += elementText(c.element);
  d["youdao"] = format("名字五行为%s，八字喜%s；五行得分%d，数理得分%d，音律得分%d。", givenElements.c_str(),
                       joinElements(needs.wanted).c_str(), s.wx, s.jx, s.yy);

  // content
  Json::Value& ct = d["content"];
  ct["sx"] = needs.zodiac;
  NameHexagram hex = nameHexagram(
      [&] { int v = 0; for (const auto& c : surname) v += c.kangxi; return v; }(),
      [&] { int v = 0; for (const auto& c : given) v += c.kangxi; return v; }());
  ct["gx"] = std::to_string(hex.main.number());
  ct["sr"] = format("%02d%02d", ch.beijing.month, ch.beijing.day);
  ct["xz"] = starSign(ch.beijing.month, ch.beijing.day);
  Element first = needs.wanted.empty() ? kEarth : needs.wanted.front();
  ct["jy"] = format("此名综合评分%.2f分。八字日主%s，喜用%s，名字五行%s%s。", s.total, needs.strong ? "偏旺" : "偏弱",
                    joinElements(needs.wanted).c_str(), givenElements.c_str(),
                    s.p6 <= 62 ? "与喜用相合" : s.p6 == 63 ? "平和无碍" : "与八字所忌相冲，宜慎用");
  const ElementAdvice& a = adviceOf(first);
  ct["htbj"] = format("喜用五行为%s，日常可多用%s，居住与发展宜向%s，幸运数字%s。", joinElements(needs.wanted).c_str(),
                      a.colour, a.direction, a.numbers);
  ct["mpys"] = format("名片与常用物品宜选%s为主色。", a.colour);
  ct["kymp"] = format("开运宜佩%s；适合从事%s等行业。", a.items, a.trades);

  NamingResult r;
  r.data = d;
  return r;
}

NamingResult NamingEngine::analyseNickname(const BirthQuestion& birth, const std::string& nickname) const {
  const Impl& m = *impl_;
  if (!m.ready) return failure(kCodeEngineUnavailable, m.error);
  BirthNeeds needs;
  std::vector<NameChar> surname;
  if (auto bad = m.checkBirth(birth, needs, surname)) return *bad;
  auto parts = splitUtf8(nickname);
  if (!parts || parts->empty() || parts->size() > 4) return failure(kCodeOutOfRange, "a nickname has one to four characters");
  std::vector<NameChar> chars;
  for (const auto& c : *parts) {
    chars.push_back(m.nameChar(c));
    if (!chars.back().info) return failure(kCodeOutOfRange, "unknown character in the nickname");
  }
  // The core character: the first one that is not 小, 阿 or 儿.
  NameChar core = chars.front();
  for (const auto& c : chars)
    if (c.info->ch != "小" && c.info->ch != "阿" && c.info->ch != "儿") {
      core = c;
      break;
    }
  NicknameScore s = scoreNickname(needs, surname, chars, core, birth.gender, m.knowledge.zodiac);
  Json::Value d;
  Json::Value words(Json::arrayValue), pp1(Json::arrayValue), pp2(Json::arrayValue), py(Json::arrayValue);
  for (const auto& c : chars) {
    words.append(c.info->ch);
    py.append(c.pinyin);
    pp1.append(c.info->radical);
    pp2.append("");
  }
  d["name"]["words"] = words;
  d["name"]["py"] = py;
  d["name"]["pp1"] = pp1;
  d["name"]["pp2"] = pp2;
  d["name"]["sx"] = needs.zodiac;
  d["score"]["total"] = s.total;
  d["score"]["wx"] = s.wx;
  d["score"]["sx"] = s.sx;
  d["score"]["jx"] = s.jx;
  d["score"]["yy"] = s.yy;
  d["score"]["c"] = s.c;
  int nick = reduceNumber(s.strokes), all = reduceNumber(s.allStrokes);
  Json::Value xm(Json::arrayValue), zong(Json::arrayValue);
  xm.append(std::to_string(nick));
  xm.append(format("小名数理%d，%s", nick, luckText(numberLuck(nick))));
  zong.append(std::to_string(all));
  zong.append(format("姓氏连小名数理%d，%s", all, luckText(numberLuck(all))));
  d["shuli"]["xm"] = xm;
  d["shuli"]["zong"] = zong;
  int need = core.element == kNoElement ? 0 : needs.need[core.element];
  d["jianyi"] = format("小名核心字“%s”五行属%s，%s；宝宝属%s，八字喜%s。小名读音%s，叫起来%s。", core.info->ch.c_str(),
                       elementText(core.element), need > 0 ? "正合八字所喜" : need == 0 ? "与八字平和" : "为八字所忌，可作昵称但不宜入大名",
                       needs.zodiac.c_str(), joinElements(needs.wanted).c_str(), core.pinyin.c_str(),
                       core.tone <= 2 ? "轻柔响亮" : "短促有力");
  NamingResult r;
  r.data = d;
  return r;
}

NamingResult NamingEngine::fortune(const std::string& surnameText, const std::string& givenName) const {
  const Impl& m = *impl_;
  if (!m.ready) return failure(kCodeEngineUnavailable, m.error);
  auto s = m.chars.surname(surnameText);
  if (!s) return failure(kCodeOutOfRange, "unknown surname");
  auto parts = splitUtf8(givenName);
  if (!parts || parts->empty() || parts->size() > 2) return failure(kCodeOutOfRange, "the given name must have one or two characters");
  std::vector<int> sk = s->kangxi, gk;
  for (const auto& c : *parts) {
    const CharInfo* info = m.chars.find(c);
    if (!info) return failure(kCodeOutOfRange, "unknown character in the given name");
    gk.push_back(info->kangxi);
  }
  int sTotal = 0, gTotal = 0;
  for (int v : sk) sTotal += v;
  for (int v : gk) gTotal += v;
  NameHexagram hex = nameHexagram(sTotal, gTotal);
  FiveGrids g = fiveGrids(sk, gk);
  Json::Value d;
  d["gx"] = std::to_string(hex.main.number());
  Json::Value list(Json::arrayValue);
  for (const Hexagram& h : {hex.mutual, hex.changed, hex.opposite}) list.append(format("G%02d", h.number()));
  d["list"] = list;
  // Aspects from the grids: career from 人格, wealth from 总格, love from 外格, health
  // from the three talents, study from 地格.
  Luck aspects[5] = {numberLuck(g.ren), numberLuck(g.zong), numberLuck(g.wai),
                     threeTalentsLuck(numberElement(g.tian), numberElement(g.ren), numberElement(g.di)),
                     numberLuck(g.di)};
  const char* names[5] = {"事业", "财运", "婚恋", "健康", "学业"};
  Json::Value ys(Json::arrayValue);
  for (int i = 0; i < 5; ++i) ys.append(std::string(names[i]) + "-" + luckText(aspects[i]));
  d["ys"] = ys;
  NamingResult r;
  r.data = d;
  return r;
}

}  // namespace norvane::refservice
