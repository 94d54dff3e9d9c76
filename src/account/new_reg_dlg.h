#pragma once
// The login dialog ("dlg_reg.xml"): a phone number with an SMS verification
// code, or the WeChat or QQ login page in the web browser dialog. Whatever
// the way, it ends with one login request and leaves a LoginDialogResult;
// its opener keeps the login only when the result's token is non-empty.
//
// Everything runs on the window thread; the service calls block it (the
// login requests show the wait cursor). Timer 1 counts down the 120 seconds
// before another code may be requested.
#include "toolkit/window.h"

#include <functional>
#include <string>

namespace norvane {

struct LoginDialogResult {
  int loginType = 0;     // 1 SMS code, 2 WeChat, 3 QQ; 0 while nobody logged in
  std::string account;   // the phone number, or the page's "unionid" / "openid"
  std::string nickname;  // the phone number, or the page's "nickname"
  std::string token;     // what the login request returned (may be empty)
};

class CNewRegDlg : public toolkit::Window {
  Q_OBJECT
 public:
  static constexpr int kCountdownTimer = 1;
  static constexpr int kCountdownSeconds = 120;

  explicit CNewRegDlg(QWidget* parent = nullptr);
  ~CNewRegDlg() override;

  const LoginDialogResult& loginResult() const { return result_; }

  // Seconds left before another code may be requested (0 when none runs).
  int countdown() const { return countdown_; }

  // Where verification codes come from (default: makeVerificationCode).
  void setCodeMaker(std::function<std::string()> maker) { makeCode_ = std::move(maker); }

  // Shows a login page modally and returns the text the page handed over
  // (default: CWebBrowserDlg owned by this dialog).
  using BrowserRunner = std::function<QString(QWidget* owner, const QString& url,
                                              const QString& windowText, const QString& caption)>;
  void setBrowserRunner(BrowserRunner runner) { runBrowser_ = std::move(runner); }

  // The address of a web login page: the service origin, the page's path and
  // "/?agent=" with the partner id.
  static QString loginPageUrl(int loginType, int partnerId);

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onTimer(int id) override;

 private:
  void initDialog();
  void requestCode();
  void loginWithCode();
  void thirdPartyLogin(int loginType);
  void handlePageAnswer(int loginType, const QString& answer);
  bool login(const std::string& account, const std::string& nickname, int loginType);
  void stopCountdown();
  void showTab(int page);

  std::string mobile_;
  std::string expectedCode_;
  int countdown_ = 0;
  int timerId_ = 0;
  LoginDialogResult result_;
  std::function<std::string()> makeCode_;
  BrowserRunner runBrowser_;
};

}  // namespace norvane
