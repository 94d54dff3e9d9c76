// The main window used without a mouse, against the reference service:
// once by key events alone, once through the accessible interfaces' actions
// alone (what a screen reader calls): search, next page, keep a favourite,
// the favourites page, its report, a report tab, close.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "platform/clock.h"
#include "refservice/ref_server.h"
#include "service/endpoints.h"
#include "shell/settings.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/window_registry.h"
#include "ui/main_frame.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace norvane {
namespace {

bool waitUntil(const std::function<bool()>& done, int milliseconds = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Types `text` key by key, as a keyboard (or an input method) would.
void typeKeys(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

QAccessibleInterface* accessible(QObject* o) { return QAccessible::queryAccessibleInterface(o); }

// Runs an accessible action as a screen reader does; false when the control does not offer it.
bool act(QObject* o, const QString& action) {
  QAccessibleInterface* iface = accessible(o);
  if (iface == nullptr || iface->actionInterface() == nullptr) return false;
  if (!iface->actionInterface()->actionNames().contains(action)) return false;
  iface->actionInterface()->doAction(action);
  return true;
}

// The child of a row's accessible node named `name`, searched below the row.
QAccessibleInterface* findNamed(QAccessibleInterface* node, const QString& name, int depth = 0) {
  if (node == nullptr || depth > 6) return nullptr;
  if (node->text(QAccessible::Name) == name) return node;
  for (int i = 0; i < node->childCount(); ++i)
    if (QAccessibleInterface* found = findNamed(node->child(i), name, depth + 1)) return found;
  return nullptr;
}

// Runs `work` on the first window of `className` once it shows (it runs modally).
void whenWindowShows(const QString& className, std::function<void(toolkit::Window*)> work) {
  auto* poll = new QTimer();
  QObject::connect(poll, &QTimer::timeout, [poll, work, className] {
    toolkit::Window* report = toolkit::WindowRegistry::findWindow(className);
    if (report == nullptr || !report->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    work(report);
  });
  poll->start(10);
}

void whenReportShows(std::function<void(toolkit::Window*)> work) {
  whenWindowShows(QStringLiteral("NorvaneResultWindowClass"), std::move(work));
}

bool contentShown(toolkit::Window* report) {
  auto* stack = report->control<QStackedWidget>(QStringLiteral("tabQumingResult"));
  return stack != nullptr && stack->currentIndex() == 1;
}

class KeyboardFlowTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    test::startOffscreenApplication("ui_keyboard_flow_tests");
    ASSERT_TRUE(toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH)));
    refservice::ServerOptions options;
    options.dataFolder = NORVANE_BIN_DIR;
    reference_ = new refservice::ReferenceServer(options);
    std::string error;
    ASSERT_TRUE(reference_->start(0, error)) << error;
  }
  static void TearDownTestSuite() {
    delete reference_;
    reference_ = nullptr;
  }

  void SetUp() override {
    data_ = std::make_unique<test::TempDir>();
    ServiceEndpoints::initialize(NORVANE_BIN_DIR, data_->path(),
                                 "http://127.0.0.1:" + std::to_string(reference_->port()));
    LoadAppSettings(appSettings(), data_->file("config.ini"));
    frame_ = new CMainFrame();
    frame_->setClock(clock_);
    ASSERT_TRUE(frame_->create(nullptr)) << frame_->lastError().toStdString();
    frame_->show();
    QApplication::setActiveWindow(frame_);
    QApplication::processEvents();
  }

  void TearDown() override {
    if (frame_.isNull()) return;
    delete frame_.data();
    // The window's end stops the message loop; one turn takes that back.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
  }

