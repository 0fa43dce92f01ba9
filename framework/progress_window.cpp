#include "progress_window.h"

#include <QProgressDialog>

#include "dialog.h"

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
    // A modal progress window handles pending events in setValue; once it is
    // up, repaint at every step too.
    return !m_pWindow->wasCanceled();
}
