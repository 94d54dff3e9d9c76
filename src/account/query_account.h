#pragma once
// The logged-in account travels with every name and nickname search.
#include "account/account_store.h"
#include "service/name_query.h"

namespace norvane {

// Copies the store's account and token into the query (both empty when
// nobody is logged in).
void applyAccount(PageQuery& query, const AccountStore& store);
inline void applyAccount(PageQuery& query) { applyAccount(query, accountStore()); }

}  // namespace norvane
