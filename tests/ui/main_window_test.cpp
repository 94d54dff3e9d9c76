// The main window as a family meets it, driven offscreen by control names:
// the forms' validation and saved input, the birth-place pickers, searches
// against the reference service, paging against a scripted service, the
// favourites, the advanced settings and the about dialog.
#include "ui/main_frame.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QStackedWidget>
#include <QKeyEvent>
#include <QTimeEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "support/qt_application.h"
#include "account/account_store.h"
#include "data/favorites_store.h"
#include "platform/clock.h"
#include "platform/profile_file.h"
#include "refservice/ref_server.h"
#include "service/endpoints.h"
#include "service/test_server.h"
#include "shell/settings.h"
#include "shell/text_table.h"
#include "support/temp_dir.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/window_registry.h"
#include "ui/adv_setting_dlg.h"

// Readable failure output for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) { *out << texts.join(QLatin1Char('|')).toStdString(); }

namespace norvane {
namespace {

using toolkit::RecordingMessagePresenter;

QString messageText(const char* key) {
  std::string text;
  LookupText("Message", key, "", text);
  return QString::fromStdString(text);
}

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

// Runs `work` on the first window of `className` once it shows (a modal dialog).
void whenWindowShows(const QString& className, std::function<void(toolkit::Window*)> work) {
  auto* poll = new QTimer();
  QObject::connect(poll, &QTimer::timeout, [poll, className, work] {
    toolkit::Window* window = toolkit::WindowRegistry::findWindow(className);
    if (window == nullptr || !window->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    work(window);
  });
  poll->start(10);
}

// A scripted naming service: every page of `total` names, ten a page, each
// name telling its page and position; pages listed in `failing` answer code 1004.
class ScriptedService {
 public:
  explicit ScriptedService(int total) : total_(total) {
    server_.setTime("1700000000");
    for (const char* path : {"/v1/build", "/v1/child/build"}) {
      server_.on(path, [this](const httplib::Request& request, httplib::Response& response) {
        Json::Value body;
        Json::Reader().parse(request.body, body);
        const int page = body["page"].asInt();
        Json::Value answer;
        if (failing_.count(page) != 0) {
          answer["code"] = 1004;
        } else {
          answer["code"] = 0;
          answer["total"] = total_;
          answer["data"] = Json::Value(Json::arrayValue);
          for (int i = 0; i < 10 && (page - 1) * 10 + i < total_; ++i) {
            Json::Value name;
            name["x"] = body["xing"].asString();
            name["m"] = "名" + std::to_string(page) + "-" + std::to_string(i + 1);
            name["f"] = 90.5 - i;
            name["w"] = 80 + i;
            name["s"] = 70;
            name["j"] = 60;
            answer["data"].append(name);
          }
        }
        response.set_content(Json::FastWriter().write(answer), "application/json");
      });
    }
  }
  std::string origin() const { return server_.origin(); }
  void failPage(int page) { failing_.insert(page); }
  void healPage(int page) { failing_.erase(page); }
  test::TestServer& server() { return server_; }

 private:
  test::TestServer server_;
  int total_;
  std::set<int> failing_;
};

class MainWindowTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    test::startOffscreenApplication("ui_main_window_tests");
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

  void SetUp() override { useService(referenceOrigin()); }

  void TearDown() override {
    closeFrame();
  }

  static std::string referenceOrigin() { return "http://127.0.0.1:" + std::to_string(reference_->port()); }

  // The reference service's next answer of `path` comes `delay` late.
  static bool slowDown(const std::string& path, std::chrono::milliseconds delay) {
    Json::Value fault;
    fault["mode"] = "slow";
    fault["delay_ms"] = static_cast<Json::Int64>(delay.count());
    fault["path"] = path;
    httplib::Client client("127.0.0.1", reference_->port());
    auto answer = client.Post("/control/fault", Json::FastWriter().write(fault), "application/json");
    return answer && answer->status == 200;
  }
  // How many answers the response cache holds.
  int cachedAnswers() const {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(data_->file("cache"), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      n += it->is_regular_file() ? 1 : 0;
    return n;
  }

  // A fresh data folder with the given service; SaveInput as given.
  void useService(const std::string& origin, int saveInput = 1) {
    data_ = std::make_unique<test::TempDir>();
    ServiceEndpoints::initialize(NORVANE_BIN_DIR, data_->path(), origin);
    if (saveInput != 1) writeProfileString(configPath(), "Main", "SaveInput", std::to_string(saveInput));
    LoadAppSettings(appSettings(), configPath());
    oemSettings().hosts.site = origin;
  }
  std::string configPath() const { return data_->file("config.ini"); }

  CMainFrame* openFrame() {
    closeFrame();
    frame_ = new CMainFrame();
    frame_->setClock(clock_);
    EXPECT_TRUE(frame_->create(nullptr)) << frame_->lastError().toStdString();
    frame_->show();
    QApplication::processEvents();
    return frame_;
  }
  void closeFrame() {
    if (frame_.isNull()) return;
    delete frame_.data();
    frame_ = nullptr;
    // The window's end asks the message loop to stop, which would end every
    // later modal loop at once; one turn of the application's loop takes it back.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
  }

  template <class T = QWidget>
  T* control(const char* name) {
    T* c = frame_->control<T>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void click(const char* name) { control<QAbstractButton>(name)->click(); }
  void type(const char* edit, const QString& text) { control<QLineEdit>(edit)->setText(text); }
  void choose(const char* picker, int position) { control<QComboBox>(picker)->setCurrentIndex(position); }
  // Province, city and county by position; the cascade fills each level.
  void choosePlace(const char* suffix, int province, int city, int county) {
    const std::string s(suffix);
    choose(("comboSheng" + s).c_str(), province);
    choose(("comboShi" + s).c_str(), city);
    choose(("comboXian" + s).c_str(), county);
  }
  int step(const char* steps) { return control<QStackedWidget>(steps)->currentIndex(); }

  // Clicks a button that opens a report window modally; the report is closed
  // as soon as it shows. Returns whether one opened.
  bool clickAndCloseReport(const char* name) {
    bool opened = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (toolkit::Window* report = toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass"))) {
        if (report->isVisible() && !report->isClosing()) {
          opened = true;
          report->requestClose();
        }
      }
    });
    poll.start(20);
    click(name);  // returns when the report's modal loop has ended
    return opened;
  }

  // Submits the name-generation form and waits for its outcome.
  bool searchNames(const QString& surname = QStringLiteral("李")) {
    control<QStackedWidget>("tabMain")->setCurrentIndex(0);
    type("editXing", surname);
    if (control<QComboBox>("comboXian")->currentIndex() < 0) choosePlace("", 2, 0, 0);
    click("btnQuMing");
    return waitUntil([this] { return step("tabQuming") != 1; }) && step("tabQuming") == 2;
  }

  QStringList column(const char* list, const char* cell) {
    QStringList texts;
    auto* view = control<QListWidget>(list);
    for (int row = 0; row < view->count(); ++row) {
      QWidget* w = view->itemWidget(view->item(row));
      auto* label = w ? w->findChild<QLabel*>(QString::fromLatin1(cell)) : nullptr;
      texts << (label ? label->text() : QString());
    }
    return texts;
  }
  QAbstractButton* rowButton(const char* list, int row, const char* button) {
    auto* view = control<QListWidget>(list);
    QWidget* w = view->itemWidget(view->item(row));
    return w ? w->findChild<QAbstractButton*>(QString::fromLatin1(button)) : nullptr;
  }

  std::vector<RecordingMessagePresenter::Call> messages() const { return recorder_.calls(); }

  static refservice::ReferenceServer* reference_;
  std::unique_ptr<test::TempDir> data_;
  RecordingMessagePresenter recorder_;
  toolkit::ScopedMessagePresenter presenter_{&recorder_};
  FixedClock clock_{1700000000, {2023, 11, 14, 22, 13, 20}};
  QPointer<CMainFrame> frame_;
};

refservice::ReferenceServer* MainWindowTest::reference_ = nullptr;

// ---------------------------------------------------------------------------
// Forms

TEST_F(MainWindowTest, EachFormRefusesBadInputWithItsMessageAndFocus) {
  struct Case {
    const char* what;
    int page;
    std::function<void(MainWindowTest&)> fill;
    const char* submit;
    const char* key;
    const char* focus;  // nullptr: no focus rule
  };
  auto place = [](const char* suffix) { return [suffix](MainWindowTest& t) { t.choosePlace(suffix, 0, 0, 0); }; };
  const Case cases[] = {
      {"name: empty surname", 0, [](MainWindowTest&) {}, "btnQuMing", "NoSurname", nullptr},
      {"name: Latin letter", 0, [](MainWindowTest& t) { t.type("editXing", QStringLiteral("李a")); }, "btnQuMing",
       "NeedChineseCharacters", nullptr},
      {"name: no county", 0, [](MainWindowTest& t) { t.type("editXing", QStringLiteral("欧阳")); }, "btnQuMing",
       "NoBirthAddress", nullptr},
      {"analysis: empty surname", 1, [](MainWindowTest& t) { t.type("editMing2", QStringLiteral("明")); },
       "btnXingMingFenxi", "NoSurname", "editXing2"},
      {"analysis: empty name", 1, [](MainWindowTest& t) { t.type("editXing2", QStringLiteral("李")); },
       "btnXingMingFenxi", "NoName", "editMing2"},
      {"analysis: Latin name", 1,
       [](MainWindowTest& t) {
         t.type("editXing2", QStringLiteral("李"));
         t.type("editMing2", QStringLiteral("Ming"));
       },
       "btnXingMingFenxi", "NeedChineseCharacters", nullptr},
      {"analysis: no county", 1,
       [](MainWindowTest& t) {
         t.type("editXing2", QStringLiteral("李"));
         t.type("editMing2", QStringLiteral("明"));
       },
       "btnXingMingFenxi", "NoBirthAddress", nullptr},
      {"fortune: empty name", 2, [](MainWindowTest& t) { t.type("editXing3", QStringLiteral("李")); },
       "btnXingMingYunsi", "NoName", "editMing3"},
      {"fortune: Latin surname", 2,
       [](MainWindowTest& t) {
         t.type("editXing3", QStringLiteral("Li"));
         t.type("editMing3", QStringLiteral("白"));
       },
       "btnXingMingYunsi", "NeedChineseCharacters", nullptr},
      {"nickname: no county before no pattern", 3,
       [](MainWindowTest& t) {
         t.type("editXing4", QStringLiteral("王"));
         for (const char* box : {"optCt1", "optCt2"}) t.control<QAbstractButton>(box)->setChecked(false);
       },
       "btnQuxiaoming", "NoBirthAddress", nullptr},
      {"nickname: no pattern", 3,
       [place](MainWindowTest& t) {
         t.type("editXing4", QStringLiteral("王"));
         place("4")(t);
         for (const char* box : {"optCt1", "optCt2"}) t.control<QAbstractButton>(box)->setChecked(false);
       },
       "btnQuxiaoming", "XiaomingFormatErr", nullptr},
      {"nickname analysis: one character", 4,
       [place](MainWindowTest& t) {
         t.type("editXing5", QStringLiteral("王"));
         t.type("editMing5", QStringLiteral("宝"));
         place("5")(t);
       },
       "btnXiaoMingFenxi", "XiaomingLength", "editMing5"},
      {"nickname analysis: empty nickname", 4, [](MainWindowTest& t) { t.type("editXing5", QStringLiteral("王")); },
       "btnXiaoMingFenxi", "NoName", "editMing5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    openFrame();
    control<QStackedWidget>("tabMain")->setCurrentIndex(c.page);
    c.fill(*this);
    const std::size_t before = messages().size();
    QApplication::setActiveWindow(frame_);
    click(c.submit);
    QApplication::processEvents();
    ASSERT_EQ(messages().size(), before + 1);
    const auto call = messages().back();
    EXPECT_EQ(call.text, messageText(c.key));
    EXPECT_EQ(call.flags, 0x40);
    EXPECT_EQ(call.owner.data(), frame_.data());
    if (c.focus != nullptr) {
      EXPECT_EQ(QApplication::focusWidget(), control(c.focus));
    }
    // A refused input is not saved, and no search starts.
    EXPECT_EQ(test::readFile(configPath()).find("Xing"), std::string::npos);
    EXPECT_EQ(step("tabQuming"), 0);
  }
}

TEST_F(MainWindowTest, SurnameEditTakesTwoCharactersAndFormsReadInOrder) {
  openFrame();
  QApplication::setActiveWindow(frame_);
  auto* edit = control<QLineEdit>("editXing");
  edit->setFocus();
  typeKeys(edit, QStringLiteral("欧阳修"));
  EXPECT_EQ(edit->text(), QStringLiteral("欧阳"));
  auto* nickname = control<QLineEdit>("editMing5");
  typeKeys(nickname, QStringLiteral("小宝贝儿"));
  EXPECT_EQ(nickname->text(), QStringLiteral("小宝贝"));

  // Tab walks the name-generation form in reading order.
  choosePlace("", 2, 0, 0);
  QStringList order;
  QWidget* w = edit;
  for (int i = 0; i < 80 && w; ++i) {
    if (!w->objectName().isEmpty() && w->isVisibleTo(frame_)) order << w->objectName();
    w = w->nextInFocusChain();
  }
  const QStringList expected = {"editXing", "sexMan", "ShengRiDate", "ShengRiTime", "comboSheng", "comboShi",
                                "comboXian", "ZhiShu1"};
  QStringList seen;
  for (const QString& name : order)
    if (expected.contains(name) && !seen.contains(name)) seen << name;
  EXPECT_EQ(seen, expected);

  // Every form control speaks its label; the window its product name.
  EXPECT_EQ(frame_->root()->accessibleName(), QStringLiteral("Norvane"));
  for (auto [name, spoken] : {std::pair{"editXing", "姓氏"}, {"editMing2", "名字"}, {"ShengRiDate4", "出生日期"},
                              {"ShengRiTime5", "出生时间"}, {"comboSheng", "省份"}, {"comboShi2", "城市"},
                              {"comboXian5", "区县"}, {"btnMenu", "菜单"}, {"btnMin", "最小化"}, {"btnClose", "关闭"}})
    EXPECT_EQ(control(name)->accessibleName(), QString::fromUtf8(spoken)) << name;
}

TEST_F(MainWindowTest, ChoosingAProvinceFillsCitiesAndCountiesAndFollowsTheSavedChoice) {
  openFrame();
  auto* province = control<QComboBox>("comboSheng2");
  auto* city = control<QComboBox>("comboShi2");
  auto* county = control<QComboBox>("comboXian2");
  ASSERT_GT(province->count(), 30);
  EXPECT_EQ(province->itemText(0), QStringLiteral("北京市"));
  EXPECT_EQ(province->currentIndex(), -1);
  choose("comboSheng2", 2);  // 河北省
  EXPECT_EQ(city->currentIndex(), 0);
  EXPECT_EQ(city->itemText(0), QStringLiteral("石家庄市"));
  EXPECT_FALSE(city->isHidden());
  EXPECT_EQ(county->currentIndex(), 0);
  EXPECT_EQ(county->itemText(0), QStringLiteral("长安区"));

  // The saved positions come back when the same province is chosen again,
  // whatever SaveInput says; another province starts at its first city.
  writeProfileString(configPath(), "XingmingFenxi", "Sheng", "2");
  writeProfileString(configPath(), "XingmingFenxi", "Shi", "1");
  writeProfileString(configPath(), "XingmingFenxi", "Xian", "3");
  choose("comboSheng2", 3);
  EXPECT_EQ(city->currentIndex(), 0);
  EXPECT_EQ(county->currentIndex(), 0);
  choose("comboSheng2", 2);
  EXPECT_EQ(city->currentIndex(), 1);
  EXPECT_EQ(county->currentIndex(), 3);
  const int id = county->itemData(3).toInt();
  EXPECT_GT(id, 130000);
  // A city without the saved position gets its first county.
  choose("comboShi2", 2);
  EXPECT_EQ(county->currentIndex(), 0);
}

TEST_F(MainWindowTest, AcceptedInputIsSavedAndRestoredAtTheNextStart) {
  openFrame();
  type("editXing", QStringLiteral("欧阳"));
  control<QAbstractButton>("sexWoman")->setChecked(true);
  control<QDateEdit>("ShengRiDate")->setDate(QDate(2020, 2, 8));
  control<QTimeEdit>("ShengRiTime")->setTime(QTime(9, 5));
  control<QAbstractButton>("ZhiShu1")->setChecked(true);
  choosePlace("", 2, 1, 3);
  ASSERT_TRUE(searchNames(QStringLiteral("欧阳")));

  type("editXing4", QStringLiteral("王"));
  choosePlace("4", 0, 0, 2);
  control<QAbstractButton>("optCt2")->setChecked(false);
  control<QAbstractButton>("optCt5")->setChecked(true);
  click("btnQuxiaoming");
  ASSERT_TRUE(waitUntil([this] { return step("tabQuxiaoming") != 1; }));

  type("editXing3", QStringLiteral("李"));
  type("editMing3", QStringLiteral("白"));
  EXPECT_TRUE(clickAndCloseReport("btnXingMingYunsi"));

  const std::string config = configPath();
  auto text = [&](const char* section, const char* key) { return readProfileString(config, section, key, "?"); };
  EXPECT_EQ(text("Quming", "Xing"), "欧阳");
  EXPECT_EQ(text("Quming", "Gender"), "2");
  EXPECT_EQ(text("Quming", "Birthday"), "2020-2-8 09:05:00");
  EXPECT_EQ(text("Quming", "LengOfName"), "1");
  EXPECT_EQ(text("Quming", "Sheng") + text("Quming", "Shi") + text("Quming", "Xian"), "213");
  EXPECT_EQ(text("Quxiaoming", "Ct1") + text("Quxiaoming", "Ct2") + text("Quxiaoming", "Ct5"), "101");
  EXPECT_EQ(text("Yunsi", "Ming"), "白");
  EXPECT_EQ(text("XingmingFenxi", "Xing"), "?");  // never submitted

  openFrame();
  EXPECT_EQ(control<QLineEdit>("editXing")->text(), QStringLiteral("欧阳"));
  EXPECT_TRUE(control<QAbstractButton>("sexWoman")->isChecked());
  EXPECT_EQ(control<QDateEdit>("ShengRiDate")->date(), QDate(2020, 2, 8));
  EXPECT_EQ(control<QTimeEdit>("ShengRiTime")->time(), QTime(9, 5));
  EXPECT_TRUE(control<QAbstractButton>("ZhiShu1")->isChecked());
  EXPECT_EQ(control<QComboBox>("comboSheng")->currentIndex(), 2);
  EXPECT_EQ(control<QComboBox>("comboShi")->currentIndex(), 1);
  EXPECT_EQ(control<QComboBox>("comboXian")->currentIndex(), 3);
  EXPECT_EQ(control<QComboBox>("comboXian4")->currentIndex(), 2);
  EXPECT_FALSE(control<QAbstractButton>("optCt2")->isChecked());
  EXPECT_TRUE(control<QAbstractButton>("optCt5")->isChecked());
  EXPECT_EQ(control<QLineEdit>("editMing3")->text(), QStringLiteral("白"));
  // A form without saved input shows the clock's date.
  EXPECT_EQ(control<QDateEdit>("ShengRiDate2")->date(), QDate(2023, 11, 14));
}

TEST_F(MainWindowTest, WithoutSaveInputNothingIsWrittenOrRestored) {
  useService(referenceOrigin(), 0);
  writeProfileString(configPath(), "Quming", "Xing", "赵");
  openFrame();
  EXPECT_TRUE(control<QLineEdit>("editXing")->text().isEmpty());
  ASSERT_TRUE(searchNames(QStringLiteral("钱")));
  EXPECT_EQ(readProfileString(configPath(), "Quming", "Xing", ""), "赵");
  EXPECT_EQ(readProfileString(configPath(), "Quming", "Sheng", "none"), "none");
}

// ---------------------------------------------------------------------------
// Searches and paging

TEST_F(MainWindowTest, SearchAgainstTheReferenceServiceFillsTenNumberedRows) {
  openFrame();
  ASSERT_TRUE(searchNames()) << (messages().empty() ? "" : messages().back().text.toStdString());
  QStringList numbers = column("listName", "BianHao");
  ASSERT_EQ(numbers.size(), 10);
  EXPECT_EQ(numbers.first(), QStringLiteral("1"));
  EXPECT_EQ(numbers.last(), QStringLiteral("10"));
  for (const QString& name : column("listName", "XinMing")) EXPECT_TRUE(name.startsWith(QStringLiteral("李"))) << name.toStdString();
  EXPECT_TRUE(column("listName", "BingFeng").first().contains(QLatin1Char('.')));
  EXPECT_TRUE(column("listName", "WuXing").first().endsWith(QLatin1Char('%')));
  // Every row speaks its cells.
  auto* view = control<QListWidget>("listName");
  EXPECT_TRUE(view->item(0)->data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("1 李")));

  click("btnNextPageQuming");
  numbers = column("listName", "BianHao");
  ASSERT_EQ(numbers.size(), 10);
  EXPECT_EQ(numbers.first(), QStringLiteral("11"));
  EXPECT_EQ(numbers.last(), QStringLiteral("20"));
  EXPECT_TRUE(control<QAbstractButton>("btnPrePageQuming")->isEnabled());

  // The nickname list shows the nickname alone, numbered the same way.
  control<QStackedWidget>("tabMain")->setCurrentIndex(3);
  type("editXing4", QStringLiteral("王"));
  choosePlace("4", 0, 0, 0);
  click("btnQuxiaoming");
  ASSERT_TRUE(waitUntil([this] { return step("tabQuxiaoming") != 1; }));
  ASSERT_EQ(step("tabQuxiaoming"), 2);
  QStringList nicknames = column("listName4", "XinMing");
  ASSERT_FALSE(nicknames.isEmpty());
  EXPECT_FALSE(nicknames.first().startsWith(QStringLiteral("王")));
  EXPECT_FALSE(rowButton("listName4", 0, "FengXi")->isVisibleTo(frame_));
  EXPECT_TRUE(rowButton("listName4", 0, "XiaomingFengXi")->isVisibleTo(frame_));

  click("btnReturnQuxiaoming");
  EXPECT_EQ(step("tabQuxiaoming"), 0);
  EXPECT_EQ(control<QListWidget>("listName4")->count(), nicknames.size());
}

TEST_F(MainWindowTest, ServiceFailureShowsItsMessageAndReturnsToTheForm) {
  ScriptedService service(0);  // an empty first page
  useService(service.origin());
  openFrame();
  EXPECT_FALSE(searchNames());
  EXPECT_EQ(step("tabQuming"), 0);
  ASSERT_FALSE(messages().empty());
  EXPECT_EQ(messages().back().flags, 0x10);
  EXPECT_EQ(messages().back().text, messageText(statusTextKey(kStatusEmptyList)));
}

TEST_F(MainWindowTest, PageBarFollowsTheTotalAndTheOffsetRules) {
  struct Option {
    QString text;
    bool visible;
  };
  auto bar = [this]() {
    QStringList labels;
    for (int k = 1; k <= 5; ++k) {
      auto* o = control<QAbstractButton>(QStringLiteral("PageQuming-%1").arg(k).toLatin1().constData());
      labels << (o->isVisibleTo(frame_) ? o->text() : QStringLiteral("-")) + (o->isChecked() ? QStringLiteral("*") : QString());
    }
    return labels.join(QLatin1Char(' '));
  };
  {
    ScriptedService service(23);
    useService(service.origin());
    openFrame();
    ASSERT_TRUE(searchNames());
    EXPECT_EQ(bar(), QStringLiteral("1* 2 3 - -"));
    EXPECT_EQ(control("viewPageSelect")->width(), 218);
    EXPECT_FALSE(control<QAbstractButton>("btnPrePageQuming")->isEnabled());
    click("PageQuming-3");
    EXPECT_EQ(bar(), QStringLiteral("1 2 3* - -"));
    EXPECT_EQ(column("listName", "BianHao"), (QStringList{"21", "22", "23"}));
    EXPECT_FALSE(control<QAbstractButton>("btnNextPageQuming")->isEnabled());
    const auto requests = service.server().requestsTo("/v1/build").size();
    click("btnNextPageQuming");  // the last page: nothing happens
    EXPECT_EQ(service.server().requestsTo("/v1/build").size(), requests);
    EXPECT_EQ(column("listName", "BianHao").first(), QStringLiteral("21"));
  }
  {
    ScriptedService service(100);
    useService(service.origin());
    openFrame();
    ASSERT_TRUE(searchNames());
    EXPECT_EQ(bar(), QStringLiteral("1* 2 3 4 5"));
    EXPECT_EQ(control("viewPageSelect")->width(), 270);
    click("PageQuming-5");  // page 5: the buttons move on by three
    EXPECT_EQ(bar(), QStringLiteral("4 5* 6 7 8"));
    EXPECT_EQ(column("listName", "BianHao").first(), QStringLiteral("41"));
    click("PageQuming-1");  // page 4: back by two
    EXPECT_EQ(bar(), QStringLiteral("2 3 4* 5 6"));
    for (int i = 0; i < 6; ++i) click("btnNextPageQuming");
    EXPECT_EQ(bar(), QStringLiteral("6 7 8 9 10*"));
    EXPECT_EQ(column("listName", "BianHao").last(), QStringLiteral("100"));
    // A new search of fewer pages shows only its options again.
  }
  {
    ScriptedService service(40);
    useService(service.origin());
    openFrame();
    ASSERT_TRUE(searchNames());
    EXPECT_EQ(bar(), QStringLiteral("1* 2 3 4 -"));
    EXPECT_EQ(control("viewPageSelect")->width(), 244);
  }
}

TEST_F(MainWindowTest, FailedPageChangeKeepsTheShownPageAndItsRowsSafe) {
  ScriptedService service(100);
  useService(service.origin());
  openFrame();
  ASSERT_TRUE(searchNames());
  service.failPage(3);
  click("PageQuming-3");
  // Still page 1, truthfully marked, and its rows still lead to its names.
  EXPECT_EQ(column("listName", "BianHao").first(), QStringLiteral("1"));
  EXPECT_TRUE(control<QAbstractButton>("PageQuming-1")->isChecked());
  EXPECT_FALSE(control<QAbstractButton>("PageQuming-3")->isChecked());
  EXPECT_EQ(frame_->nameList().paging().current, 1);
  EXPECT_TRUE(messages().empty());
  rowButton("listName", 1, "ShouCang")->click();
  ASSERT_EQ(frame_->favorites().size(), 1u);
  EXPECT_EQ(frame_->favorites().records().front().Ming, "名1-2");
  // The next page after the failure is page 2, not 4.
  click("btnNextPageQuming");
  EXPECT_EQ(column("listName", "BianHao").first(), QStringLiteral("11"));
  service.healPage(3);
  click("btnNextPageQuming");
  EXPECT_EQ(column("listName", "BianHao").first(), QStringLiteral("21"));
}

// The report windows page through the list they were opened from.
class FakeReportWindow : public toolkit::Window {
 public:
  FakeReportWindow() : toolkit::Window(QStringLiteral("NorvaneResultWindowClass"), QStringLiteral("dlg_message.xml")) {}
  int newPages = 0;

