#include "service/json_access.h"

#include "platform/utf8.h"

#include <json/reader.h>
#include <json/writer.h>

#include <climits>
#include <memory>

namespace norvane {
namespace {

const Json::Value& nullValue() {
  static const Json::Value null;
  return null;
}

const Json::Value& emptyArray() {
  static const Json::Value empty(Json::arrayValue);
  return empty;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the four hex digits after "\u" at text[i]; -1 when they are not there.
long readEscape(std::string_view text, std::size_t i) {
  if (i + 6 > text.size() || text[i] != '\\' || text[i + 1] != 'u') return -1;
  long value = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    int digit = hexValue(text[k]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// The writer escapes every non-ASCII character as \uXXXX (pairs for
// characters beyond the basic plane). Turn those back into UTF-8 bytes so the
// text carries the characters themselves; escapes of control characters and
// of quotes and backslashes stay as they are.
std::string unescapeNonAscii(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\\') {
      out += text[i++];
      continue;
    }
    long unit = readEscape(text, i);
    if (unit >= 0x80 && (unit < 0xD800 || unit > 0xDFFF)) {
      out += codePointToUtf8(static_cast<char32_t>(unit));
      i += 6;
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      long low = readEscape(text, i + 6);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                      (static_cast<char32_t>(low) - 0xDC00);
        out += codePointToUtf8(cp);
        i += 12;
        continue;
      }
    }
    // Any other escape (\", \\, \n, \u001f, a lone surrogate): copied whole,
    // so the character after a backslash is never mistaken for a new escape.
    out += text[i];
    if (i + 1 < text.size()) out += text[i + 1];
    i += 2;
  }
  return out;
}

bool isHighSurrogate(long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// One pass over a document's text before the JSON reader sees it: counts the
// values it would build and their nesting, and replaces every escape of a
// lone surrogate with "\uFFFD" (the reader would turn a lone low surrogate
// into bytes that are not UTF-8, and refuse a lone high one). Follows the
// reader's own view of the text: strings end at the first quote that no
// backslash escapes, comments ("//" to the end of the line, "/* */") are
// skipped, and every other run of characters between the punctuation is one
// number or literal. Stops early, with false, at the first value beyond the
// limits; what it cannot read is left for the reader to refuse.
class JsonTextScan {
 public:
  explicit JsonTextScan(std::string_view text) : text_(text) {}

  bool withinLimits() {
    const std::size_t n = text_.size();
    std::size_t i = 0;
    while (i < n) {
      char c = text_[i];
      if (c == '"') {
        if (!countValue()) return false;
        i = skipString(i + 1);
      } else if (c == '/' && i + 1 < n && text_[i + 1] == '/') {
        i = text_.find_first_of("\r\n", i + 2);
        if (i == std::string_view::npos) i = n;
      } else if (c == '/' && i + 1 < n && text_[i + 1] == '*') {
        i = text_.find("*/", i + 2);
        i = i == std::string_view::npos ? n : i + 2;
      } else if (c == '[' || c == '{') {
        if (!countValue() || ++depth_ > kJsonNestingLimit) return false;
        ++i;
      } else if (c == ']' || c == '}') {
        if (depth_ > 0) --depth_;
        ++i;
      } else if (c == ',' || c == ':' || c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++i;
      } else {
        if (!countValue()) return false;
        i = text_.find_first_of(",:[]{}\"/ \t\n\r", i + 1);
        if (i == std::string_view::npos) i = n;
      }
    }
    return true;
  }

  // The text with every lone surrogate escape replaced (the scanned text
  // itself when there was none); valid while the scan lives.
  std::string_view text() {
    if (!changed_) return text_;
    if (copied_ < text_.size()) {
      rewritten_.append(text_.substr(copied_));
      copied_ = text_.size();
    }
    return rewritten_;
  }

 private:
  bool countValue() { return ++values_ <= kJsonValueLimit; }

  // From just after an opening quote to just after the closing one.
  std::size_t skipString(std::size_t i) {
    const std::size_t n = text_.size();
    while (i < n) {
      char c = text_[i];
      if (c == '"') return i + 1;
      if (c != '\\') {
        ++i;
        continue;
      }
      long unit = readEscape(text_, i);
      if (isHighSurrogate(unit) && isLowSurrogate(readEscape(text_, i + 6))) {
        i += 12;  // a proper pair
      } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
        replaceEscape(i);
        i += 6;
      } else {
        // Any other escape: the backslash and the character it escapes (the
        // digits of a "\u" escape follow as plain characters).
        i += 2;
      }
    }
    return n;
  }

  void replaceEscape(std::size_t at) {
    if (!changed_) rewritten_.reserve(text_.size());
    changed_ = true;
    rewritten_.append(text_.substr(copied_, at - copied_));
    rewritten_ += "\\uFFFD";
    copied_ = at + 6;
  }

  std::string_view text_;
  std::size_t values_ = 0;
  unsigned depth_ = 0;
  bool changed_ = false;
  std::string rewritten_;
  std::size_t copied_ = 0;
};

}  // namespace

bool parseJson(std::string_view text, Json::Value& document) {
  // Invalid bytes become U+FFFD first, so the reader only ever copies
  // well-formed text into the document's strings.
  std::string repaired;
  if (!isValidUtf8(text)) {
    repaired = repairUtf8(text);
    text = repaired;
  }
  JsonTextScan scan(text);
  if (!scan.withinLimits()) return false;
  const std::string_view checked = scan.text();

  Json::CharReaderBuilder builder;
  builder["allowComments"] = true;
  builder["collectComments"] = false;
  // The scan has bounded the nesting; the reader's own guard stays as a
  // second line against stack exhaustion.
  builder["stackLimit"] = kJsonNestingLimit + 8;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value parsed;
  std::string errors;
  try {
    if (!reader->parse(checked.data(), checked.data() + checked.size(), &parsed, &errors))
      return false;
  } catch (const std::exception&) {
    // The reader throws when its nesting limit is exceeded.
    return false;
  }
  document.swap(parsed);
  return true;
}

std::string writeStyledJson(const Json::Value& document) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::StyledWriter writer;
  std::string text = writer.write(document);
#pragma GCC diagnostic pop
  return unescapeNonAscii(text);
}

const Json::Value& jsonMember(const Json::Value& value, const char* name) {
  if (!value.isObject()) return nullValue();
  const Json::Value* member = value.find(name, name + std::char_traits<char>::length(name));
  return member ? *member : nullValue();
}

bool jsonHasMember(const Json::Value& value, const char* name) {
  return value.isObject() &&
         value.find(name, name + std::char_traits<char>::length(name)) != nullptr;
}

std::string jsonText(const Json::Value& value) {
  return value.isString() ? value.asString() : std::string();
}

bool jsonIsInt(const Json::Value& value) {
  if (value.isBool()) return false;
  if (value.isInt()) return true;  // integral and within int's range
  if (value.isDouble()) {
    double d = value.asDouble();
    return d > static_cast<double>(INT_MIN) - 1.0 && d < static_cast<double>(INT_MAX) + 1.0;
  }
  return false;
}

int jsonInt(const Json::Value& value) {
  if (!jsonIsInt(value)) return 0;
  if (value.isDouble()) return static_cast<int>(value.asDouble());
  return value.asInt();
}

double jsonDouble(const Json::Value& value) {
  if (value.isBool() || !value.isNumeric()) return 0.0;
  return value.asDouble();
}

const Json::Value& jsonArray(const Json::Value& value) {
  return value.isArray() ? value : emptyArray();
}

}  // namespace norvane
