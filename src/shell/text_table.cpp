#include "shell/text_table.h"

#include <gsf/gsf.h>

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/folders.h"
#include "platform/utf8.h"

namespace norvane {
namespace {

constexpr std::uint16_t kScrambleMask = 0x6B1E;

void initGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

// UTF-8 to UTF-16 code units; the text must be valid UTF-8.
std::u16string toUtf16(std::string_view text) {
  std::u16string units;
  for (char32_t cp : utf8ToCodePoints(text)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  return units;
}

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string fromUtf16(const char16_t* units, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
        ++i;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    text += codePointToUtf8(cp);
  }
  return text;
}

// The number of units kept when a text is cut to fit a buffer of
// bufferChars units with its terminator; a surrogate pair is kept whole or
// dropped whole.
std::size_t cutLength(const char16_t* units, std::size_t count, std::size_t bufferChars) {
  if (bufferChars == 0) return 0;
  if (count <= bufferChars - 1) return count;
  std::size_t keep = bufferChars - 1;
  if (keep > 0 && units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;
  return keep;
}

std::string cutUtf8(const std::string& text, std::size_t bufferChars) {
  std::u16string units = toUtf16(fromUtf8(text));
  return fromUtf16(units.data(), cutLength(units.data(), units.size(), bufferChars));
}

// Reads the un-scrambled stream of `section` into `units`. `complete` tells
// whether the whole stream was read (false when it was longer than the bound).
bool readSection(const std::string& tablePath, const std::string& section, std::u16string& units,
                 bool& complete) {
  initGsf();
  GError* err = nullptr;
  GsfInput* file = gsf_input_stdio_new(tablePath.c_str(), &err);
  if (file == nullptr) {
    if (err) g_error_free(err);
    return false;
  }
  GsfInfile* storage = gsf_infile_msole_new(file, &err);
  g_object_unref(file);
  if (storage == nullptr) {
    if (err) g_error_free(err);
    return false;
  }
  bool ok = false;
  GsfInput* stream = gsf_infile_child_by_name(storage, section.c_str());
  if (stream != nullptr) {
    gsf_off_t size = gsf_input_size(stream);
    if (size > 0) {
      std::size_t total = static_cast<std::size_t>(size);
      std::size_t count = total < kTextStreamLimit ? total : kTextStreamLimit;
      std::string bytes(count, '\0');
      if (gsf_input_read(stream, count, reinterpret_cast<guint8*>(bytes.data())) != nullptr) {
        // The writer scrambled with the stream's full length in view; using the
        // same length keeps every group read right even when the read was cut.
        scrambleTextStream(bytes, total);
        units.assign(count / 2, u'\0');
        std::memcpy(units.data(), bytes.data(), units.size() * 2);
        complete = count == total;
        ok = true;
      }
    }
    g_object_unref(stream);
  }
  g_object_unref(storage);
  return ok;
}

}  // namespace

void scrambleTextStream(std::string& data, std::size_t totalSize) {
  for (std::size_t k = 0; 4 * k + 4 < totalSize && 4 * k + 4 <= data.size(); ++k) {
    data[4 * k] = static_cast<char>(static_cast<unsigned char>(data[4 * k]) ^ (kScrambleMask & 0xFF));
    data[4 * k + 1] =
        static_cast<char>(static_cast<unsigned char>(data[4 * k + 1]) ^ (kScrambleMask >> 8));
  }
}

std::string textTablePath() {
  std::string folder = ProgramFolder.empty() ? locateProgramFolder() : ProgramFolder;
  return JoinPath(JoinPath(folder, "language"), "cn.dat");
}

bool LookupTextIn(const std::string& tablePath, const std::string& section, const std::string& key,
                  const std::string& defaultText, std::string& out, std::size_t bufferChars) {
  std::u16string units;
  bool complete = true;
  if (!tablePath.empty() && !section.empty() && readSection(tablePath, section, units, complete)) {
    const std::u16string wanted = toUtf16(fromUtf8(key));
    std::size_t pos = 0;
    while (pos < units.size()) {
      std::size_t end = units.find(u'\0', pos);
      if (end == std::u16string::npos) {
        // An entry that runs to the end of the data: whole when the stream was
        // read completely, cut by the read bound otherwise (then unusable).
        if (!complete) break;
        end = units.size();
      }
      if (end == pos) break;  // the empty entry ends the sequence
      std::u16string_view entry(units.data() + pos, end - pos);
      std::size_t eq = entry.find(u'=');
      if (eq != std::u16string_view::npos && entry.substr(0, eq) == wanted) {
        const char16_t* value = entry.data() + eq + 1;
        std::size_t length = entry.size() - eq - 1;
        out = fromUtf16(value, cutLength(value, length, bufferChars));
        return true;
      }
      pos = end + 1;
    }
  }
  out = cutUtf8(defaultText, bufferChars);
  return false;
}

bool LookupText(const std::string& section, const std::string& key, const std::string& defaultText,
                std::string& out, std::size_t bufferChars) {
  return LookupTextIn(textTablePath(), section, key, defaultText, out, bufferChars);
}

std::string GetText(const std::string& key) {
  std::string out;
  LookupText("Text", key, "", out, 260);
  return out;
}

// ---------------------------------------------------------------------------
// Format strings

namespace {

struct Conversion {
  std::string flags;
  int width = -1;
  int precision = -1;
  char type = 0;
  FormatArg::Kind kind = FormatArg::Kind::String;
};

struct Piece {
  bool literal = true;
  std::string text;  // literal text
  Conversion conv;
};

// Splits a format into literal text and conversions; false on anything the
// checked formatter does not accept.
bool parseFormat(const std::string& format, std::vector<Piece>& pieces) {
  std::string literal;
  std::size_t i = 0;
  auto readNumber = [&](int& value) {
    std::size_t digits = 0;
    value = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      value = value * 10 + (format[i] - '0');
      ++i;
      if (++digits > 3) return false;  // no field wider than 999
    }
    return true;
  };
  while (i < format.size()) {
    char c = format[i++];
    if (c != '%') {
      literal += c;
      continue;
    }
    if (i < format.size() && format[i] == '%') {
      literal += '%';
      ++i;
      continue;
    }
    Conversion conv;
    while (i < format.size() && format[i] != '\0' && std::strchr("-+ #0", format[i]) != nullptr) {
      conv.flags += format[i++];
    }
    if (i < format.size() && format[i] >= '1' && format[i] <= '9') {
      if (!readNumber(conv.width)) return false;
    }
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (!readNumber(conv.precision)) return false;
    }
    if (i >= format.size()) return false;
    conv.type = format[i++];
    switch (conv.type) {
      case 'd':
      case 'i':
        conv.kind = FormatArg::Kind::Integer;
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
        conv.kind = FormatArg::Kind::Floating;
        break;
      case 's':
        if (conv.precision >= 0) return false;  // a byte precision could split a character
        conv.kind = FormatArg::Kind::String;
        break;
      default:
        return false;  // '*', length modifiers, %n, %p, %c, %x, ...
    }
    if (!literal.empty()) {
      pieces.push_back(Piece{true, literal, {}});
      literal.clear();
    }
    Piece piece;
    piece.literal = false;
    piece.conv = conv;
    pieces.push_back(piece);
  }
  if (!literal.empty()) pieces.push_back(Piece{true, literal, {}});
  return true;
}

bool sameKinds(const std::vector<Piece>& pieces, const std::vector<FormatArg::Kind>& kinds) {
  std::size_t n = 0;
  for (const Piece& p : pieces) {
    if (p.literal) continue;
    if (n >= kinds.size() || kinds[n] != p.conv.kind) return false;
    ++n;
  }
  return n == kinds.size();
}

std::string numberConversion(const Conversion& conv, const char* lengthModifier) {
  std::string text = "%" + conv.flags;
  if (conv.width >= 0) text += std::to_string(conv.width);
  if (conv.precision >= 0) text += "." + std::to_string(conv.precision);
  text += lengthModifier;
  text += conv.type;
  return text;
}

}  // namespace

