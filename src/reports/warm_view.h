#pragma once
// A web view made ahead of the next report window: the first template loaded
// under the report pages' rules (report_page_policy.h), kept hidden until a
// report window that opens on that template takes it in place of the view
// its layout made. The report then needs no engine start, no renderer start
// and no template load before its data can be sent. One view waits at a
// time; each is taken once.
#include <QString>

namespace norvane::toolkit {
class WebEngineWebView;
}

namespace norvane::reports {

class WarmView {
 public:
  // Makes the waiting view (loading `templateName` of the content folder)
  // unless one waits already. Window thread only.
  static void prepare(const QString& templateName);

  // The waiting view when it shows (or is still loading) `url` and its load
  // has not failed; it is then the caller's (to re-parent), and `loaded`
  // tells whether its load has finished: if not, the view reports it as any
  // view does. nullptr otherwise.
  static toolkit::WebEngineWebView* take(const QString& url, bool& loaded);

  // Whether a view waits with its template loaded.
  static bool ready();

  // Deletes the waiting view (the end of the event loop, tests).
  static void discard();
};

}  // namespace norvane::reports
