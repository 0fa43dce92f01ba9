#include "progress_window.h"

#include <algorithm>

#include <QCoreApplication>
#include <QProgressDialog>

#include "dialog.h"
#include "message_box.h"

namespace {

ProgressHook& Hook()
{
    static ProgressHook hook;
    return hook;
}

constexpr int kSteps = 1000;

} // namespace

void SetProgressHook(ProgressHook hook) { Hook() = std::move(hook); }

CProgressWindow::CProgressWindow(CDialog* pParent, const std::string& strLabel, int nShowAfterMs)
{
    if (Hook())
        return;
    m_pWindow = std::make_unique<QProgressDialog>(QString::fromStdString(strLabel), QProgressDialog::tr("Cancel"), 0,
                                                  kSteps, pParent != nullptr ? pParent->GetWindow() : nullptr);
    m_pWindow->setWindowTitle(QString::fromStdString(AfxGetAppTitle()));
    m_pWindow->setWindowModality(Qt::WindowModal);
    m_pWindow->setMinimumDuration(nShowAfterMs);
    m_pWindow->setAutoClose(false);
    m_pWindow->setAutoReset(false);
    m_pWindow->setValue(0);
}

CProgressWindow::~CProgressWindow() = default;

bool CProgressWindow::Step(std::int64_t nDone, std::int64_t nTotal)
{
    if (Hook())
        return Hook()(nDone, nTotal);
    if (nTotal > 0) {
        m_pWindow->setValue(static_cast<int>(std::min<std::int64_t>(nDone, nTotal) * kSteps / nTotal));
    } else {
        // A stream of unknown length: a busy bar.
        m_pWindow->setMaximum(0);
        m_pWindow->setValue(0);
    }
    // The work runs on the window thread: let the windows paint and take
    // input a few dozen times a second, not only when the bar moves.
    const auto now = std::chrono::steady_clock::now();
    if (m_pWindow->isVisible() && now - m_lastEvents >= std::chrono::milliseconds(30)) {
        m_lastEvents = now;
        QCoreApplication::processEvents();
    }
    return !m_pWindow->wasCanceled();
}
