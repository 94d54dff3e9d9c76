#include "reports/page_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace norvane::reports {

std::vector<std::string> splitText(const std::string& text, const std::string& delimiter) {
  std::vector<std::string> pieces;
  if (delimiter.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  std::size_t start = 0;
  for (std::size_t at = text.find(delimiter); at != std::string::npos; at = text.find(delimiter, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

void replacePlaceholder(std::string& text, int n, const std::string& value) {
  const std::string placeholder = "{" + std::to_string(n) + "}";
  std::size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, placeholder.size(), value);
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::string cleanText(std::string text) {
  replaceAll(text, "\r\n", "<br>");
  replaceAll(text, "\"", " ");
  replaceAll(text, "'", " ");
  return text;
}

int leadingInt(const std::string& text) {
  errno = 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE || value > INT_MAX) return value < 0 ? INT_MIN : INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace norvane::reports