 protected:
  bool onMessage(unsigned number, quintptr) override {
    if (number == 1033) ++newPages;
    return true;
  }
};

TEST_F(MainWindowTest, ReportWindowsPageTheListAndHearOfEachNewPage) {
  ScriptedService service(23);
  useService(service.origin());
  openFrame();
  ASSERT_TRUE(searchNames());
  FakeReportWindow report;
  ASSERT_TRUE(report.create(nullptr));
  reports::NamePageSource& source = frame_->nameList();
  EXPECT_FALSE(source.canGoPrevious());
  EXPECT_TRUE(source.canGoNext());
  source.previousPage();  // the first page: nothing
  service.failPage(2);
  source.nextPage();  // fails: the window hears nothing, the page stays
  QApplication::processEvents();
  EXPECT_EQ(report.newPages, 0);
  EXPECT_EQ(source.currentNames().front().Ming, "名1-1");
  EXPECT_FALSE(source.canGoPrevious());
  service.healPage(2);
  source.nextPage();
  source.nextPage();
  source.nextPage();  // the last page: nothing
  QApplication::processEvents();
  EXPECT_EQ(report.newPages, 2);
  ASSERT_EQ(source.currentNames().size(), 3u);
  EXPECT_EQ(source.currentNames().front().Ming, "名3-1");
  EXPECT_TRUE(source.canGoPrevious());
  EXPECT_FALSE(source.canGoNext());
  EXPECT_TRUE(control<QAbstractButton>("PageQuming-3")->isChecked());
  source.previousPage();
  QApplication::processEvents();
  EXPECT_EQ(report.newPages, 3);
  EXPECT_EQ(source.currentNames().front().Ming, "名2-1");
  EXPECT_EQ(column("listName", "BianHao").first(), QStringLiteral("11"));
}

// ---------------------------------------------------------------------------
// Favourites

TEST_F(MainWindowTest, FavouritesReachTheDiskAtOnceAndSurviveARestart) {
  ScriptedService service(30);
  useService(service.origin());
  openFrame();
  ASSERT_TRUE(searchNames());
  for (int row : {0, 1, 2, 3}) rowButton("listName", row, "ShouCang")->click();
  EXPECT_TRUE(rowButton("listName", 2, "ShouCang")->isChecked());
  EXPECT_EQ(column("listFavorite", "BianHao"), (QStringList{"1", "2", "3", "4"}));

  // On disk while the window is still open.
  FavoritesStore onDisk;
  onDisk.load(FavoritesStore::defaultPath());
  ASSERT_EQ(onDisk.size(), 4u);

  // Removing the second leaves a gap; its heart in the result list goes out.
  rowButton("listFavorite", 1, "RemoveFavorite")->click();
  EXPECT_EQ(column("listFavorite", "BianHao"), (QStringList{"1", "3", "4"}));
  EXPECT_FALSE(rowButton("listName", 1, "ShouCang")->isChecked());
  // A heart clicked off removes its favourite.
  rowButton("listName", 3, "ShouCang")->click();
  EXPECT_EQ(column("listFavorite", "XinMing"), (QStringList{"李名1-1", "李名1-3"}));
  FavoritesStore afterRemoval;
  afterRemoval.load(FavoritesStore::defaultPath());
  EXPECT_EQ(afterRemoval.size(), 2u);

  openFrame();  // a restart
  EXPECT_EQ(column("listFavorite", "XinMing"), (QStringList{"李名1-1", "李名1-3"}));
  EXPECT_EQ(column("listFavorite", "BianHao"), (QStringList{"1", "2"}));
  ASSERT_TRUE(searchNames());
  EXPECT_TRUE(rowButton("listName", 0, "ShouCang")->isChecked());
  EXPECT_FALSE(rowButton("listName", 1, "ShouCang")->isChecked());
}

TEST_F(MainWindowTest, FavouriteNicknameShowsTheNoteAndLeavesNoStaleHeart) {
  ScriptedService service(10);
  useService(service.origin());
  openFrame();
  control<QStackedWidget>("tabMain")->setCurrentIndex(3);
  type("editXing4", QStringLiteral("王"));
  choosePlace("4", 0, 0, 0);
  click("btnQuxiaoming");
  ASSERT_TRUE(waitUntil([this] { return step("tabQuxiaoming") == 2; }));
  EXPECT_EQ(column("listName4", "XinMing").first(), QStringLiteral("名1-1"));
  QAbstractButton* heart = rowButton("listName4", 0, "ShouCang");
  heart->click();
  EXPECT_EQ(column("listFavorite", "XinMing").first(),
            QStringLiteral("名1-1") + QString::fromStdString(GetText("XiaomingNote")));
  rowButton("listFavorite", 0, "RemoveFavorite")->click();
  EXPECT_FALSE(heart->isChecked());
  heart->click();  // adds it again
  EXPECT_TRUE(heart->isChecked());
  EXPECT_EQ(frame_->favorites().size(), 1u);
}

TEST_F(MainWindowTest, LongFavouriteListsGetTheirRowsAsTheyScrollIntoView) {
  {
    FavoritesStore store;
    for (int i = 1; i <= 60; ++i) {
      NameRecord record;
      record.Xing = "周";
      record.Ming = "名" + std::to_string(i);
      record.Birthday = "2020-2-8 09:05:00";
      store.add(record);
    }
    ASSERT_TRUE(store.save(FavoritesStore::defaultPath()));
  }
  openFrame();
  click("tabFavorites");
  auto* view = control<QListWidget>("listFavorite");
  ASSERT_EQ(view->count(), 60);
  // Every row speaks its cells, with or without its widget.
  EXPECT_EQ(view->item(59)->data(Qt::AccessibleTextRole).toString().left(7), QStringLiteral("60 周名60"));
  view->scrollToBottom();
  QApplication::processEvents();
  QAbstractButton* remove = rowButton("listFavorite", 59, "RemoveFavorite");
  ASSERT_NE(remove, nullptr);
  EXPECT_EQ(column("listFavorite", "XinMing").at(59), QStringLiteral("周名60"));
  remove->click();
  EXPECT_EQ(view->count(), 59);
  FavoritesStore onDisk;
  onDisk.load(FavoritesStore::defaultPath());
  EXPECT_EQ(onDisk.size(), 59u);
  EXPECT_EQ(onDisk.records().back().Ming, "名59");
}

TEST_F(MainWindowTest, TheWaitingStepPlaysItsAnimationOnlyWhileShown) {
  ScriptedService service(30);
  service.server().on("/v1/build", [](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    response.set_content("{\"code\":0,\"total\":1,\"data\":[{\"x\":\"李\",\"m\":\"慢\"}]}", "application/json");
  });
  useService(service.origin());
  openFrame();
  auto* image = control<QLabel>("waitingImageQuming");
  ASSERT_NE(image, nullptr);
  ASSERT_NE(image->movie(), nullptr);
  EXPECT_TRUE(image->movie()->isValid());
  EXPECT_NE(image->movie()->state(), QMovie::Running);  // the form is shown
  type("editXing", QStringLiteral("李"));
  choosePlace("", 2, 0, 0);
  click("btnQuMing");
  ASSERT_EQ(step("tabQuming"), 1);
  EXPECT_EQ(image->movie()->state(), QMovie::Running);
  ASSERT_TRUE(waitUntil([this] { return step("tabQuming") == 2; }));
  EXPECT_NE(image->movie()->state(), QMovie::Running);
  EXPECT_FALSE(image->accessibleName().isEmpty());
  EXPECT_NE(control<QLabel>("waitingImageQuxiaoming"), nullptr);
}

TEST_F(MainWindowTest, ClosingDuringASearchWaitsForItAndKeepsTheFavourites) {
  ScriptedService service(30);
  useService(service.origin());
  openFrame();
  ASSERT_TRUE(searchNames());
  rowButton("listName", 0, "ShouCang")->click();
  service.server().on("/v1/build", [](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    response.set_content("{\"code\":0,\"total\":1,\"data\":[{\"x\":\"李\",\"m\":\"慢\"}]}", "application/json");
  });
  click("btnReturnQuming");
  type("editXing", QStringLiteral("张"));
  click("btnQuMing");
  EXPECT_TRUE(frame_->nameList().searching());
  closeFrame();  // waits for the worker
  FavoritesStore onDisk;
  onDisk.load(FavoritesStore::defaultPath());
  EXPECT_EQ(onDisk.size(), 1u);
}

TEST_F(MainWindowTest, ClosingTheFortuneOrNicknameReportDuringItsRequestLeavesTheWindowAnswering) {
  struct Case {
    const char* what;
    const char* path;  // the request the report waits for
    std::function<void(MainWindowTest&)> fill;
    const char* submit;
  };
  const Case cases[] = {
      {"fortune", "/v1/luck",
       [](MainWindowTest& t) {
         t.type("editXing3", QStringLiteral("李"));
         t.type("editMing3", QStringLiteral("白"));
       },
       "btnXingMingYunsi"},
      {"nickname", "/v1/child/show",
       [](MainWindowTest& t) {
         t.type("editXing5", QStringLiteral("王"));
         t.type("editMing5", QStringLiteral("宝宝"));
         t.choosePlace("5", 0, 0, 0);
       },
       "btnXiaoMingFenxi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    useService(referenceOrigin());  // a fresh data folder: nothing cached
    openFrame();
    c.fill(*this);
    ASSERT_TRUE(slowDown(c.path, std::chrono::milliseconds(8000)));
    // The report is closed as soon as it shows, while the service holds its
    // answer; from then on a 100 ms timer of the main window keeps firing.
    QElapsedTimer sinceClose;
    qint64 lastTick = 0, longestGap = 0;
    QTimer ticker;
    ticker.setInterval(100);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      longestGap = std::max(longestGap, sinceClose.elapsed() - lastTick);
      lastTick = sinceClose.elapsed();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      toolkit::Window* report = toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass"));
      if (report == nullptr || !report->isVisible()) return;
      poll.stop();
      report->requestClose();
      sinceClose.start();
      ticker.start();
    });
    poll.start(20);
    click(c.submit);  // returns when the report's modal loop has ended
    ASSERT_TRUE(sinceClose.isValid()) << "no report opened";
    waitUntil([&] { return sinceClose.elapsed() > 2500; });
    ticker.stop();
    longestGap = std::max(longestGap, sinceClose.elapsed() - lastTick);
    EXPECT_LT(longestGap, 3000) << "the main window stood still until the service answered";
    // The late answer still arrives (it is cached) and reaches nobody.
    ASSERT_TRUE(waitUntil([&] { return cachedAnswers() > 0; }));
    waitUntil([] { return false; }, 300);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass")), nullptr);
  }
}

// ---------------------------------------------------------------------------
// The login travels with every request

TEST_F(MainWindowTest, PagingAsksAsTheUserShownAfterALogoutAndALogin) {
  ScriptedService service(100);
  service.server().answer("/sms/login/", R"({"code":0})");
  // Each account gets its own token; the stored one is confirmed at start.
  service.server().on("/v1/user/login", [](const httplib::Request& request, httplib::Response& response) {
    Json::Value body;
    Json::Reader().parse(request.body, body);
    const std::string token = body["account"].asString() == "wx-old" ? "tok-old" : "tok-new";
    response.set_content(R"({"code":0,"data":{"token":")" + token + R"("}})", "application/json");
  });
  useService(service.origin());
  accountStore().save("wx-old", "小明", "tok-old", kLoginWeChat, userStore());
  openFrame();
  ASSERT_TRUE(waitUntil([this] { return control("userNickname")->isEnabled(); }));  // the start-up check answered
  auto askedAs = [&service] {
    const auto requests = service.server().requestsTo("/v1/build");
    Json::Value body;
    if (requests.empty() || !Json::Reader().parse(requests.back().body, body)) return std::string("(none)");
    return body["account"].asString() + "/" + body["token"].asString();
  };
  ASSERT_TRUE(searchNames());
  EXPECT_EQ(askedAs(), "wx-old/tok-old");

  // Logout from the user menu: the next page of the same list asks as nobody.
  click("userNickname");
  QAbstractButton* logout = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->findChild<QAbstractButton*>(QStringLiteral("menuLog")))
      logout = w->findChild<QAbstractButton*>(QStringLiteral("menuLog"));
  ASSERT_NE(logout, nullptr);
  logout->click();
  ASSERT_TRUE(waitUntil([this] { return control<QStackedWidget>("tabUser")->currentIndex() == 0; }));
  click("btnNextPageQuming");
  EXPECT_EQ(askedAs(), "/");

