#pragma once
// Page fixtures: what a template's SetData receives, for driving a report page
// the way the report windows do (their script call, reports::setDataScript).
#include <QString>
#include <QStringList>

namespace norvane::content {

// One template with the arguments its SetData receives and the texts the
// filled page must show.
struct PageFixture {
  QString templateName;  // e.g. "zongh.html"
  QStringList arguments; // the SetData arguments, as the page receives them
  QStringList shows;     // texts the filled page must contain
};

// Reads a fixture file: a JSON object with "template", "arguments" (each a
// string, or an object or array that is passed as its compact JSON text) and
// optionally "shows". False with a message when the file is unusable.
bool loadFixture(const QString& path, PageFixture& fixture, QString& error);


}  // namespace norvane::content
