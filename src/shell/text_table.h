#pragma once
// The language text table: user-visible texts looked up by section and key in
// ProgramFolder/language/cn.dat (simplified Chinese; tw.dat holds the
// traditional texts). The file is an OLE2 compound file with one scrambled
// stream per section ("Text", "Message"). The table is opened, read and closed
// on every lookup, so a replaced file takes effect at the next lookup.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace norvane {

// The table file this build reads: ProgramFolder + "/language/cn.dat"
// (the folder of the running executable when ProgramFolder is not set yet).
std::string textTablePath();

// Copies the value of the first entry of `section` whose key equals `key`
// (exactly, case-sensitive) into `out`, cut to bufferChars - 1 characters, and
// returns true; on any failure (file, stream or key missing, unreadable data)
// `out` becomes defaultText (cut the same way) and the result is false.
// Characters are UTF-16 code units, as in the stored table; a cut never splits
// a surrogate pair.
bool LookupText(const std::string& section, const std::string& key, const std::string& defaultText,
                std::string& out, std::size_t bufferChars = 260);

// The same lookup on an explicit table file (tests, tools).
bool LookupTextIn(const std::string& tablePath, const std::string& section, const std::string& key,
                  const std::string& defaultText, std::string& out, std::size_t bufferChars = 260);

// Section "Text", empty default, 260-character buffer.
std::string GetText(const std::string& key);

// ---------------------------------------------------------------------------
// Format strings from the table.
//
// A format text is used only when its conversions are exactly the values the
// caller passes, in order: "%d"/"%i" an integer, "%f"/"%e"/"%g" (with flags,
// width and precision, e.g. "%0.2f") a floating-point value, "%s" a string
// (flags and width allowed, no precision), "%%" a literal percent sign. Any
// other conversion, a '*' width, a length modifier or a count mismatch makes
// the text unusable, and the caller treats it like a missing text.

struct FormatArg {
  enum class Kind { Integer, Floating, String };
  Kind kind;
  long long integer = 0;
  double floating = 0;
  std::string text;

  FormatArg(int v) : kind(Kind::Integer), integer(v) {}
  FormatArg(long v) : kind(Kind::Integer), integer(v) {}
  FormatArg(long long v) : kind(Kind::Integer), integer(v) {}
  FormatArg(float v) : kind(Kind::Floating), floating(v) {}
  FormatArg(double v) : kind(Kind::Floating), floating(v) {}
  FormatArg(const char* v) : kind(Kind::String), text(v ? v : "") {}
  FormatArg(std::string v) : kind(Kind::String), text(std::move(v)) {}
};

// True when `format` carries exactly conversions of the given kinds, in order.
bool formatMatches(const std::string& format, const std::vector<FormatArg::Kind>& kinds);

// Formats `format` with `args` into `out` when the conversions match (see
// above) and returns true; otherwise `out` is cleared and the result is false.
bool formatText(const std::string& format, std::initializer_list<FormatArg> args, std::string& out);

// ---------------------------------------------------------------------------
// The table's file format, shared by the reader and the build tool.

using TextEntries = std::vector<std::pair<std::string, std::string>>;  // key, value (UTF-8)

// The largest stream a reader takes in: longer streams are read only up to
// this bound (entries cut by it are ignored).
constexpr std::size_t kTextStreamLimit = 131072;

// XORs the first UTF-16 unit of every complete 4-byte group that ends before
// byte `totalSize` with 0x6B1E (its own inverse: scrambles and un-scrambles).
// Only the first data.size() bytes are touched.
void scrambleTextStream(std::string& data, std::size_t totalSize);

// One section's stream: every "key=value" as UTF-16LE with a 16-bit zero,
// then an empty string, scrambled. Returns false (and says why in `error`)
// when a key is empty or holds "=", a text is not valid UTF-8 or holds a zero
// character, or the stream would exceed kTextStreamLimit.
bool encodeTextStream(const TextEntries& entries, std::string& stream, std::string& error);

// Writes a compound file with one stream per section, in the given order.
bool writeTextTable(const std::string& path,
                    const std::vector<std::pair<std::string, TextEntries>>& sections,
                    std::string& error);

}  // namespace norvane
