#include "reports/pdf_job.h"

#include <QApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <unistd.h>

#include "reports/document_renderer.h"
#include "reports/report_export.h"

namespace norvane::reports {
namespace {

constexpr int kRenderTimeoutMs = 60000;

bool hasDisplay() { return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"); }

}  // namespace

void startHeadlessApplication(const char* name) {
  if (QCoreApplication::instance() != nullptr) return;
  if (!hasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The engine's sandbox cannot run as root; the print page is the program's
  // own template under the content-folder rules, with no network.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // The engine tells of its graphics set-up and of the missing GL of an
  // offscreen run on standard error; a command's errors are its own lines
  // there, so that talk is heard only while NORVANE_TRACE is set.
  if (qEnvironmentVariableIsEmpty("NORVANE_TRACE"))
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.webenginecontext=false"));
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  static QByteArray program(name);
  static int argc = 1;
  static char* argv[2] = {program.data(), nullptr};
  new QApplication(argc, argv);  // lives until the process ends
}

bool writeReportPdf(const ReportDocument& document, const std::string& path, std::string& error) {
  DocumentRenderer renderer;
  QEventLoop loop;
  QByteArray pdf;
  QString renderError;
  bool finished = false;
  renderer.renderPdf(document, [&](const QByteArray& bytes, const QString& e) {
    pdf = bytes;
    renderError = e;
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(kRenderTimeoutMs, &loop, &QEventLoop::quit);
  if (!finished) loop.exec();
  if (!finished) {
    error = "the web engine did not finish the document within a minute";
    return false;
  }
  if (pdf.isEmpty()) {
    error = renderError.toStdString();
    return false;
  }
  QString writeError;
  if (!writeFileAtomically(QString::fromStdString(path), pdf, writeError)) {
    error = "cannot write " + path + ": " + writeError.toStdString();
    return false;
  }
  return true;
}

}  // namespace norvane::reports
