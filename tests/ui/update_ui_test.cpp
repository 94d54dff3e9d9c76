// The manual update check's messages: shown on the window thread whichever
// thread asks, and never waited for once the main window is gone.
#include "ui/update_ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <thread>

#include "support/qt_application.h"
#include "toolkit/message_presenter.h"

namespace norvane::ui {
namespace {

class ThreadRecordingPresenter : public toolkit::MessagePresenter {
 public:
  int present(QWidget* owner, const QString&, const QString&, int flags) override {
    onWindowThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    lastOwner = owner;
    lastFlags = flags;
    ++calls;
    return 6;
  }
  std::atomic<int> calls{0};
  std::atomic<bool> onWindowThread{false};
  QWidget* lastOwner = nullptr;
  int lastFlags = 0;
};

class UpdateUiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    test::startOffscreenApplication("ui_update_ui_tests");
  }
  ThreadRecordingPresenter presenter_;
  toolkit::ScopedMessagePresenter scope_{&presenter_};
};

TEST_F(UpdateUiTest, WorkerMessagesAreShownOnTheWindowThreadWithTheirOwner) {
  QWidget window;
  WindowUpdateUi& ui = WindowUpdateUi::instance();
  ui.setOwner(&window);
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = ui.showMessage("NoUpdate", 0x40, true); });
  QElapsedTimer timer;
  timer.start();
  while (answer == -1 && timer.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_EQ(answer, 6);
  EXPECT_TRUE(presenter_.onWindowThread);
  EXPECT_EQ(presenter_.lastOwner, &window);

  // Unowned messages have no owner; from the window thread they run at once.
  EXPECT_EQ(ui.showMessage("HasUpdate", 0x04, false), 6);
  EXPECT_EQ(presenter_.lastOwner, nullptr);
  EXPECT_EQ(presenter_.calls, 2);
  ui.setOwner(nullptr);
}

TEST_F(UpdateUiTest, AWaitingWorkerIsReleasedWhenTheWindowGoesAndLaterMessagesReturnAtOnce) {
  QWidget window;
  WindowUpdateUi& ui = WindowUpdateUi::instance();
  ui.setOwner(&window);
  std::atomic<int> answer{-1};
  // The window thread is busy (no events processed) while the worker asks.
  std::thread worker([&] { answer = ui.showMessage("NoUpdate", 0x40, true); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(answer, -1);
  ui.setOwner(nullptr);  // the main window's end
  worker.join();
  EXPECT_EQ(answer, 0);
  EXPECT_FALSE(ui.ownerAlive());
  // The queued message finds no window when it finally runs.
  QApplication::processEvents();
  EXPECT_EQ(presenter_.calls, 0);
  std::thread late([&] { answer = ui.showMessage("NoUpdate", 0x40, true); });
  late.join();
  EXPECT_EQ(answer, 0);
}

}  // namespace
}  // namespace norvane::ui
