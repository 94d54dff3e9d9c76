// The login dialog offscreen against a test service, with the message
// recorder: the SMS flow and its countdown (driven tick by tick), the code
// checks, the web logins' answers and closing.
#include "account/account_store.h"
#include "support/qt_application.h"
#include "account/new_reg_dlg.h"
#include "platform/folders.h"
#include "service/json_access.h"
#include "service/transport.h"
#include "service/service_fixture.h"
#include "shell/message_box.h"
#include "shell/settings.h"
#include "shell/text_table.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>

namespace norvane {
namespace {

using toolkit::RecordingMessagePresenter;
using toolkit::ScopedMessagePresenter;

// The dialog with its timer handler reachable, so tests tick the countdown
// themselves instead of waiting two minutes.
class DrivenRegDlg : public CNewRegDlg {
 public:
  using CNewRegDlg::onTimer;
};

QString message(const char* key) {
  std::string text;
  LookupText("Message", key, "", text);
  return QString::fromUtf8(text);
}

QString textEntry(const char* key) { return QString::fromUtf8(GetText(key)); }

class LoginDialogTest : public test::ServiceTest {
 protected:
  static void SetUpTestSuite() {
    test::startOffscreenApplication("account_dialog_tests");
    ASSERT_TRUE(toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH)));
  }

  void SetUp() override {
    ServiceTest::SetUp();
    ProgramFolder = NORVANE_BIN_DIR;  // the built language tables
    oemSettings().partnerId = 1;
    server.answer("/sms/login/", R"({"code":0})");
    server.answer("/v1/user/login", R"({"code":0,"data":{"token":"tok-1"}})");
    dlg.setCodeMaker([] { return std::string("246810"); });
    ASSERT_TRUE(dlg.create(nullptr)) << dlg.lastError().toStdString();
    dlg.show();
    QApplication::processEvents();
  }

  QLineEdit* edit(const char* name) { return dlg.control<QLineEdit>(QString::fromLatin1(name)); }
  QAbstractButton* button(const char* name) {
    return dlg.control<QAbstractButton>(QString::fromLatin1(name));
  }
  void click(const char* name) {
    QAbstractButton* b = button(name);
    ASSERT_NE(b, nullptr) << name;
    b->click();
  }
  void requestCodeFor(const char* mobile) {
    edit("userMobile")->setText(QString::fromLatin1(mobile));
    click("btnSendVeryfyCode");
  }
  std::vector<QString> messages() const {
    std::vector<QString> texts;
    for (const auto& call : recorder.calls()) texts.push_back(call.text);
    return texts;
  }
  bool waitClosed() {
    QElapsedTimer t;
    t.start();
    while (dlg.isVisible() && t.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !dlg.isVisible();
  }

  RecordingMessagePresenter recorder;
  ScopedMessagePresenter scoped{&recorder};
  DrivenRegDlg dlg;
};

TEST_F(LoginDialogTest, NumberOfWrongLengthIsRefusedWithoutARequest) {
  for (const char* mobile : {"", "1380013800"}) {
    requestCodeFor(mobile);
    EXPECT_TRUE(button("btnSendVeryfyCode")->isEnabled());
  }
  EXPECT_EQ(messages(), (std::vector<QString>{message("InvalidMobile"), message("InvalidMobile")}));
  EXPECT_EQ(recorder.calls()[0].flags, MB_INFORMATION_ICON);
  EXPECT_TRUE(server.requestsTo("/sms/login/").empty());
  // Letters and a twelfth digit never reach the field.
  edit("userMobile")->clear();
  QTest::keyClicks(edit("userMobile"), QStringLiteral("1a38001380001"));
  EXPECT_EQ(edit("userMobile")->text(), QStringLiteral("13800138000"));
}

TEST_F(LoginDialogTest, SentCodeStartsTheCountdownUntilSendAgain) {
  requestCodeFor("13800138000");
  EXPECT_EQ(messages(), std::vector<QString>{message("VerifySendByPhone")});
  auto sms = server.requestsTo("/sms/login/");
  ASSERT_EQ(sms.size(), 1u);
  Json::Value body;
  ASSERT_TRUE(parseJson(sms[0].body, body));
  EXPECT_EQ(body["mobile"].asString(), "13800138000");
  EXPECT_EQ(body["code"].asString(), "246810");

  QAbstractButton* send = button("btnSendVeryfyCode");
  EXPECT_FALSE(send->isEnabled());
  EXPECT_TRUE(dlg.hasTimer(CNewRegDlg::kCountdownTimer));
  std::string format = GetText("CpatchaValidTime");
  for (int left = 120; left >= 2; --left) {
    dlg.onTimer(CNewRegDlg::kCountdownTimer);
    std::string expected;
    ASSERT_TRUE(formatText(format, {left}, expected));
    ASSERT_EQ(send->text(), QString::fromUtf8(expected)) << left;
    ASSERT_FALSE(send->isEnabled()) << left;
  }
  dlg.onTimer(7);  // another timer's tick changes nothing
  EXPECT_FALSE(send->isEnabled());
  dlg.onTimer(CNewRegDlg::kCountdownTimer);  // the 120th tick
  EXPECT_TRUE(send->isEnabled());
  EXPECT_EQ(send->text(), textEntry("SendCpatchaAgain"));
  EXPECT_FALSE(dlg.hasTimer(CNewRegDlg::kCountdownTimer));
  EXPECT_EQ(dlg.countdown(), 0);
}

TEST_F(LoginDialogTest, RefusedCodeShowsTheServicesReasonAndKeepsTheButton) {
  server.answer("/sms/login/", R"({"code":1,"msg":"今日发送次数已用完"})");
  requestCodeFor("13800138000");
  auto calls = recorder.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].text.contains(QStringLiteral("今日发送次数已用完"))) << calls[0].text.toStdString();
  EXPECT_EQ(calls[0].caption, message("Title"));
  EXPECT_EQ(calls[0].flags, MB_INFORMATION_ICON);
  EXPECT_TRUE(button("btnSendVeryfyCode")->isEnabled());
  EXPECT_FALSE(dlg.hasTimer(CNewRegDlg::kCountdownTimer));
}

