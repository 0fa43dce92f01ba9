#include "framework/gui_application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>

#include <cstdlib>

#include "framework/win_app.h"

// Font configuration keeps its caches for the life of the process; the leak
// checker would count them against the application object.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// The toolkit's own texts (standard buttons, pickers, edit menus) speak the
// windows' language, and the application object ends with the exit
// routines, not in an exit handler after the toolkit's globals are gone.
TEST(GuiApplication, SpeaksJapaneseAndEndsWithTheExitRoutines)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    AfxEnsureGuiApplication();
    ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
    const QString strCatalogue = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
    if (QFileInfo::exists(strCatalogue)) {
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "キャンセル");
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:").toStdString(), "アドレス:");
    } else {
        ADD_FAILURE() << "Qt's translations are missing (" << strCatalogue.toStdString()
                      << "): tools/install-deps.sh installs them";
    }
    AfxEnsureGuiApplication(); // later calls keep the one object
    AfxRunExitRoutines();
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

} // namespace
