#include "reports/warm_view.h"

#include <QCoreApplication>
#include <QPointer>

#include "reports/report_host.h"
#include "reports/report_page_policy.h"
#include "toolkit/web_engine_view.h"

namespace norvane::reports {
namespace {

struct Waiting {
  QPointer<toolkit::WebEngineWebView> view;
  QString url;
  bool loaded = false;
  bool failed = false;
};

Waiting& waiting() {
  static Waiting state;
  return state;
}

}  // namespace

void WarmView::prepare(const QString& templateName) {
  Waiting& w = waiting();
  if (w.view != nullptr || QCoreApplication::instance() == nullptr) return;
  auto* view = new toolkit::WebEngineWebView();
  // Shown, so the engine sets up its painting too, but never on the screen.
  view->setAttribute(Qt::WA_DontShowOnScreen);
  view->resize(700, 560);
  restrictToContentFolder(view, contentFolder());
  w.view = view;
  w.url = pageUrl(templateName);
  w.loaded = false;
  w.failed = false;
  view->setLoadFinishedHandler([view](const QString& url, bool ok) {
    Waiting& state = waiting();
    if (state.view != view) return;
    state.loaded = ok && url == state.url;
    state.failed = !state.loaded;
  });
  view->navigate(w.url);
  view->show();
  static bool discardAtQuit = false;
  if (!discardAtQuit) {
    discardAtQuit = true;
    // Before the engine's profile goes at the end of the program.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { discard(); });
  }
}

toolkit::WebEngineWebView* WarmView::take(const QString& url, bool& loaded) {
  Waiting& w = waiting();
  if (w.view == nullptr || w.failed || url != w.url) return nullptr;
  toolkit::WebEngineWebView* view = w.view;
  loaded = w.loaded;
  w.view = nullptr;
  w.loaded = false;
  view->setLoadFinishedHandler(nullptr);
  view->hide();
  view->setAttribute(Qt::WA_DontShowOnScreen, false);
  return view;
}

bool WarmView::ready() {
  const Waiting& w = waiting();
  return w.view != nullptr && w.loaded;
}

void WarmView::discard() {
  Waiting& w = waiting();
  delete w.view.data();
  w.view = nullptr;
  w.loaded = false;
}

}  // namespace norvane::reports
