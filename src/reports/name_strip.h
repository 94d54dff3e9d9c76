#pragma once
// The bottom strip of the name and nickname reports: the ten names of the
// page the report was opened from ("Xingming1" ... "Xingming10") and the
// buttons that page through the main window's list.
#include <QString>

#include <vector>

#include "service/name_query.h"

namespace norvane::toolkit {
class Window;
}

namespace norvane::reports {

class NamePageSource;

// The text of one option: "XingmingButtonFormat" of the language table with
// the name (surname and given name, or the nickname alone) and the score as
// "%0.2f". A table text that does not take two strings gives "name score".
QString nameOptionText(const NameRecord& record, bool nicknameOnly);

// The option index (0..9) of a control name "Xingming1" ... "Xingming10", or -1.
int nameOptionIndex(const QString& controlName);

// Shows one option per record of `names` (options past the page's end are
// hidden, so none of them can name a record that is no longer there), checks
// the option of `current`, and enables the paging buttons as the main
// window's own buttons are.
void fillNameStrip(toolkit::Window& window, const std::vector<NameRecord>& names, const NameRecord& current,
                   bool nicknameOnly, const NamePageSource* source);

}  // namespace norvane::reports
