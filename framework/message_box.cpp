#include "message_box.h"

#include <cstdio>

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include "afx_string.h"
#include "win_app.h"

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

int AfxMessageBox(const std::string& strText, unsigned /*nType*/)
{
    if (Hook())
        return Hook()(strText);
    // A stale display must not end the process: the text then goes to
    // standard output as without one.
    if (!AfxHasDisplay() || (QCoreApplication::instance() == nullptr && !AfxDisplayReachable())) {
        std::fwrite(strText.data(), 1, strText.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        return IDOK;
    }
    AfxEnsureGuiApplication();
    const CWinApp* pApp = AfxGetApp();
    const QString strTitle = QString::fromUtf8(pApp != nullptr ? pApp->m_pszAppName : "");
    QMessageBox box(QMessageBox::Warning, strTitle, QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size())),
                    QMessageBox::Ok, QApplication::activeModalWidget());
    box.exec();
    return IDOK;
}

int AfxMessageBox(int nStringID, unsigned nType) { return AfxMessageBox(afx::LoadString(nStringID), nType); }
