#include "service/response_cache.h"

#include "platform/file_io.h"
#include "platform/folders.h"
#include "service/envelope.h"
#include "service/json_access.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace norvane {
namespace {

const char* kindFolder(CacheKind kind) {
  switch (kind) {
    case CacheKind::Analysis: return "cache/fenxi/";
    case CacheKind::NamePage: return "cache/quming/";
    case CacheKind::Fortune: return "cache/yunsi/";
    case CacheKind::Nickname: return "cache/quxiaoming/";
  }
  return "";
}

}  // namespace

std::string ResponseCache::root() {
  if (DataFolder.empty()) return {};
  return JoinPath(DataFolder, "cache/");
}

std::string ResponseCache::folder(CacheKind kind) {
  if (DataFolder.empty()) return {};
  return JoinPath(DataFolder, kindFolder(kind));
}

void ResponseCache::createFolders() {
  for (CacheKind kind :
       {CacheKind::Analysis, CacheKind::NamePage, CacheKind::Fortune, CacheKind::Nickname}) {
    std::string path = folder(kind);
    if (!path.empty()) ensureFolder(path);
  }
}

std::string ResponseCache::path(CacheKind kind, const std::string& key) {
  std::string dir = folder(kind);
  if (dir.empty()) return {};
  return dir + md5Hex(key) + ".dat";
}

std::string ResponseCache::find(const std::string& path) {
  return fileExists(path) ? path : std::string();
}

bool ResponseCache::read(const std::string& path, Json::Value& document, std::size_t maxBytes) {
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    // Read no further than the bound: a file this large was never an answer.
    if (text.size() > maxBytes) return false;
  }
  return parseJson(text, document);
}

bool ResponseCache::write(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  // The temporary file is created readable and writable by the user only,
  // which suits answers that name the user's child.
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = writeFully(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

void ResponseCache::clear() {
  std::string start = root();
  if (start.empty()) return;
  std::error_code ec;
  std::filesystem::recursive_directory_iterator it(start, ec), end;
  // The walk does not follow links to folders, so nothing outside the cache
  // is touched; failures to delete are ignored.
  while (!ec && it != end) {
    std::error_code statusError;
    if (!it->is_directory(statusError) || it->is_symlink(statusError)) {
      std::error_code removeError;
      std::filesystem::remove(it->path(), removeError);
    }
    it.increment(ec);
  }
}

std::string analysisCacheKey(const std::string& xing, const std::string& ming,
                             const std::string& birthday, int gender, float longitude) {
  char key[2048];
  std::string fullName = xing + ming;
  std::snprintf(key, sizeof key, "%s|%s|%d|%0.2f", fullName.c_str(), birthday.c_str(), gender,
                static_cast<double>(longitude));
  return key;
}

std::string nicknameAnalysisCacheKey(const std::string& xing, const std::string& ming,
                                     const std::string& birthday, int gender, float longitude) {
  return analysisCacheKey(xing, ming, birthday, gender, longitude) + "|xiaoming";
}

std::string fortuneCacheKey(const std::string& xing, const std::string& ming) {
  return xing + ming;
}

}  // namespace norvane
