#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CCommandLineInfo;

// The framework's standard help command.
constexpr unsigned ID_HELP = 0xE146;
constexpr unsigned HELP_CONTEXT = 0x0001;

// The application object: exactly one, global, constructed before main.
// AfxWinMain records the arguments, names the application after the
// executable and runs InitInstance once; false ends the program without a
// message loop, and m_nExitCode becomes the process's exit status.
class CWinApp {
public:
    // Null: the name is the executable's file name without extension.
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual bool InitInstance();

    // Where every help request ends; the default does nothing.
    virtual void WinHelp(std::uintptr_t dwData, unsigned nCmd = HELP_CONTEXT);

    // The handler of ID_HELP.
    void OnHelp();

    // The command map: routes ID_HELP to OnHelp. Returns false for any
    // command the application does not handle.
    virtual bool OnCmdMsg(unsigned nID);

    // Feeds every argument after the program name to rCmdInfo.ParseParam, in
    // order. A leading "/" or "-" sets the switch flag and is removed; the
    // word "--" itself is not passed on and makes every later word a plain
    // file name (an absolute path begins with "/").
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);

    // Names the company part of the settings location (a string id or
    // text); the settings themselves are read and written through profile.h.
    void SetRegistryKey(int nIDRegistryKey);
    void SetRegistryKey(const char* pszRegistryKey);

    // Points into m_strAppName; valid for the application's life.
    const char* m_pszAppName = "";
    std::vector<std::string> m_args; // argv, the program name first
    int m_nExitCode = 0;

    // Backing store of the argument count and vector handed to the GUI
    // toolkit, which keeps references to both.
    int m_argc = 0;
    std::vector<char*> m_argv;

private:
    friend int AfxWinMain(int argc, char** argv);
    void SetArguments(int argc, char** argv);

    std::string m_strAppName;
    bool m_bAppNameGiven = false;
};

CWinApp* AfxGetApp();

// The caption of message boxes: the application's title, which is not the
// name the settings are filed under.
constexpr int AFX_IDS_APP_TITLE = 0xE000;

// pfn runs when InitInstance has returned, before AfxWinMain does; the last
// registered runs first. The toolkit's application object must end here and
// not in an exit handler, which runs after globals the toolkit set up later
// than that handler are gone. Programs without AfxWinMain (tests) call
// AfxRunExitRoutines themselves.
void AfxRegisterExitRoutine(void (*pfn)());
void AfxRunExitRoutines();

// The program's entry; main returns its result.
int AfxWinMain(int argc, char** argv);

// True when a display is reachable (DISPLAY or WAYLAND_DISPLAY is set).
bool AfxHasDisplay();

// False when the display named by WAYLAND_DISPLAY or a local DISPLAY accepts
// no connection (a stale variable): the toolkit would end the process when
// it tried to open it. True when it cannot tell (a remote X display) or when
// QT_QPA_PLATFORM names a platform that needs no display.
bool AfxDisplayReachable();
