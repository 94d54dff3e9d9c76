#pragma once
// Warms the first report up once a page of names has been shown: when the
// main window is idle a moment later (no dialog, menu or report open), the
// report module is loaded and prepares what a first report would otherwise
// pay for (reports::warmUpReports). Once per process; never at start, so the
// start does not wait for the browser engine.
#include <QObject>

#include <functional>

namespace norvane::ui {

class ReportWarmUp : public QObject {
  Q_OBJECT
 public:
  // The pause between the page shown and the warm-up, and between tries
  // while the window is busy.
  static constexpr int kIdleDelayMs = 300;

  // `warm` is what warming up runs (default: reports::warmUpReports).
  explicit ReportWarmUp(QObject* parent = nullptr, std::function<void()> warm = {});

  // A page of names is on screen: warm up soon, unless done or due already.
  void pageShown();
  bool done() const { return done_; }

 private:
  void tryNow();

  std::function<void()> warm_;
  bool scheduled_ = false;
  bool done_ = false;
};

}  // namespace norvane::ui
