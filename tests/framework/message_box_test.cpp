#include "framework/message_box.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/gui_application.h"
#include "framework/win_app.h"
#include "res/string_table.h"

// Font configuration keeps its caches for the life of the process; the leak
// checker would count them against the box.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// Captures what the program writes to standard output meanwhile.
class CStdoutCapture {
public:
    CStdoutCapture()
    {
        std::fflush(stdout);
        m_pFile = std::tmpfile();
        m_nSaved = ::dup(1);
        ::dup2(::fileno(m_pFile), 1);
    }
    std::string Finish()
    {
        std::fflush(stdout);
        ::dup2(m_nSaved, 1);
        ::close(m_nSaved);
        std::string strText;
        std::rewind(m_pFile);
        for (int c; (c = std::fgetc(m_pFile)) != EOF;)
            strText += static_cast<char>(c);
        std::fclose(m_pFile);
        return strText;
    }

private:
    std::FILE* m_pFile;
    int m_nSaved;
};

TEST(MessageBox, WithoutDisplayTheTextGoesToStandardOutput)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    CStdoutCapture capture;
    EXPECT_EQ(AfxMessageBox("変換を完了しました(0/0)\n\n", MB_OK), IDOK);
    EXPECT_EQ(AfxMessageBox(IDS_CONVERT_SUCCEEDED), IDOK);
    EXPECT_EQ(capture.Finish(), "変換を完了しました(0/0)\n\n\n正常に変換しました\n");
    EXPECT_EQ(QCoreApplication::instance(), nullptr) << "no GUI start-up without a box";
}

TEST(MessageBox, AStaleDisplayCountsAsNone)
{
    // No server listens on this display: opening it would end the process
    // and lose the text.
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("DISPLAY", ":4711", 1);
    EXPECT_FALSE(AfxDisplayReachable());
    if (QCoreApplication::instance() == nullptr) {
        CStdoutCapture capture;
        EXPECT_EQ(AfxMessageBox("本文"), IDOK);
        EXPECT_EQ(capture.Finish(), "本文\n");
    }
    ::setenv("DISPLAY", "remote-host:0", 1);
    EXPECT_TRUE(AfxDisplayReachable()); // cannot be told cheaply: left to the toolkit
    ::unsetenv("DISPLAY");
}

TEST(MessageBox, HookSeesTheTextInsteadOfTheBox)
{
    std::string strSeen;
    SetMessageBoxHook([&](const std::string& strText) {
        strSeen = strText;
        return IDCANCEL;
    });
    CStdoutCapture capture;
    EXPECT_EQ(AfxMessageBox(IDS_DETECT_FAILED), IDCANCEL);
    SetMessageBoxHook({});
    EXPECT_EQ(capture.Finish(), "");
    EXPECT_EQ(strSeen, "文字コードの自動判別に失敗しました。");
}

TEST(MessageBox, WithADisplayARealModalBox)
{
    // The offscreen platform stands in for a display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("DISPLAY", ":mojiro-test", 1);
    CWinApp app("Mojiro");
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString strTitle, strText;
    int nButtons = 0;
    bool bModal = false;
    // The box is created inside AfxMessageBox; inspect and close it from the
    // event loop it runs.
    std::function<void()> inspect = [&] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox == nullptr) {
            QTimer::singleShot(10, inspect);
            return;
        }
        icon = pBox->icon();
        strTitle = pBox->windowTitle();
        strText = pBox->text();
        nButtons = static_cast<int>(pBox->buttons().size());
        bModal = pBox->isModal();
        pBox->button(QMessageBox::Ok)->click();
    };
    AfxEnsureGuiApplication();
    QTimer::singleShot(0, inspect);
    CStdoutCapture capture;
    EXPECT_EQ(AfxMessageBox("本文"), IDOK);
    EXPECT_EQ(capture.Finish(), "");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(strTitle.toStdString(), "Mojiro");
    EXPECT_EQ(strText.toStdString(), "本文");
    EXPECT_EQ(nButtons, 1);
    EXPECT_TRUE(bModal);
    ::unsetenv("DISPLAY");
}

} // namespace
