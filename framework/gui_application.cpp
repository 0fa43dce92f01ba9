#include "gui_application.h"

#include <cstdlib>
#include <memory>

#include <QApplication>

#include "win_app.h"

namespace {

std::unique_ptr<QApplication> g_pGuiApp;

} // namespace

void AfxEnsureGuiApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int s_argc = 1;
    static char s_name[] = "mojiro";
    static char* s_argv[] = {s_name, nullptr};
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && !pApp->m_argv.empty())
        g_pGuiApp = std::make_unique<QApplication>(pApp->m_argc, pApp->m_argv.data());
    else
        g_pGuiApp = std::make_unique<QApplication>(s_argc, s_argv);
    // Before the toolkit's own globals go, which were set up before this.
    std::atexit([] { g_pGuiApp.reset(); });
}