bool formatMatches(const std::string& format, const std::vector<FormatArg::Kind>& kinds) {
  std::vector<Piece> pieces;
  return parseFormat(format, pieces) && sameKinds(pieces, kinds);
}

bool formatText(const std::string& format, std::initializer_list<FormatArg> args, std::string& out) {
  out.clear();
  std::vector<Piece> pieces;
  std::vector<FormatArg::Kind> kinds;
  for (const FormatArg& a : args) kinds.push_back(a.kind);
  if (!parseFormat(format, pieces) || !sameKinds(pieces, kinds)) return false;
  const FormatArg* arg = args.begin();
  std::string result;
  for (const Piece& p : pieces) {
    if (p.literal) {
      result += p.text;
      continue;
    }
    const Conversion& conv = p.conv;
    if (conv.kind == FormatArg::Kind::String) {
      // Width counts characters, not bytes, so pad by hand.
      std::size_t length = utf8Length(arg->text);
      std::string pad = conv.width > 0 && static_cast<std::size_t>(conv.width) > length
                            ? std::string(conv.width - length, ' ')
                            : std::string();
      result += conv.flags.find('-') != std::string::npos ? arg->text + pad : pad + arg->text;
    } else {
      char buffer[1200];
      int n;
      if (conv.kind == FormatArg::Kind::Integer) {
        n = std::snprintf(buffer, sizeof buffer, numberConversion(conv, "ll").c_str(), arg->integer);
      } else {
        n = std::snprintf(buffer, sizeof buffer, numberConversion(conv, "").c_str(), arg->floating);
      }
      if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return false;
      result.append(buffer, static_cast<std::size_t>(n));
    }
    ++arg;
  }
  out = std::move(result);
  return true;
}

