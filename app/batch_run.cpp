#include "batch_run.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "../convert/thread_pool.h"
#include "../framework/afx_string.h"
#include "../framework/file_system.h"
#include "conversion_job.h"
#include "convert_command_line_info.h"
#include "replacement_notice.h"

namespace {

// A file name may hold any byte but '/' and NUL: control characters are shown
// escaped, so that no name can start a line of its own or steer the terminal.
// C1 controls (U+0080 to U+009F) count too.
std::string Escaped(const std::string& strName)
{
    std::string strShown;
    for (std::size_t i = 0; i < strName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(strName[i]);
        const bool bC1 = c == 0xC2 && i + 1 < strName.size() && static_cast<unsigned char>(strName[i + 1]) >= 0x80 &&
                         static_cast<unsigned char>(strName[i + 1]) <= 0x9F;
        if (c == '\n')
            strShown += "\\n";
        else if (c == '\t')
            strShown += "\\t";
        else if (c == '\r')
            strShown += "\\r";
        else if (c < 0x20 || c == 0x7F)
            strShown += afx::Format("\\x%02x", c);
        else if (bC1)
            strShown += afx::Format("\\xc2\\x%02x", static_cast<unsigned char>(strName[++i]));
        else
            strShown += static_cast<char>(c);
    }
    return strShown;
}

// Fewer files than this go one after the other: threads would not pay.
constexpr std::size_t kParallelFrom = 4;

void BlockTerminatingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2})
        sigaddset(&set, nSignal);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// Outputs handed over complete are put in place on threads of their own, so
// that the waits of many small replacements for the disk overlap instead of
// adding up; each is still on disk before it takes its name. A worker waits
// while kCommitsInFlight are pending, which bounds the open files (and the
// named temporaries a signal must find).
class CCommitQueue {
public:
    using Done = std::function<void(bool bOk, const std::string& strError)>;
    static constexpr int kCommitThreads = 8;
    static constexpr std::size_t kCommitsInFlight = 32;

    CCommitQueue()
    {
        for (int t = 0; t < kCommitThreads; ++t)
            m_threads.emplace_back([this] { Serve(); });
    }
    // Returns once every output handed over is committed.
    ~CCommitQueue()
    {
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_bClosed = true;
        }
        m_work.notify_all();
        m_threads.clear();
    }
    CCommitQueue(const CCommitQueue&) = delete;
    CCommitQueue& operator=(const CCommitQueue&) = delete;

    void Add(std::unique_ptr<IFileSystem::IOutputFile> pOutput, Done done)
    {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_room.wait(lock, [this] { return m_nInFlight < kCommitsInFlight; });
            ++m_nInFlight;
            m_pending.push_back({std::move(pOutput), std::move(done)});
        }
        m_work.notify_one();
    }

private:
    struct CItem {
        std::unique_ptr<IFileSystem::IOutputFile> pOutput;
        Done done;
    };
    void Serve()
    {
        BlockTerminatingSignals();
        for (;;) {
            CItem item;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_work.wait(lock, [this] { return m_bClosed || !m_pending.empty(); });
                if (m_pending.empty())
                    return;
                item = std::move(m_pending.front());
                m_pending.pop_front();
            }
            const bool bOk = item.pOutput->Commit();
            item.done(bOk, bOk ? std::string() : item.pOutput->Error());
            item.pOutput.reset();
            {
                const std::lock_guard<std::mutex> lock(m_lock);
                --m_nInFlight;
            }
            m_room.notify_one();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_work; // for the threads: an output is pending
    std::condition_variable m_room; // for the workers: one fewer in flight
    std::deque<CItem> m_pending;
    std::size_t m_nInFlight = 0;
    bool m_bClosed = false;
    std::vector<std::jthread> m_threads; // last: joined before the rest goes
};

constexpr const char* kReadLater = "not replaced: a later file of this run reads it";
constexpr const char* kWrittenBefore = "not replaced: this run has written it for an earlier file";
constexpr const char* kAnInput = "not replaced: it is an input of this run";
constexpr const char* kItsInput = "not replaced: it is this file's input under another name (/F%SOURCE% replaces it)";

} // namespace

