#pragma once
// The keyboard path through a window built from a layout.
//
// prepareKeyboardAccess(root) makes every control of the layout reachable:
//   - buttons the layout keeps out of the focus (caption buttons, tabs, the
//     bottom bar's links) still take it by Tab, never by a mouse click;
//   - exclusive options of one container (a tab bar, a page-number bar, the
//     report's name strip) are one Tab stop, the checked option; the arrow
//     keys move within the bar and choose the option they reach, as a click
//     on it would (in a bar whose container has the dynamic property
//     "arrowsMoveOnly" they only move the focus; Space or Enter chooses);
//   - every push button clicks on Enter as on Space;
//   - when a page of a page stack changes under the focus, the focus goes to
//     the new page's control named by the page's dynamic property
//     "initialFocus", or else to its first control, so it is never left on
//     a page that is no longer shown.
// focusInitialControl(root) puts the focus on the control that the layout's
// root names by "initialFocus" (a window as it opens), or on the first stop.
class QWidget;

namespace norvane::toolkit {

void prepareKeyboardAccess(QWidget* root);
void focusInitialControl(QWidget* root);

}  // namespace norvane::toolkit
