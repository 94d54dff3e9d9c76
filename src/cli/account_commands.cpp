#include "cli/account_commands.h"

#include "account/account_store.h"
#include "account/login_requests.h"
#include "account/query_account.h"
#include "cli/commands.h"
#include "platform/folders.h"
#include "shell/settings.h"

#include <iostream>
#include <string>

namespace norvane::cli {
namespace {

bool isDigits(const std::string& text, std::size_t length) {
  if (text.size() != length) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

int login(const Options& options, std::istream& in, std::ostream& out, std::ostream& err) {
  std::string mobile = options.get("mobile");
  if (!isDigits(mobile, 11)) {
    err << "norvane-cli login: --mobile takes the 11 digits of a phone number\n";
    return kExitUsage;
  }
  LoadOemSettings(JoinPath(ProgramFolder, "oem.ini"));

  std::string code = makeVerificationCode();
  std::string reason;
  if (!sendSmsCode(mobile, code, reason)) {
    err << "norvane-cli login: the verification code could not be sent"
        << (reason.empty() ? std::string() : ": " + reason) << "\n";
    return kExitFailure;
  }
  err << "Verification code sent to " << mobile << ". Code: " << std::flush;
  std::string entered;
  std::getline(in, entered);
  entered = trimmed(entered);
  if (entered.empty() || entered != code) {
    err << "norvane-cli login: the code does not match the one sent\n";
    return kExitFailure;
  }

  LoginRequest request = makeLoginRequest(mobile, kLoginSms);
  ServiceStatus status = requestLogin(request);
  if (status != kStatusOk) {
    err << "norvane-cli: status " << status << " (" << statusTextKey(status) << ")\n";
    return kExitFailure;
  }
  if (request.token.empty()) {
    err << "norvane-cli login: the service accepted the login but gave no token; nothing stored\n";
    return kExitFailure;
  }
  accountStore().save(mobile, mobile, request.token, kLoginSms);
  out << "{\n   \"account\" : \"" << mobile << "\",\n   \"loggedIn\" : true\n}\n";
  return kExitOk;
}

int loginCommand(const Options& options, std::ostream& out, std::ostream& err) {
  return login(options, std::cin, out, err);
}

int logoutCommand(const Options&, std::ostream& out, std::ostream&) {
  AccountStore& store = accountStore();
  store.load();
  bool wasLoggedIn = store.hasToken();
  store.clear();
  out << "{\n   \"loggedOut\" : " << (wasLoggedIn ? "true" : "false") << "\n}\n";
  return kExitOk;
}

void applyStoredLogin(PageQuery& query) {
  AccountStore& store = accountStore();
  store.load();
  applyAccount(query, store);
}

}  // namespace norvane::cli
