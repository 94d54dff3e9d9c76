#pragma once
// The data the naming engine works from: the character table (pinyin, strokes,
// element, radical, frequency level), the surnames with their readings, the
// blocklist, and the knowledge rows it shares with the reports (the given-name
// vocabulary of table jxjs and the zodiac/radical rows of table sxpp).
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace norvane::refservice {

// Splits UTF-8 text into characters (one string per code point). Returns nothing when
// the text is not valid UTF-8.
std::optional<std::vector<std::string>> splitUtf8(const std::string& text);

// Five elements, numbered as the knowledge tables number them.
enum Element { kNoElement = 0, kWood = 1, kFire = 2, kEarth = 3, kMetal = 4, kWater = 5 };
Element elementFromText(const std::string& text);  // "木" -> kWood; unknown -> kNoElement
const char* elementText(Element e);                // kWood -> "木"

struct CharInfo {
  std::string ch;
  std::string pinyin;     // with tone mark
  int tone = 5;           // 1..4, 5 neutral
  std::string initial;    // "zh", "y", "" ...
  std::string final;      // "ang", "v" ...
  int strokes = 0;        // simplified form
  int kangxi = 0;         // traditional form, radicals counted in full
  std::string traditional;
  int level = 3;          // 1 common (first 3500), 2 (to 6500), 3 rest
  int rank = 9999;        // position in the general list (smaller = more common)
  Element element = kNoElement;  // by radical, then by initial sound
  std::string radical;    // the radical as an ideograph (水, 纟, 钅 ...)
};

struct SurnameInfo {
  std::vector<std::string> chars;
  std::vector<std::string> pinyin;  // surname readings, one syllable per character
  std::vector<int> kangxi;          // strokes for the grids
  bool listed = false;              // from the surname table (false: assembled from characters)
};

// One row of the given-name vocabulary.
struct VocabularyEntry {
  std::string ch;
  std::string use;  // "name" | "surname" | "both"
  char sex = 'n';   // 'm' | 'f' | 'n'
  Element element = kNoElement;
};

// The zodiac/radical rows: which radicals are favourable (宜) or unfavourable (忌) for
// each zodiac sign.
struct ZodiacRadicals {
  std::map<std::string, std::vector<std::pair<std::string, int>>> rows;  // sx -> (pp list, +1/-1)
  // +1 favourable, -1 unfavourable, 0 neutral or unknown.
  int verdict(const std::string& zodiac, const std::string& radical) const;
};

// Words a full name must not sound like (unlucky_readings.txt): sequences of toneless
// syllables ("du zi teng"). Syllables are written as plainSyllable() writes them.
class UnluckyReadings {
 public:
  void add(std::vector<std::string> syllables);
  // True when a listed word occurs in the name's syllables (surname first) and at least
  // one of its syllables lies at or after firstGiven, the first given-name position.
  bool matches(const std::vector<std::string>& syllables, size_t firstGiven) const;
  bool empty() const { return byFirst_.empty(); }

 private:
  std::map<std::string, std::vector<std::vector<std::string>>> byFirst_;
};

// A syllable without its tone: initial + final, with ü written v ("nv", "lv") and the u
// after j, q, x and y written u ("ju", "yu"), as pinyin is typed.
std::string plainSyllable(const std::string& initial, const std::string& final);

// Given names a parent would not pick although every character is fine alone
// (pairing_rules.txt): listed words (place names, ordinary words) and two classes of
// characters: "thing" (a concrete object: 树, 贝, 山) and "act" (an action or relation:
// 阅, 观, 友). Two characters of these classes never stand together (芽贝, 观月, 宝阅,
// 友阅); a name needs a quality or a plain name character beside them (明月, 宝玉).
class PairingRules {
 public:
  enum Kind { kFree = 0, kThing, kAct };
  void addWord(const std::string& word) { words_.insert(word); }
  void addClass(const std::string& ch, Kind kind) { classes_[ch] = kind; }
  Kind kindOf(const std::string& ch) const {
    auto it = classes_.find(ch);
    return it == classes_.end() ? kFree : it->second;
  }
  // True when the given name (its characters in order) is a listed word or pairs two
  // classed characters. Single-character names are never refused here.
  bool refuses(const std::vector<std::string>& given) const;

 private:
  std::set<std::string> words_;
  std::map<std::string, Kind> classes_;
};

class CharTable {
 public:
  // Loads characters.tsv, surnames.tsv, blocklist.txt, unlucky_readings.txt and
  // pairing_rules.txt from the folder. False with a message on a missing or malformed file.
  bool load(const std::string& folder, std::string& error);
  const CharInfo* find(const std::string& ch) const;
  bool blocked(const std::string& ch) const { return blocked_.count(ch) != 0; }
  // The surname as written: the listed reading when the table knows it, otherwise the
  // characters' own readings. Nothing when a character is unknown or the length is not 1 or 2.
  std::optional<SurnameInfo> surname(const std::string& text) const;
  // Loads the blocklist alone (tests, additions).
  void addBlocked(const std::string& ch) { blocked_.insert(ch); }
  const UnluckyReadings& unluckyReadings() const { return unlucky_; }
  const PairingRules& pairingRules() const { return pairing_; }

 private:
  std::map<std::string, CharInfo> chars_;
  std::map<std::string, SurnameInfo> surnames_;
  std::set<std::string> blocked_;
  UnluckyReadings unlucky_;
  PairingRules pairing_;
};

struct Knowledge {
  std::vector<VocabularyEntry> vocabulary;  // rows whose use is "name" or "both", in file order
  ZodiacRadicals zodiac;
  // Loads from a folder of table files (jxjs.json, sxpp.json) or from the encrypted
  // knowledge database (a path ending in ".dat"). sxpp may be absent; jxjs must give at
  // least one usable row.
  bool load(const std::string& source, std::string& error);
  // Adds rows given as JSON text of an array (jxjs or sxpp rows); used by the loader.
  bool addJxjsJson(const std::string& json, std::string& error);
  bool addSxppJson(const std::string& json, std::string& error);
};

}  // namespace norvane::refservice
