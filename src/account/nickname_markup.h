#pragma once
// The logged-in user's title-bar text. The language table keeps it in the
// window library's markup, "{i images/login_type_%d.png}{x 4}%s" (an image,
// a 4-pixel gap, the nickname); the window shows Qt rich text. The nickname
// is data and is always escaped, never read as markup.
#include <functional>
#include <string>

namespace norvane {

// Turns `format` (with one integer and one text conversion, the login type
// minus 1 and the nickname) into Qt rich text. "{i NAME}" becomes an image
// whose source is imageSource(NAME) (no image when that is empty), "{x N}" a
// gap of N pixels drawn with the transparent image imageSource("") (no gap
// when that is empty); every other character is escaped. A format without the
// two conversions gives the escaped nickname alone.
std::string nicknameRichText(const std::string& format, int loginType, const std::string& nickname,
                             const std::function<std::string(const std::string& name)>& imageSource);

// Text escaped for Qt rich text (&, <, >, quotes).
std::string escapeRichText(const std::string& text);

}  // namespace norvane
