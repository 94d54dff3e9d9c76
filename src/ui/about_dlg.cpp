#include "ui/about_dlg.h"

#include <QAbstractButton>
#include <QUrl>

#include "ui/web_links.h"

namespace norvane {

CAboutDlg::CAboutDlg() : toolkit::Window(QStringLiteral("NorvaneDialogClass"), QStringLiteral("dlg_about.xml")) {
  // The object ends with its window, which goes at once (no fade-out).
  setDeleteOnClose(true);
  setFadeOnClose(false);
  enableShadow(true);
}

void CAboutDlg::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    // The link shows the address it opens.
    if (auto* site = control<QAbstractButton>(QStringLiteral("buttonSite"))) {
      QUrl url(ui::siteUrl(QStringLiteral("/")));
      site->setText(url.host() + (url.port() > 0 ? QStringLiteral(":%1").arg(url.port()) : QString()));
      site->setToolTip(url.toString());
    }
    return;
  }
  if (type != QLatin1String("click")) return;
  if (sender == QLatin1String("btnClose")) {
    requestClose();
  } else if (sender == QLatin1String("buttonSite")) {
    ui::openWebPage(ui::siteUrl(QStringLiteral("/")));
  }
}

}  // namespace norvane
