#pragma once
// The command line of norvane-cli: "--name value" (or "--name=value") pairs
// after the command word, and the checks that turn option texts into the
// values the queries take. Every check reports a message meant for the user.
#include "service/name_query.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace norvane::cli {

// The options a command accepts; each takes a value.
using OptionNames = std::vector<std::string>;

class Options {
 public:
  bool has(const std::string& name) const { return values_.count(name) != 0; }
  // The value, or "" when the option was not given.
  std::string get(const std::string& name) const;
  void set(const std::string& name, const std::string& value) { values_[name] = value; }

 private:
  std::map<std::string, std::string> values_;
};

// Reads args (the words after the command) against the accepted names.
// False with `error` set for an unknown or repeated option, a missing value
// or a stray word.
// `flags` are options without a value ("--nickname"); a given flag reads as "1".
bool parseOptions(const std::vector<std::string>& args, const OptionNames& accepted,
                  Options& options, std::string& error, const OptionNames& flags = {});

// Value checks. Each returns false with `error` naming the option.
bool requireChinese(const Options& options, const std::string& name, std::string& value,
                    std::string& error);
bool readGender(const Options& options, int& gender, std::string& error);
// "Y-M-D[ h:mm[:ss]]", normalised to the program's birthday text (seconds 00).
bool readBirthday(const Options& options, std::string& birthday, std::string& error);
// The birth place: --longitude (degrees) and the county id (--county or
// --city-id) that goes into cache keys and records.
bool readBirthPlace(const Options& options, BirthInfo& birth, std::string& error);
bool readBirthOptions(const Options& options, BirthInfo& birth, std::string& error);
bool readUnsigned(const Options& options, const std::string& name, unsigned min, unsigned max,
                  unsigned& value, std::string& error);
// "cyz,xb,sx,zxz,xmx,wx,ny,yd,sm,ym": ten item positions.
bool readAdvancedSettings(const Options& options, AdvancedNamingSettings& settings,
                          std::string& error);
// --source BOOK: one of the source books ("不限", "诗经", "楚辞", "唐诗", "宋词",
// "论语"), stored as its position.
bool readSourceBook(const Options& options, int& position, std::string& error);
// One Chinese character of the basic plane, for --fixed and --fixed-second.
bool readFixedCharacter(const Options& options, const std::string& name, char16_t& unit,
                        std::string& error);
// Six digits 0/1, at least one 1 ("110000").
bool readPatterns(const Options& options, bool (&styles)[6], std::string& error);

// True when every character of the text is a Chinese ideograph.
bool isChineseText(const std::string& text);

}  // namespace norvane::cli
