#pragma once
// How the toolkit's controls present themselves to assistive technology
// (screen readers through AT-SPI, and anything else that reads Qt's
// accessibility tree).
//
// installAccessibleControls() registers, once per process, the interfaces
// the toolkit gives its controls in place of Qt's own:
//   - buttons, check boxes and options: every action an assistive tool calls
//     ("Press", "Toggle") clicks the control, so it does exactly what a mouse
//     click does (Qt's own toggle only flips the check mark and notifies
//     nobody). Exclusive options inside a container whose dynamic property
//     "tabBar" is true are page tabs. A button without an accessible name is
//     named by its caption, or by its tool tip when the caption is a symbol.
//   - combo boxes: the name is the control's label (its accessible name, a
//     buddy label, or its placeholder text), the value is the chosen item.
//   - row lists (RowList): one child per row; a row is named by its
//     accessible name and exposes its labels and buttons as its children.
//   - windows: a window without an accessible name is named by its caption
//     label ("caption" or "Title" in the layout).
namespace norvane::toolkit {

void installAccessibleControls();

}  // namespace norvane::toolkit
