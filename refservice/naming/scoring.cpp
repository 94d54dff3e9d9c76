#include "naming/scoring.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace norvane::refservice {

Element stemElement(int stem) { return static_cast<Element>(((stem % 10 + 10) % 10) / 2 + 1); }

Element branchElement(int branch) {
  static const Element e[12] = {kWater, kEarth, kWood, kWood, kEarth, kFire,
                                kFire,  kEarth, kMetal, kMetal, kEarth, kWater};
  return e[((branch % 12) + 12) % 12];
}

namespace {
Element generatedBy(Element e) { return static_cast<Element>(e % 5 + 1); }   // what e generates
Element generatorOf(Element e) { return static_cast<Element>((e + 3) % 5 + 1); }
Element overcomeBy(Element e) { return static_cast<Element>((e + 1) % 5 + 1); }  // what e overcomes
Element overcomerOf(Element e) { return static_cast<Element>((e + 2) % 5 + 1); }
}  // namespace

BirthNeeds birthNeeds(const CivilTime& beijing, double longitude) {
  BirthNeeds n;
  n.chart = computeChart(beijing, longitude);
  n.zodiac = kZodiac[branchOf(n.chart.pillars[0])];
  std::array<int, 6> weight{};
  for (int i = 0; i < 4; ++i) {
    Element s = stemElement(stemOf(n.chart.pillars[i]));
    Element b = branchElement(branchOf(n.chart.pillars[i]));
    n.counts[s]++;
    n.counts[b]++;
    weight[s] += 1;
    weight[b] += (i == 1) ? 2 : 1;
  }
  n.dayMaster = stemElement(stemOf(n.chart.pillars[2]));
  Element dm = n.dayMaster;
  n.strong = weight[dm] + weight[generatorOf(dm)] >= 5;
  if (n.strong) {
    n.need[generatedBy(dm)] = 1;
    n.need[overcomeBy(dm)] = 1;
    n.need[overcomerOf(dm)] = 0;
    n.need[dm] = -1;
    n.need[generatorOf(dm)] = -1;
    n.wanted = {generatedBy(dm), overcomeBy(dm)};
  } else {
    n.need[dm] = 1;
    n.need[generatorOf(dm)] = 1;
    n.need[generatedBy(dm)] = 0;
    n.need[overcomeBy(dm)] = -1;
    n.need[overcomerOf(dm)] = -1;
    n.wanted = {generatorOf(dm), dm};
  }
  for (int e = kWood; e <= kWater; ++e) {
    if (n.counts[e] == 0 && n.need[e] == 0) {
      n.need[e] = 1;
      n.wanted.push_back(static_cast<Element>(e));
    }
  }
  return n;
}

void splitSyllable(const std::string& syllable, int& tone, std::string& initial, std::string& final) {
  static const std::map<std::string, std::pair<char, int>> marks = {
      {"ā", {'a', 1}}, {"á", {'a', 2}}, {"ǎ", {'a', 3}}, {"à", {'a', 4}}, {"ē", {'e', 1}}, {"é", {'e', 2}},
      {"ě", {'e', 3}}, {"è", {'e', 4}}, {"ī", {'i', 1}}, {"í", {'i', 2}}, {"ǐ", {'i', 3}}, {"ì", {'i', 4}},
      {"ō", {'o', 1}}, {"ó", {'o', 2}}, {"ǒ", {'o', 3}}, {"ò", {'o', 4}}, {"ū", {'u', 1}}, {"ú", {'u', 2}},
      {"ǔ", {'u', 3}}, {"ù", {'u', 4}}, {"ǖ", {'v', 1}}, {"ǘ", {'v', 2}}, {"ǚ", {'v', 3}}, {"ǜ", {'v', 4}},
      {"ü", {'v', 5}}, {"ń", {'n', 2}}, {"ň", {'n', 3}}, {"ǹ", {'n', 4}}, {"ḿ", {'m', 2}}};
  std::string plain;
  tone = 5;
  auto chars = splitUtf8(syllable);
  if (chars) {
    for (const auto& c : *chars) {
      auto it = marks.find(c);
      if (it != marks.end()) {
        plain += it->second.first;
        if (it->second.second != 5) tone = it->second.second;
      } else if (c.size() == 1) {
        plain += c;
      }
    }
  }
  static const char* const initials[] = {"zh", "ch", "sh", "b", "p", "m", "f", "d", "t", "n", "l", "g",
                                         "k",  "h",  "j",  "q", "x", "r", "z", "c", "s", "y", "w"};
  initial.clear();
  for (const char* ini : initials) {
    std::string s(ini);
    if (plain.size() > s.size() && plain.compare(0, s.size(), s) == 0) {
      initial = s;
      break;
    }
  }
  final = plain.substr(initial.size());
  if ((initial == "j" || initial == "q" || initial == "x" || initial == "y") && !final.empty() && final[0] == 'u')
    final[0] = 'v';
}

