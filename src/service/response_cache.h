#pragma once
// Answers of the service kept on disk, one file per question, so the same
// question is not asked twice. No expiry: a stored answer is used until the
// cache is cleared.
//
// Files live under DataFolder + "/cache/" in four kind folders and are named
// by the MD5 of the question's key text + ".dat"; a file holds the service's
// whole answer as received (local text). Without a data folder there is no
// cache: paths are empty, nothing is found and nothing is written.
#include "service/answer_limits.h"

#include <json/value.h>

#include <cstddef>
#include <string>

namespace norvane {

enum class CacheKind {
  Analysis = 0,  // "cache/fenxi/": name and nickname analyses
  NamePage = 1,  // "cache/quming/": pages of formal names and of nicknames
  Fortune = 2,   // "cache/yunsi/": name fortunes
  Nickname = 3,  // "cache/quxiaoming/": created with the others; nothing is stored in it
};

class ResponseCache {
 public:
  // DataFolder + "/cache/"; empty without a data folder.
  static std::string root();

  // The kind's folder with a trailing "/"; empty without a data folder.
  static std::string folder(CacheKind kind);

  // Creates the four kind folders (and the folders above them) when missing.
  static void createFolders();

  // folder(kind) + md5Hex(key) + ".dat"; empty without a data folder.
  static std::string path(CacheKind kind, const std::string& key);

  // The path when a file exists there, else "".
  static std::string find(const std::string& path);

  // Reads and parses the file (comments allowed; bounded and made
  // well-formed like every answer, see parseJson). False when it cannot be
  // opened, is larger than maxBytes (the bound of the answer kind it holds,
  // service/answer_limits.h: no such answer is ever stored), or is not JSON.
  static bool read(const std::string& path, Json::Value& document,
                   std::size_t maxBytes = kMaxAnswerBytes);

  // Replaces the file's content with `text` atomically: the text goes to a
  // temporary file in the same folder, which is then renamed over the file,
  // so a crash never leaves a truncated answer behind. Failures are silent
  // (the result says whether the file was written).
  static bool write(const std::string& path, const std::string& text);

  // Deletes every file below root(); the folders themselves stay.
  static void clear();
};

// Key of a name analysis: "%s|%s|%d|%0.2f" over surname and given name
// written together, the birthday, the gender and the longitude (two
// decimals). Surname 欧 + 阳明 and 欧阳 + 明 share a key.
std::string analysisCacheKey(const std::string& xing, const std::string& ming,
                             const std::string& birthday, int gender, float longitude);

// Key of a nickname analysis: the analysis key followed by "|xiaoming", so a
// nickname report is never served a stored name analysis (or the reverse).
std::string nicknameAnalysisCacheKey(const std::string& xing, const std::string& ming,
                                     const std::string& birthday, int gender, float longitude);

// Key of a fortune: surname and given name written together ("" means the
// question has no cache file).
std::string fortuneCacheKey(const std::string& xing, const std::string& ming);

}  // namespace norvane
