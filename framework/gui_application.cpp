#include "gui_application.h"

#include <memory>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

#include "win_app.h"

namespace {

std::unique_ptr<QApplication> g_pGuiApp;

// The toolkit's own texts (standard buttons, pickers, edit menus) in the
// language of the rest of the windows, whatever the desktop's locale.
void InstallToolkitTranslation(QApplication& app)
{
    auto* pTranslator = new QTranslator(&app); // the application owns it
    if (pTranslator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(pTranslator);
}

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
    InstallToolkitTranslation(*g_pGuiApp);
    AfxRegisterExitRoutine([] { g_pGuiApp.reset(); });
}

void AfxReturnFocus(QWidget* pBelow)
{
    if (pBelow != nullptr && pBelow->isVisible())
        pBelow->window()->activateWindow();
}
