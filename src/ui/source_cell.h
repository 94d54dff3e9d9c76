#pragma once
// A name's classical source in the rows of the name lists and the
// favourites: the label "labSource" under the name, its tool tip and the
// row's accessible description. Every text is shown as plain text.
#include <QString>

#include "service/name_query.h"

class QWidget;

namespace norvane::ui {

// A name's classical source in the rows, as plain text. The line on one line
// (control characters and line breaks become spaces); the citation
// "—— 作者《篇名》 · 选自《书名》" with what the source has; and the spoken
// form "出处：<line> <citation>", empty for a name without a source.
QString sourceLineText(const NameSource& source);
QString sourceCitation(const NameSource& source);
QString sourceDescription(const NameRecord& record);
// Fills the row's "labSource" under the name: the line, shortened to the
// label's width, and the whole line with its citation as its tool tip; the
// label is hidden for a name without a source. Also puts the spoken form
// into the row's accessible description.
void showSource(QWidget* row, const NameRecord& record);

}  // namespace norvane::ui
