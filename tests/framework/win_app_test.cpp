#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class CRecordingApp : public CWinApp {
public:
    using CWinApp::CWinApp;
    bool InitInstance() override
    {
        ++m_nInitCalls;
        m_strNameSeen = m_pszAppName;
        m_nExitCode = 3;
        return false;
    }
    void WinHelp(std::uintptr_t dwData, unsigned nCmd) override { m_help.push_back({dwData, nCmd}); }

    int m_nInitCalls = 0;
    std::string m_strNameSeen;
    std::vector<std::pair<std::uintptr_t, unsigned>> m_help;
};

int RunMain(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return AfxWinMain(static_cast<int>(args.size()), argv.data());
}

struct NameCase {
    const char* pszArgv0;
    const char* pszName;
};

TEST(WinApp, NameComesFromTheExecutableWithoutExtension)
{
    const NameCase cases[] = {
        {"/usr/bin/mojiro", "mojiro"},
        {"./build/app/mojiro.bin", "mojiro"},
        {"mojiro.tar.gz", "mojiro.tar"},
        {"/opt/.hidden", ".hidden"},
        {"/opt/my.dir/tool", "tool"},
    };
    for (const NameCase& c : cases) {
        CRecordingApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(RunMain({c.pszArgv0, "/AUTO"}), 3) << "InitInstance's exit code becomes the status";
        EXPECT_EQ(app.m_nInitCalls, 1);
        EXPECT_EQ(app.m_strNameSeen, c.pszName) << c.pszArgv0;
        EXPECT_EQ(app.m_args, (std::vector<std::string>{c.pszArgv0, "/AUTO"}));
    }
    CRecordingApp named("Given");
    RunMain({"/usr/bin/mojiro"});
    EXPECT_EQ(named.m_strNameSeen, "Given");
}

TEST(WinApp, HelpCommandEndsInWinHelp)
{
    CRecordingApp app;
    EXPECT_TRUE(app.OnCmdMsg(ID_HELP));
    EXPECT_FALSE(app.OnCmdMsg(ID_HELP + 1));
    ASSERT_EQ(app.m_help.size(), 1u);
}

TEST(WinApp, FileSizeLimitSignalIsIgnoredAfterStart)
{
    CRecordingApp app;
    RunMain({"mojiro"});
    struct sigaction current = {};
    ASSERT_EQ(::sigaction(SIGXFSZ, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

struct DisplayCase {
    const char* pszDisplay;  // null: unset
    const char* pszWayland;
    bool bHasDisplay;
};

TEST(WinApp, DisplayIsFoundThroughEitherVariable)
{
    const DisplayCase cases[] = {
        {nullptr, nullptr, false}, {"", "", false}, {":0", nullptr, true}, {nullptr, "wayland-0", true}, {"", "w", true},
    };
    for (const DisplayCase& c : cases) {
        c.pszDisplay ? ::setenv("DISPLAY", c.pszDisplay, 1) : ::unsetenv("DISPLAY");
        c.pszWayland ? ::setenv("WAYLAND_DISPLAY", c.pszWayland, 1) : ::unsetenv("WAYLAND_DISPLAY");
        EXPECT_EQ(AfxHasDisplay(), c.bHasDisplay);
    }
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
}

} // namespace
