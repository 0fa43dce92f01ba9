#pragma once

#include <string>

// What only the widget toolkit provides: real message boxes. The program
// maps the toolkit the first time it needs one, so a batch run that shows no
// box never loads it; the tests link it in.
struct ToolkitServices {
    // False when no box could be shown (the display accepts no connection).
    bool (*pfnShowMessageBox)(const std::string& strTitle, const std::string& strText);
};

// Null when the toolkit cannot be loaded; the reason has then gone to
// standard error, once.
const ToolkitServices* AfxGetToolkit();
