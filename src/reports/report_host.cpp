#include "reports/report_host.h"

#include <QUrl>

#include "platform/folders.h"
#include "service/json_access.h"
#include "toolkit/web_view.h"

namespace norvane::reports {
namespace {

void appendUnicodeEscape(QString& out, char16_t unit) {
  out += QStringLiteral("\\u%1").arg(static_cast<unsigned>(unit), 4, 16, QLatin1Char('0'));
}

QString withoutLineFeeds(QString text) {
  text.remove(QLatin1Char('\n'));
  return text;
}

}  // namespace

QString jsStringLiteral(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 8 + 2);
  out += QLatin1Char('\'');
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text.at(i).unicode();
    switch (c) {
      case u'\\': out += QLatin1String("\\\\"); continue;
      case u'\'': out += QLatin1String("\\'"); continue;
      case u'"': out += QLatin1String("\\\""); continue;
      case u'\n': out += QLatin1String("\\n"); continue;
      case u'\r': out += QLatin1String("\\r"); continue;
      case u'\t': out += QLatin1String("\\t"); continue;
      // "<" and ">" never appear raw, so neither "</script>" nor "<!--"
      // can end or change the script the call is embedded in.
      case u'<':
      case u'>':
      case u'\u2028':
      case u'\u2029':
        appendUnicodeEscape(out, c);
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
      appendUnicodeEscape(out, c);
    } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
      out += QChar(c);
      out += text.at(++i);
    } else if (QChar::isSurrogate(c)) {
      appendUnicodeEscape(out, c);  // a lone half stays what it was instead of becoming U+FFFD
    } else {
      out += QChar(c);
    }
  }
  out += QLatin1Char('\'');
  return out;
}

QString setDataScript(const QStringList& arguments) {
  QStringList literals;
  for (const QString& a : arguments) literals << jsStringLiteral(a);
  return QStringLiteral("SetData(%1)").arg(literals.join(QLatin1Char(',')));
}

QString cleanText(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
  text.replace(QLatin1Char('"'), QLatin1Char(' '));
  text.replace(QLatin1Char('\''), QLatin1Char(' '));
  return text;
}

QString pageDataScript(const PageData& data) {
  switch (data.form) {
    case PageForm::JsonObject:
      // The writer escapes line breaks inside values as \n, so taking out its
      // own line feeds leaves the document intact.
      return setDataScript({withoutLineFeeds(QString::fromStdString(writeStyledJson(data.object)))});
    case PageForm::OneString:
      return setDataScript({withoutLineFeeds(QString::fromStdString(data.first))});
    case PageForm::TwoStrings:
      return setDataScript({withoutLineFeeds(QString::fromStdString(data.first)),
                            withoutLineFeeds(QString::fromStdString(data.second))});
    case PageForm::Utf8String:
      return setDataScript({withoutLineFeeds(cleanText(QString::fromUtf8(data.first.data(),
                                                                         static_cast<qsizetype>(data.first.size()))))});
    case PageForm::None:
      break;
  }
  return QString();
}

QString contentFolder() { return QString::fromStdString(JoinPath(ProgramFolder, "content")); }

QString pageUrl(const QString& templateName) {
  return QUrl::fromLocalFile(contentFolder() + QLatin1Char('/') + templateName).toString();
}

void ReportHost::sendData(const std::string& text) {
  PageData d;
  d.form = PageForm::OneString;
  d.first = text;
  send(d);
}

void ReportHost::sendDataPair(const std::string& first, const std::string& second) {
  PageData d;
  d.form = PageForm::TwoStrings;
  d.first = first;
  d.second = second;
  send(d);
}

void ReportHost::sendDataUtf8(const std::string& utf8) {
  PageData d;
  d.form = PageForm::Utf8String;
  d.first = utf8;
  send(d);
}

void ReportHost::sendData(const Json::Value& object) {
  PageData d;
  d.form = PageForm::JsonObject;
  d.object = object;
  send(d);
}

void ReportHost::send(const PageData& data) {
  QString script = pageDataScript(data);
  if (!script.isEmpty()) run(script);
}

void ReportHost::run(const QString& script) {
  if (view_ == nullptr) return;
  lastScript_ = script;
  view_->runScript(script);
}

}  // namespace norvane::reports
