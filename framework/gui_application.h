#pragma once

// Creates the GUI application object on first call (windows and real message
// boxes need it); later calls do nothing. Batch runs that show no box never
// pay for it. Requires AfxHasDisplay().
void AfxEnsureGuiApplication();

class QWidget;

// After a modal window closes: the window below gets the focus back. Without
// a window manager no one else gives it, and keys would go to whatever lies
// under the pointer.
void AfxReturnFocus(QWidget* pBelow);
