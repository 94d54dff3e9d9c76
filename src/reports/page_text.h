#pragma once
// Small text operations shared by the report page-data builders.
#include <string>
#include <string_view>
#include <vector>

namespace norvane::reports {

// Splits at every occurrence of `delimiter`, left to right; empty pieces stay,
// and the text after the last delimiter is always the last piece: n delimiters
// give n + 1 pieces, the empty text gives one empty piece. An empty delimiter
// gives the whole text as the only piece.
std::vector<std::string> splitText(const std::string& text, const std::string& delimiter);

// Replaces the first "{n}" in `text` by `value`; nothing happens without one.
void replacePlaceholder(std::string& text, int n, const std::string& value);

// Replaces every occurrence of `from` by `to`, scanning left to right and
// continuing after each inserted text.
void replaceAll(std::string& text, std::string_view from, std::string_view to);

// The clean-up of explanation texts before they reach a page: every "\r\n"
// becomes "<br>", then every double quote and every apostrophe becomes one
// space.
std::string cleanText(std::string text);

// The leading decimal integer of a text as C's atoi reads it (leading white
// space, an optional sign, digits), but clamped to the range of int instead
// of overflowing; 0 when there is none.
int leadingInt(const std::string& text);

}  // namespace norvane::reports
