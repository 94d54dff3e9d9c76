#pragma once
// Builds the rows of the name lists from a row template of the skin archive
// ("listitem_mingzi.xml", "listitem_favorite.xml"). The template's document
// is read from the archive once; every row is made from that copy.
#include <QByteArray>
#include <QString>

class QWidget;

namespace norvane::ui {

class RowFactory {
 public:
  explicit RowFactory(QString templateFile) : file_(std::move(templateFile)) {}

  // A new row widget (no parent yet), or nullptr when the template is
  // missing or unreadable.
  QWidget* build();

 private:
  QString file_;
  QByteArray document_;
  bool read_ = false;
};

}  // namespace norvane::ui
