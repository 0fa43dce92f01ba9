#pragma once

// Shared by the window tests: one QApplication on the offscreen platform,
// settings and home in a scratch folder, message boxes and pickers recorded
// instead of shown. Include from exactly one file per test executable.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "framework/profile.h"

namespace guitest {

inline std::filesystem::path& ScratchRoot()
{
    static std::filesystem::path root;
    return root;
}

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/mojiro-gui-test-XXXXXX";
        const char* pszRoot = ::mkdtemp(szTemplate);
        ASSERT_NE(pszRoot, nullptr);
        ScratchRoot() = pszRoot;
        std::filesystem::create_directories(ScratchRoot() / "home");
        std::filesystem::create_directories(ScratchRoot() / "config");
        // Never the user's own settings, display or browser.
        ::setenv("HOME", (ScratchRoot() / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (ScratchRoot() / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", ScratchRoot().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        profile::SetRegistryKey("Tarnwell Software");
        profile::SetApplicationName("mojiro-test");
        static int s_argc = 1;
        static char s_name[] = "mojiro-gui-test";
        static char* s_argv[] = {s_name, nullptr};
        if (QApplication::instance() == nullptr)
            m_pApp = std::make_unique<QApplication>(s_argc, s_argv);
    }

    void TearDown() override
    {
        SetMessageBoxHook({});
        SetFileDialogHook({});
        m_pApp.reset();
        std::error_code ec;
        std::filesystem::remove_all(ScratchRoot(), ec);
    }

private:
    std::unique_ptr<QApplication> m_pApp;
};

inline ::testing::Environment* const g_pGuiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// The settings file of the test application name.
inline std::filesystem::path SettingsFile()
{
    return ScratchRoot() / "config" / "Tarnwell Software" / "mojiro-test.ini";
}

inline void ClearSettings()
{
    std::error_code ec;
    std::filesystem::remove(SettingsFile(), ec);
}

// A fresh folder under the scratch root for one test.
inline std::filesystem::path MakeTestFolder()
{
    const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string strName = std::string(pInfo->test_suite_name()) + "." + pInfo->name();
    for (char& c : strName) {
        if (c == '/')
            c = '_';
    }
    const std::filesystem::path folder = ScratchRoot() / "cases" / strName;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& strBytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every message box text, in order, answered with OK.
class MessageRecorder {
public:
    MessageRecorder()
    {
        SetMessageBoxHook([this](const std::string& strText) {
            m_messages.push_back(strText);
            return IDOK;
        });
    }
    ~MessageRecorder() { SetMessageBoxHook({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<std::string>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<std::string> m_messages;
};

// Answers pickers from a queue: a path is typed into the picker and
// confirmed; an empty entry cancels. Each picker's accept mode is kept.
class PickerScript {
public:
    PickerScript()
    {
        SetFileDialogHook([this](QFileDialog& dialog) {
            m_acceptModes.push_back(dialog.acceptMode());
            m_nameFilters.push_back(dialog.nameFilters());
            if (m_answers.empty())
                return static_cast<int>(QDialog::Rejected);
            const std::string strAnswer = m_answers.front();
            m_answers.pop_front();
            if (strAnswer.empty())
                return static_cast<int>(QDialog::Rejected);
            dialog.selectFile(QString::fromStdString(strAnswer));
            static_cast<QDialog&>(dialog).accept(); // the picker's own checks run
            return dialog.result();
        });
    }
    ~PickerScript() { SetFileDialogHook({}); }
    PickerScript(const PickerScript&) = delete;
    PickerScript& operator=(const PickerScript&) = delete;

    void Answer(const std::string& strPath) { m_answers.push_back(strPath); }
    void Cancel() { m_answers.push_back({}); }
    const std::vector<QFileDialog::AcceptMode>& AcceptModes() const { return m_acceptModes; }
    const std::vector<QStringList>& NameFilters() const { return m_nameFilters; }

private:
    std::deque<std::string> m_answers;
    std::vector<QFileDialog::AcceptMode> m_acceptModes;
    std::vector<QStringList> m_nameFilters;
};

// Runs fn on the next modal window other than pBelow once it is up (the call
// that opens it blocks meanwhile). Gives up after twenty seconds, so that a
// window that never opens cannot be acted on by a later test.
inline void WhenModalShown(std::function<void(QWidget*)> fn, QWidget* pBelow = nullptr)
{
    auto* pTimer = new QTimer();
    pTimer->setInterval(5);
    auto nTicks = std::make_shared<int>(0);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, fn = std::move(fn), pBelow, nTicks] {
        QWidget* pModal = QApplication::activeModalWidget();
        const bool bFound = pModal != nullptr && pModal != pBelow && pModal->isVisible();
        if (!bFound && ++*nTicks < 4000)
            return;
        pTimer->stop();
        pTimer->deleteLater();
        if (bFound)
            fn(pModal);
    });
    pTimer->start();
}

// A key press and release, as typed (without the test library, which the
// framework tests do not link).
inline void SendKey(QWidget* pWidget, int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, nKey, modifiers);
    QApplication::sendEvent(pWidget, &press);
    QKeyEvent release(QEvent::KeyRelease, nKey, modifiers);
    QApplication::sendEvent(pWidget, &release);
}

inline std::string WindowTitle(const QWidget* pWidget) { return pWidget->windowTitle().toStdString(); }

} // namespace guitest
