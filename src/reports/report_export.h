#pragma once
// Exporting and printing a report from its window: the desktop's own save
// dialog offers "<title>-<name>.pdf" in the user's documents folder, the PDF
// is written beside the target under a temporary name and renamed into place
// (so a full disk or a failed write never leaves a half-written file), and
// the print dialog sends the same document to a printer. Every failure gets a
// message; a cancelled dialog does nothing.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

#include "reports/report_document.h"

class QPrinter;

namespace norvane::reports {

class DocumentRenderer;

// The dialogs the export asks. The program's own use the desktop's native
// dialogs; tests install their own.
class ExportDialogs {
 public:
  virtual ~ExportDialogs() = default;
  // The file to write, starting at `suggestedPath`; empty when cancelled.
  virtual QString askPdfPath(QWidget* owner, const QString& suggestedPath) = 0;
  // Lets the user choose and set up `printer`; false when cancelled.
  virtual bool askPrinter(QWidget* owner, QPrinter& printer) = 0;
};

// The dialogs in use (the desktop's unless some were installed).
ExportDialogs& exportDialogs();
// Installs dialogs (nullptr restores the desktop's); returns the previous ones.
ExportDialogs* setExportDialogs(ExportDialogs* dialogs);

// The user's documents folder (XDG), or the home folder when there is none.
QString documentsFolder();

// Writes `bytes` to `path` through a temporary file beside it that is renamed
// into place once everything is written; false with `error` (the system's
// reason) when the folder cannot be written or the disk is full — the target
// is then untouched and no temporary file stays behind.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// The export and print buttons of one report window.
class ReportExporter : public QObject {
  Q_OBJECT
 public:
  using DocumentSource = std::function<ReportDocument()>;
  ReportExporter(QWidget* owner, DocumentSource source);
  ~ReportExporter() override;

  // Asks for a file, renders and writes it, and says how it went.
  void exportPdf();
  // Asks for a printer and prints.
  void print();

  bool busy() const;
  // The file of the last successful export.
  const QString& lastFile() const { return lastFile_; }

 signals:
  // An export or a print has ended (after its message); `ok` when it succeeded.
  void finished(bool ok);
  // Rendering has started (true) or ended (false): the window's buttons
  // rest meanwhile.
  void busyChanged(bool busy);

 private:
  void exportTo(const QString& path, const ReportDocument& document);
  void fail(const char* key, const QString& detail);
  void setBusy(bool busy);
  DocumentRenderer& renderer();

  QPointer<QWidget> owner_;
  DocumentSource source_;
  DocumentRenderer* renderer_ = nullptr;
  QString lastFile_;
  bool rendering_ = false;  // the wait cursor is up
};

// Shows the message of `key` (section "Message") with its one "%s" filled by
// `argument`; a text without that conversion is shown followed by the argument.
int showMessageWith(const char* key, const QString& argument, QWidget* owner, int flags);

}  // namespace norvane::reports