int toneGrade(const std::vector<NameChar>& full) {
  if (full.size() < 2) return 3;
  int grade = 3;
  bool anyLevel = false, anyOblique = false;
  for (const auto& c : full) (c.tone == 1 || c.tone == 2 ? anyLevel : anyOblique) = true;
  if (!(anyLevel && anyOblique)) grade -= 2;
  for (size_t i = 1; i < full.size(); ++i) {
    if (full[i].tone == full[i - 1].tone) grade -= 1;
    if (full[i].tone == 3 && full[i - 1].tone == 3) grade -= 1;
  }
  return std::clamp(grade, 0, 3);
}

namespace {
// 3: no sound repeats; 2: a repeat between characters that do not touch; 1: one pair of
// neighbours repeats; 0: more than one pair of neighbours repeats.
int repeatGrade(const std::vector<std::string>& sounds) {
  int adjacent = 0;
  bool distant = false;
  for (size_t i = 0; i < sounds.size(); ++i) {
    for (size_t j = i + 1; j < sounds.size(); ++j) {
      if (sounds[i].empty() || sounds[i] != sounds[j]) continue;
      if (j == i + 1) ++adjacent;
      else distant = true;
    }
  }
  if (adjacent >= 2) return 0;
  if (adjacent == 1) return 1;
  return distant ? 2 : 3;
}
}  // namespace

int initialGrade(const std::vector<NameChar>& full) {
  std::vector<std::string> s;
  for (const auto& c : full) s.push_back(c.initial);
  return repeatGrade(s);
}

int finalGrade(const std::vector<NameChar>& full) {
  std::vector<std::string> s;
  for (const auto& c : full) s.push_back(c.final);
  return repeatGrade(s);
}

int shapeGrade(const std::vector<NameChar>& full, size_t surnameLength) {
  int penalty = 0;
  for (size_t i = 1; i < full.size(); ++i) {
    if (full[i].info && full[i - 1].info && !full[i].info->radical.empty() &&
        full[i].info->radical == full[i - 1].info->radical)
      ++penalty;
  }
  int minStrokes = 99, maxStrokes = 0;
  for (size_t i = surnameLength; i < full.size(); ++i) {
    int s = full[i].info ? full[i].info->strokes : 0;
    if (s > 20) ++penalty;
    minStrokes = std::min(minStrokes, s);
    maxStrokes = std::max(maxStrokes, s);
  }
  if (full.size() - surnameLength >= 2 && maxStrokes - minStrokes > 12) ++penalty;
  return std::clamp(3 - penalty, 0, 3);
}

