#include "interactive_startup.h"

#include <cstdio>
#include <new>

#include <QApplication>

#include "../app/batch_run.h"
#include "../app/conversion_job.h"
#include "../app/convert_command_line_info.h"
#include "../convert/charset.h"
#include "../convert/text_converter.h"
#include "../framework/gui_application.h"
#include "../framework/win_app.h"
#include "convert_dlg.h"

namespace {

// The marks, then UTF-8, then the byte-pattern guess; undecided means Shift_JIS. A file
// that cannot be read leaves the source not given.
CharsetId DetectSource(const std::string& strPath, IFileSystem& fileSystem)
{
    CharsetId nDetected = Charset::None;
    if (!CConversionJob(fileSystem).Detect(strPath, &nDetected))
        return Charset::None;
    return nDetected == Charset::None ? Charset::ShiftJis : nDetected;
}

} // namespace

void SeedConvertDlg(CConvertDlg& dlg, const CConvertCommandLineInfo& cmdInfo, IFileSystem& fileSystem)
{
    dlg.m_nInputCharset = cmdInfo.m_nInputCharset;
    dlg.m_nOutputCharset = cmdInfo.m_nOutputCharset;
    dlg.m_nNLCode = cmdInfo.m_nNLCode;
    if (!cmdInfo.m_listFiles.empty())
        dlg.m_strInputFilename = cmdInfo.m_listFiles.front();

    if (dlg.m_nInputCharset == Charset::None) {
        if (dlg.m_strInputFilename.empty())
            dlg.m_nInputCharset = Charset::ShiftJis;
        else
            dlg.m_nInputCharset = DetectSource(dlg.m_strInputFilename, fileSystem);
    }
    if (dlg.m_nOutputCharset == Charset::None)
        dlg.m_nOutputCharset = Charset::ShiftJis;
    if (dlg.m_nNLCode == NewLine::None)
        dlg.m_nNLCode = NewLine::DefaultFor(dlg.m_nOutputCharset);

    // /F names the output as in a batch run; the user who gives it with an
    // input expects it used.
    if (!cmdInfo.m_strOutputPattern.empty() && !dlg.m_strInputFilename.empty() &&
        Charset::IsValid(dlg.m_nOutputCharset)) {
        dlg.m_strOutputFilename =
            CBatchRun::OutputName(cmdInfo.m_strOutputPattern, dlg.m_strInputFilename, dlg.m_nOutputCharset);
    }
}

void RunInteractiveStartup(const CConvertCommandLineInfo& cmdInfo)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        const bool bCanShow = AfxHasDisplay() || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
        if (QCoreApplication::instance() != nullptr || !bCanShow) {
            std::fputs("mojiro: no display to open the window on; use /AUTO to convert without one.\n", stderr);
            if (CWinApp* pApp = AfxGetApp())
                pApp->m_nExitCode = 1;
            return;
        }
        AfxEnsureGuiApplication();
    }

    CConvertDlg dlg;
    SeedConvertDlg(dlg, cmdInfo, RealFileSystem());
    dlg.DoModal();
}
