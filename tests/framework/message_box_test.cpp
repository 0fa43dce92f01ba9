#include "framework/message_box.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/gui_application.h"
#include "framework/win_app.h"
#include "res/string_table.h"
#include "tests/support/xvfb_server.h"

// Font configuration keeps its caches for the life of the process, and the
// session bus a real display brings keeps its own; the leak checker would
// count both against the box.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

// Captures what the program writes to standard output (or error) meanwhile.
class CStdoutCapture {
public:
    explicit CStdoutCapture(int nFd = 1) : m_nFd(nFd)
    {
        std::fflush(stdout);
        m_pFile = std::tmpfile();
        m_nSaved = ::dup(m_nFd);
        ::dup2(::fileno(m_pFile), m_nFd);
    }
    std::string Finish()
    {
        std::fflush(stdout);
        ::dup2(m_nSaved, m_nFd);
        ::close(m_nSaved);
        std::string strText;
        std::rewind(m_pFile);
        for (int c; (c = std::fgetc(m_pFile)) != EOF;)
            strText += static_cast<char>(c);
        std::fclose(m_pFile);
        return strText;
    }

private:
    int m_nFd;
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
    if (!xtest::ProgramsExist({"Xvfb"}))
        GTEST_SKIP() << "needs Xvfb (tools/install-deps.sh installs it)";
    const xtest::XvfbServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("DISPLAY", server.Display().c_str(), 1);
    // The caption is the application's title, not the name of the executable.
    CWinApp app("mojiro");
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
    // The application object goes with the exit routines, as at the end of
    // the program, while the toolkit still stands.
    AfxRunExitRoutines();
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    ::unsetenv("DISPLAY");
}

// A display is set, but the platform draws nowhere: a box would wait for an
// answer no one can give.
TEST(MessageBox, ABoxNoOneCanSeeGoesToStandardOutput)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("DISPLAY", ":mojiro-test", 1);
    CStdoutCapture capture;
    EXPECT_EQ(AfxMessageBox("本文"), IDOK);
    EXPECT_EQ(capture.Finish(), "本文\n");
    AfxRunExitRoutines();
    ::unsetenv("DISPLAY");
}

// Standard output that takes nothing: the text is lost, so the caller hears
// of it, and standard error says why in one line.
TEST(MessageBox, AFailedWriteToStandardOutputIsReported)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const int nFull = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(nFull, 0);
    for (const int fd : {nFull, fds[1]}) {
        std::fflush(stdout);
        const int nSaved = ::dup(1);
        ::dup2(fd, 1);
        CStdoutCapture errors(2);
        const int nResult = AfxMessageBox("本文");
        const std::string strErrors = errors.Finish();
        ::dup2(nSaved, 1);
        ::close(nSaved);
        EXPECT_EQ(nResult, 0) << "fd " << fd;
        EXPECT_NE(strErrors.find("standard output"), std::string::npos) << strErrors;
        EXPECT_EQ(std::count(strErrors.begin(), strErrors.end(), '\n'), 1) << strErrors;
    }
    ::close(nFull);
    ::close(fds[1]);
}

} // namespace