  template <class T = QWidget>
  T* control(const char* name) {
    T* c = frame_->control<T>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  QWidget* focused() const { return QApplication::focusWidget(); }
  QString focusedName() const { return focused() != nullptr ? focused()->objectName() : QString(); }

  // Presses Tab until the focus reaches `name`; false when it never does.
  bool tabTo(const char* name) {
    for (int i = 0; i < 60; ++i) {
      if (focusedName() == QLatin1String(name)) return true;
      if (focused() == nullptr) return false;
      QTest::keyClick(focused(), Qt::Key_Tab);
    }
    return focusedName() == QLatin1String(name);
  }
  int step() { return control<QStackedWidget>("tabQuming")->currentIndex(); }
  QString firstNumber(const char* list) {
    auto* view = control<QListWidget>(list);
    QWidget* row = view->count() > 0 ? view->itemWidget(view->item(0)) : nullptr;
    auto* label = row != nullptr ? row->findChild<QLabel*>(QStringLiteral("BianHao")) : nullptr;
    return label != nullptr ? label->text() : QString();
  }
  QString firstName() {
    auto* view = control<QListWidget>("listName");
    QWidget* row = view->count() > 0 ? view->itemWidget(view->item(0)) : nullptr;
    auto* label = row != nullptr ? row->findChild<QLabel*>(QStringLiteral("XinMing")) : nullptr;
    return label != nullptr ? label->text() : QString();
  }

  static refservice::ReferenceServer* reference_;
  std::unique_ptr<test::TempDir> data_;
  toolkit::RecordingMessagePresenter recorder_;
  toolkit::ScopedMessagePresenter presenter_{&recorder_};
  FixedClock clock_{1700000000, {2023, 11, 14, 22, 13, 20}};
  QPointer<CMainFrame> frame_;
};

refservice::ReferenceServer* KeyboardFlowTest::reference_ = nullptr;

TEST_F(KeyboardFlowTest, KeysAloneSearchPageKeepAFavouriteAndOpenItsReport) {
  // The window opens on the form's first field.
  EXPECT_EQ(focusedName(), QStringLiteral("editXing"));
  typeKeys(focused(), QStringLiteral("李"));
  ASSERT_TRUE(tabTo("comboSheng"));
  QTest::keyClick(focused(), Qt::Key_Down);  // the first province; its first city and county follow
  EXPECT_GE(control<QComboBox>("comboXian")->currentIndex(), 0);
  // The pickers keep their labels once a place is chosen.
  for (const char* picker : {"comboSheng", "comboShi", "comboXian"}) {
    QAccessibleInterface* iface = accessible(control(picker));
    EXPECT_NE(iface->text(QAccessible::Name), iface->text(QAccessible::Value)) << picker;
    EXPECT_FALSE(iface->text(QAccessible::Value).isEmpty()) << picker;
  }
  EXPECT_EQ(accessible(control("comboShi"))->text(QAccessible::Name), QStringLiteral("城市"));

  // Enter on 开始起名 searches; the fresh list takes the focus on its first row.
  ASSERT_TRUE(tabTo("btnQuMing"));
  QTest::keyClick(focused(), Qt::Key_Return);
  ASSERT_TRUE(waitUntil([this] { return step() != 1; }));
  ASSERT_EQ(step(), 2) << (recorder_.calls().empty() ? "" : recorder_.calls().back().text.toStdString());
  auto* names = control<QListWidget>("listName");
  EXPECT_EQ(focused(), names);
  EXPECT_EQ(names->currentRow(), 0);

  // Tab reaches the row's heart, named for the row's name; Space keeps the name.
  const QString kept = firstName();
  QTest::keyClick(focused(), Qt::Key_Tab);
  ASSERT_EQ(focusedName(), QStringLiteral("ShouCang"));
  EXPECT_EQ(accessible(focused())->text(QAccessible::Name), QStringLiteral("收藏 ") + kept);
  QTest::keyClick(focused(), Qt::Key_Space);
  EXPECT_EQ(frame_->favorites().records().size(), 1u);
  EXPECT_TRUE(static_cast<QAbstractButton*>(focused())->isChecked());

  // The page bar is one stop; the arrow key turns the page.
  ASSERT_TRUE(tabTo("PageQuming-1"));
  QTest::keyClick(focused(), Qt::Key_Right);
  EXPECT_EQ(firstNumber("listName"), QStringLiteral("11"));
  EXPECT_EQ(focusedName(), QStringLiteral("PageQuming-2"));

  // The tab bar: arrows walk it and show each page; the last is the favourites.
  ASSERT_TRUE(tabTo("tabQuMing"));
  for (int i = 0; i < 5; ++i) QTest::keyClick(focused(), Qt::Key_Right);
  EXPECT_EQ(focusedName(), QStringLiteral("tabFavorites"));
  EXPECT_EQ(control<QStackedWidget>("tabMain")->currentIndex(), 5);

  // Enter on the favourite's row opens its report, which opens on its tab bar;
  // the arrow turns to the next tab, Esc closes the report.
  ASSERT_TRUE(tabTo("listFavorite"));
  QString reportFocus, nextTab;
  bool closed = false;
  whenReportShows([&](toolkit::Window* report) {
    QApplication::setActiveWindow(report);
    if (!waitUntil([&] { return contentShown(report); })) return;
    reportFocus = focusedName();
    if (focused() == nullptr) return;
    QTest::keyClick(focused(), Qt::Key_Right);
    nextTab = focusedName();
    QTest::keyClick(focused(), Qt::Key_Escape);
    closed = true;
  });
  QTest::keyClick(focused(), Qt::Key_Return);  // returns when the report has closed
  EXPECT_TRUE(closed);
  EXPECT_EQ(reportFocus, QStringLiteral("tabZhongheTishi"));
  EXPECT_EQ(nextTab, QStringLiteral("tabBaziFenxi"));

  // 删除 of the favourite's row, by Tab and Enter.
  QApplication::setActiveWindow(frame_);
  control("listFavorite")->setFocus();
  ASSERT_TRUE(tabTo("RemoveFavorite"));  // through the row's other buttons
  EXPECT_EQ(accessible(focused())->text(QAccessible::Name), QStringLiteral("删除 ") + kept);
  QTest::keyClick(focused(), Qt::Key_Return);
  EXPECT_TRUE(frame_->favorites().records().empty());
  EXPECT_EQ(control<QListWidget>("listFavorite")->count(), 0);
}

TEST_F(KeyboardFlowTest, AReportOpenedFromARowGivesTheFocusBackToThatRow) {
  typeKeys(focused(), QStringLiteral("李"));
  ASSERT_TRUE(tabTo("comboSheng"));
  QTest::keyClick(focused(), Qt::Key_Down);
  ASSERT_TRUE(tabTo("btnQuMing"));
  QTest::keyClick(focused(), Qt::Key_Return);
  ASSERT_TRUE(waitUntil([this] { return step() != 1; }));
  ASSERT_EQ(step(), 2);
  auto* names = control<QListWidget>("listName");
  for (int i = 0; i < 3; ++i) QTest::keyClick(names, Qt::Key_Down);
  ASSERT_EQ(names->currentRow(), 3);
  bool closed = false;
  whenReportShows([&](toolkit::Window* report) {
    QApplication::setActiveWindow(report);
    waitUntil([&] { return contentShown(report); });
    if (focused() != nullptr) QTest::keyClick(focused(), Qt::Key_Escape);
    closed = true;
  });
  QTest::keyClick(names, Qt::Key_Return);  // the row's 查看; returns when the report has closed
  EXPECT_TRUE(closed);
  EXPECT_EQ(names->currentRow(), 3);
  EXPECT_EQ(frame_->focusWidget(), names);  // the window's focus, back when it is active again
}

TEST_F(KeyboardFlowTest, AdvancedSettingsAndTheMenuByKeys) {
  typeKeys(focused(), QStringLiteral("李"));
  // The advanced settings open on their first field; Esc cancels.
  ASSERT_TRUE(tabTo("btnGRQMAdvSet"));
  QString settingsFocus;
  bool settingsClosed = false;
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&](toolkit::Window* dialog) {
    QApplication::setActiveWindow(dialog);
    settingsFocus = focusedName();
    if (focused() == nullptr) return dialog->close(0);
    QTest::keyClick(focused(), Qt::Key_Escape);
    settingsClosed = true;
  });
  QTest::keyClick(focused(), Qt::Key_Return);  // returns when the dialog has closed
  EXPECT_EQ(settingsFocus, QStringLiteral("NameWord1"));
  EXPECT_TRUE(settingsClosed);

  // The menu opens under its button with the focus on its first item; the
  // arrows walk the items and Enter chooses 关于我们, whose dialog Esc closes.
  QApplication::setActiveWindow(frame_);
  control("btnMenu")->setFocus();
  QTest::keyClick(focused(), Qt::Key_Return);
  ASSERT_TRUE(waitUntil([this] { return focusedName() == QStringLiteral("menuClearCache"); }, 3000)) << focusedName().toStdString();
  QTest::keyClick(focused(), Qt::Key_Down);
  QTest::keyClick(focused(), Qt::Key_Down);
  ASSERT_EQ(focusedName(), QStringLiteral("menuAbout"));
  bool aboutClosed = false;
  QString aboutName;
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&](toolkit::Window* about) {
    QApplication::setActiveWindow(about);
    aboutName = accessible(about)->text(QAccessible::Name);
    if (focused() == nullptr) return about->close(0);
    QTest::keyClick(focused(), Qt::Key_Escape);
    aboutClosed = true;
  });
  QTest::keyClick(focused(), Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return aboutClosed; }, 5000));
  EXPECT_EQ(aboutName, QStringLiteral("关于"));
}

