#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CDialog;
class QProgressDialog;

// Progress of a long operation run on the window thread: a window with a bar
// and a Cancel button, shown only once the operation has taken longer than
// nShowAfterMs. Each Step repaints the windows and takes the user's input.
class CProgressWindow {
public:
    CProgressWindow(CDialog* pParent, const std::string& strLabel, int nShowAfterMs = 500);
    ~CProgressWindow();
    CProgressWindow(const CProgressWindow&) = delete;
    CProgressWindow& operator=(const CProgressWindow&) = delete;

    // nTotal -1: unknown. False once the user has cancelled.
    bool Step(std::int64_t nDone, std::int64_t nTotal);

private:
    std::unique_ptr<QProgressDialog> m_pWindow;
    std::chrono::steady_clock::time_point m_lastEvents;
};

// Tests answer the steps themselves (true goes on, false cancels) instead of
// showing a window; an empty function restores the window.
using ProgressHook = std::function<bool(std::int64_t nDone, std::int64_t nTotal)>;
void SetProgressHook(ProgressHook hook);
