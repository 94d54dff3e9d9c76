// Grid arithmetic, number luck, element relations and hexagrams.
#include <gtest/gtest.h>

#include <set>

#include "naming/numerology.h"

using namespace norvane::refservice;

TEST(FiveGrids, SingleAndCompoundSurnamesWithOneAndTwoCharacterNames) {
  struct Case {
    std::vector<int> surname, given;
    int tian, ren, di, wai, zong;
  } cases[] = {
      {{4}, {8}, 5, 12, 9, 2, 12},           // single + single: both borrowed ones
      {{11}, {11, 12}, 12, 22, 23, 13, 34},  // single + double
      {{15, 17}, {8}, 32, 25, 9, 16, 40},    // compound + single
      {{16, 15}, {4, 14}, 31, 19, 18, 30, 49},  // compound + double
  };
  for (const auto& c : cases) {
    FiveGrids g = fiveGrids(c.surname, c.given);
    EXPECT_EQ(g.tian, c.tian);
    EXPECT_EQ(g.ren, c.ren);
    EXPECT_EQ(g.di, c.di);
    EXPECT_EQ(g.wai, c.wai);
    EXPECT_EQ(g.zong, c.zong);
  }
}

TEST(NumberLuck, ReductionElementsAndLuck) {
  EXPECT_EQ(reduceNumber(81), 81);
  EXPECT_EQ(reduceNumber(82), 2);
  EXPECT_EQ(reduceNumber(161), 81);  // subtract 80 until 81 or less
  EXPECT_EQ(reduceNumber(162), 2);
  EXPECT_EQ(numberElement(12), kWood);
  EXPECT_EQ(numberElement(23), kFire);
  EXPECT_EQ(numberElement(15), kEarth);
  EXPECT_EQ(numberElement(48), kMetal);
  EXPECT_EQ(numberElement(30), kWater);
  EXPECT_EQ(numberLuck(24), kGood);
  EXPECT_EQ(numberLuck(22), kBad);
  EXPECT_EQ(numberLuck(27), kHalf);
  EXPECT_EQ(numberLuck(104), kGood);  // 104 − 80 = 24
}

TEST(ElementRelations, GenerationOvercomingAndCombinationCodes) {
  EXPECT_TRUE(generates(kWater, kWood));
  EXPECT_TRUE(generates(kMetal, kWater));
  EXPECT_FALSE(generates(kWood, kWater));
  EXPECT_TRUE(overcomes(kMetal, kWood));
  EXPECT_TRUE(overcomes(kWater, kFire));
  EXPECT_FALSE(overcomes(kFire, kWater));
  // The self is the 人格 element.
  EXPECT_EQ(relationToSelf(kFire, kWood), 1);   // 木 generates 火
  EXPECT_EQ(relationToSelf(kFire, kEarth), 2);  // 火 generates 土
  EXPECT_EQ(relationToSelf(kFire, kFire), 3);
  EXPECT_EQ(relationToSelf(kFire, kMetal), 4);  // 火 overcomes 金
  EXPECT_EQ(relationToSelf(kFire, kWater), 5);  // 水 overcomes 火
  EXPECT_EQ(threeTalentsId(kWood, kFire, kEarth), 123);
  EXPECT_EQ(threeTalentsLuck(kWood, kFire, kEarth), kGood);
  EXPECT_EQ(threeTalentsLuck(kWater, kFire, kMetal), kBad);
}

TEST(Hexagrams, NumbersAndDerivedHexagrams) {
  EXPECT_EQ(hexagramNumber(6, 4), 3);   // 坎 over 震: 水雷屯
  EXPECT_EQ(hexagramNumber(1, 1), 1);
  EXPECT_EQ(hexagramNumber(8, 8), 2);
  EXPECT_EQ(hexagramNumber(8, 1), 11);  // 地天泰
  EXPECT_EQ(hexagramNumber(1, 8), 12);  // 天地否
  EXPECT_EQ(hexagramNumber(3, 6), 64);  // 火水未济
  EXPECT_EQ(hexagramNumber(0, 9), 0);
  // Every trigram pair has its own number.
  std::set<int> seen;
  for (int u = 1; u <= 8; ++u)
    for (int l = 1; l <= 8; ++l) seen.insert(hexagramNumber(u, l));
  EXPECT_EQ(seen.size(), 64u);
  EXPECT_EQ(*seen.begin(), 1);
  EXPECT_EQ(*seen.rbegin(), 64);

  // 水雷屯 with its first line moving: mutual 山地剥, changed 水地比, opposite 火风鼎.
  NameHexagram zhun = relatedHexagrams({6, 4}, 1);
  EXPECT_EQ(zhun.main.number(), 3);
  EXPECT_EQ(zhun.mutual.number(), 23);
  EXPECT_EQ(zhun.changed.number(), 8);
  EXPECT_EQ(zhun.opposite.number(), 50);

  // Strokes 8 and 8: 坤 over 坤, moving line (16 mod 6) = 4.
  NameHexagram h = nameHexagram(8, 8);
  EXPECT_EQ(h.main.number(), 2);
  EXPECT_EQ(h.movingLine, 4);
  EXPECT_EQ(h.mutual.number(), 2);
  EXPECT_EQ(h.opposite.number(), 1);
  EXPECT_EQ(h.changed.number(), 16);  // fourth line turns: 震 over 坤, 雷地豫
  // Strokes 9 and 9: 乾 over 乾, moving line 6: 泽天夬.
  NameHexagram q = nameHexagram(9, 9);
  EXPECT_EQ(q.main.number(), 1);
  EXPECT_EQ(q.changed.number(), 43);
}
