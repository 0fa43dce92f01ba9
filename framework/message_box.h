#pragma once

#include <functional>
#include <string>

constexpr unsigned MB_OK = 0x0000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Modal box with an OK button, a warning icon and the application's title
// (string AFX_IDS_APP_TITLE, else its name) as caption. Without a display (no
// DISPLAY or WAYLAND_DISPLAY), or where no one could see the box, the text
// goes to standard output instead, so batch runs work from a terminal.
// Returns IDOK, or 0 when the text could reach no one (standard output
// failed; the reason has gone to standard error).
int AfxMessageBox(const std::string& strText, unsigned nType = MB_OK);
int AfxMessageBox(int nStringID, unsigned nType = MB_OK);

// The caption of every box and window the program shows of its own.
std::string AfxGetAppTitle();

// Tests replace the box to observe messages without blocking; an empty
// function restores the real box.
using MessageBoxHook = std::function<int(const std::string& strText)>;
void SetMessageBoxHook(MessageBoxHook hook);