TEST_F(LoginDialogTest, CodeChecksComeBeforeAnyLoginRequest) {
  struct Case {
    const char* what;
    bool requestFirst;
    const char* entered;
    const char* key;
  } cases[] = {
      {"no code requested", false, "246810", "VerifyCodeIsError"},
      {"nothing entered", true, "", "VerifyCodeIsEmpty"},
      {"wrong code", true, "246811", "VerifyCodeIsError"},
      {"code cut short", true, "24681", "VerifyCodeIsError"},
  };
  for (const Case& c : cases) {
    DrivenRegDlg fresh;
    fresh.setCodeMaker([] { return std::string("246810"); });
    ASSERT_TRUE(fresh.create(nullptr));
    RecordingMessagePresenter caseRecorder;
    ScopedMessagePresenter caseScope(&caseRecorder);
    if (c.requestFirst) {
      fresh.control<QLineEdit>(QStringLiteral("userMobile"))->setText(QStringLiteral("13800138000"));
      fresh.control<QAbstractButton>(QStringLiteral("btnSendVeryfyCode"))->click();
    }
    fresh.control<QLineEdit>(QStringLiteral("verifyCode"))->setText(QString::fromLatin1(c.entered));
    fresh.control<QAbstractButton>(QStringLiteral("btnMobileLogin"))->click();
    auto calls = caseRecorder.calls();
    ASSERT_FALSE(calls.empty()) << c.what;
    EXPECT_EQ(calls.back().text, message(c.key)) << c.what;
    EXPECT_EQ(fresh.loginResult().token, "") << c.what;
  }
  EXPECT_TRUE(server.requestsTo("/v1/user/login").empty());
}

