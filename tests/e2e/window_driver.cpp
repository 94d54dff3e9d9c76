// A hand on the real `norvane` program for the end-of-program tests: loaded
// into it with LD_PRELOAD, it clicks controls by name, one step at a time,
// the way a user would, and says on standard error when the window it was
// asked for is up.
//
// NORVANE_DRIVE holds the steps, separated by ';':
//   click:NAME   clicks the visible button named NAME (in the active modal
//                window when there is one, else in any window shown), as soon
//                as there is one;
//   modal:CLASS  waits until the active modal window is of that class and has
//                been up for a moment, then prints "driver: CLASS is up".
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

// Loaded before main: the program's own children (the web engine's
// processes) are left without the driver.
__attribute__((constructor)) void forgetPreload() { ::unsetenv("LD_PRELOAD"); }

QAbstractButton* visibleButton(QWidget* top, const QString& name) {
  if (top == nullptr) return nullptr;
  if (auto* self = qobject_cast<QAbstractButton*>(top); self && self->objectName() == name && self->isVisible())
    return self;
  for (QAbstractButton* button : top->findChildren<QAbstractButton*>(name))
    if (button->isVisible() && button->isEnabled()) return button;
  return nullptr;
}

QAbstractButton* findButton(const QString& name) {
  if (QWidget* modal = QApplication::activeModalWidget()) return visibleButton(modal, name);
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    if (QAbstractButton* button = visibleButton(top, name)) return button;
  }
  return nullptr;
}

class Driver : public QObject {
 public:
  explicit Driver(const QString& script) : QObject(qApp), steps_(script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, &Driver::tick);
    timer_.start();
  }

 private:
  void tick() {
    if (steps_.isEmpty()) {
      timer_.stop();
      return;
    }
    const QString step = steps_.front();
    const QString what = step.section(QLatin1Char(':'), 0, 0);
    const QString name = step.section(QLatin1Char(':'), 1);
    if (what == QLatin1String("click")) {
      QAbstractButton* button = findButton(name);
      if (button == nullptr) return;
      steps_.pop_front();
      std::fprintf(stderr, "driver: clicking %s\n", name.toUtf8().constData());
      // Clicked from the event loop: the click may run a modal loop, inside
      // which this timer must go on ticking (a timer never fires while its
      // own handler runs).
      QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    } else if (what == QLatin1String("modal")) {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible() || QString::fromLatin1(modal->metaObject()->className()) != name) {
        upFor_.invalidate();
        return;
      }
      if (!upFor_.isValid()) upFor_.start();
      if (upFor_.elapsed() < 400) return;  // its start-up work (a request, a page) is under way
      steps_.pop_front();
      std::fprintf(stderr, "driver: %s is up\n", name.toUtf8().constData());
    } else {
      std::fprintf(stderr, "driver: unknown step %s\n", step.toUtf8().constData());
      steps_.pop_front();
    }
  }

  QStringList steps_;
  QTimer timer_;
  QElapsedTimer upFor_;
};

// Runs while the application object is being built: the driver starts from
// its event loop, once the object is whole.
void startDriver() {
  const QByteArray script = qgetenv("NORVANE_DRIVE");
  if (script.isEmpty()) return;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [script] {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) new Driver(QString::fromUtf8(script));
      },
      Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)
