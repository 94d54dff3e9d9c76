#pragma once
// The order of a name page: sourced names before the others, best rank first, but a
// name whose characters were already used by the names placed before it moves down,
// so that one page does not offer the same character over and over.
#include <array>
#include <cstddef>
#include <vector>

namespace norvane::refservice {

// Rank penalty, in hundredths of a score point, for each earlier use of one of a name's
// characters: a name with characters used k times in all before it ranks as rank − k × 1.00.
constexpr int kRepeatPenalty = 100;

// The names are placed in blocks of this many (a page of the client), and within one
// block no character stands in more than kMaxUsesPerBlock names while another name
// that keeps the limit is left to place.
constexpr size_t kPageBlock = 10;
constexpr int kMaxUsesPerBlock = 2;

// The rule places this many names (200 pages of ten); the names after them keep the
// given order, which bounds the work on a set of 90 000 names.
constexpr size_t kVarietyPlaces = 2000;

// One name to place: its group (0 first: every name of a lower group is placed before
// any of a higher one, limits allowing), its rank in hundredths and the ids of its free
// characters (−1 for none; a fixed character the user chose is in every name and is
// left out).
struct OrderItem {
  int score = 0;
  std::array<int, 2> chars{-1, -1};
  int group = 0;
};

// The placing order of items (given by group, then best first, ties already broken):
// greedily, the next name is the one of the lowest group with the highest
// score − kRepeatPenalty × (uses of its characters among the names placed so far) that
// keeps the block limit; equal ranks keep the given order. When no name keeps the limit
// the best of the others is placed. After kVarietyPlaces names the rest follow in the
// given order. Deterministic, a permutation of 0..n−1, and the first item always stays first.
std::vector<size_t> varietyOrder(const std::vector<OrderItem>& items);

}  // namespace norvane::refservice
