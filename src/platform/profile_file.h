#pragma once
// Settings files in the classic "[Section]" / "key=value" form, UTF-8, with the
// behaviour the program relies on: a missing file, section or key gives the
// caller's default; a write creates the file and the section as needed and
// keeps every other line; section and key names match without regard to
// ASCII case. Writes replace the file atomically (temporary file + rename).
#include <optional>
#include <string>

namespace norvane {

// Longest value a read hands back, in characters (a 260-character buffer
// holds 259 and the terminator).
constexpr std::size_t kProfileValueMaxChars = 259;

// The value, surrounding blanks and one pair of enclosing quotes removed,
// cut to maxChars characters; std::nullopt when file, section or key is missing.
std::optional<std::string> readProfileValue(const std::string& path, const std::string& section,
                                            const std::string& key,
                                            std::size_t maxChars = kProfileValueMaxChars);

std::string readProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue,
                              std::size_t maxChars = kProfileValueMaxChars);

// The leading decimal integer of the value (optional sign, digits up to the
// first non-digit; 0 when there are none); defaultValue when the key is missing.
int readProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue);

// Sets section/key to value; false when the file could not be written.
bool writeProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);

// Removes the key; true when the file no longer holds it.
bool deleteProfileKey(const std::string& path, const std::string& section,
                      const std::string& key);

}  // namespace norvane
