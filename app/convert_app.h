#pragma once

#include "../framework/win_app.h"

// The program: start-up, then the batch run or the main dialog.
class CConvertApp : public CWinApp {
public:
    CConvertApp() = default;
    ~CConvertApp() override = default;

    // Always false: there is no message loop after either mode.
    bool InitInstance() override;

    // Every help request opens the product web page instead of a help file.
    void WinHelp(std::uintptr_t dwData, unsigned nCmd = HELP_CONTEXT) override;
};
