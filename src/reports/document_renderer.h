#pragma once
// Turns a report document into print: a hidden web page ("print.html" of the
// content folder, under the same rules as the report pages) receives the
// header, every page's data through that page's own SetData, and the footer,
// and the web engine prints it — as a PDF (vector text, fonts embedded, A4
// portrait) or on a printer.
#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>

#include "reports/report_document.h"

class QPrinter;

namespace norvane::toolkit {
class WebEngineWebView;
}

namespace norvane::reports {

// The script that fills the print page with `document`; every text in it is
// an escaped string literal.
QString documentScript(const ReportDocument& document);

// A4 portrait with the print page's own margins.
QPageLayout printPageLayout();

class DocumentRenderer : public QObject {
  Q_OBJECT
 public:
  explicit DocumentRenderer(QObject* parent = nullptr);
  ~DocumentRenderer() override;

  // The PDF of `document`; `done` gets the bytes, or an empty array and a
  // reason. One rendering at a time: a second call while one runs fails at once.
  using PdfDone = std::function<void(const QByteArray& pdf, const QString& error)>;
  void renderPdf(const ReportDocument& document, PdfDone done);

  // Prints `document` on `printer` (which must outlive the call); `done` gets
  // an empty reason on success.
  using PrintDone = std::function<void(const QString& error)>;
  void print(const ReportDocument& document, QPrinter* printer, PrintDone done);

  bool busy() const { return busy_; }

 private:
  // Loads and fills the print page, then calls `ready` (or fails with a reason).
  void fill(const ReportDocument& document, std::function<void()> ready, std::function<void(const QString&)> failed);
  void waitUntilReady(int triesLeft, std::function<void()> ready, std::function<void(const QString&)> failed);
  toolkit::WebEngineWebView* view();

  std::unique_ptr<toolkit::WebEngineWebView> view_;
  bool busy_ = false;
  QMetaObject::Connection loadConnection_;
};

}  // namespace norvane::reports
