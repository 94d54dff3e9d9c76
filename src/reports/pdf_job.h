#pragma once
// A report document written as a PDF file without any window: for the
// command line. Starts the process's application object when there is none
// (on the offscreen platform when no display is given), renders the document
// in the web engine and writes the file through a temporary file beside it.
#include <string>

#include "reports/report_document.h"

namespace norvane::reports {

// Sets up what the web engine needs before the application object exists
// (the offscreen platform without a display, the sandbox setting for root)
// and creates it; does nothing when one exists.
void startHeadlessApplication(const char* name);

// False with `error` set when the page could not be rendered or the file not
// written (the target is then untouched).
bool writeReportPdf(const ReportDocument& document, const std::string& path, std::string& error);

}  // namespace norvane::reports
