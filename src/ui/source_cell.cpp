#include "ui/source_cell.h"

#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace norvane::ui {

QString sourceLineText(const NameSource& source) {
  QString line = QString::fromStdString(source.Text);
  for (QChar& c : line) {
    const QChar::Category category = c.category();
    if (category == QChar::Other_Control || category == QChar::Separator_Line ||
        category == QChar::Separator_Paragraph)
      c = QLatin1Char(' ');
  }
  return line.simplified();
}

QString sourceCitation(const NameSource& source) {
  const QString author = QString::fromStdString(source.Author).simplified();
  const QString title = QString::fromStdString(source.Title).simplified();
  const QString book = QString::fromStdString(source.Book).simplified();
  QStringList parts;
  const QString work = author + (title.isEmpty() ? QString() : QStringLiteral("《%1》").arg(title));
  if (!work.isEmpty()) parts << work;
  if (!book.isEmpty()) parts << QStringLiteral("选自《%1》").arg(book);
  if (parts.isEmpty()) return QString();
  return QStringLiteral("—— ") + parts.join(QStringLiteral(" · "));
}

QString sourceDescription(const NameRecord& record) {
  if (record.ChuChu.empty()) return QString();
  QString text = QStringLiteral("出处：") + sourceLineText(record.ChuChu);
  const QString cite = sourceCitation(record.ChuChu);
  if (!cite.isEmpty()) text += QLatin1Char(' ') + cite;
  return text;
}

void showSource(QWidget* row, const NameRecord& record) {
  row->setAccessibleDescription(sourceDescription(record));
  auto* label = row->findChild<QLabel*>(QStringLiteral("labSource"));
  if (label == nullptr) return;
  // The name sits above its source, or in the middle of the row without one.
  if (auto* name = row->findChild<QLabel*>(QStringLiteral("XinMing")))
    name->setAlignment(Qt::AlignHCenter | (record.ChuChu.empty() ? Qt::AlignVCenter : Qt::AlignBottom));
  label->setTextFormat(Qt::PlainText);
  if (record.ChuChu.empty()) {
    label->clear();
    label->setToolTip(QString());
    label->setAccessibleName(QString());
    label->setVisible(false);
    return;
  }
  const QString line = sourceLineText(record.ChuChu);
  label->ensurePolished();
  label->setText(label->fontMetrics().elidedText(line, Qt::ElideRight, label->maximumWidth()));
  label->setAccessibleName(QStringLiteral("出处"));
  label->setAccessibleDescription(sourceDescription(record));
  // Tool tips read markup in any text that looks like it; the texts are
  // escaped so they always show as typed.
  QString tip = line.toHtmlEscaped();
  if (const QString cite = sourceCitation(record.ChuChu); !cite.isEmpty()) tip += QStringLiteral("<br>") + cite.toHtmlEscaped();
  label->setToolTip(QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(tip));
  label->setVisible(true);
}

}  // namespace norvane::ui
