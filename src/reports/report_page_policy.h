#pragma once
// What a report page may do. Report pages are the program's own templates
// from the content folder filled with the service's and the database's texts,
// so they get nothing more than that folder: requests for anything else
// (other files, any network address) are blocked, navigation away from the
// folder is refused, no new windows open, and the page has no channel to the
// host object.
#include <QString>
#include <QWebEngineUrlRequestInterceptor>

namespace norvane::toolkit {
class WebView;
}

namespace norvane::reports {

// True when `url` names a file inside `folder` (an absolute local path).
bool isInsideContentFolder(const QUrl& url, const QString& folder);

// Blocks every request whose URL is not a file inside the folder.
class ContentFolderInterceptor : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
 public:
  ContentFolderInterceptor(const QString& folder, QObject* parent) : QWebEngineUrlRequestInterceptor(parent), folder_(folder) {}
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;

 private:
  const QString folder_;  // never changed: requests may be looked at off the window thread
};

// Applies the rules above to the view's page, for pages under `folder`.
void restrictToContentFolder(toolkit::WebView* view, const QString& folder);

}  // namespace norvane::reports
