#include "cli/options.h"

#include "cli/area_commands.h"

#include "platform/utf8.h"
#include "shell/settings.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <regex>

namespace norvane::cli {
namespace {

bool readInt(const std::string& text, long long min, long long max, long long& value) {
  if (text.empty() || text.size() > 18) return false;
  std::size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (start == text.size()) return false;
  for (std::size_t i = start; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  value = std::strtoll(text.c_str(), nullptr, 10);
  return value >= min && value <= max;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isChineseCodePoint(char32_t cp) {
  return (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x3134F) || cp == 0x3007;
}

}  // namespace

std::string Options::get(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() ? std::string() : it->second;
}

bool parseOptions(const std::vector<std::string>& args, const OptionNames& accepted,
                  Options& options, std::string& error, const OptionNames& flags) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
      error = "unexpected argument \"" + word + "\" (options start with --)";
      return false;
    }
    std::string name = word.substr(2);
    std::string value;
    bool inlineValue = false;
    if (std::size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.erase(eq);
      inlineValue = true;
    }
    bool isFlag = false;
    for (const std::string& f : flags) isFlag = isFlag || f == name;
    if (isFlag) {
      if (inlineValue) {
        error = "option --" + name + " takes no value";
        return false;
      }
      if (options.has(name)) {
        error = "option --" + name + " is given more than once";
        return false;
      }
      options.set(name, "1");
      continue;
    }
    bool known = false;
    for (const std::string& a : accepted) known = known || a == name;
    if (!known) {
      error = "unknown option --" + name + " for this command";
      return false;
    }
    if (options.has(name)) {
      error = "option --" + name + " is given more than once";
      return false;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = "option --" + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    options.set(name, value);
  }
  return true;
}

bool isChineseText(const std::string& text) {
  if (text.empty() || !isValidUtf8(text)) return false;
  for (char32_t cp : utf8ToCodePoints(text))
    if (!isChineseCodePoint(cp)) return false;
  return true;
}

bool requireChinese(const Options& options, const std::string& name, std::string& value,
                    std::string& error) {
  if (!options.has(name)) {
    error = "missing --" + name;
    return false;
  }
  value = options.get(name);
  if (!isChineseText(value) || utf8Length(value) > 16) {
    error = "--" + name + " must be Chinese characters (at most 16)";
    return false;
  }
  return true;
}

bool readGender(const Options& options, int& gender, std::string& error) {
  long long value = 0;
  if (!options.has("gender")) {
    error = "missing --gender (1 boy, 2 girl)";
    return false;
  }
  if (!readInt(options.get("gender"), 1, 2, value)) {
    error = "--gender must be 1 (boy) or 2 (girl)";
    return false;
  }
  gender = static_cast<int>(value);
  return true;
}

bool readBirthday(const Options& options, std::string& birthday, std::string& error) {
  if (!options.has("birthday")) {
    error = "missing --birthday (\"YYYY-M-D hh:mm\")";
    return false;
  }
  static const std::regex pattern(
      R"(\s*(\d{1,4})-(\d{1,2})-(\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*)");
  std::smatch m;
  std::string text = options.get("birthday");
  // The regular-expression matcher recurses once per character: a text of
  // many thousand characters would overflow the stack. No date is longer.
  constexpr std::size_t kLongestBirthday = 64;
  bool ok = text.size() <= kLongestBirthday && std::regex_match(text, m, pattern);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (ok) {
    year = std::atoi(m[1].str().c_str());
    month = std::atoi(m[2].str().c_str());
    day = std::atoi(m[3].str().c_str());
    if (m[4].matched) hour = std::atoi(m[4].str().c_str());
    if (m[5].matched) minute = std::atoi(m[5].str().c_str());
    if (m[6].matched) second = std::atoi(m[6].str().c_str());
    ok = year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month) &&
         hour <= 23 && minute <= 59 && second <= 59;
  }
  if (!ok) {
    error = "--birthday must be a date and time such as \"2020-2-8 09:05\"";
    return false;
  }
  birthday = formatBirthday(year, month, day, hour, minute);
  return true;
}