TEST_F(LoginDialogTest, LoginUsesTheNumberTheCodeWasSentTo) {
  requestCodeFor("13800138000");
  edit("userMobile")->setText(QStringLiteral("13900139000"));
  edit("verifyCode")->setText(QStringLiteral("246810"));
  click("btnMobileLogin");

  auto logins = server.requestsTo("/v1/user/login");
  ASSERT_EQ(logins.size(), 1u);
  Json::Value body;
  ASSERT_TRUE(parseJson(logins[0].body, body));
  EXPECT_EQ(body["account"].asString(), "13800138000");
  EXPECT_EQ(body["typeid"].asInt(), 1);
  const LoginDialogResult& result = dlg.loginResult();
  EXPECT_EQ(result.loginType, kLoginSms);
  EXPECT_EQ(result.account, "13800138000");
  EXPECT_EQ(result.nickname, "13800138000");
  EXPECT_EQ(result.token, "tok-1");
  EXPECT_TRUE(waitClosed());
  // Closing ended the countdown the request had started.
  EXPECT_FALSE(dlg.hasTimer(CNewRegDlg::kCountdownTimer));
}

TEST_F(LoginDialogTest, KeysAloneLogIn) {
  // The dialog opens on the number; Tab leads to the code, the send button
  // and the login button, Enter presses them.
  QApplication::setActiveWindow(&dlg);
  ASSERT_NE(dlg.focusWidget(), nullptr);
  EXPECT_EQ(dlg.focusWidget()->objectName(), QStringLiteral("userMobile"));
  QTest::keyClicks(dlg.focusWidget(), QStringLiteral("13800138000"));
  auto tabTo = [this](const char* name) {
    for (int i = 0; i < 12 && dlg.focusWidget() != nullptr; ++i) {
      if (dlg.focusWidget()->objectName() == QLatin1String(name)) return true;
      QTest::keyClick(dlg.focusWidget(), Qt::Key_Tab);
    }
    return dlg.focusWidget() != nullptr && dlg.focusWidget()->objectName() == QLatin1String(name);
  };
  ASSERT_TRUE(tabTo("btnSendVeryfyCode"));
  QTest::keyClick(dlg.focusWidget(), Qt::Key_Return);
  EXPECT_EQ(server.requestsTo("/sms/login/").size(), 1u);
  ASSERT_TRUE(tabTo("verifyCode"));
  QTest::keyClicks(dlg.focusWidget(), QStringLiteral("246810"));
  ASSERT_TRUE(tabTo("btnMobileLogin"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(dlg.focusWidget())->text(QAccessible::Name), QStringLiteral("登 录"));
  QTest::keyClick(dlg.focusWidget(), Qt::Key_Return);
  EXPECT_EQ(dlg.loginResult().token, "tok-1");
  EXPECT_TRUE(waitClosed());
}

TEST_F(LoginDialogTest, EscapeClosesAndTheDialogIsNamedByItsCaption) {
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&dlg)->text(QAccessible::Name), QStringLiteral("登录"));
  QApplication::setActiveWindow(&dlg);
  ASSERT_NE(dlg.focusWidget(), nullptr);
  QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(waitClosed());
  EXPECT_TRUE(dlg.loginResult().token.empty());
}

TEST_F(LoginDialogTest, FailedLoginShowsTheStatusAndStaysOpen) {
  server.answer("/v1/user/login", R"({"code":1002})");
  requestCodeFor("13800138000");
  edit("verifyCode")->setText(QStringLiteral("246810"));
  click("btnMobileLogin");
  auto calls = recorder.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].text, message(statusTextKey(1002)));
  EXPECT_EQ(calls[1].flags, MB_ERROR_ICON);
  EXPECT_EQ(dlg.loginResult().token, "");
  QApplication::processEvents();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(dlg.isClosing());
}

TEST_F(LoginDialogTest, ClosingDuringTheCountdownKillsTheTimer) {
  requestCodeFor("13800138000");
  ASSERT_TRUE(dlg.hasTimer(CNewRegDlg::kCountdownTimer));
  click("btnClose");
  EXPECT_TRUE(waitClosed());
  EXPECT_FALSE(dlg.hasTimer(CNewRegDlg::kCountdownTimer));
  EXPECT_EQ(dlg.loginResult().token, "");
}