  // Login with an SMS code: the next page asks as the new user.
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&service](toolkit::Window* dialog) {
    dialog->control<QLineEdit>(QStringLiteral("userMobile"))->setText(QStringLiteral("13800138000"));
    dialog->control<QAbstractButton>(QStringLiteral("btnSendVeryfyCode"))->click();
    Json::Value sms;
    const auto sent = service.server().requestsTo("/sms/login/");
    ASSERT_FALSE(sent.empty());
    ASSERT_TRUE(Json::Reader().parse(sent.back().body, sms));
    dialog->control<QLineEdit>(QStringLiteral("verifyCode"))->setText(QString::fromStdString(sms["code"].asString()));
    dialog->control<QAbstractButton>(QStringLiteral("btnMobileLogin"))->click();
  });
  click("btnLogin");  // returns when the login dialog has closed
  ASSERT_EQ(control<QStackedWidget>("tabUser")->currentIndex(), 1);
  click("btnNextPageQuming");
  EXPECT_EQ(askedAs(), "13800138000/tok-new");
  EXPECT_EQ(frame_->nicknameQuery().Token, "tok-new");
}

// ---------------------------------------------------------------------------
// Advanced settings and the about dialog

TEST_F(MainWindowTest, AdvancedSettingsAreCopiedBackOnlyOnConfirmAndReachTheRequest) {
  ScriptedService service(10);
  useService(service.origin());
  openFrame();
  // Without a surname the dialog does not open.
  click("btnGRQMAdvSet");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages().back().text, messageText("NoSurname"));

  type("editXing", QStringLiteral("李"));
  control<QAbstractButton>("ZhiShu2")->setChecked(true);
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [](toolkit::Window* dialog) {
    dialog->control<QComboBox>(QStringLiteral("comboSDZH"))->setCurrentIndex(3);
    dialog->control<QAbstractButton>(QStringLiteral("btnClose"))->click();  // cancel
  });
  click("btnGRQMAdvSet");
  EXPECT_EQ(frame_->nameQuery().AdvancedSettings.yd, 0);
  EXPECT_EQ(readProfileString(configPath(), "Quming", "Xing", ""), "李");

  bool secondDisabled = false, secondOpenAgain = false;
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&](toolkit::Window* dialog) {
    auto* first = dialog->control<QLineEdit>(QStringLiteral("NameWord1"));
    auto* second = dialog->control<QLineEdit>(QStringLiteral("NameWord2"));
    first->setText(QStringLiteral("明"));
    secondDisabled = !second->isEnabled();
    first->clear();
    secondOpenAgain = second->isEnabled();
    first->setText(QStringLiteral("明"));
    dialog->control<QComboBox>(QStringLiteral("comboSDZH"))->setCurrentIndex(3);
    dialog->control<QComboBox>(QStringLiteral("comboCYZ"))->setCurrentIndex(0);
    dialog->control<QAbstractButton>(QStringLiteral("btnYes"))->click();
  });
  click("btnGRQMAdvSet");
  EXPECT_TRUE(secondDisabled);
  EXPECT_TRUE(secondOpenAgain);
  const AdvancedNamingSettings& s = frame_->nameQuery().AdvancedSettings;
  EXPECT_EQ(s.yd, 3);
  EXPECT_EQ(s.cyz, 0);
  EXPECT_EQ(s.FixedFirst, u'明');

  // Reopening shows the confirmed choices.
  int shownChoice = -1;
  QString shownFixed;
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&](toolkit::Window* dialog) {
    shownChoice = dialog->control<QComboBox>(QStringLiteral("comboSDZH"))->currentIndex();
    shownFixed = dialog->control<QLineEdit>(QStringLiteral("NameWord1"))->text();
    dialog->control<QAbstractButton>(QStringLiteral("btnClose"))->click();
  });
  click("btnGRQMAdvSet");
  EXPECT_EQ(shownChoice, 3);
  EXPECT_EQ(shownFixed, QStringLiteral("明"));

  ASSERT_TRUE(searchNames());
  const auto requests = service.server().requestsTo("/v1/build");
  ASSERT_FALSE(requests.empty());
  Json::Value body;
  ASSERT_TRUE(Json::Reader().parse(requests.back().body, body));
  EXPECT_EQ(body["set"]["yd"].asInt(), 3);
  EXPECT_EQ(body["set"]["cyz"].asInt(), 0);
  EXPECT_EQ(body["z1"][0].asString(), "明");
  EXPECT_FALSE(body.isMember("z2"));
}

