#include "account/account_store.h"

#include "platform/folders.h"
#include "platform/utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvane {
namespace {

constexpr const char* kAccount = "Account";
constexpr const char* kToken = "Token";
constexpr const char* kNickName = "NickName";
constexpr const char* kLoginTypeName = "LoginType";

std::string readStoredText(const KeyValueStore& store, const char* name) {
  std::optional<std::string> value = store.readText(name);
  return value ? storableText(*value) : std::string();
}

}  // namespace

std::string storableText(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  for (char32_t cp : utf8ToCodePoints(text)) {
    if (cp < 0x20 || cp == 0x7f) cp = U' ';
    clean += codePointToUtf8(cp);
  }
  // The store hands values back without surrounding blanks: keep them so.
  std::size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  clean = clean.substr(first, clean.find_last_not_of(' ') - first + 1);
  std::string kept = utf8Prefix(clean, AccountStore::kMaxValueChars);
  std::size_t last = kept.find_last_not_of(' ');
  return kept.substr(0, last + 1);
}

bool restrictToOwner(const std::string& path) {
  if (path.empty()) return false;
  std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) ensureFolder(path.substr(0, slash));
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, 0600) == 0;
  ::close(fd);
  return ok;
}

void AccountStore::load(const KeyValueStore& store) {
  account_.clear();
  token_.clear();
  nickname_.clear();
  std::string account = readStoredText(store, kAccount);
  std::string token = readStoredText(store, kToken);
  std::string nickname = readStoredText(store, kNickName);
  if (std::optional<std::uint32_t> type = store.readNumber(kLoginTypeName))
    loginType_ = static_cast<int>(*type);
  if (account.empty() || token.empty() || nickname.empty()) return;
  account_ = std::move(account);
  token_ = std::move(token);
  nickname_ = std::move(nickname);
}

void AccountStore::save(const std::string& account, const std::string& nickname,
                        const std::string& token, int loginType, KeyValueStore store) {
  account_ = storableText(account);
  nickname_ = storableText(nickname);
  token_ = storableText(token);
  loginType_ = loginType;
  // The token must never sit in a file that others may read, not even for
  // the moment between two writes.
  restrictToOwner(store.path());
  store.writeText(kAccount, account_);
  store.writeText(kNickName, nickname_);
  store.writeText(kToken, token_);
  store.writeNumber(kLoginTypeName, static_cast<std::uint32_t>(loginType_));
}

void AccountStore::clear(KeyValueStore store) {
  account_.clear();
  token_.clear();
  nickname_.clear();
  loginType_ = kLoggedOut;
  store.remove(kAccount);
  store.remove(kNickName);
  store.remove(kToken);
  store.remove(kLoginTypeName);
}

AccountStore& accountStore() {
  static AccountStore store;
  return store;
}

}  // namespace norvane
