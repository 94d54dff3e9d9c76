#include "toolkit/window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <memory>
#include <thread>

#include "support/temp_dir.h"
#include "support/qt_application.h"
#include "toolkit/layout_loader.h"
#include "toolkit/message_channel.h"
#include "toolkit/skin_archive.h"
#include "toolkit/skin_fixture.h"
#include "toolkit/web_view.h"
#include "toolkit/window_registry.h"

namespace norvane::toolkit {
namespace {

using test::item;

class TestWindow : public Window {
 public:
  explicit TestWindow(const QString& layout = QStringLiteral("test.xml"), const QString& cls = QStringLiteral("TestClass"))
      : Window(cls, layout) {}
  QStringList notes;
  struct Message {
    unsigned number;
    quintptr wParam;
    QThread* thread;
  };
  std::vector<Message> messages;
  std::vector<int> ticks;

 protected:
  void notify(const QString& type, const QString& sender) override {
    notes << type + QLatin1Char(':') + sender;
    Window::notify(type, sender);
  }
  bool onMessage(unsigned number, quintptr wParam) override {
    messages.push_back({number, wParam, QThread::currentThread()});
    return true;
  }
  void onTimer(int id) override { ticks.push_back(id); }
};

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "window_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    std::string body = item("QPushButton", "btnA") + item("QCheckBox", "optA") + item("QComboBox", "comboA") +
                       item("QLineEdit", "editA") + item("QListWidget", "listA") + item("QLabel", "labelA") +
                       item("NoSuchControl", "oddA") + item("QPushButton", "btnClose");
    std::string props =
        "<property name=\"minimumSize\"><size><width>250</width><height>150</height></size></property>"
        "<property name=\"captionHeight\" stdset=\"0\"><number>24</number></property>";
    ASSERT_TRUE(SkinArchive::instance().loadBytes(
        test::makeZip({{"test.xml", test::layoutDocument(body, 320, 210, props)}, {"broken.xml", "<ui><widget"}})));
  }
  static void pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
};

TEST_F(WindowTest, BuildsFromItsLayoutWithSizeAndNamedControls) {
  TestWindow w;
  ASSERT_TRUE(w.create()) << w.lastError().toStdString();
  EXPECT_EQ(w.size(), QSize(320, 210));
  EXPECT_EQ(w.minimumSize(), QSize(250, 150));
  EXPECT_NE(w.control<QPushButton>(QStringLiteral("btnA")), nullptr);
  EXPECT_EQ(w.control<QLineEdit>(QStringLiteral("btnA")), nullptr);  // wrong type
  EXPECT_EQ(w.control(QStringLiteral("nothing")), nullptr);
  // An unknown class in a layout becomes a plain widget instead of failing the window.
  ASSERT_NE(w.control(QStringLiteral("oddA")), nullptr);
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w.create());  // a second call changes nothing
  EXPECT_EQ(w.notes.count(QStringLiteral("windowinit:")), 1);
}

TEST_F(WindowTest, MissingOrBrokenLayoutFailsWithAReason) {
  for (const char* layout : {"absent.xml", "broken.xml"}) {
    TestWindow w(QString::fromLatin1(layout));
    EXPECT_FALSE(w.create()) << layout;
    EXPECT_TRUE(w.lastError().contains(QString::fromLatin1(layout))) << w.lastError().toStdString();
    EXPECT_FALSE(w.isCreated());
    EXPECT_TRUE(w.notes.isEmpty());
  }
}