// ---------------------------------------------------------------------------
// Writing

bool encodeTextStream(const TextEntries& entries, std::string& stream, std::string& error) {
  std::u16string units;
  for (const auto& [key, value] : entries) {
    if (key.empty()) {
      error = "empty key";
      return false;
    }
    if (key.find('=') != std::string::npos) {
      error = "key \"" + key + "\" holds \"=\"";
      return false;
    }
    if (!isValidUtf8(key) || !isValidUtf8(value)) {
      error = "key \"" + key + "\": text is not valid UTF-8";
      return false;
    }
    if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
      error = "key \"" + key + "\": text holds a zero character";
      return false;
    }
    units += toUtf16(key);
    units += u'=';
    units += toUtf16(value);
    units += u'\0';
  }
  units += u'\0';  // the empty string that ends the sequence
  if (units.size() * 2 > kTextStreamLimit) {
    error = "section of " + std::to_string(units.size() * 2) + " bytes exceeds the " +
            std::to_string(kTextStreamLimit) + "-byte limit of the reader";
    return false;
  }
  stream.assign(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    stream[2 * i] = static_cast<char>(units[i] & 0xFF);
    stream[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  scrambleTextStream(stream, stream.size());
  return true;
}

bool writeTextTable(const std::string& path,
                    const std::vector<std::pair<std::string, TextEntries>>& sections,
                    std::string& error) {
  std::vector<std::pair<std::string, std::string>> streams;
  for (const auto& [name, entries] : sections) {
    std::string stream;
    if (!encodeTextStream(entries, stream, error)) {
      error = "section " + name + ": " + error;
      return false;
    }
    streams.emplace_back(name, std::move(stream));
  }
  initGsf();
  // Write beside the target and rename, so a reader never sees half a file.
  const std::string temp = path + ".part";
  GError* err = nullptr;
  GsfOutput* file = gsf_output_stdio_new(temp.c_str(), &err);
  if (file == nullptr) {
    error = "cannot create " + temp + (err ? std::string(": ") + err->message : std::string());
    if (err) g_error_free(err);
    return false;
  }
  GsfOutfile* storage = gsf_outfile_msole_new(file);
  g_object_unref(file);
  bool ok = storage != nullptr;
  for (const auto& [name, stream] : streams) {
    if (!ok) break;
    GsfOutput* child = gsf_outfile_new_child(storage, name.c_str(), FALSE);
    ok = child != nullptr &&
         gsf_output_write(child, stream.size(), reinterpret_cast<const guint8*>(stream.data()));
    if (child != nullptr) {
      ok = gsf_output_close(child) && ok;
      g_object_unref(child);
    }
  }
  if (storage != nullptr) {
    ok = gsf_output_close(GSF_OUTPUT(storage)) && ok;
    g_object_unref(storage);
  }
  std::error_code ec;
  if (ok) std::filesystem::rename(temp, path, ec);
  if (!ok || ec) {
    error = "cannot write " + path;
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace norvane
