#include "ui/web_links.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "service/endpoints.h"
#include "shell/settings.h"

namespace norvane::ui {

QString siteUrl(const QString& path) {
  std::string host = oemSettings().hosts.site;
  if (host.empty()) host = defaultHosts().site;
  return QString::fromStdString(originForHost(host, false)) + path;
}

bool openWebPage(const QString& url) {
  if (QDesktopServices::openUrl(QUrl(url, QUrl::StrictMode))) return true;
  // No registered handler: the freedesktop opener often still finds a browser.
  return QProcess::startDetached(QStringLiteral("xdg-open"), {url});
}

}  // namespace norvane::ui