CBatchRun::CBatchRun(IFileSystem& fileSystem, std::function<std::string()> readSubstitute,
                     std::function<void(const std::string&)> reportFailure)
    : m_fileSystem(fileSystem), m_readSubstitute(std::move(readSubstitute)), m_reportFailure(std::move(reportFailure))
{
}

CBatchRun::~CBatchRun() = default;

void CBatchRun::WriteToStandardError(const std::string& strLine)
{
    std::fputs((strLine + "\n").c_str(), stderr);
}

std::string CBatchRun::NormalPath(const std::string& strPath) const
{
    std::filesystem::path path(strPath);
    if (path.is_relative())
        path = std::filesystem::path(m_strWorkingDir) / path;
    return path.lexically_normal().string();
}

std::string CBatchRun::KeyOf(const std::string& strPath) const
{
    return strPath == CConversionJob::kStandardStream ? std::string() : m_fileSystem.FileKey(strPath);
}

const char* CBatchRun::Fail(CFile& file, const char* pszResult, const std::string& strName, const std::string& strReason)
{
    file.failures.push_back("mojiro: " + Escaped(strName) + ": " + strReason);
    return pszResult;
}

std::string CBatchRun::OutputName(const std::string& strPattern, const std::string& strInput, CharsetId nTarget)
{
    // Standard input goes to standard output unless /F names a file; /F-
    // sends any input there.
    if (strPattern == CConversionJob::kStandardStream ||
        (strPattern.empty() && strInput == CConversionJob::kStandardStream))
        return CConversionJob::kStandardStream;
    std::string strName = strPattern.empty() ? std::string(kDefaultPattern) : strPattern;
    // "%SUFFIX%" first: an input name that holds "%SUFFIX%" stays as written.
    afx::Replace(strName, "%SUFFIX%", Charset::kShortNames[nTarget]);
    afx::Replace(strName, "%SOURCE%", strInput);
    return strName;
}

CBatchRun::CFile CBatchRun::FileFor(const CConvertCommandLineInfo& cmdInfo, const std::string& strInput)
{
    // Fresh for every file: what one file detected must not steer the next.
    CFile file;
    file.strInput = strInput;
    file.nSource = cmdInfo.m_nInputCharset;
    file.nTarget = cmdInfo.m_nOutputCharset == Charset::None ? Charset::ShiftJis : cmdInfo.m_nOutputCharset;
    file.nNLCode = cmdInfo.m_nNLCode == NewLine::None ? NewLine::DefaultFor(file.nTarget) : cmdInfo.m_nNLCode;
    file.strOutput = OutputName(cmdInfo.m_strOutputPattern, strInput, file.nTarget);
    // Every key is taken before anything is written, so that every name
    // means the file it meant at the start, in every order of conversion.
    file.strInputKey = KeyOf(strInput);
    file.strOutputKey = KeyOf(file.strOutput);
    return file;
}

void CBatchRun::Run(const CConvertCommandLineInfo& cmdInfo)
{
    m_nTotal = 0;
    m_nSuccesses = 0;
    m_strReport.clear();
    m_notices.clear();
    m_inputs.clear();
    m_laterInputs.clear();
    m_written.clear();
    m_bUsesStandardOutput = false;
    m_nFiles = static_cast<int>(cmdInfo.m_listFiles.size());
    m_nBytesBefore = 0;
    std::error_code error;
    m_strWorkingDir = std::filesystem::current_path(error).string();
    std::vector<CFile> files;
    for (const std::string& strInput : cmdInfo.m_listFiles) {
        files.push_back(FileFor(cmdInfo, strInput));
        const CFile& file = files.back();
        if (!file.strInputKey.empty()) {
            m_inputs.insert(file.strInputKey);
            ++m_laterInputs[file.strInputKey];
        }
        m_bUsesStandardOutput = m_bUsesStandardOutput || file.strOutput == CConversionJob::kStandardStream;
    }
    if (m_nThreads > 1 && files.size() >= kParallelFrom && NoFileMeetsAnother(files))
        RunInParallel(files);
    else
        RunInOrder(files);
}

void CBatchRun::RunInOrder(std::vector<CFile>& files)
{
    for (CFile& file : files) {
        if (!file.strInputKey.empty() && --m_laterInputs[file.strInputKey] == 0)
            m_laterInputs.erase(file.strInputKey);
        file.pszResult = ConvertOne(file, true);
        Report(file);
    }
}

