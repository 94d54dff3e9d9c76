#include "ui/main_frame.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTimer>

#include "toolkit/skin_archive.h"
#include "toolkit/window_registry.h"

namespace norvane {
namespace {

class MainFrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "main_frame_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    ASSERT_TRUE(toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH)));
  }
};

TEST_F(MainFrameTest, BuildsFromSkinXmlWithTheNamedControls) {
  QPointer<CMainFrame> frame = new CMainFrame();
  ASSERT_TRUE(frame->create(nullptr)) << frame->lastError().toStdString();
  EXPECT_EQ(frame->className(), QStringLiteral("NorvaneWindowClass"));
  EXPECT_EQ(toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneWindowClass")), frame.data());
  EXPECT_GE(frame->width(), 798);
  EXPECT_GE(frame->height(), 551);
  for (const char* name : {"Title", "btnLogin", "btnMenu", "btnMin", "btnClose", "tabMain", "tabQuMing", "tabFavorites",
                           "editXing", "btnQuMing", "editXing2", "editMing2", "editXing3", "editMing3", "editXing4",
                           "optCt6", "editXing5", "editMing5", "btnXiaoMingFenxi", "listFavorite", "btnKefu"})
    EXPECT_NE(frame->control(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(frame->control<QLineEdit>(QStringLiteral("editXing"))->maxLength(), 2);
  EXPECT_EQ(frame->control<QLineEdit>(QStringLiteral("editMing5"))->maxLength(), 3);
  delete frame.data();
}

TEST_F(MainFrameTest, TabButtonsSelectTheirPages) {
  CMainFrame* frame = new CMainFrame();
  ASSERT_TRUE(frame->create(nullptr));
  auto* pages = frame->control<QStackedWidget>(QStringLiteral("tabMain"));
  ASSERT_NE(pages, nullptr);
  ASSERT_EQ(pages->count(), 6);
  EXPECT_EQ(pages->currentIndex(), 0);
  const char* tabs[] = {"tabQuMing", "tabFengXi", "tabBaGua", "tabXiaoMing", "tabFenxiXiaoMing", "tabFavorites"};
  for (int i : {3, 5, 1, 0, 4, 2}) {
    frame->control<QAbstractButton>(QString::fromLatin1(tabs[i]))->click();
    EXPECT_EQ(pages->currentIndex(), i) << tabs[i];
  }
  delete frame;
}

TEST_F(MainFrameTest, EnterAndEscapeDoNothingAndCloseEndsTheObjectAndTheLoop) {
  QPointer<CMainFrame> frame = new CMainFrame();
  ASSERT_TRUE(frame->create(nullptr));
  frame->show();
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(frame.data(), &press);
  }
  QApplication::processEvents();
  ASSERT_FALSE(frame.isNull());
  EXPECT_TRUE(frame->isVisible());

  // The close button fades the window out; the object then goes away and
  // its end stops the message loop.
  QTimer::singleShot(20, frame.data(), [&] { frame->control<QAbstractButton>(QStringLiteral("btnClose"))->click(); });
  QTimer guard;
  guard.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&guard, &QTimer::timeout, [&] {
    timedOut = true;
    QCoreApplication::exit(1);
  });
  guard.start(10000);
  int code = QApplication::exec();
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(frame.isNull());
  EXPECT_EQ(toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneWindowClass")), nullptr);
}

}  // namespace
}  // namespace norvane