TEST_F(WindowTest, ControlsNotifyWithTheirNames) {
  TestWindow w;
  ASSERT_TRUE(w.create());
  w.control<QComboBox>(QStringLiteral("comboA"))->addItems({QStringLiteral("a"), QStringLiteral("b")});
  w.control<QListWidget>(QStringLiteral("listA"))->addItems({QStringLiteral("x"), QStringLiteral("y")});
  w.show();
  EXPECT_EQ(w.notes.value(0), QStringLiteral("windowinit:"));
  struct Case {
    std::function<void()> act;
    const char* note;
  };
  const Case cases[] = {
      {[&] { w.control<QAbstractButton>(QStringLiteral("btnA"))->click(); }, "click:btnA"},
      {[&] { w.control<QCheckBox>(QStringLiteral("optA"))->click(); }, "click:optA"},
      {[&] { w.control<QComboBox>(QStringLiteral("comboA"))->setCurrentIndex(1); }, "itemselect:comboA"},
      {[&] { w.control<QListWidget>(QStringLiteral("listA"))->setCurrentRow(1); }, "itemselect:listA"},
      {[&] { w.control<QLineEdit>(QStringLiteral("editA"))->setText(QStringLiteral("张")); }, "textchanged:editA"},
  };
  for (const Case& c : cases) {
    w.notes.clear();
    c.act();
    EXPECT_EQ(w.notes, QStringList{QString::fromLatin1(c.note)});
  }
}

TEST_F(WindowTest, PostedMessagesArriveOnTheWindowThreadInOrder) {
  TestWindow w;
  ASSERT_TRUE(w.create());
  std::thread worker([&] {
    for (unsigned i = 0; i < 50; ++i) w.post(1030, i);
  });
  worker.join();
  w.post(1038, 1);
  pump(50);
  ASSERT_EQ(w.messages.size(), 51u);
  for (unsigned i = 0; i < 50; ++i) {
    EXPECT_EQ(w.messages[i].number, 1030u);
    EXPECT_EQ(w.messages[i].wParam, i);
  }
  EXPECT_EQ(w.messages[50].number, 1038u);
  for (const auto& m : w.messages) EXPECT_EQ(m.thread, w.thread());
}

TEST_F(WindowTest, ModalRunReturnsTheResultAfterTheFade) {
  TestWindow w;
  QElapsedTimer sinceClose;
  bool visibleRightAfterClose = false;
  QTimer::singleShot(30, &w, [&] {
    w.close(6);
    sinceClose.start();
    visibleRightAfterClose = w.isVisible();
  });
  EXPECT_EQ(w.showModal(nullptr), 6);
  EXPECT_TRUE(visibleRightAfterClose);  // the fade runs before the window goes
  EXPECT_GE(sinceClose.elapsed(), kFadeMilliseconds - 5);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowTest, CloseButtonAndDesktopCloseKeepTheResult) {
  for (bool desktop : {false, true}) {
    TestWindow w;
    w.setResult(7);
    QTimer::singleShot(20, &w, [&] {
      if (desktop) {
        static_cast<QWidget&>(w).close();
      } else {
        w.control<QAbstractButton>(QStringLiteral("btnClose"))->click();
      }
    });
    EXPECT_EQ(w.showModal(nullptr), 7);
  }
}

TEST_F(WindowTest, DeleteOnCloseEndsTheObjectAndTheRegistryForgetsIt) {
  QPointer<TestWindow> w = new TestWindow(QStringLiteral("test.xml"), QStringLiteral("NorvaneWindowClass"));
  TestWindow other(QStringLiteral("test.xml"), QStringLiteral("OtherClass"));
  EXPECT_EQ(WindowRegistry::findWindow(QStringLiteral("NorvaneWindowClass")), nullptr);  // not built yet
  ASSERT_TRUE(w->create());
  ASSERT_TRUE(other.create());
  EXPECT_EQ(WindowRegistry::findWindow(QStringLiteral("NorvaneWindowClass")), w.data());
  EXPECT_EQ(WindowRegistry::findWindow(QStringLiteral("OtherClass")), &other);
  w->setDeleteOnClose(true);
  w->show();
  w->close(0);
  pump(kFadeMilliseconds + 150);
  EXPECT_TRUE(w.isNull());
  EXPECT_EQ(WindowRegistry::findWindow(QStringLiteral("NorvaneWindowClass")), nullptr);
  EXPECT_EQ(WindowRegistry::findWindow(QStringLiteral("OtherClass")), &other);
}

