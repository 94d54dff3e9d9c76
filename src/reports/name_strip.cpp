#include "reports/name_strip.h"

#include <QPushButton>

#include <cstdio>

#include "reports/report_launcher.h"
#include "shell/text_table.h"
#include "toolkit/window.h"

namespace norvane::reports {

constexpr int kStripSize = 10;

QString nameOptionText(const NameRecord& record, bool nicknameOnly) {
  const std::string name = nicknameOnly ? record.Ming : record.Xing + record.Ming;
  char score[64];
  std::snprintf(score, sizeof score, "%0.2f", static_cast<double>(record.FengShu));
  std::string text;
  if (!formatText(GetText("XingmingButtonFormat"), {name, std::string(score)}, text)) text = name + " " + score;
  return QString::fromStdString(text);
}

int nameOptionIndex(const QString& controlName) {
  static const QString prefix = QStringLiteral("Xingming");
  if (!controlName.startsWith(prefix)) return -1;
  bool ok = false;
  int n = controlName.mid(prefix.size()).toInt(&ok);
  if (!ok || n < 1 || n > kStripSize || controlName != prefix + QString::number(n)) return -1;
  return n - 1;
}

void fillNameStrip(toolkit::Window& window, const std::vector<NameRecord>& names, const NameRecord& current,
                   bool nicknameOnly, const NamePageSource* source) {
  for (int i = 0; i < kStripSize; ++i) {
    auto* option = window.control<QPushButton>(QStringLiteral("Xingming%1").arg(i + 1));
    if (option == nullptr) continue;
    if (static_cast<std::size_t>(i) >= names.size()) {
      option->setVisible(false);
      continue;
    }
    const NameRecord& record = names[static_cast<std::size_t>(i)];
    option->setText(nameOptionText(record, nicknameOnly));
    option->setAccessibleName(option->text());
    option->setVisible(true);
    if (record == current) {
      option->setChecked(true);
    } else if (option->isChecked()) {
      // An exclusive button cannot be unchecked directly.
      option->setAutoExclusive(false);
      option->setChecked(false);
      option->setAutoExclusive(true);
    }
  }
  if (source != nullptr) {
    if (auto* b = window.control<QPushButton>(QStringLiteral("btnPrePageQuming"))) b->setEnabled(source->canGoPrevious());
    if (auto* b = window.control<QPushButton>(QStringLiteral("btnNextPageQuming"))) b->setEnabled(source->canGoNext());
  }
}

}  // namespace norvane::reports
