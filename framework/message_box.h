#pragma once

#include <functional>
#include <string>

constexpr unsigned MB_OK = 0x0000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Modal box with an OK button, a warning icon and the application name as
// title. Without a display (no DISPLAY or WAYLAND_DISPLAY) the text goes to
// standard output instead, so batch runs work from a terminal.
int AfxMessageBox(const std::string& strText, unsigned nType = MB_OK);
int AfxMessageBox(int nStringID, unsigned nType = MB_OK);

// Tests replace the box to observe messages without blocking; an empty
// function restores the real box.
using MessageBoxHook = std::function<int(const std::string& strText)>;
void SetMessageBoxHook(MessageBoxHook hook);