TEST_F(WindowTest, ClosingOwnerEndsItsModalWindowsFirstAndGoesOutsideTheirLoops) {
  // The owner is asked to close while a dialog it owns runs modally, and that
  // dialog has one of its own open (the way the program is asked to end with
  // a dialog open). Both loops return; the owner is deleted once, after them.
  QPointer<TestWindow> owner = new TestWindow();
  owner->setDeleteOnClose(true);
  ASSERT_TRUE(owner->create());
  owner->show();
  bool ownerAliveAfterLoops = false;
  std::vector<int> results;
  QTimer::singleShot(0, owner.data(), [&] {
    TestWindow dialog;  // on the stack, as the program's dialogs are
    QTimer::singleShot(0, &dialog, [&] {
      TestWindow inner;
      QTimer::singleShot(30, owner.data(), [&] { owner->requestClose(); });
      inner.setResult(3);
      results.push_back(inner.showModal(&dialog));
    });
    dialog.setResult(4);
    results.push_back(dialog.showModal(owner.data()));
    ownerAliveAfterLoops = !owner.isNull();
    // Nothing opens over a window that is going.
    TestWindow late;
    late.setResult(5);
    results.push_back(late.showModal(owner.data()));
    EXPECT_FALSE(late.isVisible());
  });
  QElapsedTimer t;
  t.start();
  while (!owner.isNull() && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_TRUE(owner.isNull()) << "the owner was never deleted";
  EXPECT_TRUE(ownerAliveAfterLoops) << "the owner was deleted inside a modal loop";
  EXPECT_EQ(results, (std::vector<int>{3, 4, 5}));
}

TEST_F(WindowTest, WithoutTheFadeACloseEndsTheWindowAtOnce) {
  for (bool fade : {true, false}) {
    TestWindow w;
    w.setFadeOnClose(fade);
    bool visibleRightAfterClose = true;
    QTimer::singleShot(20, &w, [&] {
      w.close(2);
      visibleRightAfterClose = w.isVisible();
    });
    EXPECT_EQ(w.showModal(nullptr), 2);
    EXPECT_EQ(visibleRightAfterClose, fade) << "fade " << fade;
  }
}

TEST_F(WindowTest, MessageChannelReachesTheWindowWhileItLivesAndNobodyAfter) {
  auto w = std::make_unique<TestWindow>();
  ASSERT_TRUE(w->create());
  std::shared_ptr<MessageChannel> channel = w->messageChannel();
  bool posted = false;
  std::thread([&] { posted = channel->post(1032, 7); }).join();
  pump(20);
  EXPECT_TRUE(posted);
  ASSERT_EQ(w->messages.size(), 1u);
  EXPECT_EQ(w->messages[0].wParam, 7u);
  w.reset();
  std::thread([&] { posted = channel->post(1032, 8); }).join();
  pump(20);
  EXPECT_FALSE(posted);
}

TEST_F(WindowTest, TimersFireByTheCallersIdUntilKilled) {
  TestWindow w;
  ASSERT_TRUE(w.create());
  w.setTimer(7, 5);
  w.setTimer(9, 5);
  pump(60);
  w.killTimer(7);
  size_t sevens = std::count(w.ticks.begin(), w.ticks.end(), 7);
  EXPECT_GT(sevens, 0u);
  EXPECT_GT(std::count(w.ticks.begin(), w.ticks.end(), 9), 0);
  pump(40);
  EXPECT_EQ(static_cast<size_t>(std::count(w.ticks.begin(), w.ticks.end(), 7)), sevens);
}

TEST_F(WindowTest, CaptionDragsTheWindowAndTheBodyDoesNot) {
  struct Case {
    int pressY;
    bool moves;
  };
  for (const Case& c : {Case{10, true}, Case{100, false}}) {
    TestWindow w;
    ASSERT_TRUE(w.create());
    w.move(100, 100);
    w.show();
    pump(10);
    QPoint start = w.pos();
    QPoint local(150, c.pressY);
    QPoint global = w.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent move(QEvent::MouseMove, local + QPoint(40, 25), global + QPoint(40, 25), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&w, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + QPoint(40, 25), global + QPoint(40, 25), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
    pump(10);
    EXPECT_EQ(w.pos(), c.moves ? start + QPoint(40, 25) : start) << "press at y=" << c.pressY;
  }
}

// Designer's plugins (among them the Quick widget's and the web engine's
// view) would load those modules into every start.
TEST(LayoutLoader, LoadsNoDesignerPlugin) {
  test::startOffscreenApplication("window_tests");
  const QStringList paths = QCoreApplication::libraryPaths();
  auto loader = LayoutLoader::make();
  EXPECT_TRUE(loader->pluginPaths().isEmpty());
  EXPECT_EQ(QCoreApplication::libraryPaths(), paths);  // as they were
  SkinArchive::instance().loadBytes(test::makeZip({{"plain.xml", test::layoutDocument(test::item("QLabel", "caption"))}}));
  std::unique_ptr<QWidget> root(loader->loadLayout(QStringLiteral("plain.xml"), nullptr));
  ASSERT_NE(root, nullptr);
  const std::string maps = test::readFile("/proc/self/maps");
  EXPECT_EQ(maps.find("/designer/"), std::string::npos);
  EXPECT_EQ(maps.find("WebEngine"), std::string::npos);
}

// The root's style sheet reaches the finished tree whole (entities and
// all), styles the children as the document says, and a child's own style
// sheet stays the child's.
TEST(LayoutLoader, RootStyleSheetStylesTheWholeTree) {
  test::startOffscreenApplication("window_tests");
  const std::string sheet = "QLabel#caption { color: #ff0000; } QPushButton[flat=&quot;true&quot;] &gt; * { }";
  const std::string rootProps = "<property name=\"styleSheet\"><string>" + sheet + "</string></property>";
  const std::string childProps = "<property name=\"styleSheet\"><string>color: #0000ff;</string></property>";
  SkinArchive::instance().loadBytes(test::makeZip(
      {{"styled.xml", test::layoutDocument(test::item("QLabel", "caption") + test::item("QLabel", "note", childProps),
                                           300, 200, rootProps)}}));
  std::unique_ptr<QWidget> root(LayoutLoader::make()->loadLayout(QStringLiteral("styled.xml"), nullptr));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->styleSheet(),
            QStringLiteral("QLabel#caption { color: #ff0000; } QPushButton[flat=\"true\"] > * { }"));
  auto* caption = root->findChild<QLabel*>(QStringLiteral("caption"));
  auto* note = root->findChild<QLabel*>(QStringLiteral("note"));
  ASSERT_TRUE(caption && note);
  EXPECT_EQ(note->styleSheet(), QStringLiteral("color: #0000ff;"));
  caption->ensurePolished();
  note->ensurePolished();
  EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(0xff, 0, 0));
  EXPECT_EQ(note->palette().color(QPalette::WindowText), QColor(0, 0, 0xff));
}

// Without the web module, a layout's web view is an empty place: the window
// finds no web view control. The loader is asked for the module every time.
TEST(LayoutLoader, WebViewWithoutTheWebModuleIsAnEmptyPlace) {
  test::startOffscreenApplication("window_tests");
  int asked = 0;
  setWebViewLoader([&asked] {
    ++asked;
    return false;
  });
  SkinArchive::instance().loadBytes(test::makeZip({{"web.xml", test::layoutDocument(test::item("WebView", "Webkit"))}}));
  for (int i = 0; i < 2; ++i) {
    Window w(QStringLiteral("NorvaneDialogClass"), QStringLiteral("web.xml"));
    ASSERT_TRUE(w.create());
    EXPECT_EQ(w.control<WebView>(QStringLiteral("Webkit")), nullptr);
    EXPECT_NE(w.control(QStringLiteral("Webkit")), nullptr);
  }
  EXPECT_EQ(asked, 2);
  setWebViewLoader(nullptr);
}

}  // namespace
}  // namespace norvane::toolkit
