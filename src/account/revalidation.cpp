#include "account/revalidation.h"

#include "account/login_requests.h"

namespace norvane {

StoredLogin storedLoginOf(const AccountStore& store, int partnerId) {
  StoredLogin login;
  login.account = store.account();
  login.token = store.token();
  login.loginType = store.loginType();
  login.partnerId = partnerId;
  return login;
}

RevalidationOutcome revalidateStoredLogin(const StoredLogin& login) {
  LoginRequest request;
  request.account = login.account;
  request.agentId = login.partnerId;
  request.typeId = login.loginType;
  if (requestLogin(request) != kStatusOk) return RevalidationOutcome::Unanswered;
  // Compared exactly: an empty token from the service differs from any stored one.
  return request.token == login.token ? RevalidationOutcome::Confirmed
                                      : RevalidationOutcome::TokenChanged;
}

bool applyRevalidation(RevalidationOutcome outcome, const StoredLogin& checked,
                       AccountStore& store, KeyValueStore values) {
  if (outcome != RevalidationOutcome::TokenChanged) return false;
  if (store.account() != checked.account || store.token() != checked.token) return false;
  store.clear(std::move(values));
  return true;
}

}  // namespace norvane
