#include "account/new_reg_dlg.h"

#include "account/account_store.h"
#include "account/login_requests.h"
#include "account/web_browser_dlg.h"
#include "platform/utf8.h"
#include "service/endpoints.h"
#include "service/json_access.h"
#include "shell/message_box.h"
#include "shell/settings.h"
#include "shell/text_table.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStackedWidget>

#include <json/value.h>

namespace norvane {
namespace {

QString text(const char* key) { return QString::fromUtf8(GetText(key)); }

QString formatted(const std::string& format, std::initializer_list<FormatArg> args) {
  std::string out;
  if (!formatText(format, args, out)) return QString::fromStdString(format);
  return QString::fromUtf8(out);
}

void digitsOnly(QLineEdit* edit, int maxLength) {
  if (edit == nullptr) return;
  edit->setMaxLength(maxLength);
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxLength)), edit));
}

}  // namespace

CNewRegDlg::CNewRegDlg(QWidget* parent)
    : toolkit::Window(QStringLiteral("NorvaneDialogClass"), QStringLiteral("dlg_reg.xml"), parent),
      makeCode_([] { return makeVerificationCode(); }),
      runBrowser_([](QWidget* owner, const QString& url, const QString& windowText,
                     const QString& caption) {
        CWebBrowserDlg browser(url);
        browser.setWindowTitle(windowText);
        browser.create(owner);
        if (!browser.hasWebView()) {
          // The web module is missing or broken: a message instead of an empty window.
          ShowMessage("WebModuleMissing", owner, MB_ERROR_ICON);
          return QString();
        }
        browser.SetCaption(caption);
        browser.showModal(owner);
        return browser.answer();
      }) {
  enableShadow(true);
  // Closing in any state (button, desktop, a finished login) ends the countdown.
  connect(this, &toolkit::Window::windowClosed, this, [this] { stopCountdown(); });
}

CNewRegDlg::~CNewRegDlg() { stopCountdown(); }

QString CNewRegDlg::loginPageUrl(int loginType, int partnerId) {
  QString origin = QString::fromStdString(ServiceEndpoints::serviceOrigin());
  QString path = loginType == kLoginQQ ? QStringLiteral("/user/login/qq/pc")
                                       : QStringLiteral("/user/login/weixin/pc");
  return QStringLiteral("%1%2/?agent=%3").arg(origin, path).arg(partnerId);
}

void CNewRegDlg::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initDialog();
    return;
  }
  if (type != QLatin1String("click")) return;
  if (sender == QLatin1String("btnClose")) {
    close(1);
  } else if (sender == QLatin1String("goLoginFromPhone")) {
    showTab(0);
  } else if (sender == QLatin1String("goLoginFromEmail")) {
    showTab(1);
  } else if (sender == QLatin1String("btnSendVeryfyCode")) {
    requestCode();
  } else if (sender == QLatin1String("btnMobileLogin")) {
    loginWithCode();
  } else if (sender == QLatin1String("btnWeChat")) {
    thirdPartyLogin(kLoginWeChat);
  } else if (sender == QLatin1String("btnQQ")) {
    thirdPartyLogin(kLoginQQ);
  }
}

void CNewRegDlg::initDialog() {
  digitsOnly(control<QLineEdit>(QStringLiteral("userMobile")), 11);
  digitsOnly(control<QLineEdit>(QStringLiteral("verifyCode")), 6);
}

void CNewRegDlg::showTab(int page) {
  if (auto* tabs = control<QStackedWidget>(QStringLiteral("tabStep"))) tabs->setCurrentIndex(page);
}

