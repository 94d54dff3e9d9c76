// The yardstick of the start benchmark: the smallest Qt Widgets program with
// a window, one label in it. Runs until it is ended by a signal.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Norvane 起名"));
  label.resize(320, 120);
  label.show();
  return app.exec();
}
