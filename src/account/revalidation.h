#pragma once
// The start-up check of a stored login: the stored account logs in again and
// the token the service hands back is compared with the stored one.
//
// revalidateStoredLogin only asks and compares; it touches neither the store
// nor any window, so it can run on a worker thread. The caller applies the
// outcome on the window thread (applyRevalidation).
#include "account/account_store.h"

#include <string>

namespace norvane {

enum class RevalidationOutcome {
  Unanswered,    // the request failed (no network, service error): keep the login
  Confirmed,     // the service gave the stored token back
  TokenChanged,  // the service gave another (or an empty) token: the login is gone
};

struct StoredLogin {
  std::string account;
  std::string token;
  int loginType = kLoggedOut;
  int partnerId = 1;
};

// What to check, copied from the store on the window thread.
StoredLogin storedLoginOf(const AccountStore& store, int partnerId);

// Blocking; safe on any thread.
RevalidationOutcome revalidateStoredLogin(const StoredLogin& login);

// On the window thread: a changed token removes the stored login, but only
// when the store still holds the login that was checked (the user may have
// logged out or in meanwhile). True when the store was cleared.
bool applyRevalidation(RevalidationOutcome outcome, const StoredLogin& checked,
                       AccountStore& store, KeyValueStore values);

}  // namespace norvane
