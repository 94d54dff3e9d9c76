#pragma once
// The classical source of a suggested name: the line of a poem or classic
// its characters were taken from, as the service sends it in a record's
// "ChuChu" object ({"Text", "Title", "Author", "Book"}, all strings), and the
// books a formal-name search can be narrowed to (request member "set" → "cc").
#include <json/value.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace norvane {

struct NameSource {
  std::string Text;    // the whole line or couplet, holding the name's characters in order
  std::string Title;   // the poem's or chapter's title
  std::string Author;  // may be empty (anonymous works)
  std::string Book;    // the book or collection ("诗经", "唐诗三百首", …)

  // A record without a source has every member empty.
  bool empty() const { return Text.empty(); }
  bool operator==(const NameSource&) const = default;
};

// The longest texts a source may carry. A real line is a few dozen
// characters and a title or a book name a few; anything far longer is no
// source (it would only stretch rows and pages).
inline constexpr std::size_t kMaxSourceTextBytes = 1024;
inline constexpr std::size_t kMaxSourceLabelBytes = 256;  // Title, Author, Book

// Reads a "ChuChu" value. It counts only as a whole: an object whose four
// members are all strings within the bounds above and whose Text is not
// empty. Anything else (no object, a missing or non-string member, a huge
// text) gives the empty source; nothing throws.
NameSource readNameSource(const Json::Value& value);

// The source when its Text is not empty and every member keeps to the bounds
// above; the empty source otherwise (for sources read back from a file).
NameSource checkedNameSource(NameSource candidate);

// The source as the service sends it: {"Author", "Book", "Text", "Title"}.
Json::Value nameSourceJson(const NameSource& source);

// The source books of the advanced settings, by position: 0 "不限" (no
// restriction), then "诗经", "楚辞", "唐诗", "宋词", "论语".
inline constexpr int kSourceBookCount = 6;
inline constexpr const char* kSourceBooks[kSourceBookCount] = {"不限", "诗经", "楚辞", "唐诗", "宋词", "论语"};

// The position of a book name in kSourceBooks, or -1 when it is none of them.
int sourceBookPosition(std::string_view book);

// The book name sent as "cc" for a position: "" for 0 ("不限", nothing is
// sent) and for positions outside the list.
std::string sourceBookSent(int position);

}  // namespace norvane
