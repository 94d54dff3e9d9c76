// The main window's speed as a family meets it, driven offscreen against an
// in-process reference service:
//   1. window creation until "windowinit" is done (provinces filled, the
//      saved input of every form restored, the province cascade included);
//   2. a page change served from the answer cache, from the click until the
//      rows are rebuilt;
//   3. the favourites page filled with 1 000 stored names (window creation
//      with that store, beside the creation time of step 1).
//
//   norvane-bench-main-window [--shots FOLDER] [ROUNDS]
//
// With --shots the window is also photographed at each step of a search into
// FOLDER (PNG files), for looking at the layout.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QStackedWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "data/favorites_store.h"
#include "platform/profile_file.h"
#include "refservice/ref_server.h"
#include "service/endpoints.h"
#include "shell/settings.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/window_registry.h"
#include "ui/main_frame.h"

namespace {

using norvane::CMainFrame;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool waitFor(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 30000) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    // Outside the application's loop, windows that ended are deleted here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

QString shotsFolder;
void shot(QWidget* window, const char* name) {
  if (shotsFolder.isEmpty()) return;
  settle();
  window->grab().save(shotsFolder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
  std::printf("shot %s/%s.png\n", shotsFolder.toUtf8().constData(), name);
}

// Creates a window and returns the milliseconds until its initialisation ended.
double createWindow(CMainFrame*& frame) {
  QElapsedTimer timer;
  timer.start();
  frame = new CMainFrame();
  frame->create(nullptr);
  return timer.nsecsElapsed() / 1e6;
}

void destroyWindow(CMainFrame* frame) {
  delete frame;
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();  // takes back the stop the window's end asked for
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 20;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--shots" && i + 1 < argc) {
      shotsFolder = QString::fromLocal8Bit(argv[++i]);
    } else {
      rounds = std::max(1, std::atoi(argv[i]));
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && shotsFolder.isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (!shotsFolder.isEmpty()) QDir().mkpath(shotsFolder);

  const std::string bin = NORVANE_BIN_DIR;
  if (!norvane::toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH))) {
    std::fprintf(stderr, "bench: no skin archive\n");
    return 1;
  }
  norvane::refservice::ServerOptions options;
  options.dataFolder = bin;
  norvane::refservice::ReferenceServer server(options);
  std::string error;
  if (!server.start(0, error)) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return 1;
  }
  const std::string origin = "http://127.0.0.1:" + std::to_string(server.port());
  const std::string data = (std::filesystem::temp_directory_path() / "norvane-bench-main-window").string();
  std::filesystem::remove_all(data);
  norvane::ServiceEndpoints::initialize(bin, data, origin);
  const std::string config = data + "/config.ini";
  norvane::LoadAppSettings(norvane::appSettings(), config);
  norvane::oemSettings().hosts.site = origin;
  norvane::toolkit::RecordingMessagePresenter recorder;
  norvane::toolkit::ScopedMessagePresenter presenter(&recorder);

  // Saved input for every form, with birth places three levels deep.
  for (const char* section : {"Quming", "XingmingFenxi", "Quxiaoming", "XiaomingFenxi"}) {
    norvane::writeProfileString(config, section, "Xing", "李");
    norvane::writeProfileString(config, section, "Ming", "明");
    norvane::writeProfileString(config, section, "Birthday", "2020-2-8 09:05:00");
    norvane::writeProfileString(config, section, "Sheng", "2");
    norvane::writeProfileString(config, section, "Shi", "1");
    norvane::writeProfileString(config, section, "Xian", "3");
  }

  // 1. creation until initialised.
  std::vector<double> creations;
  for (int i = 0; i < rounds; ++i) {
    CMainFrame* frame = nullptr;
    creations.push_back(createWindow(frame));
    if (frame->control<QComboBox>(QStringLiteral("comboXian"))->currentIndex() != 3) {
      std::fprintf(stderr, "bench: saved input not restored\n");
      return 1;
    }
    destroyWindow(frame);
  }
  std::printf("window creation to windowinit done: median %.1f ms (goal <= 150 ms), %d rounds\n", median(creations),
              rounds);

  // 2. a page change from the cache.
  CMainFrame* frame = nullptr;
  createWindow(frame);
  frame->show();
  shot(frame, "1-form");
  if (!shotsFolder.isEmpty()) {
    // The advanced settings and the about dialog, photographed while they run.
    static int photographed = 0;
    auto photographDialog = [](const char* name, const char* closer) {
      QTimer::singleShot(400, [name, closer] {
        ++photographed;
        for (norvane::toolkit::Window* dialog :
             norvane::toolkit::WindowRegistry::windows(QStringLiteral("NorvaneDialogClass"))) {
          if (!dialog->isVisible()) continue;  // one that ended and waits for deletion
          shot(dialog, name);
          if (auto* button = dialog->control<QAbstractButton>(QString::fromLatin1(closer))) button->click();
          break;
        }
      });
    };
    photographDialog("a-advanced-settings", "btnClose");
    frame->control<QAbstractButton>(QStringLiteral("btnGRQMAdvSet"))->click();
    frame->control<QAbstractButton>(QStringLiteral("btnMenu"))->click();
    settle();
    if (auto* about = frame->findChild<QAbstractButton*>(QStringLiteral("menuAbout"))) {
      shot(about->window(), "b-main-menu");
      photographDialog("c-about", "btnClose");
      about->click();  // the menu's command arrives as a posted message
      waitFor([] { return photographed == 2; });
    }
    // A validation message as the user sees it (the real message box).
    norvane::toolkit::setMessagePresenter(nullptr);
    auto* surname = frame->control<QLineEdit>(QStringLiteral("editXing"));
    const QString kept = surname->text();
    surname->setText(QStringLiteral("李a"));
    photographDialog("d-validation-message", "btnClose");
    frame->control<QAbstractButton>(QStringLiteral("btnQuMing"))->click();
    surname->setText(kept);
    norvane::toolkit::setMessagePresenter(&recorder);
  }
  frame->control<QAbstractButton>(QStringLiteral("btnQuMing"))->click();
  shot(frame, "2-waiting");
  auto* steps = frame->control<QStackedWidget>(QStringLiteral("tabQuming"));
  if (!waitFor([&] { return steps->currentIndex() != 1; }) || steps->currentIndex() != 2) {
    std::fprintf(stderr, "bench: the search failed\n");
    return 1;
  }
  shot(frame, "3-results");
  auto* next = frame->control<QAbstractButton>(QStringLiteral("btnNextPageQuming"));
  auto* previous = frame->control<QAbstractButton>(QStringLiteral("btnPrePageQuming"));
  next->click();  // fetched once; from now on pages 1 and 2 come from the cache
  previous->click();
  auto* names = frame->control<QListWidget>(QStringLiteral("listName"));
  auto firstNumber = [&] {
    QWidget* row = names->itemWidget(names->item(0));
    auto* label = row ? row->findChild<QLabel*>(QStringLiteral("BianHao")) : nullptr;
    return label ? label->text() : QString();
  };
  std::vector<double> changes, painted;
  for (int i = 0; i < rounds; ++i) {
    QAbstractButton* button = i % 2 == 0 ? next : previous;
    QElapsedTimer timer;
    timer.start();
    button->click();  // the rows hold the new page before click() returns
    changes.push_back(timer.nsecsElapsed() / 1e6);
    frame->repaint();  // and the window shows it
    painted.push_back(timer.nsecsElapsed() / 1e6);
    if (firstNumber() != (i % 2 == 0 ? QStringLiteral("11") : QStringLiteral("1"))) {
      std::fprintf(stderr, "bench: the page did not change\n");
      return 1;
    }
  }
  settle();
  std::printf("page change from the cache: click to rows rebuilt median %.2f ms, to window repainted median %.2f ms "
              "(goal <= 16 ms), %d rounds\n", median(changes), median(painted), rounds);
  frame->control<QAbstractButton>(QStringLiteral("PageQuming-5"))->click();
  shot(frame, "4-page5");
  // A favourite, and the favourites page.
  auto* list = frame->control<QListWidget>(QStringLiteral("listName"));
  for (int row : {0, 2}) {
    QWidget* w = list->itemWidget(list->item(row));
    w->findChild<QAbstractButton*>(QStringLiteral("ShouCang"))->click();
  }
  shot(frame, "5-hearts");
  frame->control<QAbstractButton>(QStringLiteral("tabFavorites"))->click();
  shot(frame, "6-favourites");
  frame->control<QAbstractButton>(QStringLiteral("tabXiaoMing"))->click();
  shot(frame, "7-nickname-form");
  frame->control<QAbstractButton>(QStringLiteral("btnQuxiaoming"))->click();
  auto* nickSteps = frame->control<QStackedWidget>(QStringLiteral("tabQuxiaoming"));
  waitFor([&] { return nickSteps->currentIndex() != 1; });
  shot(frame, "8-nicknames");
  destroyWindow(frame);

  // 3. the favourites page with 1 000 names.
  {
    norvane::FavoritesStore store;
    for (int i = 0; i < 1000; ++i) {
      norvane::NameRecord record;
      record.Xing = "李";
      record.Ming = "名" + std::to_string(i);
      record.Birthday = "2020-2-8 09:05:00";
      record.FengShu = 90.5f;
      record.IsXiaoming = i % 7 == 0;
      store.add(record);
    }
    std::filesystem::remove(norvane::FavoritesStore::defaultPath());
    store.save(norvane::FavoritesStore::defaultPath());
  }
  std::vector<double> withFavourites;
  const int favouriteRounds = std::max(1, rounds / 4);
  for (int i = 0; i < favouriteRounds; ++i) {
    CMainFrame* big = nullptr;
    withFavourites.push_back(createWindow(big));
    if (big->control<QListWidget>(QStringLiteral("listFavorite"))->count() != 1000) {
      std::fprintf(stderr, "bench: favourites not shown\n");
      return 1;
    }
    if (i == 0 && !shotsFolder.isEmpty()) {
      big->show();
      big->control<QAbstractButton>(QStringLiteral("tabFavorites"))->click();
      shot(big, "9-thousand-favourites");
    }
    destroyWindow(big);
  }
  std::printf("window creation with the favourites page filled with 1000 names: median %.1f ms, against %.1f ms "
              "without (goal <= 500 ms for the page), %d rounds\n",
              median(withFavourites), median(creations), favouriteRounds);
  server.stop();
  return 0;
}
