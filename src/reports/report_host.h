#pragma once
// How a report window hands its page data to the loaded template: one call of
// the page's script function SetData with one or two string arguments.
//
// Every argument is written as a JavaScript string literal by a real escaper
// (backslash, both quotes, line breaks, U+2028/U+2029, "</", control
// characters), so the page receives exactly the text built here, whatever the
// service or the database put into it, and nothing in it can run as script.
// What is built follows the page-data forms: line feeds are taken out of the
// data (a JSON object keeps its escaped "\n"), and the UTF-8 form is cleaned
// with cleanText.
#include <QString>
#include <QStringList>

#include <string>

#include "reports/page_data.h"

namespace norvane::toolkit {
class WebView;
}

namespace norvane::reports {

// text as a single-quoted JavaScript string literal that evaluates to text.
QString jsStringLiteral(const QString& text);

// "SetData('a')" or "SetData('a','b')" with every argument escaped.
QString setDataScript(const QStringList& arguments);

// The wide form of cleanText: "\r\n" → "<br>", then both quote characters
// → one space each.
QString cleanText(QString text);

// The script that delivers `data`, or an empty text for PageForm::None.
QString pageDataScript(const PageData& data);

// The file URL of a template in the content folder beside the program.
QString pageUrl(const QString& templateName);
// That folder (ProgramFolder + "/content"), without a trailing separator.
QString contentFolder();

// The sending side of one report window; without a web view nothing is sent.
class ReportHost {
 public:
  explicit ReportHost(toolkit::WebView* view = nullptr) : view_(view) {}
  void setView(toolkit::WebView* view) { view_ = view; }
  toolkit::WebView* view() const { return view_; }

  // One local string, two local strings, one UTF-8 string (cleaned first).
  void sendData(const std::string& text);
  void sendDataPair(const std::string& first, const std::string& second);
  void sendDataUtf8(const std::string& utf8);
  // A JSON object, serialised in the service's styled layout.
  void sendData(const Json::Value& object);
  // Whichever of the above the page data's form asks for.
  void send(const PageData& data);

  // The last script run (tests, diagnostics).
  const QString& lastScript() const { return lastScript_; }

 private:
  void run(const QString& script);
  toolkit::WebView* view_;
  QString lastScript_;
};

}  // namespace norvane::reports
