#include "naming/ordering.h"

#include <functional>
#include <queue>
#include <tuple>
#include <unordered_map>

namespace norvane::refservice {

std::vector<size_t> varietyOrder(const std::vector<OrderItem>& items) {
  // Uses of each character among the names placed so far, and within the current block.
  std::unordered_map<int, long> uses;
  std::unordered_map<int, int> blockUses;
  auto usesOf = [&](const OrderItem& it) {
    long k = 0;
    for (int c : it.chars)
      if (c >= 0) {
        auto u = uses.find(c);
        if (u != uses.end()) k += u->second;
      }
    return k;
  };
  auto overBlockLimit = [&](const OrderItem& it) {
    for (int c : it.chars)
      if (c >= 0) {
        auto u = blockUses.find(c);
        if (u != blockUses.end() && u->second >= kMaxUsesPerBlock) return true;
      }
    return false;
  };
  // A name's rank only falls as characters get used, so a rank computed earlier is an
  // upper bound: take the top entry when its rank is still current, else re-rank it and
  // put it back (lazy greedy). Entries: −group, rank, −index (equal ranks: given order
  // first), the uses the rank was computed with.
  using Entry = std::tuple<long, long, long, long>;
  std::vector<Entry> entries;
  entries.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i)
    entries.emplace_back(-static_cast<long>(items[i].group), static_cast<long>(items[i].score), -static_cast<long>(i), 0L);
  std::priority_queue<Entry> heap(std::less<Entry>(), std::move(entries));
  std::vector<Entry> deferred;  // names over the block limit, back in the heap at the next block
  bool relaxed = false;         // no name kept the limit: this block takes the others
  std::vector<size_t> order;
  order.reserve(items.size());
  std::vector<bool> placed(items.size(), false);
  while (order.size() < kVarietyPlaces) {
    if (heap.empty()) {
      if (deferred.empty()) break;
      for (const Entry& e : deferred) heap.push(e);
      deferred.clear();
      relaxed = true;
    }
    auto [group, rank, negIndex, seen] = heap.top();
    heap.pop();
    size_t i = static_cast<size_t>(-negIndex);
    long k = usesOf(items[i]);
    if (k != seen) {
      heap.emplace(group, static_cast<long>(items[i].score) - kRepeatPenalty * k, negIndex, k);
      continue;
    }
    if (!relaxed && overBlockLimit(items[i])) {
      deferred.emplace_back(group, rank, negIndex, seen);
      continue;
    }
    order.push_back(i);
    placed[i] = true;
    for (int c : items[i].chars)
      if (c >= 0) {
        ++uses[c];
        ++blockUses[c];
      }
    if (order.size() % kPageBlock == 0) {
      blockUses.clear();
      relaxed = false;
      for (const Entry& e : deferred) heap.push(e);
      deferred.clear();
    }
  }
  for (size_t i = 0; i < items.size(); ++i)
    if (!placed[i]) order.push_back(i);
  return order;
}

}  // namespace norvane::refservice
