#include "naming/ordering.h"

#include <functional>
#include <queue>
#include <tuple>
#include <unordered_map>

namespace norvane::refservice {

std::vector<size_t> varietyOrder(const std::vector<OrderItem>& items) {
  // Uses of each character among the names placed so far.
  std::unordered_map<int, long> uses;
  auto usesOf = [&](const OrderItem& it) {
    long k = 0;
    for (int c : it.chars)
      if (c >= 0) {
        auto u = uses.find(c);
        if (u != uses.end()) k += u->second;
      }
    return k;
  };
  // A name's rank only falls as characters get used, so a rank computed earlier is an
  // upper bound: take the top entry when its rank is still current, else re-rank it and
  // put it back (lazy greedy). Entries: rank, −index (equal ranks: given order first),
  // the uses the rank was computed with.
  using Entry = std::tuple<long, long, long>;
  std::vector<Entry> entries;
  entries.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) entries.emplace_back(static_cast<long>(items[i].score), -static_cast<long>(i), 0L);
  std::priority_queue<Entry> heap(std::less<Entry>(), std::move(entries));
  std::vector<size_t> order;
  order.reserve(items.size());
  std::vector<bool> placed(items.size(), false);
  while (!heap.empty() && order.size() < kVarietyPlaces) {
    auto [rank, negIndex, seen] = heap.top();
    heap.pop();
    size_t i = static_cast<size_t>(-negIndex);
    long k = usesOf(items[i]);
    if (k != seen) {
      heap.emplace(static_cast<long>(items[i].score) - kRepeatPenalty * k, negIndex, k);
      continue;
    }
    order.push_back(i);
    placed[i] = true;
    for (int c : items[i].chars)
      if (c >= 0) ++uses[c];
  }
  for (size_t i = 0; i < items.size(); ++i)
    if (!placed[i]) order.push_back(i);
  return order;
}

}  // namespace norvane::refservice
