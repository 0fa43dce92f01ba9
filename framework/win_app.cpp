#include "win_app.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "afx_string.h"
#include "command_line_info.h"
#include "profile.h"

namespace {

CWinApp* g_pApp = nullptr;

std::vector<void (*)()>& ExitRoutines()
{
    static std::vector<void (*)()> s_routines;
    return s_routines;
}

std::string NameWithoutExtension(const std::string& strPath)
{
    const std::size_t nSlash = strPath.rfind('/');
    std::string strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    const std::size_t nDot = strName.rfind('.');
    if (nDot != std::string::npos && nDot > 0)
        strName.resize(nDot);
    return strName;
}

} // namespace

CWinApp::CWinApp(const char* pszAppName)
{
    g_pApp = this;
    if (pszAppName != nullptr) {
        m_strAppName = pszAppName;
        m_bAppNameGiven = true;
    }
    m_pszAppName = m_strAppName.c_str();
    // The profile learns the name in AfxWinMain: this runs during static
    // initialisation, before other files' globals may exist.
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

bool CWinApp::InitInstance() { return true; }

void CWinApp::WinHelp(std::uintptr_t, unsigned) {}

void CWinApp::OnHelp() { WinHelp(0, HELP_CONTEXT); }

bool CWinApp::OnCmdMsg(unsigned nID)
{
    if (nID == ID_HELP) {
        OnHelp();
        return true;
    }
    return false;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    bool bSwitches = true;
    for (std::size_t i = 1; i < m_args.size(); ++i) {
        const std::string& strWord = m_args[i];
        const bool bLast = i + 1 == m_args.size();
        if (bSwitches && strWord == "--") {
            bSwitches = false;
            continue;
        }
        if (bSwitches && !strWord.empty() && (strWord[0] == '/' || strWord[0] == '-'))
            rCmdInfo.ParseParam(strWord.c_str() + 1, true, bLast);
        else
            rCmdInfo.ParseParam(strWord.c_str(), false, bLast);
    }
}

void CWinApp::SetRegistryKey(int nIDRegistryKey) { SetRegistryKey(afx::LoadString(nIDRegistryKey).c_str()); }

void CWinApp::SetRegistryKey(const char* pszRegistryKey)
{
    profile::SetRegistryKey(pszRegistryKey != nullptr ? pszRegistryKey : "");
    profile::SetApplicationName(m_strAppName);
}

void CWinApp::SetArguments(int argc, char** argv)
{
    m_args.assign(argv, argv + argc);
    m_argv.clear();
    for (std::string& strArg : m_args)
        m_argv.push_back(strArg.data());
    m_argv.push_back(nullptr);
    m_argc = argc;
    if (!m_bAppNameGiven && !m_args.empty()) {
        m_strAppName = NameWithoutExtension(m_args[0]);
        m_pszAppName = m_strAppName.c_str();
    }
    profile::SetApplicationName(m_strAppName);
}

CWinApp* AfxGetApp() { return g_pApp; }

void AfxRegisterExitRoutine(void (*pfn)()) { ExitRoutines().push_back(pfn); }

void AfxRunExitRoutines()
{
    std::vector<void (*)()>& routines = ExitRoutines();
    while (!routines.empty()) {
        void (*pfn)() = routines.back();
        routines.pop_back();
        pfn();
    }
}

int AfxWinMain(int argc, char** argv)
{
    // A file-size limit then fails the write with EFBIG instead of killing
    // the run halfway through.
    std::signal(SIGXFSZ, SIG_IGN);
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr) {
        std::fputs("no application object\n", stderr);
        return EXIT_FAILURE;
    }
    pApp->SetArguments(argc, argv);
    // There is no message loop: whatever InitInstance returns ends the program.
    (void)pApp->InitInstance();
    AfxRunExitRoutines();
    std::fflush(stdout);
    return pApp->m_nExitCode;
}

bool AfxHasDisplay()
{
    for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* pszValue = std::getenv(pszName);
        if (pszValue != nullptr && *pszValue != '\0')
            return true;
    }
    return false;
}

namespace {

bool SocketAccepts(const std::string& strPath, bool bAbstract)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::size_t offset = bAbstract ? 1 : 0; // abstract names begin with a NUL
    if (strPath.size() + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, strPath.data(), strPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + strPath.size());
    const bool bAccepted = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return bAccepted;
}

} // namespace

bool AfxDisplayReachable()
{
    const char* pszPlatform = std::getenv("QT_QPA_PLATFORM");
    if (pszPlatform != nullptr && *pszPlatform != '\0' && std::strncmp(pszPlatform, "xcb", 3) != 0 &&
        std::strncmp(pszPlatform, "wayland", 7) != 0)
        return true;
    if (const char* pszWayland = std::getenv("WAYLAND_DISPLAY"); pszWayland != nullptr && *pszWayland != '\0') {
        const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
        const std::string strPath = pszWayland[0] == '/' ? std::string(pszWayland)
                                    : std::string(pszRuntime != nullptr ? pszRuntime : "") + "/" + pszWayland;
        if (SocketAccepts(strPath, false))
            return true;
    }
    const char* pszDisplay = std::getenv("DISPLAY");
    if (pszDisplay == nullptr || *pszDisplay == '\0')
        return false;
    std::string strDisplay = pszDisplay;
    if (strDisplay.rfind("unix:", 0) == 0)
        strDisplay.erase(0, 4);
    if (strDisplay.empty() || strDisplay[0] != ':')
        return true; // a remote display: nothing cheap can tell
    const std::string strNumber = strDisplay.substr(1, strDisplay.find('.') - 1);
    if (strNumber.empty() || strNumber.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const std::string strSocket = "/tmp/.X11-unix/X" + strNumber;
    return SocketAccepts(strSocket, true) || SocketAccepts(strSocket, false);
}