TEST_F(MainWindowTest, SingleCharacterNamesLeaveNoRoomForAFixedCharacter) {
  openFrame();
  type("editXing", QStringLiteral("李"));
  control<QAbstractButton>("ZhiShu1")->setChecked(true);
  ASSERT_TRUE(searchNames());  // saves LengOfName 1
  frame_->nameQuery().AdvancedSettings.FixedFirst = u'明';
  bool bothDisabled = false;
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&](toolkit::Window* dialog) {
    auto* first = dialog->control<QLineEdit>(QStringLiteral("NameWord1"));
    auto* second = dialog->control<QLineEdit>(QStringLiteral("NameWord2"));
    bothDisabled = !first->isEnabled() && !second->isEnabled() && first->text().isEmpty();
    dialog->control<QComboBox>(QStringLiteral("comboWXZH"))->setCurrentIndex(3);
    dialog->control<QAbstractButton>(QStringLiteral("btnYes"))->click();
  });
  click("btnReturnQuming");
  click("btnGRQMAdvSet");
  EXPECT_TRUE(bothDisabled);
  EXPECT_EQ(frame_->nameQuery().AdvancedSettings.FixedFirst, 0);
  EXPECT_EQ(frame_->nameQuery().AdvancedSettings.wx, 3);
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

TEST_F(MainWindowTest, AboutLinkAndCustomerServiceOpenTheSitePages) {
  openFrame();
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
  click("btnKefu");
  QString shownSite;
  bool goneAtOnce = false;
  whenWindowShows(QStringLiteral("NorvaneDialogClass"), [&](toolkit::Window* about) {
    shownSite = about->control<QAbstractButton>(QStringLiteral("buttonSite"))->text();
    EXPECT_EQ(about->control<QLabel>(QStringLiteral("LabelVersion"))->text(), QStringLiteral("1.0.0.1001"));
    about->control<QAbstractButton>(QStringLiteral("buttonSite"))->click();
    about->control<QAbstractButton>(QStringLiteral("btnClose"))->click();
    goneAtOnce = !about->isVisible();  // no fade-out
  });
  click("btnMenu");
  QWidget* menu = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->findChild<QAbstractButton*>(QStringLiteral("menuAbout"))) menu = w;
  ASSERT_NE(menu, nullptr);
  menu->findChild<QAbstractButton*>(QStringLiteral("menuAbout"))->click();
  ASSERT_TRUE(waitUntil([&] { return catcher.urls.size() == 2 && !toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneDialogClass")); }));
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  EXPECT_TRUE(goneAtOnce);
  const QString origin = QString::fromStdString(referenceOrigin());
  EXPECT_EQ(catcher.urls.at(0).toString(), origin + QStringLiteral("/service/"));
  EXPECT_EQ(catcher.urls.at(1).toString(), origin + QStringLiteral("/"));
  EXPECT_EQ(shownSite, QUrl(origin).authority());
}

TEST_F(MainWindowTest, ClearCacheMenuEmptiesTheCacheAndSaysSo) {
  openFrame();
  ASSERT_TRUE(searchNames());
  const std::string cached = data_->file("cache/quming");
  ASSERT_FALSE(std::filesystem::is_empty(cached));
  click("btnMenu");
  QWidget* menu = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->findChild<QAbstractButton*>(QStringLiteral("menuClearCache"))) menu = w;
  ASSERT_NE(menu, nullptr);
  menu->findChild<QAbstractButton*>(QStringLiteral("menuClearCache"))->click();
  ASSERT_TRUE(waitUntil([&] { return !messages().empty(); }));
  EXPECT_EQ(messages().back().text, messageText("ClearCache"));
  EXPECT_TRUE(std::filesystem::is_empty(cached));
  EXPECT_TRUE(std::filesystem::is_directory(cached));
}

}  // namespace
}  // namespace norvane

#include "main_window_test.moc"
