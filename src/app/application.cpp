#include "app/application.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QSocketNotifier>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "app/run_modes.h"
#include "app/run_plugins.h"
#include "app/single_instance.h"
#include "platform/built_in_service.h"
#include "platform/debug_trace.h"
#include "platform/folders.h"
#include "platform/worker_thread.h"
#include "service/endpoints.h"
#include "shell/crash_handler.h"
#include "shell/run_log.h"
#include "shell/settings.h"
#include "toolkit/skin_archive.h"
#include "toolkit/window.h"
#include "toolkit/window_registry.h"

namespace norvane {

const char kSkinMissingText[] = "软件皮肤资源丢失，无法运行，请重新安装！";
const char kSkinMissingTitle[] = "严重错误";

namespace {

const char kMainWindowClass[] = "NorvaneWindowClass";

// SIGTERM and SIGINT close the main window the ordinary way (close handler,
// destruction, exit 0) instead of killing the process mid-work.
int g_stopPipe[2] = {-1, -1};

void onStopSignal(int) {
  char byte = 1;
  ssize_t ignored = ::write(g_stopPipe[1], &byte, 1);
  (void)ignored;
}

void installStopSignals() {
  if (::pipe(g_stopPipe) != 0) return;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

// Builds the service URL table and fills both folders (creating the data and
// cache folders), then loads the stored login.
void initializeEndpointsAndFolders() {
  ServiceEndpoints::initialize();
  plugins::loadStoredAccount();
}

// When oem.ini names the built-in service ("local") for any host, starts it
// now, so that it gets ready while the window builds; the first request to
// it waits for its origin.
void startBuiltInService() {
  if (!usesBuiltInService(oemSettings().hosts)) return;
  BuiltInService& service = BuiltInService::instance();
  service.configureBesideProgram(ProgramFolder);
  service.start();
}

void applyFonts(QApplication& app) {
  // Chinese text needs a CJK face; the families are tried in order.
  QFont font(QStringLiteral("Microsoft YaHei"), 9);
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Source Han Sans SC"), QStringLiteral("Sans Serif")});
  font.setPixelSize(12);
  font.setHintingPreference(QFont::PreferNoHinting);
  app.setFont(font);
}

int showCrashBox(int argc, char** argv, const std::string& message) {
  if (!hasVisibleDisplay()) return 0;  // the crashed process printed it already
  QApplication app(argc, argv);
  applyFonts(app);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("except"), QString::fromUtf8(message), QMessageBox::Ok);
  box.exec();
  return 0;
}

void raiseMainWindow() {
  toolkit::Window* main = toolkit::WindowRegistry::findWindow(QString::fromLatin1(kMainWindowClass));
  if (main == nullptr) return;
  DebugTrace("single instance: raising the main window\n");
  main->raise();
  main->activateWindow();
}

// How long the end of the program gives workers that nobody waits for (a
// report closed while its request ran, the start-up check of a stored login).
constexpr std::chrono::milliseconds kUnfinishedWorkGrace{300};

int shutdown() {
  plugins::shutdownPlugins();
  BuiltInService::instance().stop();  // after the update check, which may use it
  // Such a worker may wait for a slow service far longer than anyone waits
  // for the program to end. It is given a short while and then abandoned:
  // the process ends here, before the exit-time destructors free what the
  // worker still uses. It owns only its own copies, and an answer it would
  // have cached is written whole or not at all.
  if (!waitForUnfinishedWork(kUnfinishedWorkGrace)) {
    DebugTrace("shutdown: a worker still waits for the service; ending the process\n");
    std::fflush(nullptr);
    std::_Exit(0);
  }
  return 0;
}

}  // namespace

bool hasVisibleDisplay() {
  QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const bool x11 = !qgetenv("DISPLAY").isEmpty();
  const bool wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty();
  if (platform.startsWith("offscreen") || platform.startsWith("minimal")) return false;
  if (platform.startsWith("xcb")) return x11;
  if (platform.startsWith("wayland")) return wayland;
  if (!platform.isEmpty()) return true;  // another platform plugin: it knows its display
  return x11 || wayland;
}

void showFatalMessage(const QString& text, const QString& title) {
  if (!hasVisibleDisplay() || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    return;
  }
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
  box.exec();
}

int RunApplication(int argc, char** argv, const MainWindowFactory& createMainWindow) {
  TraceStartStep("entry");
  // A crashed instance starts the program again only to show its crash message.
  std::string crashMessage = crashMessageFromEnvironment();
  if (!crashMessage.empty()) return showCrashBox(argc, argv, crashMessage);

  // 1. Failure handlers first, before anything else can fail.
  installCrashHandler();

  // 3. The run mode.
  RunMode mode = chooseRunMode(commandLineOf(argc, argv));
  if (mode == RunMode::UninstallReport) {
    initializeEndpointsAndFolders();
    LoadOemSettings(JoinPath(ProgramFolder, "oem.ini"));
    startBuiltInService();
    plugins::primeUsageReporter();
    plugins::sendUninstallReport();
    return shutdown();
  }
  if (mode == RunMode::MakeMachine) {
    plugins::runMakeMachine();
    return shutdown();
  }

  // The window program.
  // An invisible platform (offscreen) still runs the window program fully.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const bool display = hasVisibleDisplay() || platform.startsWith("offscreen") || platform.startsWith("minimal");
  std::jthread knowledgeKey;
  if (display) knowledgeKey = plugins::prepareKnowledgeDb();
  std::unique_ptr<QCoreApplication> app;
  if (display) {
    // No Qt::AA_ShareOpenGLContexts here: it would start the GL driver
    // before the first frame. The report module makes the share context the
    // browser engine needs when it is loaded (reports/report_launcher.cpp).
    auto* gui = new QApplication(argc, argv);
    gui->setQuitOnLastWindowClosed(false);  // the main window's destruction ends the loop
    applyFonts(*gui);
    app.reset(gui);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  // The window class ("Norvane") and the desktop file name tie the window to
  // norvane.desktop (StartupWMClass, and the application id on Wayland).
  TraceStartStep("application object made");
  QCoreApplication::setApplicationName(QStringLiteral("Norvane"));
  if (display) QGuiApplication::setDesktopFileName(QStringLiteral("norvane"));

  SingleInstance instance(SingleInstance::defaultKey());
  if (!instance.claim()) {
    instance.askFirstToRaise();
    return shutdown();
  }

  // 5. Normal start.
  TraceStartStep("single instance claimed");
  initializeEndpointsAndFolders();
  LoadOemSettings(JoinPath(ProgramFolder, "oem.ini"));
  startBuiltInService();
  LoadAppSettings();
  plugins::primeUsageReporter();
  setRunLogPath(JoinPath(ProgramFolder, "run.log"));
  setCrashDumpFolder(DataFolder);

  TraceStartStep("settings read, built-in service started");
  toolkit::SkinArchive& skin = toolkit::SkinArchive::instance();
  if (!skin.loadDefault()) {
    showFatalMessage(QString::fromUtf8(kSkinMissingText), QString::fromUtf8(kSkinMissingTitle));
    return shutdown();
  }
  oemSettings().skinArchive = reinterpret_cast<const unsigned char*>(skin.bytes().constData());
  oemSettings().skinArchiveSize = static_cast<std::size_t>(skin.bytes().size());

  if (!display) {
    std::fprintf(stderr, "norvane: no display to show the window on (set DISPLAY or WAYLAND_DISPLAY)\n");
    shutdown();
    return 1;
  }

  plugins::startDailyUpdateCheck();

  // The program icon (taskbar, window switcher) comes with the skin.
  QPixmap icon;
  if (icon.loadFromData(skin.file(QStringLiteral("images/logo.png")))) QApplication::setWindowIcon(QIcon(icon));

  if (hasVisibleDisplay()) setCrashMessageProgram("/proc/self/exe");
  installStopSignals();

  TraceStartStep("skin loaded, update check started");
  QPointer<toolkit::Window> mainWindow(createMainWindow ? createMainWindow() : nullptr);
  TraceStartStep("main window object made");
  if (mainWindow == nullptr || !mainWindow->create(nullptr)) {
    // The archive is there but does not hold a usable main window layout.
    DebugTrace("main window: %s\n", mainWindow ? mainWindow->lastError().toUtf8().constData() : "not made");
    delete mainWindow.data();
    showFatalMessage(QString::fromUtf8(kSkinMissingText), QString::fromUtf8(kSkinMissingTitle));
    return shutdown();
  }
  TraceStartStep("main window built and initialised");
  mainWindow->setWindowTitle(QStringLiteral("Norvane"));
  QObject::connect(mainWindow.data(), &QObject::destroyed, app.get(), &QCoreApplication::quit);
  QObject::connect(&instance, &SingleInstance::raiseRequested, app.get(), raiseMainWindow);
  std::unique_ptr<QSocketNotifier> stopNotifier;
  if (g_stopPipe[0] >= 0) {
    stopNotifier = std::make_unique<QSocketNotifier>(g_stopPipe[0], QSocketNotifier::Read);
    QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, app.get(), [&mainWindow] {
      char buffer[16];
      ssize_t ignored = ::read(g_stopPipe[0], buffer, sizeof buffer);
      (void)ignored;
      if (mainWindow) {
        mainWindow->requestClose();
      } else {
        QCoreApplication::quit();
      }
    });
  }
  mainWindow->centerWindow();
  mainWindow->show();
  mainWindow->raise();
  mainWindow->activateWindow();
  DebugTrace("main window shown\n");
  TraceStartStep("main window shown");

  app->exec();

  delete mainWindow.data();  // normally gone already: the loop ends with it
  stopNotifier.reset();
  return shutdown();
}

}  // namespace norvane
