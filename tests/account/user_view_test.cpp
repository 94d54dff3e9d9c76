// The main window's user area on today's main-window layout: the two views,
// the nickname as text, login from "btnLogin", logout, and the start-up
// re-validation whose answer arrives on the window thread.
#include "ui/user_view.h"

#include "support/qt_application.h"
#include "account/account_store.h"
#include "account/new_reg_dlg.h"
#include "platform/folders.h"
#include "service/json_access.h"
#include "service/service_fixture.h"
#include "shell/message_box.h"
#include "shell/settings.h"
#include "shell/text_table.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/window.h"
#include "toolkit/window_registry.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>

namespace norvane {
namespace {

using toolkit::RecordingMessagePresenter;
using toolkit::ScopedMessagePresenter;

// Stands in for the main window: its layout and the user area's message path.
class HostWindow : public toolkit::Window {
 public:
  HostWindow() : Window(QStringLiteral("NorvaneWindowClass"), QStringLiteral("skin.xml")), user(*this) {}
  ~HostWindow() override { user.stop(); }
  UserView user;

 protected:
  bool onMessage(unsigned number, quintptr wParam) override { return user.handleMessage(number, wParam); }
};

// What a tooltip shows: Qt draws a tooltip text that looks like markup as
// rich text, any other as it stands.
QString shownToolTip(const QWidget* widget) {
  const QString tip = widget->toolTip();
  if (!Qt::mightBeRichText(tip)) return tip;
  QTextDocument document;
  document.setHtml(tip);
  return document.toPlainText();
}

bool waitUntil(const std::function<bool()>& done, int ms = 15000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class UserViewTest : public test::ServiceTest {
 protected:
  static void SetUpTestSuite() {
    test::startOffscreenApplication("account_dialog_tests");
    ASSERT_TRUE(toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH)));
  }

  void SetUp() override {
    ServiceTest::SetUp();
    ProgramFolder = NORVANE_BIN_DIR;
    oemSettings().partnerId = 1;
    accountStore().clear(userStore());
    ASSERT_TRUE(window.create(nullptr)) << window.lastError().toStdString();
    window.show();
  }
  void TearDown() override {
    window.user.stop();
    accountStore().clear(userStore());
  }

  void storeLogin(const std::string& nickname, int type = kLoginWeChat, const std::string& token = "tok-A") {
    accountStore().save("wx-1", nickname, token, type, userStore());
  }
  int userPage() { return window.control<QStackedWidget>(QStringLiteral("tabUser"))->currentIndex(); }
  QWidget* nicknameButton() { return window.control(QStringLiteral("userNickname")); }
  QString nicknameText() {
    auto* label = nicknameButton()->findChild<QLabel*>();
    return label ? label->text() : QString();
  }

  RecordingMessagePresenter recorder;
  ScopedMessagePresenter scoped{&recorder};
  HostWindow window;
};

TEST_F(UserViewTest, StoredLoginShowsTheNicknameAsTextWithTheLoginTypesIcon) {
  server.answer("/v1/user/login", R"({"code":0,"data":{"token":"tok-A"}})");
  const std::string nickname = "<b>小明</b>&amp;";
  storeLogin(nickname, kLoginQQ);
  window.user.initialize();
  EXPECT_EQ(userPage(), 1);
  QString rich = nicknameText();
  EXPECT_TRUE(rich.contains(QStringLiteral("&lt;b&gt;小明&lt;/b&gt;&amp;amp;"))) << rich.toStdString();
  EXPECT_FALSE(rich.contains(QStringLiteral("<b>")));
  EXPECT_TRUE(rich.contains(QStringLiteral("<img src=\"data:image/png;base64,")));
  EXPECT_EQ(nicknameButton()->accessibleName(), QString::fromStdString(nickname));
  // The tooltip shows it as typed too, never as markup.
  EXPECT_EQ(shownToolTip(nicknameButton()), QString::fromStdString(nickname));

  // The icon is the QQ one of the skin.
  bool ok = false;
  QByteArray icon = toolkit::SkinArchive::instance().file(QStringLiteral("images/login_type_2.png"), &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(rich.contains(QString::fromLatin1(icon.toBase64())));

  // The whole nickname fits: the label shown over the button is as wide as
  // the text and the icon.
  auto* label = nicknameButton()->findChild<QLabel*>();
  QApplication::processEvents();
  EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(QString::fromStdString(nickname)) + 20);
  EXPECT_GE(window.control(QStringLiteral("nicknameView"))->width(), nicknameButton()->width());
  EXPECT_TRUE(waitUntil([&] { return nicknameButton()->isEnabled(); }));
}

TEST_F(UserViewTest, NobodyStoredShowsTheLoginButtonAndAsksNothing) {
  window.user.initialize();
  EXPECT_EQ(userPage(), 0);
  EXPECT_EQ(nicknameText(), QString());
  QApplication::processEvents();
  EXPECT_TRUE(server.requestsTo("/v1/user/login").empty());
}

TEST_F(UserViewTest, RevalidationAnswerReachesTheWindowThread) {
  struct Case {
    const char* what;
    const char* answer;  // nullptr: the service cannot be reached
    bool staysLoggedIn;
  } cases[] = {
      {"same token", R"({"code":0,"data":{"token":"tok-A"}})", true},
      {"other token", R"({"code":0,"data":{"token":"tok-B"}})", false},
      {"no token", R"({"code":0})", false},
      {"service error", R"({"code":1001})", true},
      {"no network", nullptr, true},
  };
  for (const Case& c : cases) {
    HostWindow host;
    ASSERT_TRUE(host.create(nullptr));
    if (c.answer) {
      ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), server.origin());
      server.answer("/v1/user/login", c.answer);
    } else {
      ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), "http://127.0.0.1:1");
    }
    ProgramFolder = NORVANE_BIN_DIR;
    storeLogin("小明");
    host.user.initialize();
    QWidget* button = host.control(QStringLiteral("userNickname"));
    auto* tabs = host.control<QStackedWidget>(QStringLiteral("tabUser"));
    // Shown as logged in until the answer arrives, the nickname inert meanwhile.
    EXPECT_EQ(tabs->currentIndex(), 1) << c.what;
    EXPECT_FALSE(button->isEnabled()) << c.what;
    ASSERT_TRUE(waitUntil([&] { return button->isEnabled(); })) << c.what;

    AccountStore reloaded;
    reloaded.load(userStore());
    EXPECT_EQ(reloaded.hasToken(), c.staysLoggedIn) << c.what;
    EXPECT_EQ(accountStore().hasToken(), c.staysLoggedIn) << c.what;
    EXPECT_EQ(tabs->currentIndex(), c.staysLoggedIn ? 1 : 0) << c.what;
  }
}

