#include "message_box.h"

#include <cstdio>

#include "afx_string.h"
#include "toolkit.h"
#include "win_app.h"

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

void PrintText(const std::string& strText)
{
    std::fwrite(strText.data(), 1, strText.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

int AfxMessageBox(const std::string& strText, unsigned /*nType*/)
{
    if (Hook())
        return Hook()(strText);
    // Without a display, without the toolkit or with a display that takes no
    // connection the text goes to standard output.
    const ToolkitServices* pToolkit = AfxHasDisplay() ? AfxGetToolkit() : nullptr;
    const CWinApp* pApp = AfxGetApp();
    if (pToolkit == nullptr || !pToolkit->pfnShowMessageBox(pApp != nullptr ? pApp->m_pszAppName : "", strText))
        PrintText(strText);
    return IDOK;
}

int AfxMessageBox(int nStringID, unsigned nType) { return AfxMessageBox(afx::LoadString(nStringID), nType); }
