// norvane-language-build: writes the language text tables from their UTF-8
// source.
//
//   norvane-language-build SOURCE.txt OUTPUT_FOLDER
//
// SOURCE holds "[Section]" lines, "key=value" lines (the key is everything
// before the first "=", the value everything after it, kept as is; the two
// characters "\n" in a value stand for a line break), "#" comments and blank
// lines. OUTPUT_FOLDER receives cn.dat (the texts as written) and tw.dat (the
// values converted to traditional Chinese with OpenCC's "s2twp" configuration:
// Taiwan standard characters and Taiwan phrasing). Keys and section names are
// never converted. A missing source gives tables without entries, so a tree
// without texts still builds; every lookup then yields its default.
#include <opencc/opencc.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "shell/text_table.h"

namespace {

using norvane::TextEntries;
using Sections = std::vector<std::pair<std::string, TextEntries>>;

std::string unescapeLineBreaks(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

bool parseSource(const std::string& path, Sections& sections) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "norvane-language-build: cannot read " << path << "\n";
    return false;
  }
  std::string line;
  int number = 0;
  TextEntries* current = nullptr;
  std::map<std::string, std::set<std::string>> seen;
  std::string sectionName;
  bool ok = true;
  while (std::getline(in, line)) {
    ++number;
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (!norvane::isValidUtf8(line)) {
      std::cerr << where << "line is not valid UTF-8\n";
      ok = false;
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    if (line[0] == '[') {
      std::size_t close = line.find(']');
      if (close == std::string::npos || close == 1 ||
          line.find_first_not_of(" \t", close + 1) != std::string::npos) {
        std::cerr << where << "malformed section line\n";
        ok = false;
        current = nullptr;
        continue;
      }
      sectionName = line.substr(1, close - 1);
      current = nullptr;
      for (auto& [name, entries] : sections) {
        if (name == sectionName) current = &entries;
      }
      if (current == nullptr) {
        sections.emplace_back(sectionName, TextEntries{});
        current = &sections.back().second;
      }
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      std::cerr << where << "expected key=value\n";
      ok = false;
      continue;
    }
    if (current == nullptr) {
      std::cerr << where << "entry outside a section\n";
      ok = false;
      continue;
    }
    std::string key = line.substr(0, eq);
    if (!seen[sectionName].insert(key).second) {
      // The reader takes the first entry of a key; later ones are dead text.
      std::cerr << where << "warning: key " << key << " repeated in [" << sectionName
                << "]; the first one is used\n";
    }
    current->emplace_back(key, unescapeLineBreaks(line.substr(eq + 1)));
  }
  return ok;
}

// The conversions of a format text, in order ("%s%d"), to check that the
// traditional text keeps what the callers pass.
std::string conversionsOf(const std::string& text) {
  std::string conv;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    std::size_t j = i + 1;
    while (j < text.size() && std::string("-+ #0123456789.").find(text[j]) != std::string::npos) ++j;
    if (j < text.size()) conv += text.substr(i, j - i + 1);
    i = j;
  }
  return conv;
}

bool toTraditional(const Sections& simplified, Sections& traditional) {
  const char* config = "s2twp.json";
  opencc_t converter = opencc_open(config);
  if (converter == reinterpret_cast<opencc_t>(-1)) {
    std::cerr << "norvane-language-build: cannot open the OpenCC configuration " << config << ": "
              << opencc_error() << "\n";
    return false;
  }
  bool ok = true;
  for (const auto& [name, entries] : simplified) {
    TextEntries converted;
    for (const auto& [key, value] : entries) {
      char* text = opencc_convert_utf8(converter, value.c_str(), value.size());
      if (text == nullptr) {
        std::cerr << "norvane-language-build: conversion of " << key << " failed: " << opencc_error()
                  << "\n";
        ok = false;
        continue;
      }
      std::string result(text);
      opencc_convert_utf8_free(text);
      if (conversionsOf(result) != conversionsOf(value)) {
        std::cerr << "norvane-language-build: conversion of " << key
                  << " changed its format conversions\n";
        ok = false;
      }
      converted.emplace_back(key, std::move(result));
    }
    traditional.emplace_back(name, std::move(converted));
  }
  opencc_close(converter);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: norvane-language-build SOURCE.txt OUTPUT_FOLDER\n";
    return 2;
  }
  const std::string source = argv[1];
  const std::string folder = argv[2];
  Sections simplified;
  if (std::filesystem::exists(source)) {
    if (!parseSource(source, simplified)) return 1;
  } else {
    std::cerr << "norvane-language-build: warning: " << source
              << " does not exist; writing tables without entries\n";
    simplified = {{"Text", {}}, {"Message", {}}};
  }
  Sections traditional;
  if (!toTraditional(simplified, traditional)) return 1;

  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string error;
  for (const auto& [name, sections] :
       {std::pair<const char*, const Sections*>{"cn.dat", &simplified}, {"tw.dat", &traditional}}) {
    const std::string path = (std::filesystem::path(folder) / name).string();
    if (!norvane::writeTextTable(path, *sections, error)) {
      std::cerr << "norvane-language-build: " << path << ": " << error << "\n";
      return 1;
    }
  }
  return 0;
}
