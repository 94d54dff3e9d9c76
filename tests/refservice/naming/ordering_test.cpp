// The variety order of name pages on small hand-made sets: the penalty for characters
// used above, ties, names without free characters, and the end of the rule's reach.
#include <gtest/gtest.h>

#include <numeric>

#include "naming/ordering.h"

using namespace norvane::refservice;

TEST(VarietyOrder, PlacesBestRankFirstWithThePenaltyForUsedCharacters) {
  struct Case {
    const char* label;
    std::vector<OrderItem> items;
    std::vector<size_t> expected;
  } cases[] = {
      {"empty", {}, {}},
      {"a repeated character moves down", {{9000, {1, 2}}, {8990, {1, 3}}, {8950, {4, 5}}}, {0, 2, 1}},
      {"a small lead survives when the penalty does not outweigh it",
       {{9000, {1, 2}}, {8880, {3, 4}}, {8990, {1, 5}}}, {0, 2, 1}},
      {"equal ranks keep the given order", {{9000, {1, 2}}, {8900, {3, 4}}, {9000, {1, 5}}}, {0, 1, 2}},
      // After 0: 1 ranks 8990 − 200 (both its characters used), 2 8850, 3 8800 − 100.
      // After 2: 1 still 8790, 3 8700. Then 3 pays for 1 used twice: 8600.
      {"uses add up over characters and names",
       {{9000, {1, 2}}, {8990, {1, 2}}, {8850, {3, 4}}, {8800, {1, 5}}}, {0, 2, 1, 3}},
      {"names without free characters keep score order", {{9000, {-1, -1}}, {8999, {-1, -1}}, {8000, {-1, 7}}}, {0, 1, 2}},
      {"the best name stays first even when all share a character", {{7000, {1, 2}}, {6999, {1, 3}}, {6998, {1, 4}}}, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(varietyOrder(c.items), c.expected) << c.label;
  }
}

TEST(VarietyOrder, NamesBeyondTheRulesReachKeepTheGivenOrder) {
  // A (7,8), B (7,9), C (10,11): within the rule's reach C goes before B, which shares 7
  // with A; when A takes the last place the rule decides, B and C follow in given order.
  std::vector<OrderItem> tail = {{9000, {7, 8}}, {8999, {7, 9}}, {8950, {10, 11}}};
  EXPECT_EQ(varietyOrder(tail), (std::vector<size_t>{0, 2, 1}));

  std::vector<OrderItem> items(kVarietyPlaces - 1, OrderItem{10000, {-1, -1}});
  items.insert(items.end(), tail.begin(), tail.end());
  std::vector<size_t> order = varietyOrder(items);
  std::vector<size_t> given(items.size());
  std::iota(given.begin(), given.end(), 0);
  EXPECT_EQ(order, given);
}

TEST(VarietyOrder, LowerGroupsFirstAndAtMostTwoUsesOfACharacterPerBlock) {
  // Group 0 (names from a classical line) goes before group 1 whatever the scores.
  EXPECT_EQ(varietyOrder({{9000, {1, 2}, 1}, {8000, {3, 4}, 0}, {7000, {5, 6}, 0}}), (std::vector<size_t>{1, 2, 0}));

  // Three strong names share 1: the third would rank 9780 after two uses, above every
  // other name, but a block of ten holds 1 twice at most; it opens the next block.
  std::vector<OrderItem> items = {{10000, {1, 10}}, {9990, {1, 11}}, {9980, {1, 12}}};
  for (int i = 0; i < 9; ++i) items.push_back({5000 - i, {20 + i, 40 + i}});
  EXPECT_EQ(varietyOrder(items), (std::vector<size_t>{0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 2, 11}));

  // The limit holds across groups: a name of group 1 fills the place rather than a third
  // use of 1 within the block.
  std::vector<OrderItem> mixed = {{9000, {1, 2}}, {8990, {1, 3}}, {8980, {1, 4}}, {1000, {5, 6}, 1}};
  EXPECT_EQ(varietyOrder(mixed), (std::vector<size_t>{0, 1, 3, 2}));
}
