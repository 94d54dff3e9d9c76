#include "page_script.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace norvane::content {

bool loadFixture(const QString& path, PageFixture& fixture, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("cannot read %1").arg(path);
    return false;
  }
  QJsonParseError parseError;
  QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
  if (!doc.isObject()) {
    error = QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
    return false;
  }
  QJsonObject root = doc.object();
  fixture = PageFixture{};
  fixture.templateName = root.value(QStringLiteral("template")).toString();
  if (fixture.templateName.isEmpty()) {
    error = QStringLiteral("%1 names no template").arg(path);
    return false;
  }
  const QJsonArray arguments = root.value(QStringLiteral("arguments")).toArray();
  for (const QJsonValue& a : arguments) {
    if (a.isString()) fixture.arguments << a.toString();
    else if (a.isObject()) fixture.arguments << QString::fromUtf8(QJsonDocument(a.toObject()).toJson(QJsonDocument::Compact));
    else if (a.isArray()) fixture.arguments << QString::fromUtf8(QJsonDocument(a.toArray()).toJson(QJsonDocument::Compact));
    else {
      error = QStringLiteral("%1: an argument is neither text nor JSON object or array").arg(path);
      return false;
    }
  }
  if (fixture.arguments.isEmpty()) {
    error = QStringLiteral("%1 has no arguments").arg(path);
    return false;
  }
  for (const QJsonValue& s : root.value(QStringLiteral("shows")).toArray()) fixture.shows << s.toString();
  return true;
}

}  // namespace norvane::content
