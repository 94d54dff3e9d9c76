#pragma once
// The stored login of this operating-system user: account, token, nickname
// and login type, kept in the per-user value store under the names
// "Account", "Token", "NickName" and "LoginType".
//
// One process-wide instance (accountStore()) lives from start to exit. It is
// read and changed on the window thread only (the start-up re-validation
// hands its result to that thread); the command-line front end uses it from
// its one thread.
#include "platform/key_value_store.h"

#include <cstdint>
#include <string>

namespace norvane {

enum LoginType : int {
  kLoggedOut = 0,
  kLoginSms = 1,
  kLoginWeChat = 2,
  kLoginQQ = 3,
};

class AccountStore {
 public:
  // The longest text a stored value keeps, in characters: what the store has
  // always been able to hold. Longer texts are cut on save.
  static constexpr std::size_t kMaxValueChars = 259;

  const std::string& account() const { return account_; }
  const std::string& token() const { return token_; }
  const std::string& nickname() const { return nickname_; }
  int loginType() const { return loginType_; }

  // Logged in as the logout command and the user area see it.
  bool hasToken() const { return !token_.empty(); }

  // Reads the four values, replacing what was held. A record with an empty or missing account, token
  // or nickname loads as logged out (the three texts stay empty); the login
  // type is taken as read.
  void load(const KeyValueStore& store);
  void load() { load(userStore()); }

  // Sets the four values and writes them ("Account", "NickName", "Token",
  // "LoginType"). Texts are cut to kMaxValueChars and line breaks become
  // blanks, so what is kept in memory is what the next start reads. The
  // store's file is made readable by its owner only before the token is
  // written. Write failures are ignored.
  void save(const std::string& account, const std::string& nickname, const std::string& token,
            int loginType, KeyValueStore store);
  void save(const std::string& account, const std::string& nickname, const std::string& token,
            int loginType) {
    save(account, nickname, token, loginType, userStore());
  }

  // Empties the texts, sets the login type to 0 and removes the four values.
  void clear(KeyValueStore store);
  void clear() { clear(userStore()); }

 private:
  std::string account_;
  std::string token_;
  std::string nickname_;
  int loginType_ = kLoggedOut;
};

// The process-wide store.
AccountStore& accountStore();

// The text as the store keeps it: at most kMaxValueChars characters of valid
// UTF-8, control characters (line breaks) as blanks, no blanks at either end.
std::string storableText(const std::string& text);

// Makes the store's file private to its owner (mode 0600), creating it empty
// when it does not exist yet. False when that was not possible.
bool restrictToOwner(const std::string& path);

}  // namespace norvane
