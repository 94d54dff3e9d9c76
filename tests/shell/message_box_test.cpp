#include "shell/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QThread>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

#include "platform/folders.h"
#include "shell/text_table.h"
#include "support/temp_dir.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"

namespace norvane {
namespace {

using toolkit::RecordingMessagePresenter;
using toolkit::ScopedMessagePresenter;

class MessageBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "message_box_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    ASSERT_TRUE(toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH)));
  }

  // Builds the dialog as ShowMessage would, without running it.
  static std::unique_ptr<CMessageDlg> built(int flags, const QString& text = QStringLiteral("text")) {
    auto dlg = std::make_unique<CMessageDlg>(text, QStringLiteral("caption"), flags);
    EXPECT_TRUE(dlg->create(nullptr)) << dlg->lastError().toStdString();
    dlg->show();
    QApplication::processEvents();
    return dlg;
  }

  static QList<QAbstractButton*> bottomButtons(CMessageDlg& dlg) {
    QList<QAbstractButton*> visible;
    for (auto* b : dlg.control(QStringLiteral("bottomBar"))->findChildren<QAbstractButton*>())
      if (b->isVisible()) visible << b;
    return visible;
  }
};

TEST_F(MessageBoxTest, IconAndButtonsFollowTheFlags) {
  struct Case {
    int flags;
    const char* icon;
    bool twoButtons;
  };
  const Case cases[] = {
      {0x40, "infoLogo", false}, {0x10, "errorLogo", false}, {0x20, "warnLogo", false},
      {0x00, "infoLogo", false}, {0x50, "infoLogo", false},  // 0x40 is tested first
      {0x30, "errorLogo", false},                            // 0x10 before 0x20
      {0x04, "infoLogo", true},  {0x14, "errorLogo", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    auto dlg = built(c.flags);
    for (const char* icon : {"infoLogo", "errorLogo", "warnLogo"})
      EXPECT_EQ(dlg->control(QString::fromLatin1(icon))->isVisible(), std::string(icon) == c.icon) << icon;
    QList<QAbstractButton*> buttons = bottomButtons(*dlg);
    if (c.twoButtons) {
      ASSERT_EQ(buttons.size(), 2);
      EXPECT_LT(dlg->control(QStringLiteral("btnYes"))->x(), buttons[1]->x());
    } else {
      ASSERT_EQ(buttons.size(), 1);
      EXPECT_EQ(buttons[0]->objectName(), QStringLiteral("btnYes"));
    }
  }
}

TEST_F(MessageBoxTest, OneButtonBoxPutsYesWhereTheBottomCloseWas) {
  auto two = built(0x04);
  QAbstractButton* closeButton = nullptr;
  for (auto* b : bottomButtons(*two))
    if (b->objectName() == QLatin1String("btnClose")) closeButton = b;
  ASSERT_NE(closeButton, nullptr);
  QRect closeRect = closeButton->geometry();

  auto one = built(0x40);
  EXPECT_EQ(one->control(QStringLiteral("btnYes"))->geometry(), closeRect);
  EXPECT_EQ(one->size(), QSize(380, 180));
}

TEST_F(MessageBoxTest, LongTextMakesTheBoxTallerInsteadOfBeingCut) {
  QString longText;
  for (int i = 0; i < 12; ++i) longText += QStringLiteral("服务器返回了无法识别的应答，请稍后再试。");
  auto dlg = built(0x10, longText);
  auto* context = dlg->control<QLabel>(QStringLiteral("context"));
  EXPECT_EQ(dlg->width(), 380);
  EXPECT_GT(dlg->height(), 180);
  // Every wrapped line of the text fits into the label.
  EXPECT_GE(context->height(), context->heightForWidth(context->width()));
  // The buttons stay inside the box.
  QWidget* yes = dlg->control(QStringLiteral("btnYes"));
  EXPECT_LE(yes->mapTo(dlg.get(), QPoint(0, yes->height())).y(), dlg->height());
}

TEST_F(MessageBoxTest, CaptionAndTextAreShownAsPlainText) {
  const QString hostile = QStringLiteral("<b>粗体</b> & <a href='x'>链接</a>");
  CMessageDlg dlg(hostile, QString(), 0x40);
  ASSERT_TRUE(dlg.create(nullptr));
  auto* context = dlg.control<QLabel>(QStringLiteral("context"));
  EXPECT_EQ(context->textFormat(), Qt::PlainText);
  EXPECT_EQ(context->text(), hostile);
  // An empty caption replaces the skin's "提示".
  EXPECT_EQ(dlg.control<QLabel>(QStringLiteral("caption"))->text(), QString());
}

TEST_F(MessageBoxTest, ButtonsGiveSixOrSevenAndDesktopCloseKeepsSeven) {
  struct Case {
    const char* how;
    int flags;
    int result;
  };
  const Case cases[] = {{"yes", 0x04, 6}, {"bottom-close", 0x04, 7}, {"caption-close", 0x04, 7},
                        {"desktop-close", 0x04, 7}, {"yes-one-button", 0x40, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    CMessageDlg dlg(QStringLiteral("t"), QStringLiteral("c"), c.flags);
    QTimer::singleShot(50, &dlg, [&] {
      std::string how = c.how;
      if (how.rfind("yes", 0) == 0) {
        dlg.control<QAbstractButton>(QStringLiteral("btnYes"))->click();
      } else if (how == "bottom-close") {
        dlg.control(QStringLiteral("bottomBar"))->findChild<QAbstractButton*>(QStringLiteral("btnClose"))->click();
      } else if (how == "caption-close") {
        dlg.control(QStringLiteral("captionBar"))->findChild<QAbstractButton*>(QStringLiteral("btnClose"))->click();
      } else {
        QCloseEvent event;
        QApplication::sendEvent(&dlg, &event);
      }
    });
    EXPECT_EQ(dlg.showModal(nullptr), c.result);
    EXPECT_FALSE(dlg.isVisible());
  }
}

TEST_F(MessageBoxTest, ScreenReaderHearsTheCaptionAndEveryButtonByName) {
  auto dlg = built(0x04);
  QAccessibleInterface* box = QAccessible::queryAccessibleInterface(dlg.get());
  EXPECT_EQ(box->text(QAccessible::Name), QStringLiteral("caption"));
  for (QAbstractButton* b : dlg->root()->findChildren<QAbstractButton*>()) {
    const QString name = QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name);
    EXPECT_FALSE(name.isEmpty()) << b->objectName().toStdString();
    if (!b->text().isEmpty() && b->text() != QStringLiteral("×")) EXPECT_EQ(name, b->text());
  }
  auto* captionClose = dlg->control(QStringLiteral("captionBar"))->findChild<QAbstractButton*>(QStringLiteral("btnClose"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(captionClose)->text(QAccessible::Name), QStringLiteral("关闭"));
}

TEST_F(MessageBoxTest, KeysAnswerTheBox) {
  struct Case {
    const char* how;
    int flags;
    int result;
  };
  // The box opens on 确定: Enter and Space say yes, Esc says no, Tab reaches 取消.
  const Case cases[] = {{"enter", 0x04, 6}, {"space", 0x40, 6}, {"escape", 0x04, 7}, {"tab-enter", 0x04, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    CMessageDlg dlg(QStringLiteral("t"), QStringLiteral("c"), c.flags);
    QString focusAtOpen;
    QTimer::singleShot(50, &dlg, [&] {
      QApplication::setActiveWindow(&dlg);
      QWidget* at = dlg.focusWidget();
      focusAtOpen = at != nullptr ? at->objectName() : QString();
      if (at == nullptr) return dlg.close(-1);
      const std::string how = c.how;
      if (how == "enter") QTest::keyClick(at, Qt::Key_Return);
      if (how == "space") QTest::keyClick(at, Qt::Key_Space);
      if (how == "escape") QTest::keyClick(at, Qt::Key_Escape);
      if (how == "tab-enter") {
        QTest::keyClick(at, Qt::Key_Tab);
        if (QWidget* next = dlg.focusWidget()) QTest::keyClick(next, Qt::Key_Return);
      }
    });
    EXPECT_EQ(dlg.showModal(nullptr), c.result);
    EXPECT_EQ(focusAtOpen, QStringLiteral("btnYes"));
  }
}

// ShowMessage on a real language table beside a program folder.
class ShowMessageTest : public MessageBoxTest {
 protected:
  void SetUp() override {
    savedProgramFolder_ = ProgramFolder;
    ProgramFolder = dir_.path();
    ensureFolder(dir_.file("language"));
  }
  void TearDown() override { ProgramFolder = savedProgramFolder_; }
  void writeTable(const TextEntries& message) {
    std::string error;
    ASSERT_TRUE(writeTextTable(dir_.file("language/cn.dat"), {{"Text", {{"ProductName", "诺梵"}}}, {"Message", message}}, error))
        << error;
  }
  test::TempDir dir_;
  std::string savedProgramFolder_;
};

TEST_F(ShowMessageTest, LooksUpTitleAndTextAndReturnsTheAnswer) {
  writeTable({{"Title", "温馨提示"}, {"NoSurname", "请输入姓氏"}, {"HasUpdate", "发现新版本=1.2，是否更新？"}});
  RecordingMessagePresenter recorder;
  recorder.queueAnswer(6);
  ScopedMessagePresenter scope(&recorder);
  QWidget owner;
  EXPECT_EQ(ShowMessage("HasUpdate", nullptr, 0x04), 6);
  EXPECT_EQ(ShowMessage("NoSurname", &owner, 0x40), 7);
  EXPECT_EQ(ShowMessage("nosurname", nullptr, 0x10), 7);  // keys are case-sensitive: empty text
  auto calls = recorder.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].text, QStringLiteral("发现新版本=1.2，是否更新？"));
  EXPECT_EQ(calls[0].caption, QStringLiteral("温馨提示"));
  EXPECT_EQ(calls[0].flags, 0x04);
  EXPECT_FALSE(calls[0].hadOwner);
  EXPECT_EQ(calls[1].owner.data(), &owner);
  EXPECT_EQ(calls[2].text, QString());
  EXPECT_EQ(calls[2].caption, QStringLiteral("温馨提示"));
}

TEST_F(ShowMessageTest, MissingTableShowsEmptyBoxWithTheRightIcon) {
  RecordingMessagePresenter recorder;
  ScopedMessagePresenter scope(&recorder);
  EXPECT_EQ(ShowMessage("NoSurname", nullptr, 0x10), 7);
  ASSERT_EQ(recorder.calls().size(), 1u);
  EXPECT_EQ(recorder.calls()[0].text, QString());
  EXPECT_EQ(recorder.calls()[0].caption, QString());
  EXPECT_EQ(recorder.calls()[0].flags, 0x10);
}

TEST_F(ShowMessageTest, RealDialogFromAWorkerThreadRunsOnTheWindowThread) {
  writeTable({{"Title", "提示"}, {"HasUpdate", "是否更新？"}});
  // Press "yes" in whichever message dialog appears on the window thread.
  QTimer poll;
  QThread* windowThread = QThread::currentThread();
  bool onWindowThread = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dlg = qobject_cast<CMessageDlg*>(w);
      if (dlg && dlg->isVisible() && !dlg->isClosing()) {
        onWindowThread = dlg->thread() == windowThread;
        dlg->control<QAbstractButton>(QStringLiteral("btnYes"))->click();
      }
    }
  });
  poll.start(20);
  int result = 0;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = ShowMessage("HasUpdate", nullptr, 0x04);
    done = true;
  });
  QElapsedTimer clock;
  clock.start();
  while (!done && clock.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(result, 6);
  EXPECT_TRUE(onWindowThread);
}

}  // namespace
}  // namespace norvane
