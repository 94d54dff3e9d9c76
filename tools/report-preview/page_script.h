#pragma once
// Driving a report page the way the report windows do: a page fixture holds
// what a template's SetData receives, and the script call passes each
// argument as a JavaScript string literal.
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

// A single-quoted JavaScript string literal holding `text` exactly: quotes,
// backslashes, line breaks, U+2028/U+2029, other control characters and "<"
// (so "</script>" and "<!--" cannot end or change the script) are escaped.
QString jsStringLiteral(const QString& text);

// "SetData('…','…')" with every argument as a string literal.
QString setDataCall(const QStringList& arguments);

}  // namespace norvane::content
