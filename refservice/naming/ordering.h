#pragma once
// The order of a name page: best score first, but a name whose characters were already
// used by the names placed before it moves down, so that one page does not offer the
// same character over and over.
#include <array>
#include <cstddef>
#include <vector>

namespace norvane::refservice {

// Rank penalty, in hundredths of a score point, for each earlier use of one of a name's
// characters: a name with characters used k times in all before it ranks as f − k × 1.00.
constexpr int kRepeatPenalty = 100;

// The rule places this many names (200 pages of ten); the names after them keep the
// given order, which bounds the work on a set of 90 000 names.
constexpr size_t kVarietyPlaces = 2000;

// One name to place: its score in hundredths and the ids of its free characters (−1 for
// none; a fixed character the user chose is in every name and is left out).
struct OrderItem {
  int score = 0;
  std::array<int, 2> chars{-1, -1};
};

// The placing order of items (given best first, ties already broken): greedily, the next
// name is the one with the highest score − kRepeatPenalty × (uses of its characters among
// the names placed so far); equal ranks keep the given order. After kVarietyPlaces names
// the rest follow in the given order. Deterministic, a permutation
// of 0..n−1, and the first item always stays first.
std::vector<size_t> varietyOrder(const std::vector<OrderItem>& items);

}  // namespace norvane::refservice
