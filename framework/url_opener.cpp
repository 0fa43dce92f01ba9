#include "url_opener.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "message_box.h"

extern char** environ;

namespace {

// How long an opener may take to say it failed; one that runs longer has
// most likely started a browser in the foreground.
constexpr auto kOpenerVerdictWait = std::chrono::seconds(3);

// False when the opener could not be started or ended with a failure.
bool RunOpener(const std::string& strUrl)
{
    const char* pszOpener = std::getenv("MOJIRO_URL_OPENER");
    const std::string strProgram = pszOpener != nullptr && *pszOpener != '\0' ? pszOpener : "xdg-open";
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    // Its diagnostics (a screenful when no browser is found) are the box's
    // business, not the terminal's.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string strArg0 = strProgram;
    std::string strArg1 = strUrl;
    char* argv[] = {strArg0.data(), strArg1.data(), nullptr};
    pid_t pid = -1;
    const int nError = posix_spawnp(&pid, strProgram.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + kOpenerVerdictWait;
    while (std::chrono::steady_clock::now() < deadline) {
        int nStatus = 0;
        const pid_t nDone = ::waitpid(pid, &nStatus, WNOHANG);
        if (nDone == pid)
            return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
        if (nDone < 0)
            return true; // reaped elsewhere: nothing says it failed
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Still running: reaped whenever it ends, without holding anyone up.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

} // namespace

void OpenUrl(const std::string& strUrl)
{
    if (!RunOpener(strUrl))
        AfxMessageBox("Web ページを開けませんでした。ブラウザで次のアドレスを開いてください。\n" + strUrl);
}