void CNewRegDlg::requestCode() {
  auto* mobileEdit = control<QLineEdit>(QStringLiteral("userMobile"));
  QString mobile = mobileEdit ? mobileEdit->text() : QString();
  if (mobile.size() != 11) {
    ShowMessage("InvalidMobile", this, MB_INFORMATION_ICON);
    if (mobileEdit) mobileEdit->setFocus();
    return;
  }
  mobile_ = mobile.toStdString();
  expectedCode_ = makeCode_();

  std::string reason;
  if (sendSmsCode(mobile_, expectedCode_, reason)) {
    ShowMessage("VerifySendByPhone", this, MB_INFORMATION_ICON);
    if (auto* send = control<QAbstractButton>(QStringLiteral("btnSendVeryfyCode"))) send->setEnabled(false);
    countdown_ = kCountdownSeconds;
    setTimer(kCountdownTimer, 1000);
    timerId_ = kCountdownTimer;
    return;
  }
  // The service's reason arrives as UTF-8; an empty reason stays empty.
  std::string title, format;
  LookupText("Message", "Title", "", title);
  LookupText("Message", "ErrVerifySend", "", format);
  ShowMessageText(formatted(format, {fromUtf8(reason)}), QString::fromUtf8(title), this,
                  MB_INFORMATION_ICON);
}

void CNewRegDlg::onTimer(int id) {
  if (id != kCountdownTimer || timerId_ == 0) return;
  auto* send = control<QAbstractButton>(QStringLiteral("btnSendVeryfyCode"));
  if (send) send->setText(formatted(GetText("CpatchaValidTime"), {countdown_}));
  --countdown_;
  if (countdown_ > 0) return;
  stopCountdown();
  if (send) {
    send->setEnabled(true);
    send->setText(text("SendCpatchaAgain"));
  }
}

void CNewRegDlg::stopCountdown() {
  if (timerId_ != 0) killTimer(kCountdownTimer);
  timerId_ = 0;
  countdown_ = 0;
}

void CNewRegDlg::loginWithCode() {
  auto* codeEdit = control<QLineEdit>(QStringLiteral("verifyCode"));
  std::string entered = codeEdit ? codeEdit->text().toStdString() : std::string();
  if (entered.empty()) {
    ShowMessage("VerifyCodeIsEmpty", this, MB_INFORMATION_ICON);
    return;
  }
  // No code requested yet means nothing can match.
  if (expectedCode_.empty() || entered != expectedCode_) {
    ShowMessage("VerifyCodeIsError", this, MB_INFORMATION_ICON);
    return;
  }
  // The number the code was sent to, whatever the field says now.
  login(mobile_, mobile_, kLoginSms);
}

bool CNewRegDlg::login(const std::string& account, const std::string& nickname, int loginType) {
  LoginRequest request = makeLoginRequest(account, loginType);
  ServiceStatus status;
  {
    toolkit::WaitCursor busy;
    status = requestLogin(request);
  }
  if (status != kStatusOk) {
    ShowMessage(statusTextKey(status), this, MB_ERROR_ICON);
    return false;
  }
  result_.loginType = loginType;
  result_.account = account;
  result_.nickname = nickname;
  result_.token = request.token;
  close(1);
  return true;
}

void CNewRegDlg::thirdPartyLogin(int loginType) {
  const bool qq = loginType == kLoginQQ;
  QString url = loginPageUrl(loginType, oemSettings().partnerId);
  QString answer = runBrowser_(this, url, qq ? QStringLiteral("QQ") : QStringLiteral("WeChat"),
                               text(qq ? "QQLogin" : "WeChatLogin"));
  handlePageAnswer(loginType, answer);
}

void CNewRegDlg::handlePageAnswer(int loginType, const QString& answer) {
  // Nothing usable from the page: the dialog stays as it was, without a message.
  if (!answer.startsWith(QLatin1Char('{'))) return;
  Json::Value root;
  if (!parseJson(answer.toStdString(), root) || !root.isObject()) return;

  const Json::Value& authorised = jsonMember(root, "result");
  // The page's texts are data: cut to what the store keeps, never markup.
  std::string id = storableText(
      fromUtf8(jsonText(jsonMember(root, loginType == kLoginQQ ? "openid" : "unionid"))));
  if (!jsonIsInt(authorised) || jsonInt(authorised) != 1 || id.empty()) {
    ShowMessage("AuthorizationFailed", this, MB_ERROR_ICON);
    return;
  }
  std::string nickname = storableText(fromUtf8(jsonText(jsonMember(root, "nickname"))));
  // A login without a name to show would be stored as incomplete and be
  // gone at the next start; the id stands in for it.
  if (nickname.empty()) nickname = id;
  login(id, nickname, loginType);
}

}  // namespace norvane
