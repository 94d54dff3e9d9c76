#include "toolkit/window_registry.h"

#include "toolkit/window.h"

namespace norvane::toolkit {
namespace {

// Windows live on the UI thread only, so the list needs no lock.
QList<Window*>& liveWindows() {
  static QList<Window*> list;
  return list;
}

}  // namespace

Window* WindowRegistry::findWindow(const QString& className) {
  const QList<Window*>& list = liveWindows();
  for (auto it = list.crbegin(); it != list.crend(); ++it) {
    if ((*it)->className() == className) return *it;
  }
  return nullptr;
}

QList<Window*> WindowRegistry::windows(const QString& className) {
  QList<Window*> found;
  for (Window* w : liveWindows())
    if (w->className() == className) found << w;
  return found;
}

void WindowRegistry::registerWindow(Window* window) {
  if (!liveWindows().contains(window)) liveWindows().append(window);
}

void WindowRegistry::unregisterWindow(Window* window) { liveWindows().removeAll(window); }

}  // namespace norvane::toolkit