// Where no output is another file's input or another file's output, the
// files are independent and their order of conversion cannot matter: no
// clash rule can refuse any of them.
bool CBatchRun::NoFileMeetsAnother(const std::vector<CFile>& files)
{
    std::map<std::string, std::size_t> owner; // key -> the file it belongs to
    const auto claim = [&owner](const std::string& strKey, std::size_t nFile) {
        const auto [it, bNew] = owner.emplace(strKey, nFile);
        return bNew || it->second == nFile;
    };
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (files[k].strInputKey.empty() || files[k].strOutputKey.empty() || !claim(files[k].strInputKey, k))
            return false;
    }
    std::set<std::string> outputs;
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (!claim(files[k].strOutputKey, k) || !outputs.insert(files[k].strOutputKey).second)
            return false;
    }
    return true;
}

void CBatchRun::RunInParallel(std::vector<CFile>& files)
{
    std::atomic<std::size_t> next{0};
    std::atomic<int> nDone{0};
    std::atomic<std::int64_t> nBytes{0};
    std::mutex doneLock;
    std::condition_variable allDone;
    std::size_t nWorkersLeft = 0;
    std::mutex substituteLock;
    const auto readSubstitute = m_readSubstitute;
    m_readSubstitute = [&] {
        const std::lock_guard<std::mutex> lock(substituteLock);
        return readSubstitute();
    };
    {
        CCommitQueue commits; // outlives the workers: every commit ends before the report
        const auto work = [&] {
            // Terminating signals go to the first thread, which removes every
            // pending temporary, never to a worker part-way through a name.
            BlockTerminatingSignals();
            for (std::size_t k; (k = next.fetch_add(1)) < files.size();) {
                CFile& file = files[k];
                const auto commitLater = [&](std::unique_ptr<IFileSystem::IOutputFile> pOutput) {
                    commits.Add(std::move(pOutput), [this, &file](bool bOk, const std::string& strError) {
                        file.pszResult = bOk ? kSucceeded : Fail(file, kOutputFailed, file.strOutput, strError);
                    });
                };
                // Null: the result comes with the commit.
                if (const char* pszResult = ConvertOne(file, false, &nBytes, commitLater))
                    file.pszResult = pszResult;
                ++nDone;
            }
            const std::lock_guard<std::mutex> lock(doneLock);
            if (--nWorkersLeft == 0)
                allDone.notify_one();
        };
        std::vector<std::jthread> workers;
        nWorkersLeft = std::min<std::size_t>(static_cast<std::size_t>(m_nThreads), files.size());
        for (std::size_t t = nWorkersLeft; t > 0; --t)
            workers.emplace_back(work);
        // Progress now and then, and not a moment's wait after the last file.
        std::unique_lock<std::mutex> lock(doneLock);
        while (!allDone.wait_for(lock, std::chrono::milliseconds(50), [&] { return nWorkersLeft == 0; }))
            if (m_progress)
                m_progress(nDone.load(), m_nFiles, nBytes.load());
    }
    m_readSubstitute = readSubstitute;
    // The report and the reasons in the order the files were given.
    for (CFile& file : files)
        Report(file);
}

void CBatchRun::Report(const CFile& file)
{
    ++m_nTotal;
    if (m_reportFailure)
        for (const std::string& strLine : file.failures)
            m_reportFailure(strLine);
    if (!file.strNotice.empty() && file.pszResult == kSucceeded)
        m_notices.push_back(file.strNotice);
    if (file.pszResult == kSucceeded)
        ++m_nSuccesses;
    // A file that failed before detection shows the source it would have had.
    const CharsetId nShownSource = Charset::IsValid(file.nSource) ? file.nSource : Charset::ShiftJis;
    m_strReport += '\n';
    m_strReport += afx::Format("%s <%s> -> %s <%s|%s> %s", Escaped(file.strInput).c_str(),
                               Charset::kShortNames[nShownSource], Escaped(file.strOutput).c_str(),
                               Charset::kShortNames[file.nTarget], NewLine::kNames[file.nNLCode], file.pszResult);
}

