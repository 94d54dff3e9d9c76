#pragma once
// UTF-8 is the program's local narrow text, so converting to and from the wire
// encoding only has to make text valid, never to change code pages.
#include <cstddef>
#include <string>
#include <string_view>

namespace norvane {

// Local text to UTF-8: the identity.
std::string toUtf8(std::string_view text);

// UTF-8 to local text: reads up to the first zero byte and replaces every
// invalid or truncated sequence with U+FFFD. Never fails.
std::string fromUtf8(std::string_view text);

// The whole text (zero bytes included) with every invalid or truncated
// sequence replaced by U+FFFD, one per byte that does not begin a valid
// sequence, as fromUtf8 does; encoded surrogates count as invalid. Valid text
// comes back unchanged.
std::string repairUtf8(std::string_view text);

// True when the whole text is valid UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(std::string_view text);

// Number of code points of valid UTF-8 text.
std::size_t utf8Length(std::string_view text);

// The first maxChars code points of valid UTF-8 text (the whole text when it is shorter).
std::string utf8Prefix(std::string_view text, std::size_t maxChars);

// Decodes valid UTF-8 into code points; invalid input yields U+FFFD for the bad bytes.
std::u32string utf8ToCodePoints(std::string_view text);
std::string codePointToUtf8(char32_t cp);

}  // namespace norvane
