#include "windows_entry.h"

#include "../framework/toolkit_module.h"
#include "../framework/win_app.h"

void RunWindows(const CConvertCommandLineInfo& cmdInfo)
{
    using Entry = void (*)(const CConvertCommandLineInfo&);
    const auto pfnEntry =
        reinterpret_cast<Entry>(AfxToolkitModuleEntry(ToolkitModule::Windows, "mojiro_run_interactive_startup"));
    if (pfnEntry != nullptr) {
        pfnEntry(cmdInfo);
    } else if (CWinApp* pApp = AfxGetApp()) {
        pApp->m_nExitCode = 1; // the reason has gone to standard error
    }
}
