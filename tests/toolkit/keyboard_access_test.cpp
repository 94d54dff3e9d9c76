// A window of the toolkit used without a mouse: by keys alone, and through
// the accessible interfaces a screen reader uses.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "toolkit/row_list.h"
#include "toolkit/skin_archive.h"
#include "toolkit/skin_fixture.h"
#include "toolkit/window.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) { *out << texts.join(QLatin1Char('|')).toStdString(); }

namespace norvane::toolkit {
namespace {

using test::item;

std::string textProperty(const char* name, const char* value) {
  return std::string("<property name=\"") + name + "\"><string>" + value + "</string></property>";
}
std::string dynamicProperty(const char* name, const char* value) {
  return std::string("<property name=\"") + name + "\" stdset=\"0\"><string>" + value + "</string></property>";
}
std::string option(const char* name, const char* text, bool checked) {
  return item("QPushButton", name,
              textProperty("text", text) + "<property name=\"checkable\"><bool>true</bool></property>"
              "<property name=\"autoExclusive\"><bool>true</bool></property>"
              "<property name=\"focusPolicy\"><enum>Qt::NoFocus</enum></property>" +
                  (checked ? "<property name=\"checked\"><bool>true</bool></property>" : ""));
}

class KeyWindow : public Window {
 public:
  KeyWindow() : Window(QStringLiteral("KeyClass"), QStringLiteral("keys.xml")) {}
  QStringList clicks;

 protected:
  void notify(const QString& type, const QString& sender) override {
    if (type == QLatin1String("click")) clicks << sender;
    if (type == QLatin1String("click") && sender.startsWith(QLatin1String("tab"))) {
      if (auto* pages = control<QStackedWidget>(QStringLiteral("pages")))
        pages->setCurrentIndex(sender == QLatin1String("tabOne") ? 0 : 1);
    }
    Window::notify(type, sender);
  }
};

class KeyboardAccessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "keyboard_access_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    const std::string tabs = "<item><widget class=\"QWidget\" name=\"bar\">"
                             "<property name=\"tabBar\" stdset=\"0\"><bool>true</bool></property>"
                             "<layout class=\"QHBoxLayout\" name=\"barLayout\">" +
                             option("tabOne", "第一页", true) + option("tabTwo", "第二页", false) +
                             "</layout></widget></item>";
    const std::string strip = "<item><widget class=\"QWidget\" name=\"strip\">"
                              "<property name=\"arrowsMoveOnly\" stdset=\"0\"><bool>true</bool></property>"
                              "<layout class=\"QHBoxLayout\" name=\"stripLayout\">" +
                              option("nameOne", "名一", true) + option("nameTwo", "名二", false) +
                              "</layout></widget></item>";
    const std::string pages =
        "<item><widget class=\"QStackedWidget\" name=\"pages\">"
        "<widget class=\"QWidget\" name=\"pageOne\"><layout class=\"QVBoxLayout\" name=\"l1\">" +
        item("QLineEdit", "editOne") + "</layout></widget>"
        "<widget class=\"QWidget\" name=\"pageTwo\">" + dynamicProperty("initialFocus", "listRows") +
        "<layout class=\"QVBoxLayout\" name=\"l2\">" + item("QPushButton", "btnBack", textProperty("text", "返回")) +
        item("QListWidget", "listRows") + "</layout></widget></widget></item>";
    const std::string body =
        item("QPushButton", "btnClose",
             textProperty("text", "×") + textProperty("toolTip", "关闭") +
                 "<property name=\"focusPolicy\"><enum>Qt::NoFocus</enum></property>") +
        tabs + pages + strip + item("QComboBox", "comboPlace", textProperty("accessibleName", "省份")) +
        item("QPushButton", "btnGo", textProperty("text", "开始"));
    ASSERT_TRUE(SkinArchive::instance().loadBytes(
        test::makeZip({{"keys.xml", test::layoutDocument(body, 400, 400,
                                                         dynamicProperty("initialFocus", "editOne"))}})));
  }

  void SetUp() override {
    window_ = std::make_unique<KeyWindow>();
    ASSERT_TRUE(window_->create());
    window_->show();
    QApplication::setActiveWindow(window_.get());
    pump();
  }

