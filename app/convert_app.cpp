#include "convert_app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

#include "../framework/file_system.h"
#include "../framework/message_box.h"
#include "../framework/url_opener.h"
#include "../res/string_table.h"
#include "batch_run.h"
#include "command_line_help.h"
#include "conversion_job.h"
#include "convert_command_line_info.h"
#include "guess_run.h"
#include "progress_line.h"
#include "settings.h"
#include "windows_entry.h"

CConvertApp theApp;

namespace {

// A batch run with no file names did nothing it was asked to: most often the
// names were taken for switches.
constexpr int kExitNoFiles = 2;

bool PrintToStandardOutput(const std::string& strText)
{
    if (std::fputs(strText.c_str(), stdout) != EOF && std::fflush(stdout) == 0)
        return true;
    std::perror("mojiro: cannot write to standard output");
    return false;
}

// A word taken as a switch that names an existing file or folder, or the
// standard input's "-", was most likely meant as a file name.
void WarnAboutPathsTakenAsSwitches(const std::vector<std::string>& args)
{
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        const std::string& strWord = args[i];
        if (strWord == "-") {
            std::fprintf(stderr, "mojiro: warning: \"-\" before -- is taken as a switch, not as standard input; "
                                 "put -- first: mojiro /AUTO -- -\n");
            continue;
        }
        struct stat status;
        if (strWord.size() < 2 || (strWord[0] != '/' && strWord[0] != '-') || ::stat(strWord.c_str(), &status) != 0)
            continue;
        // A folder is not converted: the files in it are.
        const bool bFolder = S_ISDIR(status.st_mode);
        const std::string strSuggested = bFolder ? strWord + (strWord.back() == '/' ? "*" : "/*") : strWord;
        std::fprintf(stderr,
                     "mojiro: warning: \"%s\" names an existing %s but is taken as a switch; "
                     "put -- before file names: mojiro /AUTO -- %s\n",
                     strWord.c_str(), bFolder ? "folder" : "file", strSuggested.c_str());
    }
}

// Every word after --guess names a file, "-" and absolute paths too; a "--"
// there is allowed and skipped.
std::list<std::string> GuessedFiles(const std::vector<std::string>& args)
{
    std::list<std::string> files;
    auto it = std::find(args.begin(), args.end(), "--guess");
    if (it == args.end())
        return files;
    for (++it; it != args.end(); ++it) {
        if (*it == "--" && files.empty())
            continue;
        files.push_back(*it);
    }
    return files;
}

// Never into a stream that carries converted text; on a terminal if the run
// has one (a box there would hold up a script until someone answers it); the
// box only for a run started without one. False when it reached no one.
bool ShowReport(const CBatchRun& run)
{
    const std::string strText = run.GetReportText();
    if (run.UsesStandardOutput() || (::isatty(STDOUT_FILENO) != 1 && ::isatty(STDERR_FILENO) == 1))
        return std::fprintf(stderr, "%s\n", strText.c_str()) >= 0;
    if (::isatty(STDOUT_FILENO) == 1)
        return PrintToStandardOutput(strText + "\n");
    return AfxMessageBox(strText, MB_OK) == IDOK;
}

} // namespace

bool CConvertApp::InitInstance()
{
    CConvertCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    // Answered before anything that could need a display, the toolkit or the
    // settings.
    if (cmdInfo.m_bHelp || cmdInfo.m_bVersion) {
        const std::string strText =
            cmdInfo.m_bHelp ? CCommandLineHelp::UsageText(m_pszAppName) : CCommandLineHelp::VersionText();
        m_nExitCode = PrintToStandardOutput(strText) ? 0 : 1;
        return false;
    }
    if (cmdInfo.m_bGuess) {
        const std::list<std::string> files = GuessedFiles(m_args);
        if (files.empty()) {
            std::fprintf(stderr, "mojiro: --guess names no file\n");
            m_nExitCode = kExitNoFiles;
        } else {
            m_nExitCode = RunGuess(RealFileSystem(), files, stdout, stderr);
        }
        return false;
    }
    for (const std::string& strWarning : cmdInfo.Warnings())
        std::fprintf(stderr, "%s\n", strWarning.c_str());
    WarnAboutPathsTakenAsSwitches(m_args);
    SetRegistryKey(IDS_COMPANY_NAME);

    if (cmdInfo.m_bAuto) {
        CBatchRun run(RealFileSystem(), [] { return CSettings::ReadUnmappableDefaultChar(); });
        run.m_nThreads = CConversionJob::ThreadsAvailable();
        CProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1);
        run.m_progress = [&progress](int nDone, int nFiles, std::int64_t nBytes) {
            progress.Update(nDone, nFiles, nBytes);
        };
        run.Run(cmdInfo);
        progress.Clear();
        // Scripts can tell a partial run from a whole one; the report is the same.
        m_nExitCode = cmdInfo.m_listFiles.empty() ? kExitNoFiles : run.AllWritten() ? 0 : 1;
        // A report that reached no one is a failure a script must see.
        if (cmdInfo.m_bReport && !ShowReport(run) && m_nExitCode == 0)
            m_nExitCode = 1;
        // What was replaced, after the report lines it belongs to.
        for (const std::string& strNotice : run.Notices())
            CBatchRun::WriteToStandardError(strNotice);
    } else {
        RunWindows(cmdInfo);
    }
    return false;
}

void CConvertApp::WinHelp(std::uintptr_t, unsigned) { OpenUrl(kProductUrl); }
