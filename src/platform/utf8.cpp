#include "platform/utf8.h"

namespace norvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at text[i]; returns the number of bytes it
// used, or 0 when the bytes at i do not begin a valid sequence.
std::size_t decodeOne(std::string_view text, std::size_t i, char32_t& out) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) { out = b0; return 1; }
  std::size_t len;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; min = 0x80; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; min = 0x800; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  out = cp;
  return len;
}

}  // namespace

std::string toUtf8(std::string_view text) { return std::string(text); }

std::string codePointToUtf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

std::string fromUtf8(std::string_view text) {
  std::size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  return repairUtf8(text);
}

std::string repairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    std::size_t used = decodeOne(text, i, cp);
    if (used == 0) {
      out += codePointToUtf8(kReplacement);
      ++i;
    } else {
      out.append(text.substr(i, used));
      i += used;
    }
  }
  return out;
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    std::size_t used = decodeOne(text, i, cp);
    if (used == 0) return false;
    i += used;
  }
  return true;
}

std::u32string utf8ToCodePoints(std::string_view text) {
  std::u32string out;
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    std::size_t used = decodeOne(text, i, cp);
    if (used == 0) { out += kReplacement; ++i; }
    else { out += cp; i += used; }
  }
  return out;
}

std::size_t utf8Length(std::string_view text) {
  std::size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string utf8Prefix(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) return std::string(text.substr(0, i));
      ++chars;
    }
  }
  return std::string(text);
}

}  // namespace norvane
