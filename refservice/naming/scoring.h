#pragma once
// Scoring of one name for one birth: the eight characters' element needs, the
// sound and shape grades, the grid luck and the weighted total that ranks the
// name pages (ordering.h builds the page order on it). The analysis answers use
// the same figures, so a name's score on a page equals the total of its analysis.
#include <array>
#include <string>
#include <vector>

#include "naming/calendar.h"
#include "naming/numerology.h"
#include "naming/tables.h"

namespace norvane::refservice {

// What the birth asks of a name.
struct BirthNeeds {
  BirthChart chart;
  std::string zodiac;              // 鼠..猪, from the year pillar
  std::array<int, 6> counts{};     // element counts over the eight characters, index = Element
  Element dayMaster = kNoElement;
  bool strong = false;             // the day master is strong (旺)
  std::array<int, 6> need{};       // per element: +1 wanted (喜用), 0 neutral, −1 harmful (忌)
  std::vector<Element> wanted;     // the wanted elements, most useful first
};
// Strength rule: every stem and branch counts 1 and the month branch 2 (9 in all); the
// day master is strong when the elements equal to it or generating it weigh 5 or more.
// Strong: wanted = what it generates and what it overcomes, neutral = what overcomes it,
// harmful = itself and what generates it. Weak: wanted = itself and what generates it,
// neutral = what it generates, harmful = the other two. An element absent from the chart
// that is not harmful counts as wanted.
BirthNeeds birthNeeds(const CivilTime& beijing, double longitude);

Element stemElement(int stem);
Element branchElement(int branch);

// One character of a name as the scorer sees it.
struct NameChar {
  const CharInfo* info = nullptr;
  std::string pinyin;              // the reading used (surname readings for the surname)
  int tone = 5;
  std::string initial, final;
  int kangxi = 0;
  Element element = kNoElement;    // jxjs element when the vocabulary has the character
  char sex = 'n';
  // Verdict of the zodiac on the radical when already known (+1, 0, −1); kUnknownVerdict
  // makes the scorer look it up.
  static constexpr int kUnknownVerdict = 2;
  int zodiacVerdict = kUnknownVerdict;
};
// Reading, tone, initial and final of a pinyin syllable with tone mark.
void splitSyllable(const std::string& syllable, int& tone, std::string& initial, std::string& final);

// Grades 0..3 (0 不理想 … 3 很理想) over the full name (surname and given name).
int toneGrade(const std::vector<NameChar>& full);
int initialGrade(const std::vector<NameChar>& full);
int finalGrade(const std::vector<NameChar>& full);
int shapeGrade(const std::vector<NameChar>& full, size_t surnameLength);

struct NameScore {
  FiveGrids grids;
  Element tian = kNoElement, ren = kNoElement, di = kNoElement, wai = kNoElement, zong = kNoElement;
  int sancaiId = 0;
  Luck sancaiLuck = kBad;
  int wx = 0, sx = 0, jx = 0, yy = 0, gender = 0;  // percentages
  int commonness = 0;
  int sd = 0, sm = 0, ym = 0, zx = 0;               // grades 0..3
  double gridScore = 0;                              // luck of the grids alone, 0..100
  double total = 0;                                  // weighted total, two decimals
  std::vector<int> zodiacVerdicts;                   // per given-name character: +1, 0, −1
  int p6 = 63;
};

// Weights of the total: five elements 30 × wx level, grid luck 25, zodiac 15, sound
// 15 × ny level, gender fit 10 × xb level, shape 5, commonness 5 (levels 0..3 of the
// advanced settings; the defaults are wx 1, ny 1, xb 0). f = Σ weight × part / Σ weight,
// rounded to two decimals. Parts: five elements per given-name character 100 for the most
// wanted element, 92 the second, 88 a missing one, 75 neutral, 45 harmful; grid luck
// (人格 3, 地格 2, 总格 2, 外格 1, three talents 2) with 吉 100, 半吉 70, 凶 35; zodiac
// 宜 100, neutral 80, 忌 40; sound 55 + 5 × (tone + initial + final grades); gender 100 own,
// 85 either, 30 other; shape 55 + 15 × grade; commonness 100 − (list position − 1) / 35.
struct ScoreWeights {
  int wx = 1, ny = 1, xb = 0;
};
NameScore scoreName(const BirthNeeds& needs, const std::vector<NameChar>& surname,
                    const std::vector<NameChar>& given, int gender, const ZodiacRadicals& zodiac,
                    const ScoreWeights& weights);

}  // namespace norvane::refservice
