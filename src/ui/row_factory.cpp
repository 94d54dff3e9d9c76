#include "ui/row_factory.h"

#include <QBuffer>
#include <QWidget>

#include "toolkit/layout_loader.h"
#include "toolkit/skin_archive.h"

namespace norvane::ui {

QWidget* RowFactory::build() {
  if (!read_) {
    read_ = true;
    bool ok = false;
    document_ = toolkit::SkinArchive::instance().file(file_, &ok);
    if (!ok) document_.clear();
  }
  if (document_.isEmpty()) return nullptr;
  QBuffer buffer(&document_);
  buffer.open(QIODevice::ReadOnly);
  toolkit::LayoutLoader loader;
  return loader.load(&buffer, nullptr);
}

}  // namespace norvane::ui
