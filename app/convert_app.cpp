#include "convert_app.h"

#include "../framework/file_system.h"
#include "../framework/message_box.h"
#include "../framework/url_opener.h"
#include "../res/string_table.h"
#include "batch_run.h"
#include "convert_command_line_info.h"
#include "settings.h"
#include "windows_entry.h"

CConvertApp theApp;

bool CConvertApp::InitInstance()
{
    CConvertCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    SetRegistryKey(IDS_COMPANY_NAME);

    if (cmdInfo.m_bAuto) {
        CBatchRun run(RealFileSystem(), [] { return CSettings::ReadUnmappableDefaultChar(); });
        run.Run(cmdInfo);
        if (cmdInfo.m_bReport)
            AfxMessageBox(run.GetReportText(), MB_OK);
        // Scripts can tell a partial run from a whole one; the report is the same.
        m_nExitCode = run.AllWritten() ? 0 : 1;
    } else {
        RunWindows(cmdInfo);
    }
    return false;
}

void CConvertApp::WinHelp(std::uintptr_t, unsigned) { OpenUrl(kProductUrl); }
