#pragma once

// A private X server for tests that need a real display: Xvfb on a display
// number it picks itself, ended with the object. Include from one file per
// test executable.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace xtest {

// True when every program is found on PATH.
inline bool ProgramsExist(std::initializer_list<const char*> programs)
{
    for (const char* pszProgram : programs) {
        if (std::system((std::string("command -v ") + pszProgram + " >/dev/null 2>&1").c_str()) != 0)
            return false;
    }
    return true;
}

class XvfbServer {
public:
    // Each server takes a display number of its own, away from :0 and from
    // the others a parallel test run starts: a server that ends removes its
    // socket, and a new one reusing the number could lose its own. It does not
    // reset when its last client leaves, as the next program would find no
    // server while it does. The screen is WIDTHxHEIGHTxDEPTH.
    explicit XvfbServer(std::string strScreen = "1024x768x24") : m_strScreen(std::move(strScreen))
    {
        if (!ProgramsExist({"Xvfb"}))
            return;
        const int nBase = 100 + static_cast<int>(::getpid() % 800);
        for (int nTry = 0; nTry < 20 && m_strDisplay.empty(); ++nTry)
            Start(nBase + 37 * nTry % 900);
    }

    ~XvfbServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

private:
    // Starts a server on :nDisplay; it writes the number once it accepts
    // connections, and ends at once when the number is taken.
    void Start(int nDisplay)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            const int nNull = ::open("/dev/null", O_WRONLY);
            ::dup2(nNull, 2);
            std::string strDisplay(1, ':');
            strDisplay += std::to_string(nDisplay);
            const std::string strFd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", strDisplay.c_str(), "-displayfd", strFd.c_str(), "-nolisten", "tcp", "-noreset",
                     "-screen", "0", m_strScreen.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char szNumber[16] = {};
        std::size_t nRead = 0;
        for (ssize_t n; nRead + 1 < sizeof szNumber && (n = ::read(fds[0], szNumber + nRead, 1)) > 0;) {
            if (szNumber[nRead] == '\n')
                break;
            nRead += static_cast<std::size_t>(n);
        }
        ::close(fds[0]);
        szNumber[nRead] = '\0';
        if (nRead > 0) {
            m_pid = pid;
            m_strDisplay = std::string(":") + szNumber;
        } else if (pid > 0) {
            ::waitpid(pid, nullptr, 0);
        }
    }

public:

    // Empty when no server could be started.
    const std::string& Display() const { return m_strDisplay; }

    // Output of a command run with this display, or empty.
    std::string Run(const std::string& strCommand) const
    {
        const std::string strLine = "DISPLAY=" + m_strDisplay + " " + strCommand + " 2>/dev/null";
        std::string strOut;
        if (std::FILE* pPipe = ::popen(strLine.c_str(), "r")) {
            char szBuffer[256];
            for (std::size_t n; (n = std::fread(szBuffer, 1, sizeof szBuffer, pPipe)) > 0;)
                strOut.append(szBuffer, n);
            ::pclose(pPipe);
        }
        return strOut;
    }

    // The visible windows, newest (highest id) last; waits up to the timeout
    // until there are nCount of them.
    std::vector<unsigned long> WaitForWindows(std::size_t nCount, std::chrono::seconds timeout) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            std::vector<unsigned long> windows;
            std::istringstream list(Run("xdotool search --onlyvisible --name ."));
            for (unsigned long nId; list >> nId;)
                windows.push_back(nId);
            std::sort(windows.begin(), windows.end());
            if (windows.size() == nCount || std::chrono::steady_clock::now() > deadline)
                return windows;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    // Starts a command on this display in the background; its process id.
    long Start(const std::string& strCommand) const
    {
        long nPid = 0;
        std::istringstream(Run(strCommand + " >/dev/null 2>&1 & echo $!")) >> nPid;
        return nPid;
    }

    // The newest visible window whose name matches the pattern, once there
    // is one; 0 after the timeout.
    unsigned long WaitForWindow(const std::string& strNamePattern, std::chrono::seconds timeout) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            std::istringstream list(Run("xdotool search --onlyvisible --name '" + strNamePattern + "'"));
            unsigned long nNewest = 0;
            for (unsigned long nId; list >> nId;)
                nNewest = std::max(nNewest, nId);
            if (nNewest != 0 || std::chrono::steady_clock::now() > deadline)
                return nNewest;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    // Width and height of a window, or 0 by 0.
    std::pair<int, int> WindowSize(unsigned long nWindow) const
    {
        const std::string strOut = Run("xdotool getwindowgeometry " + std::to_string(nWindow));
        const std::size_t nAt = strOut.find("Geometry: ");
        int nWidth = 0;
        int nHeight = 0;
        if (nAt == std::string::npos || std::sscanf(strOut.c_str() + nAt, "Geometry: %dx%d", &nWidth, &nHeight) != 2)
            return {0, 0};
        return {nWidth, nHeight};
    }

    // The size once it has held still for a moment.
    std::pair<int, int> SettledWindowSize(unsigned long nWindow) const
    {
        std::pair<int, int> last = WindowSize(nWindow);
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const std::pair<int, int> now = WindowSize(nWindow);
            if (now == last)
                return now;
            last = now;
        }
        return last;
    }

    // Focuses the window and types the keys there, as a user would.
    void Type(unsigned long nWindow, const std::string& strKeys) const
    {
        Run("xdotool windowfocus --sync " + std::to_string(nWindow) + " key " + strKeys);
    }

private:
    std::string m_strScreen;
    pid_t m_pid = -1;
    std::string m_strDisplay;
};

// A command started in the background on a server's display, ended with
// the object.
class RunningProgram {
public:
    RunningProgram(const XvfbServer& server, const std::string& strCommand) : m_nPid(server.Start(strCommand)) {}
    ~RunningProgram()
    {
        if (m_nPid > 0)
            ::kill(static_cast<pid_t>(m_nPid), SIGTERM);
    }
    RunningProgram(RunningProgram&& other) noexcept : m_nPid(std::exchange(other.m_nPid, 0)) {}
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    RunningProgram& operator=(RunningProgram&&) = delete;

private:
    long m_nPid;
};

} // namespace xtest
