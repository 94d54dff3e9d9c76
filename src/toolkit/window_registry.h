#pragma once
// The live windows of the process by window class name: how one part of the
// program finds another's window (the main window, an open report window).
#include <QList>
#include <QString>

namespace norvane::toolkit {

class Window;

class WindowRegistry {
 public:
  // The most recently created live window of that class, or nullptr.
  static Window* findWindow(const QString& className);
  static QList<Window*> windows(const QString& className);

  // Called by Window itself when it is built and when it is destroyed.
  static void registerWindow(Window* window);
  static void unregisterWindow(Window* window);
};

}  // namespace norvane::toolkit
