#include "account/query_account.h"

namespace norvane {

void applyAccount(PageQuery& query, const AccountStore& store) {
  if (store.hasToken()) {
    query.Account = store.account();
    query.Token = store.token();
  } else {
    query.Account.clear();
    query.Token.clear();
  }
}

}  // namespace norvane
