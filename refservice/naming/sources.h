#pragma once
// The classical lines names are taken from (sources.tsv: book, title, author, line) and
// the lookup of a given name's best line: the line that holds the name's characters in
// their order, a word of the line (two neighbours of one beat of its metre: 婉如 | 清扬)
// before two characters of one clause, before two characters of one couplet.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace norvane::refservice {

// The books of the table, in this order (index = BookId).
enum BookId { kShijing = 0, kChuci, kTangshi, kSongci, kLunyu, kCaocao, kNalan, kBookCount };
// Book names as the answers carry them ("诗经", "唐诗三百首" ...).
const char* bookName(int book);
// The book chosen in the advanced settings ("cc": "诗经", "楚辞", "唐诗", "宋词", "论语"):
// its id; -1 for "不限" (any book); nothing for any other text.
std::optional<int> bookOfSetting(const std::string& cc);

// Function words of the classical texts (之 兮 其 而 以 于 则 维 唯 实 …): a line never gives a
// name with one of them, even where the vocabulary allows the character elsewhere.
bool isFunctionWord(const std::string& ch);

struct SourceLine {
  int book = 0;
  std::string title, author, text;
  std::vector<std::string> chars;  // the text split into characters (punctuation included)
  // Per character: its clause (clauses end at punctuation and at 兮, −1 for those) and its
  // two-character beat within the clause (see beatsOfClause).
  std::vector<int> clause, beat;
};

// The two-character beats a clause of n characters is read in: 2, 4 as 2+2, 5 as 2+3,
// 6 as 2+2+2, 7 as 2+2+3. Returns the beat of each place, −1 for a place in no
// two-character beat (a closing beat of three, a clause of one or three, prose of eight
// or more): two neighbours there may not be a word of the line.
std::vector<int> beatsOfClause(size_t n);

// How closely a name's characters stand in a line: 0 neighbours within one beat (a word
// of the line), 1 in one clause, 2 in one couplet. A one-character name is always 0.
constexpr int kWordTier = 0;
constexpr int kClauseTier = 1;
constexpr int kCoupletTier = 2;

struct Citation {
  int line = -1;            // index into SourceTable::lines(), -1 for none
  int tier = kCoupletTier;  // see above
  bool found() const { return line >= 0; }
};

// Which citation of a name a parent of a boy or a girl would rather see: the closer
// tier first, then the book ("男楚辞，女诗经": boys 楚辞 论语 唐诗 …, girls 诗经 宋词 唐诗 …),
// then the earlier line. True when a ranks before b.
bool citationBefore(const Citation& a, const Citation& b, const std::vector<SourceLine>& lines, int gender);
int bookPreference(int book, int gender);  // 0 = most preferred

class SourceTable {
 public:
  // Loads sources.tsv. False with a message when the file is missing or a row is
  // malformed; an unknown book is malformed.
  bool load(const std::string& path, std::string& error);
  const std::vector<SourceLine>& lines() const { return lines_; }

  // The best line holding the characters (one or two) in their order, optionally only
  // from one book (-1 any). A linear search: for one analysis, not for a whole page.
  Citation find(const std::vector<std::string>& given, int gender, int book) const;
  // The same over some lines only (indices into lines(), ascending).
  Citation find(const std::vector<std::string>& given, int gender, int book, const std::vector<int>& among) const;
  // The lines holding the character, ascending: the search space of a fixed character.
  std::vector<int> linesHolding(const std::string& ch) const;

 private:
  std::vector<SourceLine> lines_;
};

// Tier of the first character at position i and the second at j > i of a line.
int tierOf(const SourceLine& line, size_t i, size_t j);

// Every name the lines give over a fixed set of characters (ids 0..n−1), for the pages:
// for each one- or two-character name, its best citation per book.
class SourceIndex {
 public:
  // charId maps a character to its id, or −1 when it may not stand in a name.
  template <typename CharIdFn>
  void build(const SourceTable& table, CharIdFn charId);

  using PerBook = std::array<Citation, kBookCount>;
  static std::uint32_t keyOf(int first, int second) {
    return static_cast<std::uint32_t>(first) << 16 | static_cast<std::uint32_t>(second < 0 ? 0xFFFF : second);
  }
  // The citations of a name by book; nullptr when no line gives it.
  const PerBook* find(int first, int second) const {
    auto it = names_.find(keyOf(first, second));
    return it == names_.end() ? nullptr : &it->second;
  }
  // All two-character names the lines give: (first id, second id).
  const std::vector<std::pair<int, int>>& pairs() const { return pairs_; }

  // The best of a name's citations for a gender, from one book or any (-1).
  static Citation best(const PerBook& perBook, const std::vector<SourceLine>& lines, int gender, int book);

 private:
  void add(int first, int second, int lineIndex, int book, int tier);
  std::unordered_map<std::uint32_t, PerBook> names_;
  std::vector<std::pair<int, int>> pairs_;
};

template <typename CharIdFn>
void SourceIndex::build(const SourceTable& table, CharIdFn charId) {
  const auto& lines = table.lines();
  std::vector<std::pair<size_t, int>> ids;  // position in the line, character id
  for (size_t l = 0; l < lines.size(); ++l) {
    const SourceLine& line = lines[l];
    ids.clear();
    for (size_t p = 0; p < line.chars.size(); ++p) {
      int id = charId(line.chars[p]);
      if (id >= 0) ids.emplace_back(p, id);
    }
    for (size_t a = 0; a < ids.size(); ++a) {
      add(ids[a].second, -1, static_cast<int>(l), line.book, kWordTier);
      for (size_t b = a + 1; b < ids.size(); ++b) {
        if (ids[a].second == ids[b].second) continue;
        add(ids[a].second, ids[b].second, static_cast<int>(l), line.book, tierOf(line, ids[a].first, ids[b].first));
      }
    }
  }
}

}  // namespace norvane::refservice