NameScore scoreName(const BirthNeeds& needs, const std::vector<NameChar>& surname,
                    const std::vector<NameChar>& given, int gender, const ZodiacRadicals& zodiac,
                    const ScoreWeights& weights) {
  NameScore s;
  std::vector<int> sk, gk;
  for (const auto& c : surname) sk.push_back(c.kangxi);
  for (const auto& c : given) gk.push_back(c.kangxi);
  s.grids = fiveGrids(sk, gk);
  s.tian = numberElement(s.grids.tian);
  s.ren = numberElement(s.grids.ren);
  s.di = numberElement(s.grids.di);
  s.wai = numberElement(s.grids.wai);
  s.zong = numberElement(s.grids.zong);
  s.sancaiId = threeTalentsId(s.tian, s.ren, s.di);
  s.sancaiLuck = threeTalentsLuck(s.tian, s.ren, s.di);

  auto luckPoints = [](Luck l) { return l == kGood ? 100.0 : l == kHalf ? 70.0 : 35.0; };
  s.gridScore = (3 * luckPoints(numberLuck(s.grids.ren)) + 2 * luckPoints(numberLuck(s.grids.di)) +
                 2 * luckPoints(numberLuck(s.grids.zong)) + 1 * luckPoints(numberLuck(s.grids.wai)) +
                 2 * luckPoints(s.sancaiLuck)) /
                10.0;
  s.jx = static_cast<int>(std::lround(s.gridScore));

  double wx = 0, sx = 0, sex = 0, common = 0;
  int wanted = 0, harmful = 0;
  for (const auto& c : given) {
    int need = c.element == kNoElement ? 0 : needs.need[c.element];
    if (need > 0) {
      // The most useful element first: 100, the second 92, an element the chart lacks 88.
      auto pos = std::find(needs.wanted.begin(), needs.wanted.end(), c.element) - needs.wanted.begin();
      wx += pos == 0 ? 100 : pos == 1 ? 92 : 88;
    } else {
      wx += need == 0 ? 75 : 45;
    }
    wanted += need > 0;
    harmful += need < 0;
    int v = c.zodiacVerdict != NameChar::kUnknownVerdict
                ? c.zodiacVerdict
                : zodiac.verdict(needs.zodiac, c.info ? c.info->radical : std::string());
    s.zodiacVerdicts.push_back(v);
    sx += v > 0 ? 100 : v == 0 ? 80 : 40;
    char own = gender == 2 ? 'f' : 'm';
    sex += c.sex == own ? 100 : c.sex == 'n' ? 85 : 30;
    int rank = c.info ? c.info->rank : 9999;
    common += std::max(0.0, 100.0 - (rank - 1) / 35.0);
  }
  double n = given.empty() ? 1.0 : static_cast<double>(given.size());
  s.wx = static_cast<int>(std::lround(wx / n));
  s.sx = static_cast<int>(std::lround(sx / n));
  s.gender = static_cast<int>(std::lround(sex / n));
  s.commonness = static_cast<int>(std::lround(common / n));
  if (harmful >= 2) s.p6 = 65;
  else if (harmful == 1) s.p6 = 64;
  else if (wanted == static_cast<int>(given.size()) && wanted > 0) s.p6 = 61;
  else if (wanted > 0) s.p6 = 62;
  else s.p6 = 63;

  std::vector<NameChar> full = surname;
  full.insert(full.end(), given.begin(), given.end());
  s.sd = toneGrade(full);
  s.sm = initialGrade(full);
  s.ym = finalGrade(full);
  s.zx = shapeGrade(full, surname.size());
  s.yy = 55 + 5 * (s.sd + s.sm + s.ym);

  double wWx = 30.0 * weights.wx, wJx = 25.0, wSx = 15.0, wYy = 15.0 * weights.ny, wSex = 10.0 * weights.xb,
         wZx = 5.0, wCommon = 5.0;
  double sum = wWx * s.wx + wJx * s.gridScore + wSx * s.sx + wYy * s.yy + wSex * s.gender + wZx * (55 + 15 * s.zx) +
               wCommon * s.commonness;
  double total = sum / (wWx + wJx + wSx + wYy + wSex + wZx + wCommon);
  s.total = std::round(total * 100.0) / 100.0;
  return s;
}

}  // namespace norvane::refservice
