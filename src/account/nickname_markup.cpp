#include "account/nickname_markup.h"

#include "shell/text_table.h"

#include <cstdlib>

namespace norvane {
namespace {

// Stands for the nickname while the markup is translated; it cannot occur in
// a nickname, which loses its control characters before it is stored.
constexpr char kNicknameMark = '\x01';

}  // namespace

std::string escapeRichText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string nicknameRichText(const std::string& format, int loginType, const std::string& nickname,
                             const std::function<std::string(const std::string&)>& imageSource) {
  std::string safeNickname;
  for (char c : nickname)
    if (c != kNicknameMark) safeNickname += c;

  std::string filled;
  if (!formatText(format, {loginType - 1, std::string(1, kNicknameMark)}, filled))
    return escapeRichText(safeNickname);

  std::string rich;
  std::size_t i = 0;
  while (i < filled.size()) {
    char c = filled[i];
    if (c == kNicknameMark) {
      rich += escapeRichText(safeNickname);
      ++i;
      continue;
    }
    if (c == '{' && i + 2 < filled.size() && (filled[i + 1] == 'i' || filled[i + 1] == 'x') &&
        filled[i + 2] == ' ') {
      std::size_t close = filled.find('}', i);
      if (close != std::string::npos) {
        std::string argument = filled.substr(i + 3, close - i - 3);
        if (filled[i + 1] == 'i') {
          std::string source = imageSource ? imageSource(argument) : std::string();
          if (!source.empty())
            rich += "<img src=\"" + escapeRichText(source) + "\" style=\"vertical-align: bottom\">";
        } else {
          int gap = std::atoi(argument.c_str());
          std::string spacer = imageSource ? imageSource(std::string()) : std::string();
          if (gap > 0 && gap <= 64 && !spacer.empty())
            rich += "<img src=\"" + escapeRichText(spacer) + "\" width=\"" + std::to_string(gap) +
                    "\" height=\"1\">";
        }
        i = close + 1;
        continue;
      }
    }
    rich += escapeRichText(std::string(1, c));
    ++i;
  }
  return rich;
}

}  // namespace norvane