TEST_F(UserViewTest, LoginFromTheButtonStoresAndShowsTheUser) {
  server.answer("/sms/login/", R"({"code":0})");
  server.answer("/v1/user/login", R"({"code":0,"data":{"token":"tok-new"}})");
  // Drives the modal login dialog once it is up: code, entry, login.
  QTimer::singleShot(0, [this] {
    ASSERT_TRUE(waitUntil([] { return toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneDialogClass")) != nullptr; }));
    auto* dlg = toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneDialogClass"));
    dlg->control<QLineEdit>(QStringLiteral("userMobile"))->setText(QStringLiteral("13800138000"));
    dlg->control<QAbstractButton>(QStringLiteral("btnSendVeryfyCode"))->click();
    Json::Value sms;
    ASSERT_TRUE(parseJson(server.requestsTo("/sms/login/").back().body, sms));
    dlg->control<QLineEdit>(QStringLiteral("verifyCode"))->setText(QString::fromStdString(sms["code"].asString()));
    dlg->control<QAbstractButton>(QStringLiteral("btnMobileLogin"))->click();
  });
  EXPECT_TRUE(window.user.handleClick(QStringLiteral("btnLogin")));

  AccountStore reloaded;
  reloaded.load(userStore());
  EXPECT_EQ(reloaded.account(), "13800138000");
  EXPECT_EQ(reloaded.nickname(), "13800138000");
  EXPECT_EQ(reloaded.token(), "tok-new");
  EXPECT_EQ(reloaded.loginType(), kLoginSms);
  EXPECT_EQ(userPage(), 1);
  EXPECT_TRUE(nicknameText().contains(QStringLiteral("13800138000")));
  auto calls = recorder.calls();
  ASSERT_FALSE(calls.empty());
  std::string success;
  LookupText("Message", "LoginSuccess", "", success);
  EXPECT_EQ(calls.back().text, QString::fromStdString(success));
  EXPECT_FALSE(window.user.handleClick(QStringLiteral("btnMenu")));
}

TEST_F(UserViewTest, LoginWithoutTokenOrClosedDialogKeepsTheUserLoggedOut) {
  server.answer("/v1/user/login", R"({"code":0})");
  for (bool closeOnly : {true, false}) {
    QTimer::singleShot(0, [closeOnly] {
      ASSERT_TRUE(waitUntil([] { return toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneDialogClass")) != nullptr; }));
      auto* dlg = static_cast<CNewRegDlg*>(toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneDialogClass")));
      if (closeOnly) {
        dlg->control<QAbstractButton>(QStringLiteral("btnClose"))->click();
        return;
      }
      dlg->setBrowserRunner([](QWidget*, const QString&, const QString&, const QString&) {
        return QStringLiteral(R"({"result":1,"nickname":"小明","unionid":"wx-1"})");
      });
      dlg->control<QAbstractButton>(QStringLiteral("btnWeChat"))->click();
    });
    window.user.handleClick(QStringLiteral("btnLogin"));
    EXPECT_FALSE(accountStore().hasToken()) << closeOnly;
    EXPECT_EQ(userPage(), 0) << closeOnly;
    EXPECT_TRUE(recorder.calls().empty()) << closeOnly;
  }
  EXPECT_EQ(server.requestsTo("/v1/user/login").size(), 1u);
}

TEST_F(UserViewTest, LogoutAndTheUserViewMessage) {
  auto* tabs = window.control<QStackedWidget>(QStringLiteral("tabUser"));
  const int skinMaximum = tabs->maximumWidth();
  storeLogin("一个很长很长很长很长的微信昵称");
  window.user.handleMessage(1038, 1);
  EXPECT_EQ(userPage(), 1);
  EXPECT_GT(tabs->maximumWidth(), skinMaximum);
  window.user.logout();
  EXPECT_EQ(userPage(), 0);
  EXPECT_EQ(tabs->maximumWidth(), skinMaximum);
  EXPECT_EQ(nicknameText(), QString());
  AccountStore reloaded;
  reloaded.load(userStore());
  EXPECT_FALSE(reloaded.hasToken());
  EXPECT_FALSE(userStore().exists("LoginType"));

  // Nobody logged in: 1038 with 1 cannot show a user, logout does nothing.
  window.user.handleMessage(1038, 1);
  EXPECT_EQ(userPage(), 0);
  window.user.logout();
  storeLogin("小明");
  window.user.handleMessage(1038, 1);
  window.user.handleMessage(1038, 0);
  EXPECT_EQ(userPage(), 0);
  EXPECT_FALSE(window.user.handleMessage(1033, 0));
}

}  // namespace
}  // namespace norvane