TEST_F(LoginDialogTest, WebLoginAnswers) {
  struct Case {
    const char* what;
    const char* button;
    const char* answer;
    const char* messageKey;  // nullptr: no message
    const char* account;     // nullptr: no login request
    const char* nickname;
    int typeId;
  } cases[] = {
      {"refused", "btnWeChat", R"({"result":0})", "AuthorizationFailed", nullptr, nullptr, 0},
      {"not json object text", "btnWeChat", "result=1", nullptr, nullptr, nullptr, 0},
      {"nothing handed over", "btnQQ", "", nullptr, nullptr, nullptr, 0},
      {"broken json", "btnWeChat", R"({"result":1,)", nullptr, nullptr, nullptr, 0},
      {"authorised without an id", "btnWeChat", R"({"result":1,"nickname":"x"})", "AuthorizationFailed",
       nullptr, nullptr, 0},
      {"wechat", "btnWeChat", R"({"result":1,"nickname":"<b>小明</b>","unionid":"wx-1"})", nullptr, "wx-1",
       "<b>小明</b>", 2},
      {"qq without nickname", "btnQQ", R"({"result":1,"openid":"qq-9"})", nullptr, "qq-9", "qq-9", 3},
  };
  for (const Case& c : cases) {
    const std::size_t loginsBefore = server.requestsTo("/v1/user/login").size();
    DrivenRegDlg fresh;
    ASSERT_TRUE(fresh.create(nullptr));
    RecordingMessagePresenter caseRecorder;
    ScopedMessagePresenter caseScope(&caseRecorder);
    QString seenUrl, seenWindowText, seenCaption;
    QString answer = QString::fromUtf8(c.answer);
    fresh.setBrowserRunner([&](QWidget*, const QString& url, const QString& windowText, const QString& caption) {
      seenUrl = url;
      seenWindowText = windowText;
      seenCaption = caption;
      return answer;
    });
    fresh.control<QAbstractButton>(QString::fromLatin1(c.button))->click();

    const bool qq = std::string(c.button) == "btnQQ";
    EXPECT_EQ(seenUrl, QString::fromStdString(server.origin()) +
                           (qq ? QStringLiteral("/user/login/qq/pc/?agent=1")
                               : QStringLiteral("/user/login/weixin/pc/?agent=1")))
        << c.what;
    EXPECT_EQ(seenWindowText, qq ? QStringLiteral("QQ") : QStringLiteral("WeChat")) << c.what;
    EXPECT_EQ(seenCaption, textEntry(qq ? "QQLogin" : "WeChatLogin")) << c.what;

    auto calls = caseRecorder.calls();
    if (c.messageKey) {
      ASSERT_EQ(calls.size(), 1u) << c.what;
      EXPECT_EQ(calls[0].text, message(c.messageKey)) << c.what;
      EXPECT_EQ(calls[0].flags, MB_ERROR_ICON) << c.what;
    } else {
      EXPECT_TRUE(calls.empty()) << c.what;
    }
    auto logins = server.requestsTo("/v1/user/login");
    logins.erase(logins.begin(), logins.begin() + static_cast<std::ptrdiff_t>(loginsBefore));
    if (c.account == nullptr) {
      EXPECT_TRUE(logins.empty()) << c.what;
      EXPECT_EQ(fresh.loginResult().loginType, 0) << c.what;
      EXPECT_FALSE(fresh.isClosing() || !fresh.isCreated()) << c.what;
      continue;
    }
    ASSERT_EQ(logins.size(), 1u) << c.what;
    Json::Value body;
    ASSERT_TRUE(parseJson(logins[0].body, body));
    EXPECT_EQ(body["account"].asString(), c.account) << c.what;
    EXPECT_EQ(body["typeid"].asInt(), c.typeId) << c.what;
    EXPECT_EQ(fresh.loginResult().account, c.account) << c.what;
    EXPECT_EQ(fresh.loginResult().nickname, c.nickname) << c.what;
    EXPECT_EQ(fresh.loginResult().loginType, c.typeId) << c.what;
    EXPECT_EQ(fresh.loginResult().token, "tok-1") << c.what;
  }
}

}  // namespace
}  // namespace norvane