TEST_F(KeyboardFlowTest, AccessibleActionsAloneDoWhatTheMouseDoes) {
  control<QLineEdit>("editXing")->setText(QStringLiteral("李"));
  control<QComboBox>("comboSheng")->setCurrentIndex(0);

  ASSERT_TRUE(act(control("btnQuMing"), QAccessibleActionInterface::pressAction()));
  ASSERT_TRUE(waitUntil([this] { return step() == 2; }));
  ASSERT_TRUE(act(control("btnNextPageQuming"), QAccessibleActionInterface::pressAction()));
  ASSERT_TRUE(waitUntil([this] { return firstNumber("listName") == QStringLiteral("11"); }));

  // The row's heart is a child of the row, named for it; its toggle keeps the name.
  auto* names = control<QListWidget>("listName");
  QAccessibleInterface* list = accessible(names);
  ASSERT_EQ(list->childCount(), names->count());
  const QString kept = firstName();
  QAccessibleInterface* heart = findNamed(list->child(0), QStringLiteral("收藏 ") + kept);
  ASSERT_NE(heart, nullptr);
  ASSERT_NE(heart->actionInterface(), nullptr);
  heart->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  ASSERT_TRUE(waitUntil([this] { return frame_->favorites().records().size() == 1; }));
  EXPECT_TRUE(heart->state().checked);

  // The favourites tab shows its page (not only its mark).
  ASSERT_TRUE(act(control("tabFavorites"), QAccessibleActionInterface::toggleAction()));
  ASSERT_TRUE(waitUntil([this] { return control<QStackedWidget>("tabMain")->currentIndex() == 5; }));

  // The favourite's 查看 opens the report; a report tab's toggle loads its page; 关闭 closes it.
  QAccessibleInterface* favourites = accessible(control("listFavorite"));
  ASSERT_EQ(favourites->childCount(), 1);
  QAccessibleInterface* open = findNamed(favourites->child(0), QStringLiteral("查看 ") + kept);
  ASSERT_NE(open, nullptr);
  bool tabChosen = false, closed = false;
  whenReportShows([&](toolkit::Window* report) {
    if (!waitUntil([&] { return contentShown(report); })) return;
    auto* tab = report->control<QAbstractButton>(QStringLiteral("tabSancaiWuge"));
    tabChosen = act(tab, QAccessibleActionInterface::toggleAction()) && waitUntil([&] { return tab->isChecked(); });
    auto* close = report->control<QAbstractButton>(QStringLiteral("btnClose"));
    EXPECT_EQ(accessible(close)->text(QAccessible::Name), QStringLiteral("关闭"));
    closed = act(close, QAccessibleActionInterface::pressAction());
  });
  open->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  ASSERT_TRUE(waitUntil([&] { return closed && toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass")) == nullptr; }));
  EXPECT_TRUE(tabChosen);
}

}  // namespace
}  // namespace norvane
