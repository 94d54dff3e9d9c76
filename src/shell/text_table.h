#pragma once
// The language text table: user-visible texts looked up by section and key in
// ProgramFolder/language/cn.dat (simplified Chinese; tw.dat holds the
// traditional texts). The file is an OLE2 compound file with one scrambled
// stream per section ("Text", "Message"). The table is opened, read and closed
// on every lookup, so a replaced file takes effect at the next lookup.
#include <cstddef>
#include <string>

namespace norvane {

// The table file this build reads: ProgramFolder + "/language/cn.dat".
std::string textTablePath();

// Copies the value of the first entry of `section` whose key equals `key`
// (exactly, case-sensitive) into `out`, cut to bufferChars - 1 characters, and
// returns true; on any failure (file, stream or key missing, unreadable data)
// `out` becomes defaultText (cut the same way) and the result is false.
bool LookupText(const std::string& section, const std::string& key, const std::string& defaultText,
                std::string& out, std::size_t bufferChars = 260);

// The same lookup on an explicit table file (tests, tools).
bool LookupTextIn(const std::string& tablePath, const std::string& section, const std::string& key,
                  const std::string& defaultText, std::string& out, std::size_t bufferChars = 260);

// Section "Text", empty default, 260-character buffer.
std::string GetText(const std::string& key);

}  // namespace norvane
