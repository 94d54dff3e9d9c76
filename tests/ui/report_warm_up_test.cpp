// The idle warm-up of the first report: once per process, a moment after a
// page of names is shown, and not while a dialog is open.
#include "ui/report_warm_up.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include "support/qt_application.h"

namespace norvane::ui {
namespace {

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

class ReportWarmUpTest : public ::testing::Test {
 protected:
  void SetUp() override { test::startOffscreenApplication("ui_report_warm_up_tests"); }
  int warmed_ = 0;
  ReportWarmUp warmUp_{nullptr, [this] { ++warmed_; }};
};

TEST_F(ReportWarmUpTest, OnceAfterTheFirstPageAndNotAtOnce) {
  warmUp_.pageShown();
  EXPECT_EQ(warmed_, 0);  // not within the page's own handling
  pump(ReportWarmUp::kIdleDelayMs * 2);
  EXPECT_EQ(warmed_, 1);
  EXPECT_TRUE(warmUp_.done());
  warmUp_.pageShown();
  warmUp_.pageShown();
  pump(ReportWarmUp::kIdleDelayMs * 2);
  EXPECT_EQ(warmed_, 1);
}

TEST_F(ReportWarmUpTest, WaitsWhileADialogIsOpen) {
  QDialog dialog;
  int warmedWhileOpen = -1;
  QTimer::singleShot(ReportWarmUp::kIdleDelayMs * 3, &dialog, [&] {
    warmedWhileOpen = warmed_;
    dialog.accept();
  });
  warmUp_.pageShown();
  dialog.exec();  // modal for three delays
  EXPECT_EQ(warmedWhileOpen, 0);
  pump(ReportWarmUp::kIdleDelayMs * 3);
  EXPECT_EQ(warmed_, 1);
}

}  // namespace
}  // namespace norvane::ui
