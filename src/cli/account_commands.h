#pragma once
// Logging in and out from the command line, into the same per-user store the
// window program uses, so later searches run as the logged-in user.
#include <istream>
#include <ostream>

#include "cli/options.h"
#include "service/name_query.h"

namespace norvane::cli {

// login --mobile N: asks the service to text a verification code to N, reads
// the code from `in`, and on a match logs in and stores the login.
int login(const Options& options, std::istream& in, std::ostream& out, std::ostream& err);
int loginCommand(const Options& options, std::ostream& out, std::ostream& err);

// logout: removes the stored login.
int logoutCommand(const Options& options, std::ostream& out, std::ostream& err);

// The stored login's account and token into a search (both stay empty when
// nobody is logged in).
void applyStoredLogin(PageQuery& query);

}  // namespace norvane::cli
