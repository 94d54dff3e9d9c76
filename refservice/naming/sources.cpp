#include "naming/sources.h"

#include <fstream>
#include <set>

#include "naming/tables.h"

namespace norvane::refservice {

namespace {

const char* const kBookNames[kBookCount] = {"诗经", "楚辞", "唐诗三百首", "宋词三百首", "论语", "曹操诗集", "纳兰词"};

// Preference of the books for boys and for girls, most preferred first.
const int kBoyOrder[kBookCount] = {kChuci, kLunyu, kTangshi, kShijing, kCaocao, kSongci, kNalan};
const int kGirlOrder[kBookCount] = {kShijing, kSongci, kTangshi, kNalan, kChuci, kLunyu, kCaocao};

// Punctuation that closes a clause inside a couplet.
bool isClauseMark(const std::string& ch) {
  static const char* const marks[] = {"，", "、", "：", "。", "！", "？", "；", "·", "・", "—", "…", "（", "）", "《", "》"};
  for (const char* m : marks)
    if (ch == m) return true;
  return false;
}

}  // namespace

bool isFunctionWord(const std::string& ch) {
  static const std::set<std::string> words = [] {
    const std::string text = "之兮其而以于则维唯惟乎也者矣焉哉所与及夫曰是此彼何谁莫勿毋弗未非乃即既将且犹又或皆兹尔汝吾我余予亦实";
    auto chars = splitUtf8(text);
    return chars ? std::set<std::string>(chars->begin(), chars->end()) : std::set<std::string>();
  }();
  return words.count(ch) != 0;
}

const char* bookName(int book) { return book >= 0 && book < kBookCount ? kBookNames[book] : ""; }

std::optional<int> bookOfSetting(const std::string& cc) {
  if (cc == "不限") return -1;
  if (cc == "诗经") return kShijing;
  if (cc == "楚辞") return kChuci;
  if (cc == "唐诗") return kTangshi;
  if (cc == "宋词") return kSongci;
  if (cc == "论语") return kLunyu;
  return std::nullopt;
}

int bookPreference(int book, int gender) {
  const int* order = gender == 2 ? kGirlOrder : kBoyOrder;
  for (int i = 0; i < kBookCount; ++i)
    if (order[i] == book) return i;
  return kBookCount;
}

bool citationBefore(const Citation& a, const Citation& b, const std::vector<SourceLine>& lines, int gender) {
  if (!b.found()) return a.found();
  if (!a.found()) return false;
  if (a.tier != b.tier) return a.tier < b.tier;
  int pa = bookPreference(lines[a.line].book, gender), pb = bookPreference(lines[b.line].book, gender);
  if (pa != pb) return pa < pb;
  return a.line < b.line;
}

std::vector<int> beatsOfClause(size_t n) {
  // −1: a place outside any two-character beat (a beat of three, or prose).
  static const std::vector<std::vector<int>> metre = {
      {}, {-1}, {0, 0}, {-1, -1, -1}, {0, 0, 1, 1}, {0, 0, -1, -1, -1}, {0, 0, 1, 1, 2, 2}, {0, 0, 1, 1, -1, -1, -1}};
  if (n < metre.size()) return metre[n];
  return std::vector<int>(n, -1);
}

int tierOf(const SourceLine& line, size_t i, size_t j) {
  if (line.clause[i] != line.clause[j]) return kCoupletTier;
  if (j == i + 1 && line.beat[i] >= 0 && line.beat[i] == line.beat[j]) return kWordTier;
  return kClauseTier;
}

namespace {

// Fills the clause and beat of every character of the line.
void markClauses(SourceLine& line) {
  size_t n = line.chars.size();
  line.clause.assign(n, -1);
  line.beat.assign(n, -1);
  int clause = 0;
  size_t start = 0;
  auto close = [&](size_t end) {
    if (end > start) {
      std::vector<int> beats = beatsOfClause(end - start);
      for (size_t k = start; k < end; ++k) {
        line.clause[k] = clause;
        line.beat[k] = beats[k - start];
      }
      ++clause;
    }
  };
  for (size_t k = 0; k < n; ++k) {
    const std::string& ch = line.chars[k];
    if (isClauseMark(ch) || ch == "兮" || ch == "“" || ch == "”" || ch.size() == 1) {
      close(k);
      start = k + 1;
    }
  }
  close(n);
}

}  // namespace

bool SourceTable::load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::string row;
  while (std::getline(in, row)) {
    if (!row.empty() && row.back() == '\r') row.pop_back();
    if (row.empty() || row[0] == '#') continue;
    std::vector<std::string> f;
    for (size_t start = 0;;) {
      size_t tab = row.find('\t', start);
      f.push_back(row.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    SourceLine line;
    line.book = -1;
    if (f.size() == 4) {
      for (int b = 0; b < kBookCount; ++b)
        if (f[0] == kBookNames[b]) line.book = b;
    }
    auto chars = f.size() == 4 ? splitUtf8(f[3]) : std::nullopt;
    if (line.book < 0 || !chars || chars->size() < 2 || f[1].empty()) {
      error = "malformed line in " + path + ": " + row.substr(0, 60);
      return false;
    }
    line.title = f[1];
    line.author = f[2];
    line.text = f[3];
    line.chars = std::move(*chars);
    markClauses(line);
    lines_.push_back(std::move(line));
  }
  if (lines_.empty()) {
    error = path + " holds no line";
    return false;
  }
  return true;
}

std::vector<int> SourceTable::linesHolding(const std::string& ch) const {
  std::vector<int> out;
  for (size_t l = 0; l < lines_.size(); ++l)
    if (lines_[l].text.find(ch) != std::string::npos) out.push_back(static_cast<int>(l));
  return out;
}

Citation SourceTable::find(const std::vector<std::string>& given, int gender, int book) const {
  if (given.empty()) return {};
  return find(given, gender, book, linesHolding(given[0]));
}

Citation SourceTable::find(const std::vector<std::string>& given, int gender, int book,
                           const std::vector<int>& among) const {
  Citation best;
  if (given.empty() || given.size() > 2 || (given.size() == 2 && given[0] == given[1])) return best;
  for (const auto& ch : given)
    if (isFunctionWord(ch)) return best;
  for (int index : among) {
    size_t l = static_cast<size_t>(index);
    const SourceLine& line = lines_[l];
    if (book >= 0 && line.book != book) continue;
    if (line.text.find(given[0]) == std::string::npos) continue;
    Citation here;
    for (size_t i = 0; i < line.chars.size(); ++i) {
      if (line.chars[i] != given[0]) continue;
      if (given.size() == 1) {
        here = {static_cast<int>(l), kWordTier};
        break;
      }
      for (size_t j = i + 1; j < line.chars.size(); ++j) {
        if (line.chars[j] != given[1]) continue;
        int tier = tierOf(line, i, j);
        if (!here.found() || tier < here.tier) here = {static_cast<int>(l), tier};
      }
    }
    if (here.found() && citationBefore(here, best, lines_, gender)) best = here;
  }
  return best;
}

void SourceIndex::add(int first, int second, int lineIndex, int book, int tier) {
  std::uint32_t key = keyOf(first, second);
  auto [it, inserted] = names_.try_emplace(key);
  if (inserted && second >= 0) pairs_.emplace_back(first, second);
  Citation& c = it->second[book];
  // Within one book: the closer tier, then the earlier line.
  if (!c.found() || tier < c.tier) c = {lineIndex, tier};
}

Citation SourceIndex::best(const PerBook& perBook, const std::vector<SourceLine>& lines, int gender, int book) {
  if (book >= 0) return perBook[book];
  Citation best;
  for (const Citation& c : perBook)
    if (citationBefore(c, best, lines, gender)) best = c;
  return best;
}

}  // namespace norvane::refservice
