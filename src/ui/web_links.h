#pragma once
// The product web site's pages and how they reach the user's browser.
#include <QString>

namespace norvane::ui {

// The product web site ("Site" of oem.ini's "Hosts") with `path` appended:
// a bare host name is reached over https, a full origin as written.
QString siteUrl(const QString& path);

// Opens `url` in the desktop's default browser; when the desktop has no
// handler for it, starts "xdg-open" with it instead. True when either began.
bool openWebPage(const QString& url);

}  // namespace norvane::ui
