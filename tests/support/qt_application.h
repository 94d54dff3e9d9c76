#pragma once
// The one QApplication of a window test process.
#include <QApplication>
#include <QByteArray>

#include <unistd.h>

namespace norvane::test {

// Creates the process's QApplication under `name` unless one exists.
inline void startApplication(const char* name) {
  if (QApplication::instance() != nullptr) return;
  static QByteArray program;
  static int argc = 1;
  static char* argv[2] = {nullptr, nullptr};
  program = name;
  argv[0] = program.data();
  new QApplication(argc, argv);
}

// Widgets only: the offscreen platform, no display needed.
inline void startOffscreenApplication(const char* name) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  startApplication(name);
}

// Web views: the display of DISPLAY (xvfb-run), the web engine's sandbox off
// when running as root (it cannot run there), no shared-memory folder needed.
inline void startWebApplication(const char* name) {
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-dev-shm-usage --disable-gpu");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  startApplication(name);
}

}  // namespace norvane::test
