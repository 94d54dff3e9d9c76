#include "service/name_source.h"

#include "service/json_access.h"

namespace norvane {
namespace {

// A member that must be a string.
bool readText(const Json::Value& object, const char* name, std::string& out) {
  const Json::Value& value = jsonMember(object, name);
  if (!value.isString()) return false;
  out = value.asString();
  return true;
}

}  // namespace

NameSource checkedNameSource(NameSource candidate) {
  const bool fits = !candidate.Text.empty() && candidate.Text.size() <= kMaxSourceTextBytes &&
                    candidate.Title.size() <= kMaxSourceLabelBytes &&
                    candidate.Author.size() <= kMaxSourceLabelBytes &&
                    candidate.Book.size() <= kMaxSourceLabelBytes;
  return fits ? candidate : NameSource{};
}

NameSource readNameSource(const Json::Value& value) {
  if (!value.isObject()) return {};
  NameSource source;
  const bool whole = readText(value, "Text", source.Text) && readText(value, "Title", source.Title) &&
                     readText(value, "Author", source.Author) && readText(value, "Book", source.Book);
  return whole ? checkedNameSource(std::move(source)) : NameSource{};
}

Json::Value nameSourceJson(const NameSource& source) {
  Json::Value json(Json::objectValue);
  json["Text"] = source.Text;
  json["Title"] = source.Title;
  json["Author"] = source.Author;
  json["Book"] = source.Book;
  return json;
}

int sourceBookPosition(std::string_view book) {
  for (int i = 0; i < kSourceBookCount; ++i)
    if (book == kSourceBooks[i]) return i;
  return -1;
}

std::string sourceBookSent(int position) {
  if (position <= 0 || position >= kSourceBookCount) return {};
  return kSourceBooks[position];
}

}  // namespace norvane
