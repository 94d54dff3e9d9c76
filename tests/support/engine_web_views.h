#pragma once
// Web views on the browser engine for tests of the toolkit and the dialogs
// that link the engine's view directly (the program gets them from the
// report module instead).
#include "toolkit/web_engine_view.h"

namespace norvane::test {

inline void installEngineWebViews() {
  toolkit::setWebViewMaker([](QWidget* parent) -> toolkit::WebView* { return new toolkit::WebEngineWebView(parent); });
}

}  // namespace norvane::test