bool CBatchRun::MayWrite(const CFile& file, bool bCheckClashes, bool* pbInPlace, std::string* pstrReason) const
{
    // Only a pattern that names the input itself replaces it (and only if no
    // one has changed it since it was read); a link or another name that
    // reaches it does not.
    *pbInPlace = file.strInput != CConversionJob::kStandardStream &&
                 NormalPath(file.strOutput) == NormalPath(file.strInput);
    const std::string& strKey = file.strOutputKey;
    const auto refuse = [pstrReason](const char* pszReason) {
        *pstrReason = pszReason;
        return false;
    };
    if (!*pbInPlace && strKey == file.strInputKey)
        return refuse(kItsInput);
    if (!bCheckClashes)
        return true; // no file meets another
    if (m_written.count(strKey) != 0)
        return refuse(kWrittenBefore);
    if (m_laterInputs.count(strKey) != 0)
        return refuse(kReadLater);
    if (strKey != file.strInputKey && m_inputs.count(strKey) != 0)
        return refuse(kAnInput);
    return true;
}

const char* CBatchRun::ConvertOne(CFile& file, bool bCheckClashes, std::atomic<std::int64_t>* pBytes,
                                  const CommitLater& commitLater)
{
    CConversionJob::Request request;
    request.strInput = file.strInput;
    request.strOutput = file.strOutput;
    request.nSource = file.nSource;
    request.nTarget = file.nTarget;
    request.nNLCode = file.nNLCode;
    // Reading the setting is the costliest step of a small run; the job
    // asks only where the substitute can be used.
    request.readSubstitute = m_readSubstitute;
    // Files side by side each take one thread; one after the other, they
    // share the run's threads.
    request.nThreads = bCheckClashes ? m_nThreads : 1;
    if (bCheckClashes && m_nThreads > 1) {
        if (m_pPool == nullptr) {
            // Its threads write outputs: they start with the signals blocked
            // (and inherit that), as every worker of a run does.
            sigset_t saved;
            ::pthread_sigmask(SIG_SETMASK, nullptr, &saved);
            BlockTerminatingSignals();
            m_pPool = std::make_unique<CThreadPool>(m_nThreads);
            ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
        }
        request.pPool = m_pPool.get();
    }
    std::int64_t nRead = 0;
    request.progress = [&](std::int64_t nDone, std::int64_t) {
        if (pBytes != nullptr)
            *pBytes += nDone - nRead;
        else if (m_progress)
            m_progress(m_nTotal, m_nFiles, m_nBytesBefore + nDone);
        nRead = nDone;
        return true;
    };
    request.checkOutput = [&](const IFileSystem::FileStamp&, bool* pbInPlace, std::string* pstrReason) {
        return MayWrite(file, bCheckClashes, pbInPlace, pstrReason);
    };
    request.commitLater = commitLater;
    CReplacementTally tally;
    request.pTally = &tally;

    std::string strReason;
    const CConversionJob::Result result = CConversionJob(m_fileSystem).Run(request, &file.nSource, &strReason);
    // Counted whatever the result, so the total never goes back (workers
    // count in *pBytes as they go).
    if (pBytes == nullptr)
        m_nBytesBefore += nRead;
    switch (result) {
    case CConversionJob::Result::Succeeded:
        break;
    case CConversionJob::Result::InputFailed:
        return Fail(file, kInputFailed, file.strInput, strReason);
    case CConversionJob::Result::ConvertFailed:
        return Fail(file, kConvertFailed, file.strInput, strReason);
    case CConversionJob::Result::OutputFailed:
    case CConversionJob::Result::Cancelled:
        return Fail(file, kOutputFailed, file.strOutput, strReason);
    }
    if (!tally.Empty())
        file.strNotice = "mojiro: " + replacement_notice::Line(Escaped(file.strInput), tally, file.nTarget);
    if (commitLater)
        return nullptr; // handed over: file belongs to the commit now
    if (bCheckClashes && !file.strOutputKey.empty())
        m_written.insert(file.strOutputKey);
    return kSucceeded;
}

std::string CBatchRun::GetReportText() const
{
    return afx::Format("変換を完了しました(%d/%d)\n\n", m_nSuccesses, m_nTotal) + m_strReport;
}