  static void pump(int ms = 30) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  }

  template <class T = QWidget>
  T* control(const char* name) {
    T* c = window_->control<T>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  QWidget* focused() const { return QApplication::focusWidget(); }
  QString focusedName() const { return focused() ? focused()->objectName() : QString(); }

  // Three rows of a label, a check button ("收藏") and a plain button ("查看").
  RowList* fillRows() {
    auto* list = control<RowList>("listRows");
    for (int i = 0; i < 3; ++i) {
      auto* row = new QWidget();
      auto* layout = new QHBoxLayout(row);
      auto* name = new QLabel(QStringLiteral("名%1").arg(i + 1), row);
      auto* heart = new QPushButton(QStringLiteral("♥"), row);
      heart->setObjectName(QStringLiteral("heart"));
      heart->setCheckable(true);
      heart->setAccessibleName(QStringLiteral("收藏 名%1").arg(i + 1));
      auto* open = new QPushButton(QStringLiteral("查看"), row);
      open->setObjectName(QStringLiteral("open"));
      open->setAccessibleName(QStringLiteral("查看 名%1").arg(i + 1));
      for (QPushButton* b : {heart, open}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(true);
        QObject::connect(b, &QPushButton::clicked, window_.get(),
                         [this, b, i] { rowClicks << QStringLiteral("%1:%2").arg(b->objectName()).arg(i); });
      }
      layout->addWidget(name);
      layout->addWidget(heart);
      layout->addWidget(open);
      row->setAccessibleName(QStringLiteral("%1 名%1").arg(i + 1));
      auto* entry = new QListWidgetItem(list);
      entry->setSizeHint(QSize(300, 32));
      list->setItemWidget(entry, row);
    }
    return list;
  }

  static QAccessibleInterface* accessible(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
  static QString nameOf(QObject* o) { return accessible(o)->text(QAccessible::Name); }
  // Runs the accessible action `action` on `o` (as a screen reader does) and lets it take effect.
  static void act(QObject* o, const QString& action) {
    QAccessibleInterface* iface = accessible(o);
    ASSERT_NE(iface->actionInterface(), nullptr);
    ASSERT_TRUE(iface->actionInterface()->actionNames().contains(action)) << action.toStdString();
    iface->actionInterface()->doAction(action);
    pump();
  }

  std::unique_ptr<KeyWindow> window_;
  QStringList rowClicks;
};

TEST_F(KeyboardAccessTest, OpensOnItsInitialControlAndTabsThroughEveryControl) {
  EXPECT_EQ(focusedName(), QStringLiteral("editOne"));
  // The caption's close button and the tab bar are stops although the layout
  // keeps them out of the mouse's focus; the bar is one stop, its checked tab.
  QStringList order;
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(focused(), Qt::Key_Tab);
    order << focusedName();
  }
  EXPECT_EQ(order, QStringList({"nameOne", "comboPlace", "btnGo", "btnClose", "tabOne", "editOne"}));
  EXPECT_EQ(control("tabTwo")->focusPolicy() & Qt::TabFocus, 0);
  QTest::keyClick(focused(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(focusedName(), QStringLiteral("tabOne"));
}

TEST_F(KeyboardAccessTest, ArrowsChooseTabsAndEnterClicksAndEscapeCloses) {
  control("tabOne")->setFocus();
  QTest::keyClick(focused(), Qt::Key_Right);
  EXPECT_EQ(focusedName(), QStringLiteral("tabTwo"));
  EXPECT_TRUE(control<QAbstractButton>("tabTwo")->isChecked());
  EXPECT_EQ(control<QStackedWidget>("pages")->currentIndex(), 1);
  EXPECT_TRUE(window_->clicks.contains(QStringLiteral("tabTwo")));
  // The checked tab is now the bar's Tab stop.
  EXPECT_NE(control("tabTwo")->focusPolicy() & Qt::TabFocus, 0);
  EXPECT_EQ(control("tabOne")->focusPolicy() & Qt::TabFocus, 0);

  // A bar whose arrows only move: Space chooses.
  control("nameOne")->setFocus();
  QTest::keyClick(focused(), Qt::Key_Right);
  EXPECT_EQ(focusedName(), QStringLiteral("nameTwo"));
  EXPECT_FALSE(window_->clicks.contains(QStringLiteral("nameTwo")));
  QTest::keyClick(focused(), Qt::Key_Space);
  EXPECT_TRUE(window_->clicks.contains(QStringLiteral("nameTwo")));
  EXPECT_TRUE(control<QAbstractButton>("nameTwo")->isChecked());

  control("btnGo")->setFocus();
  QTest::keyClick(focused(), Qt::Key_Return);
  EXPECT_EQ(window_->clicks.count(QStringLiteral("btnGo")), 1);

  QTest::keyClick(focused(), Qt::Key_Escape);
  EXPECT_TRUE(window_->clicks.contains(QStringLiteral("btnClose")));
  pump(250);
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(KeyboardAccessTest, AccessibleActionsDoWhatAClickDoes) {
  // The toggle a screen reader calls on a tab switches the page, not only the mark.
  act(control("tabTwo"), QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(control<QStackedWidget>("pages")->currentIndex(), 1);
  EXPECT_EQ(window_->clicks, QStringList{QStringLiteral("tabTwo")});
  EXPECT_EQ(accessible(control("tabTwo"))->role(), QAccessible::PageTab);
  EXPECT_TRUE(accessible(control("tabTwo"))->state().checked);

  act(control("btnGo"), QAccessibleActionInterface::pressAction());
  EXPECT_EQ(window_->clicks.last(), QStringLiteral("btnGo"));

  // A symbol caption names nothing: the tool tip names the button.
  EXPECT_EQ(nameOf(control("btnClose")), QStringLiteral("关闭"));
  EXPECT_EQ(nameOf(control("btnGo")), QStringLiteral("开始"));
}

TEST_F(KeyboardAccessTest, PickerKeepsItsLabelAndShowsItsChoiceAsValue) {
  auto* combo = control<QComboBox>("comboPlace");
  combo->addItems({QStringLiteral("北京市"), QStringLiteral("天津市")});
  combo->setCurrentIndex(1);
  QAccessibleInterface* iface = accessible(combo);
  EXPECT_EQ(iface->role(), QAccessible::ComboBox);
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("省份"));
  EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("天津市"));
  // The popup's list is its child, with the items to choose from.
  ASSERT_EQ(iface->childCount(), 1);
  EXPECT_EQ(iface->child(0)->childCount() > 0, true);
}

TEST_F(KeyboardAccessTest, RowsExposeTheirButtonsAndTheKeysReachThem) {
  RowList* list = fillRows();
  // The page's initial control takes the focus when the page changes under it.
  control("editOne")->setFocus();
  control<QAbstractButton>("tabTwo")->click();
  pump();
  EXPECT_EQ(focused(), list);
  EXPECT_EQ(list->currentRow(), 0);

  // The accessibility tree: three rows, each with its name and its buttons.
  QAccessibleInterface* listIface = accessible(list);
  ASSERT_EQ(listIface->childCount(), 3);
  QAccessibleInterface* row = listIface->child(1);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->role(), QAccessible::ListItem);
  EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("2 名2"));
  EXPECT_EQ(listIface->indexOfChild(row), 1);
  EXPECT_EQ(row->parent()->object(), list);
  QStringList names;
  for (int i = 0; i < row->childCount(); ++i) names << row->child(i)->text(QAccessible::Name);
  EXPECT_TRUE(names.contains(QStringLiteral("收藏 名2"))) << names.join('|').toStdString();
  EXPECT_TRUE(names.contains(QStringLiteral("查看 名2"))) << names.join('|').toStdString();
  // Their actions click them.
  act(list->rowWidget(1)->findChild<QAbstractButton*>(QStringLiteral("heart")),
      QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(rowClicks, QStringList{QStringLiteral("heart:1")});

  // Keys: Down moves the row; Space is the row's heart, Enter its 查看.
  rowClicks.clear();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_TRUE(list->item(1)->isSelected());
  QTest::keyClick(list, Qt::Key_Space);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(rowClicks, QStringList({QStringLiteral("heart:1"), QStringLiteral("open:1")}));

  // Tab walks into the current row's buttons, then out of the list.
  rowClicks.clear();
  QTest::keyClick(list, Qt::Key_Tab);
  EXPECT_EQ(focused(), list->rowWidget(1)->findChild<QWidget*>(QStringLiteral("heart")));
  QTest::keyClick(focused(), Qt::Key_Tab);
  EXPECT_EQ(focused(), list->rowWidget(1)->findChild<QWidget*>(QStringLiteral("open")));
  QTest::keyClick(focused(), Qt::Key_Return);
  EXPECT_EQ(rowClicks, QStringList{QStringLiteral("open:1")});
  QTest::keyClick(focused(), Qt::Key_Tab, Qt::ShiftModifier);
  QTest::keyClick(focused(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(focused(), list);
  QTest::keyClick(list, Qt::Key_Tab);
  QTest::keyClick(focused(), Qt::Key_Tab);
  QTest::keyClick(focused(), Qt::Key_Tab);
  EXPECT_EQ(focusedName(), QStringLiteral("nameOne"));
}

TEST_F(KeyboardAccessTest, RowsWithoutWidgetsAreReadByTheirTextAndOutliveNothing) {
  // A long list builds row widgets as they scroll into view; the rows not
  // built yet are still there for a screen reader, by their spoken text.
  auto* list = control<RowList>("listRows");
  for (int i = 0; i < 3; ++i) {
    auto* entry = new QListWidgetItem(list);
    entry->setData(Qt::AccessibleTextRole, QStringLiteral("%1 名%1").arg(i + 1));
  }
  QAccessibleInterface* listIface = accessible(list);
  ASSERT_EQ(listIface->childCount(), 3);
  QAccessibleInterface* second = listIface->child(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->text(QAccessible::Name), QStringLiteral("2 名2"));
  EXPECT_EQ(second->role(), QAccessible::ListItem);
  EXPECT_EQ(listIface->indexOfChild(second), 1);
  EXPECT_EQ(listIface->child(1), second);  // one interface per row while it lasts
  const QAccessible::Id id = QAccessible::uniqueId(second);

  // The row goes: its interface no longer reads a removed item, and the next
  // question about the list lets it go.
  delete list->takeItem(1);
  EXPECT_FALSE(second->isValid());
  EXPECT_EQ(second->text(QAccessible::Name), QString());
  ASSERT_EQ(listIface->childCount(), 2);
  EXPECT_EQ(listIface->child(1)->text(QAccessible::Name), QStringLiteral("3 名3"));
  EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr);
}

}  // namespace
}  // namespace norvane::toolkit
