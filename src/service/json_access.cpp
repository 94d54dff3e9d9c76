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
long readEscape(const std::string& text, std::size_t i) {
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

}  // namespace

bool parseJson(std::string_view text, Json::Value& document) {
  Json::CharReaderBuilder builder;
  builder["allowComments"] = true;
  builder["collectComments"] = false;
  builder["stackLimit"] = kJsonNestingLimit;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value parsed;
  std::string errors;
  try {
    if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors)) return false;
  } catch (const std::exception&) {
    // The reader throws when the nesting limit is exceeded.
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
