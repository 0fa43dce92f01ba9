#pragma once

// Creates the GUI application object on first call (windows and real message
// boxes need it); later calls do nothing. Batch runs that show no box never
// pay for it. Requires AfxHasDisplay().
void AfxEnsureGuiApplication();
