#include "reports/report_export.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>

#include "platform/debug_trace.h"
#include "reports/document_renderer.h"
#include "shell/message_box.h"
#include "shell/text_table.h"

namespace norvane::reports {
namespace {

// The desktop's own dialogs: QFileDialog without DontUseNativeDialog, so the
// platform theme's (portal, GTK, KDE) save dialog shows where there is one.
class DesktopDialogs : public ExportDialogs {
 public:
  QString askPdfPath(QWidget* owner, const QString& suggestedPath) override {
    QString path = QFileDialog::getSaveFileName(owner, QStringLiteral("导出PDF"), suggestedPath,
                                                QStringLiteral("PDF 文件 (*.pdf)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    return path;
  }
  bool askPrinter(QWidget* owner, QPrinter& printer) override {
    QPrintDialog dialog(&printer, owner);
    dialog.setWindowTitle(QStringLiteral("打印"));
    return dialog.exec() == QDialog::Accepted;
  }
};

ExportDialogs* installedDialogs = nullptr;

constexpr int kPrintDpi = 300;

}  // namespace

ExportDialogs& exportDialogs() {
  static DesktopDialogs desktop;
  return installedDialogs != nullptr ? *installedDialogs : desktop;
}

ExportDialogs* setExportDialogs(ExportDialogs* dialogs) {
  ExportDialogs* previous = installedDialogs;
  installedDialogs = dialogs;
  return previous;
}

QString documentsFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  return folder;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error) {
  // QSaveFile writes "<path>.XXXXXX" in the same folder and renames it over
  // the target on commit; a failed write or commit removes the temporary file.
  QSaveFile file(path);
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString();
    return false;
  }
  if (file.write(bytes) != bytes.size()) {
    error = file.errorString();
    file.cancelWriting();
    file.commit();
    return false;
  }
  if (!file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

int showMessageWith(const char* key, const QString& argument, QWidget* owner, int flags) {
  std::string format, caption, text;
  LookupText("Message", key, "", format, 1024);
  LookupText("Message", "Title", "", caption);
  if (!formatText(format, {argument.toStdString()}, text)) text = format.empty() ? argument.toStdString() : format + "\n" + argument.toStdString();
  return ShowMessageText(QString::fromStdString(text), QString::fromStdString(caption), owner, flags);
}

ReportExporter::ReportExporter(QWidget* owner, DocumentSource source)
    : QObject(owner), owner_(owner), source_(std::move(source)) {}

ReportExporter::~ReportExporter() {
  if (rendering_) QApplication::restoreOverrideCursor();  // the window went while a document was rendered
}

DocumentRenderer& ReportExporter::renderer() {
  if (renderer_ == nullptr) renderer_ = new DocumentRenderer(this);
  return *renderer_;
}

bool ReportExporter::busy() const { return renderer_ != nullptr && renderer_->busy(); }

void ReportExporter::setBusy(bool busy) {
  if (busy == rendering_) return;
  rendering_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  emit busyChanged(busy);
}

void ReportExporter::fail(const char* key, const QString& detail) {
  DebugTrace("report export: %s: %s\n", key, detail.toUtf8().constData());
  showMessageWith(key, detail, owner_, MB_ERROR_ICON);
  emit finished(false);
}

void ReportExporter::exportPdf() {
  if (busy()) return;
  const ReportDocument document = source_();
  const QString suggested = QDir(documentsFolder()).filePath(QString::fromStdString(suggestedPdfName(document)));
  const QString path = exportDialogs().askPdfPath(owner_, suggested);
  if (path.isEmpty()) return;  // cancelled: nothing to do, nothing to say
  exportTo(path, document);
}

void ReportExporter::exportTo(const QString& path, const ReportDocument& document) {
  QPointer<ReportExporter> self(this);
  setBusy(true);
  renderer().renderPdf(document, [self, path](const QByteArray& pdf, const QString& error) {
    if (self == nullptr) return;  // the window went away meanwhile
    self->setBusy(false);
    if (pdf.isEmpty()) {
      self->fail("PdfRenderFail", error);
      return;
    }
    QString writeError;
    if (!writeFileAtomically(path, pdf, writeError)) {
      self->fail("PdfWriteFail", QDir::toNativeSeparators(path) + QStringLiteral("（") + writeError + QStringLiteral("）"));
      return;
    }
    self->lastFile_ = path;
    showMessageWith("PdfSaved", QDir::toNativeSeparators(path), self->owner_, MB_INFORMATION_ICON);
    emit self->finished(true);
  });
}

void ReportExporter::print() {
  if (busy()) return;
  const ReportDocument document = source_();
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  printer->setPageLayout(printPageLayout());
  printer->setDocName(QString::fromStdString(suggestedPdfName(document)));
  if (!exportDialogs().askPrinter(owner_, *printer)) return;
  // The engine paints each sheet as an image at the printer's resolution:
  // 300 dpi keeps text sharp on paper, where 1200 dpi takes a minute or more.
  if (printer->resolution() > kPrintDpi) printer->setResolution(kPrintDpi);
  QPointer<ReportExporter> self(this);
  setBusy(true);
  renderer().print(document, printer.get(), [self, printer](const QString& error) {
    if (self == nullptr) return;
    self->setBusy(false);
    if (!error.isEmpty()) {
      self->fail("PrintFail", error);
      return;
    }
    emit self->finished(true);
  });
}

}  // namespace norvane::reports
