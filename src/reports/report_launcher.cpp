#include "reports/report_launcher.h"

#include <QApplication>
#include <QLibrary>
#include <QOpenGLContext>
#include <QString>

#include "platform/debug_trace.h"
#include "platform/folders.h"
#include "shell/message_box.h"
#include "toolkit/web_view.h"

QT_BEGIN_NAMESPACE
// Qt's global share context, the one Qt::AA_ShareOpenGLContexts makes at
// start (exported by QtGui; the web engine reads it through the same call).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

namespace norvane::reports {

const char kReportModuleFile[] = "libnorvane-reports.so";

namespace {

struct ModuleState {
  ReportLauncher* launcher = nullptr;  // registered by the module as it loads
  bool tried = false;                  // a failed load is not retried
  QString error;
};

ModuleState& moduleState() {
  static ModuleState state;
  return state;
}

// What the browser engine needs from the process before it is loaded: what
// it reads at its start (its environment, such as QTWEBENGINE_CHROMIUM_FLAGS,
// and its switches) is set here, since nothing of it runs before this.
//
// Measured on Qt 6.4 (Debian 12): the engine wants Qt's global OpenGL share
// context, which Qt::AA_ShareOpenGLContexts (or the engine's own start-up
// hook, when the engine is linked into the program) makes as the
// QApplication is constructed. Made there, it loads and initialises the GL
// driver (Mesa) before the first frame: the largest single cost of the
// start. Here the engine is loaded later, by the report module, so the same
// context is made just before the engine's libraries are loaded:
//  - under Xvfb (and on a desktop) the context is created and the engine
//    composites with it, as before;
//  - offscreen, or wherever no GL context can be created, the context object
//    must be set all the same (an invalid one, as the engine's own hook sets
//    it): with no share context at all the engine dereferences it and the
//    program crashes; with the invalid one it composites in software.
// Setting Qt::AA_ShareOpenGLContexts this late only earns a warning that it
// must be set before the application object; it is not needed.
void prepareBrowserEngine() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return;
  if (qt_gl_global_share_context() != nullptr) return;
  auto* context = new QOpenGLContext();  // lives as long as the process, as Qt's own would
  if (!context->create()) DebugTrace("report module: no OpenGL context; the web view composites in software\n");
  qt_gl_set_global_share_context(context);
}

bool loadModule(const QString& path) {
  ModuleState& state = moduleState();
  if (state.launcher != nullptr) return true;
  if (state.tried) return false;
  state.tried = true;
  prepareBrowserEngine();
  QLibrary library(path);
  // Every symbol is bound at load, so a module that does not fit this program
  // fails here, with its reason, instead of at its first call.
  library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
  if (!library.load()) {
    state.error = library.errorString();
  } else if (state.launcher == nullptr) {
    state.error = QStringLiteral("%1 registered no report launcher").arg(path);
  }
  // The module stays loaded (QLibrary's destructor does not unload it): its
  // windows and the engine live until the process ends.
  if (state.launcher == nullptr) DebugTrace("report module: %s\n", state.error.toUtf8().constData());
  return state.launcher != nullptr;
}

QString defaultModulePath() {
  return QString::fromStdString(JoinPath(ProgramFolder, kReportModuleFile));
}

}  // namespace

void registerReportLauncher(ReportLauncher* launcher) { moduleState().launcher = launcher; }

bool loadReportModule(const QString& path, QString* error) {
  const bool loaded = loadModule(path);
  if (!loaded && error != nullptr) *error = moduleState().error;
  return loaded;
}

ReportLauncher* reportLauncher(QWidget* owner) {
  if (loadModule(defaultModulePath())) return moduleState().launcher;
  if (owner == nullptr) owner = QApplication::activeWindow();
  ShowMessage("WebModuleMissing", owner, MB_ERROR_ICON);
  return nullptr;
}

void loadReportModuleForWebViews() {
  // Quiet: the window that wanted the view finds none and says so itself.
  toolkit::setWebViewLoader([] { return loadModule(defaultModulePath()); });
}

void openNameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) {
  if (ReportLauncher* launcher = reportLauncher(owner)) launcher->openNameReport(owner, record, page);
}

void openNicknameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) {
  if (ReportLauncher* launcher = reportLauncher(owner)) launcher->openNicknameReport(owner, record, page);
}

void openFortuneReport(QWidget* owner, const std::string& surname, const std::string& givenName) {
  if (ReportLauncher* launcher = reportLauncher(owner)) launcher->openFortuneReport(owner, surname, givenName);
}

void warmUpReports() {
  if (loadModule(defaultModulePath())) moduleState().launcher->warmUp();
}

void openComparison(QWidget* owner, const std::vector<NameRecord>& records) {
  if (ReportLauncher* launcher = reportLauncher(owner)) launcher->openComparison(owner, records);
}

}  // namespace norvane::reports
