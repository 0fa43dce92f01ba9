#include "message_box.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "afx_string.h"
#include "toolkit.h"
#include "win_app.h"

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

// False, with the reason on standard error, when the text did not reach
// standard output whole (a full disk, a closed pipe): the caller must not
// take it as read.
bool PrintText(const std::string& strText)
{
    // A closed pipe then fails the write with EPIPE instead of ending the
    // process before it can say so.
    struct sigaction ignore = {};
    struct sigaction saved = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    const bool bIgnored = ::sigaction(SIGPIPE, &ignore, &saved) == 0;
    errno = 0;
    bool bWritten = std::fwrite(strText.data(), 1, strText.size(), stdout) == strText.size();
    bWritten = bWritten && std::fputc('\n', stdout) != EOF;
    bWritten = std::fflush(stdout) == 0 && bWritten;
    const int nError = errno;
    if (bIgnored)
        ::sigaction(SIGPIPE, &saved, nullptr);
    if (!bWritten) {
        std::clearerr(stdout);
        std::fprintf(stderr, "mojiro: cannot write to standard output: %s\n",
                     nError != 0 ? std::strerror(nError) : "write error");
    }
    return bWritten;
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

std::string AfxGetAppTitle()
{
    std::string strTitle = afx::LoadString(AFX_IDS_APP_TITLE);
    if (strTitle.empty()) {
        const CWinApp* pApp = AfxGetApp();
        strTitle = pApp != nullptr ? pApp->m_pszAppName : "";
    }
    return strTitle;
}


int AfxMessageBox(const std::string& strText, unsigned /*nType*/)
{
    if (Hook())
        return Hook()(strText);
    // Without a display, without the toolkit, with a display that takes no
    // connection or one no one sees, the text goes to standard output.
    const ToolkitServices* pToolkit = AfxHasDisplay() ? AfxGetToolkit() : nullptr;
    if (pToolkit != nullptr && pToolkit->pfnShowMessageBox(AfxGetAppTitle(), strText))
        return IDOK;
    return PrintText(strText) ? IDOK : 0;
}

int AfxMessageBox(int nStringID, unsigned nType) { return AfxMessageBox(afx::LoadString(nStringID), nType); }
