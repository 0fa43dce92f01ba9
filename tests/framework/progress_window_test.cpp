#include "framework/progress_window.h"

#include <QApplication>
#include <QProgressDialog>

#include "../ui/support/gui_test_env.h"

namespace {

// The window carries the application's title like every other box, and
// shows the work's progress.
TEST(ProgressWindow, TitledAsTheApplicationAndShowingTheShareDone)
{
    CProgressWindow progress(nullptr, "変換しています...", 0);
    EXPECT_TRUE(progress.Step(1, 4));
    QProgressDialog* pWindow = nullptr;
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (auto* pProgress = qobject_cast<QProgressDialog*>(pWidget))
            pWindow = pProgress;
    }
    ASSERT_NE(pWindow, nullptr);
    EXPECT_EQ(guitest::WindowTitle(pWindow), "Mojiro");
    EXPECT_EQ(pWindow->labelText().toStdString(), "変換しています...");
    EXPECT_EQ(pWindow->value() * 4, pWindow->maximum());
}

} // namespace
