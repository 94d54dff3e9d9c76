#include "naming/numerology.h"

#include <algorithm>
#include <set>

namespace norvane::refservice {

const char* luckText(Luck l) {
  switch (l) {
    case kGood: return "吉";
    case kHalf: return "半吉";
    default: return "凶";
  }
}

int reduceNumber(int n) {
  if (n < 1) return 1;
  while (n > 81) n -= 80;
  return n;
}

Luck numberLuck(int n) {
  static const std::set<int> good = {1,  3,  5,  6,  7,  8,  11, 13, 15, 16, 17, 18, 21, 23, 24, 25, 29, 31,
                                     32, 33, 35, 37, 39, 41, 45, 47, 48, 52, 57, 61, 63, 65, 67, 68, 81};
  static const std::set<int> half = {26, 27, 30, 38, 49, 51, 55, 58, 71, 73, 75};
  n = reduceNumber(n);
  if (good.count(n)) return kGood;
  if (half.count(n)) return kHalf;
  return kBad;
}

Element numberElement(int n) {
  static const Element byDigit[10] = {kWater, kWood, kWood, kFire, kFire, kEarth, kEarth, kMetal, kMetal, kWater};
  return byDigit[((n % 10) + 10) % 10];
}

FiveGrids fiveGrids(const std::vector<int>& s, const std::vector<int>& g) {
  FiveGrids f;
  int sTotal = 0, gTotal = 0;
  for (int v : s) sTotal += v;
  for (int v : g) gTotal += v;
  f.tian = s.size() == 1 ? sTotal + 1 : sTotal;
  f.ren = (s.empty() ? 0 : s.back()) + (g.empty() ? 0 : g.front());
  f.di = g.size() == 1 ? gTotal + 1 : gTotal;
  f.wai = f.tian + f.di - f.ren;
  f.zong = sTotal + gTotal;
  return f;
}

bool generates(Element a, Element b) {
  if (a == kNoElement || b == kNoElement) return false;
  return (a % 5) + 1 == b;  // 木1→火2→土3→金4→水5→木1
}

bool overcomes(Element a, Element b) {
  if (a == kNoElement || b == kNoElement) return false;
  return ((a + 1) % 5) + 1 == b;  // 木1→土3, 火2→金4, 土3→水5, 金4→木1, 水5→火2
}

int relationToSelf(Element self, Element x) {
  if (generates(x, self)) return 1;
  if (generates(self, x)) return 2;
  if (self == x) return 3;
  if (overcomes(self, x)) return 4;
  return 5;
}

int threeTalentsId(Element t, Element r, Element d) { return 100 * t + 10 * r + d; }

Luck threeTalentsLuck(Element t, Element r, Element d) {
  auto pair = [](Element upper, Element lower) {
    if (generates(upper, lower) || generates(lower, upper) || upper == lower) return 2;
    if (overcomes(lower, upper)) return 1;  // the lower overcoming the upper: strain
    return 0;                               // the upper overcoming the lower
  };
  int score = pair(t, r) + pair(r, d);
  if (score >= 4) return kGood;
  if (score >= 2) return kHalf;
  return kBad;
}

int hexagramNumber(int upper, int lower) {
  // Rows: upper trigram; columns: lower trigram; order 乾 兑 离 震 巽 坎 艮 坤.
  static const int table[8][8] = {
      {1, 10, 13, 25, 44, 6, 33, 12},  {43, 58, 49, 17, 28, 47, 31, 45}, {14, 38, 30, 21, 50, 64, 56, 35},
      {34, 54, 55, 51, 32, 40, 62, 16}, {9, 61, 37, 42, 57, 59, 53, 20},  {5, 60, 63, 3, 48, 29, 39, 8},
      {26, 41, 22, 27, 18, 4, 52, 23},  {11, 19, 36, 24, 46, 7, 15, 2}};
  if (upper < 1 || upper > 8 || lower < 1 || lower > 8) return 0;
  return table[upper - 1][lower - 1];
}

namespace {
// Lines of each trigram, bottom line in bit 0 (1 = unbroken).
constexpr int kTrigramLines[8] = {0b111, 0b011, 0b101, 0b001, 0b110, 0b010, 0b100, 0b000};

int trigramOfLines(int lines) {
  for (int i = 0; i < 8; ++i)
    if (kTrigramLines[i] == lines) return i + 1;
  return 8;
}
int linesOf(const Hexagram& h) { return kTrigramLines[h.lower - 1] | (kTrigramLines[h.upper - 1] << 3); }
Hexagram ofLines(int lines) { return {trigramOfLines((lines >> 3) & 7), trigramOfLines(lines & 7)}; }
}  // namespace

NameHexagram nameHexagram(int surnameStrokes, int givenStrokes) {
  auto mod1 = [](int v, int m) { int r = ((v % m) + m) % m; return r == 0 ? m : r; };
  return relatedHexagrams({mod1(surnameStrokes, 8), mod1(givenStrokes, 8)}, mod1(surnameStrokes + givenStrokes, 6));
}

NameHexagram relatedHexagrams(Hexagram main, int movingLine) {
  NameHexagram n;
  n.main = main;
  n.movingLine = std::clamp(movingLine, 1, 6);
  int lines = linesOf(n.main);
  // Mutual: lines 2-4 below, 3-5 above.
  n.mutual = ofLines(((lines >> 1) & 7) | (((lines >> 2) & 7) << 3));
  n.changed = ofLines(lines ^ (1 << (n.movingLine - 1)));
  n.opposite = ofLines(lines ^ 0b111111);
  return n;
}

}  // namespace norvane::refservice
