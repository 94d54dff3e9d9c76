#pragma once
// A bare browser window around the web view ("dlg_webbrowser.xml") for the
// WeChat and QQ login pages. The page hands its answer to the host through
// its one host function, JS2Native(text); the dialog keeps the last text
// handed over and closes itself when that text starts with "{".
//
// The page may not take the user elsewhere: navigations to any host other
// than the one of the address given at construction (scheme and port
// included) are not followed, and the page opens no windows. A page that
// cannot be loaded shows the error view with "btnRefresh".
#include "toolkit/window.h"

#include <QString>
#include <QUrl>

namespace norvane {

class CWebBrowserDlg : public toolkit::Window {
  Q_OBJECT
 public:
  explicit CWebBrowserDlg(const QString& url, QWidget* parent = nullptr);

  // Whether the built dialog holds its web view "ie" (none without the web module).
  bool hasWebView() const;

  // Sets the text of "caption" when the text and the label exist.
  void SetCaption(const QString& text);

  // The last text the page handed over; empty until it hands one.
  const QString& answer() const { return answer_; }

  // Whether the page may go to `url`: same scheme, host and port as the
  // address given at construction (about:blank and data: pages of the view
  // itself are allowed too).
  bool mayNavigateTo(const QUrl& url) const;

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onPageLoaded(toolkit::WebView* view, const QString& url, bool ok) override;
  QString OnJS2Native(const QString& method, const QString& content) override;

 private:
  void initDialog();
  void showStep(int step);

  QString url_;
  QUrl home_;
  QString answer_;
};

}  // namespace norvane