bool readBirthPlace(const Options& options, BirthInfo& birth, std::string& error) {
  long long county = -1;
  if (options.has("county") && !readInt(options.get("county"), 1, 2147483647, county)) {
    error = "--county must be an area id (a positive number)";
    return false;
  }
  long long cityId = -1;
  if (options.has("city-id") && !readInt(options.get("city-id"), 0, 2147483647, cityId)) {
    error = "--city-id must be an area id (a number)";
    return false;
  }
  if (county >= 0 && cityId >= 0 && county != cityId) {
    error = "--county and --city-id name different areas";
    return false;
  }
  if (!options.has("longitude")) {
    if (county < 0) {
      error = "missing birth place: give --county ID (or --longitude DEGREES)";
      return false;
    }
    // The county's longitude comes from the knowledge database.
    if (!countyLongitude(static_cast<int>(county), birth.Longitude, error)) return false;
    birth.CityId = static_cast<int>(county);
    return true;
  }
  std::string text = options.get("longitude");
  char* end = nullptr;
  errno = 0;
  double longitude = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno != 0 ||
      !std::isfinite(longitude) || longitude < -180.0 || longitude > 180.0) {
    error = "--longitude must be a number of degrees between -180 and 180";
    return false;
  }
  birth.Longitude = static_cast<float>(longitude);
  birth.CityId = static_cast<int>(county >= 0 ? county : (cityId >= 0 ? cityId : 0));
  return true;
}

bool readBirthOptions(const Options& options, BirthInfo& birth, std::string& error) {
  return requireChinese(options, "surname", birth.Xing, error) &&
         readGender(options, birth.Gender, error) &&
         readBirthday(options, birth.Birthday, error) && readBirthPlace(options, birth, error);
}

bool readUnsigned(const Options& options, const std::string& name, unsigned min, unsigned max,
                  unsigned& value, std::string& error) {
  if (!options.has(name)) return true;  // keeps the default
  long long number = 0;
  if (!readInt(options.get(name), min, max, number)) {
    error = "--" + name + " must be a number from " + std::to_string(min) + " to " +
            std::to_string(max);
    return false;
  }
  value = static_cast<unsigned>(number);
  return true;
}

bool readAdvancedSettings(const Options& options, AdvancedNamingSettings& settings,
                          std::string& error) {
  if (!options.has("settings")) return true;
  struct Field {
    const char* name;
    int AdvancedNamingSettings::*member;
    int items;
  } fields[] = {
      {"cyz", &AdvancedNamingSettings::cyz, 4}, {"xb", &AdvancedNamingSettings::xb, 4},
      {"sx", &AdvancedNamingSettings::sx, 4},   {"zxz", &AdvancedNamingSettings::zxz, 4},
      {"xmx", &AdvancedNamingSettings::xmx, 4}, {"wx", &AdvancedNamingSettings::wx, 4},
      {"ny", &AdvancedNamingSettings::ny, 4},   {"yd", &AdvancedNamingSettings::yd, 4},
      {"sm", &AdvancedNamingSettings::sm, 3},   {"ym", &AdvancedNamingSettings::ym, 4},
  };
  std::string text = options.get("settings");
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() != std::size(fields)) {
    error = "--settings needs ten comma-separated numbers: cyz,xb,sx,zxz,xmx,wx,ny,yd,sm,ym";
    return false;
  }
  AdvancedNamingSettings read = settings;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    long long value = 0;
    if (!readInt(parts[i], 0, fields[i].items - 1, value)) {
      error = std::string("--settings: ") + fields[i].name + " must be a number from 0 to " +
              std::to_string(fields[i].items - 1);
      return false;
    }
    read.*(fields[i].member) = static_cast<int>(value);
  }
  settings = read;
  return true;
}

bool readSourceBook(const Options& options, int& position, std::string& error) {
  if (!options.has("source")) return true;
  const int found = sourceBookPosition(options.get("source"));
  if (found < 0) {
    error = "--source must be one of";
    for (const char* book : kSourceBooks) error += std::string(" ") + book;
    return false;
  }
  position = found;
  return true;
}

bool readFixedCharacter(const Options& options, const std::string& name, char16_t& unit,
                        std::string& error) {
  if (!options.has(name)) return true;
  std::string text = options.get(name);
  std::u32string cps = isChineseText(text) ? utf8ToCodePoints(text) : std::u32string();
  if (cps.size() != 1 || cps[0] > 0xFFFF) {
    error = "--" + name + " must be one common Chinese character";
    return false;
  }
  unit = static_cast<char16_t>(cps[0]);
  return true;
}

bool readPatterns(const Options& options, bool (&styles)[6], std::string& error) {
  if (!options.has("patterns")) {
    error = "missing --patterns (six digits 0 or 1, e.g. 110000)";
    return false;
  }
  std::string text = options.get("patterns");
  bool ok = text.size() == 6 && text.find_first_not_of("01") == std::string::npos &&
            text.find('1') != std::string::npos;
  if (!ok) {
    error = "--patterns must be six digits 0 or 1 with at least one 1 (e.g. 110000)";
    return false;
  }
  for (int i = 0; i < 6; ++i) styles[i] = text[i] == '1';
  return true;
}

}  // namespace norvane::cli
