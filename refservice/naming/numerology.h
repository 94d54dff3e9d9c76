#pragma once
// Name numerology from Kangxi-style strokes: the five grids, the three talents,
// the luck of the 81 numbers, the relations of the elements, and the hexagram of
// a name.
#include <array>
#include <string>
#include <vector>

#include "naming/tables.h"

namespace norvane::refservice {

enum Luck { kBad = 0, kHalf = 1, kGood = 2 };
const char* luckText(Luck l);  // 凶 半吉 吉

// 1..81; larger numbers are reduced by 80 until they fit.
int reduceNumber(int n);
Luck numberLuck(int n);
// Element of a grid number by its last digit: 1,2 木; 3,4 火; 5,6 土; 7,8 金; 9,0 水.
Element numberElement(int n);

struct FiveGrids {
  int tian = 0, ren = 0, di = 0, wai = 0, zong = 0;  // unreduced sums
};
// Grids of a surname (one or two stroke counts) and a given name (one or two).
//   天格 = surname total, +1 for a single surname
//   人格 = last surname character + first given-name character
//   地格 = given-name total, +1 for a single given name
//   外格 = 天格 + 地格 − 人格 (the "borrowed" ones of single parts included)
//   总格 = all strokes
FiveGrids fiveGrids(const std::vector<int>& surname, const std::vector<int>& given);

// Relation of the self (人格 element) to another element: 1 X generates the self,
// 2 the self generates X, 3 same, 4 the self overcomes X, 5 X overcomes the self.
int relationToSelf(Element self, Element other);
bool generates(Element a, Element b);  // 木→火→土→金→水→木
bool overcomes(Element a, Element b);  // 木→土→水→火→金→木

// Three talents (天 人 地 elements): key 100t+10r+d, luck by the two relations
// (天 with 人, 人 with 地): generation either way or sameness is good, the self being
// overcome is bad.
int threeTalentsId(Element t, Element r, Element d);
Luck threeTalentsLuck(Element t, Element r, Element d);

// Hexagrams. Trigrams are numbered 1..8 in the order 乾 兑 离 震 巽 坎 艮 坤; lines
// run from the bottom (bit 0) up.
int hexagramNumber(int upperTrigram, int lowerTrigram);  // received order 1..64
struct Hexagram {
  int upper = 1, lower = 1;
  int number() const { return hexagramNumber(upper, lower); }
};
// The name's hexagram: upper trigram from the surname's strokes, lower from the given
// name's, each counted modulo 8 (0 counts as 8); the moving line from all strokes modulo 6
// (0 counts as 6).
struct NameHexagram {
  Hexagram main, mutual, changed, opposite;
  int movingLine = 1;
};
NameHexagram nameHexagram(int surnameStrokes, int givenStrokes);
// The mutual (lines 2-4 below, 3-5 above), changed (the moving line turned) and opposite
// (every line turned) hexagrams of a hexagram; movingLine 1..6 from the bottom.
NameHexagram relatedHexagrams(Hexagram main, int movingLine);

}  // namespace norvane::refservice
