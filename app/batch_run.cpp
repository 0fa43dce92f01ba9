#include "batch_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "../framework/afx_string.h"
#include "../framework/file_system.h"
#include "conversion_job.h"
#include "convert_command_line_info.h"

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

constexpr const char* kReadLater = "not replaced: a later file of this run reads it";
constexpr const char* kWrittenBefore = "not replaced: this run has written it for an earlier file";

} // namespace

CBatchRun::CBatchRun(IFileSystem& fileSystem, std::function<std::string()> readSubstitute,
                     std::function<void(const std::string&)> reportFailure)
    : m_fileSystem(fileSystem), m_readSubstitute(std::move(readSubstitute)), m_reportFailure(std::move(reportFailure))
{
}

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

std::vector<std::string> CBatchRun::KeysOf(const std::string& strPath, const IFileSystem::FileStamp* pStamp) const
{
    std::vector<std::string> keys{"path " + NormalPath(strPath)};
    if (pStamp != nullptr)
        keys.push_back(afx::Format("file %llu:%llu", static_cast<unsigned long long>(pStamp->nDevice),
                                   static_cast<unsigned long long>(pStamp->nInode)));
    return keys;
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

void CBatchRun::Run(const CConvertCommandLineInfo& cmdInfo)
{
    m_nTotal = 0;
    m_nSuccesses = 0;
    m_strReport.clear();
    m_laterInputs.clear();
    m_written.clear();
    m_bWroteStandardOutput = false;
    m_nFiles = static_cast<int>(cmdInfo.m_listFiles.size());
    m_nBytesBefore = 0;
    std::error_code error;
    m_strWorkingDir = std::filesystem::current_path(error).string();
    // No output may replace a file that a later input still has to read.
    std::vector<std::vector<std::string>> inputKeys;
    std::vector<CFile> files;
    for (const std::string& strInput : cmdInfo.m_listFiles) {
        IFileSystem::FileStamp stamp;
        inputKeys.push_back(KeysOf(strInput, m_fileSystem.GetFileStamp(strInput, &stamp) ? &stamp : nullptr));
        for (const std::string& strKey : inputKeys.back())
            ++m_laterInputs[strKey];
        // Fresh for every file: what one file detected must not steer the next.
        CFile file;
        file.strInput = strInput;
        file.nSource = cmdInfo.m_nInputCharset;
        file.nTarget = cmdInfo.m_nOutputCharset == Charset::None ? Charset::ShiftJis : cmdInfo.m_nOutputCharset;
        file.nNLCode = cmdInfo.m_nNLCode == NewLine::None ? NewLine::DefaultFor(file.nTarget) : cmdInfo.m_nNLCode;
        file.strOutput = OutputName(cmdInfo.m_strOutputPattern, strInput, file.nTarget);
        files.push_back(std::move(file));
    }
    if (m_nThreads > 1 && files.size() >= kParallelFrom && NoFileMeetsAnother(files, inputKeys)) {
        RunInParallel(files);
    } else {
        for (std::size_t nIndex = 0; nIndex < files.size(); ++nIndex) {
            for (const std::string& strKey : inputKeys[nIndex]) {
                if (--m_laterInputs[strKey] == 0)
                    m_laterInputs.erase(strKey);
            }
            files[nIndex].pszResult = ConvertOne(files[nIndex], true);
            Report(files[nIndex]);
        }
    }
}

// Where no output is another file's input or another file's output, the
// files are independent and their order of conversion cannot matter.
bool CBatchRun::NoFileMeetsAnother(const std::vector<CFile>& files,
                                   const std::vector<std::vector<std::string>>& inputKeys) const
{
    std::map<std::string, std::size_t> owner; // key -> the file it belongs to
    const auto claim = [&owner](const std::string& strKey, std::size_t nFile) {
        const auto [it, bNew] = owner.emplace(strKey, nFile);
        return bNew || it->second == nFile;
    };
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (files[k].strInput == CConversionJob::kStandardStream ||
            files[k].strOutput == CConversionJob::kStandardStream)
            return false;
        for (const std::string& strKey : inputKeys[k])
            if (!claim(strKey, k))
                return false;
    }
    std::set<std::string> outputs;
    for (std::size_t k = 0; k < files.size(); ++k) {
        IFileSystem::FileStamp stamp;
        const bool bExists = m_fileSystem.GetFileStamp(files[k].strOutput, &stamp);
        for (const std::string& strKey : KeysOf(files[k].strOutput, bExists ? &stamp : nullptr))
            if (!claim(strKey, k) || !outputs.insert(strKey).second)
                return false;
    }
    return true;
}

void CBatchRun::RunInParallel(std::vector<CFile>& files)
{
    std::atomic<std::size_t> next{0};
    std::atomic<int> nDone{0};
    std::atomic<std::int64_t> nBytes{0};
    std::mutex substituteLock;
    const auto readSubstitute = m_readSubstitute;
    m_readSubstitute = [&] {
        const std::lock_guard<std::mutex> lock(substituteLock);
        return readSubstitute();
    };
    const auto work = [&] {
        // Terminating signals go to the first thread, which removes every
        // pending temporary, never to a worker part-way through a name.
        BlockTerminatingSignals();
        for (std::size_t k; (k = next.fetch_add(1)) < files.size();) {
            files[k].pszResult = ConvertOne(files[k], false, &nBytes);
            ++nDone;
        }
    };
    {
        std::vector<std::jthread> workers;
        const std::size_t nWorkers = std::min<std::size_t>(static_cast<std::size_t>(m_nThreads), files.size());
        for (std::size_t t = 0; t < nWorkers; ++t)
            workers.emplace_back(work);
        while (nDone.load() < static_cast<int>(files.size())) {
            if (m_progress)
                m_progress(nDone.load(), m_nFiles, nBytes.load());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
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
    if (file.pszResult == kSucceeded)
        ++m_nSuccesses;
    // A file that failed before detection shows the source it would have had.
    const CharsetId nShownSource = Charset::IsValid(file.nSource) ? file.nSource : Charset::ShiftJis;
    m_strReport += '\n';
    m_strReport += afx::Format("%s <%s> -> %s <%s|%s> %s", Escaped(file.strInput).c_str(),
                               Charset::kShortNames[nShownSource], Escaped(file.strOutput).c_str(),
                               Charset::kShortNames[file.nTarget], NewLine::kNames[file.nNLCode], file.pszResult);
}

const char* CBatchRun::ConvertOne(CFile& file, bool bCheckClashes, std::atomic<std::int64_t>* pBytes)
{
    const std::string& strInput = file.strInput;
    const std::string& strOutput = file.strOutput;
    CConversionJob::Request request;
    request.strInput = strInput;
    request.strOutput = strOutput;
    request.nSource = file.nSource;
    request.nTarget = file.nTarget;
    request.nNLCode = file.nNLCode;
    // Reading the setting is the costliest step of a small run; the job
    // asks only where the substitute can be used.
    request.readSubstitute = m_readSubstitute;
    // Files side by side each take one thread.
    request.nThreads = bCheckClashes ? m_nThreads : 1;
    std::int64_t nRead = 0;
    request.progress = [&](std::int64_t nDone, std::int64_t) {
        if (pBytes != nullptr)
            *pBytes += nDone - nRead;
        else if (m_progress)
            m_progress(m_nTotal, m_nFiles, m_nBytesBefore + nDone);
        nRead = nDone;
        return true;
    };
    IFileSystem::FileStamp outputStamp;
    bool bOutputExists = false;
    request.checkOutput = [&](const IFileSystem::FileStamp& inputStamp, bool* pbInPlace, std::string* pstrReason) {
        // An input that is its own output is replaced only if no one has
        // changed it since it was read.
        bOutputExists = m_fileSystem.GetFileStamp(strOutput, &outputStamp);
        *pbInPlace = strInput != CConversionJob::kStandardStream &&
                     ((bOutputExists && outputStamp.IsSameFile(inputStamp)) ||
                      NormalPath(strOutput) == NormalPath(strInput));
        for (const std::string& strKey : KeysOf(strOutput, bOutputExists ? &outputStamp : nullptr)) {
            if (!bCheckClashes)
                break;
            if (m_written.count(strKey) != 0) {
                *pstrReason = kWrittenBefore;
                return false;
            }
            if (m_laterInputs.count(strKey) != 0) {
                *pstrReason = kReadLater;
                return false;
            }
        }
        return true;
    };

    CConversionJob job(m_fileSystem);
    std::string strReason;
    const CConversionJob::Result result = job.Run(request, &file.nSource, &strReason);
    // Counted whatever the result, so the total never goes back (workers
    // count in *pBytes as they go).
    if (pBytes == nullptr)
        m_nBytesBefore += nRead;
    switch (result) {
    case CConversionJob::Result::Succeeded:
        break;
    case CConversionJob::Result::InputFailed:
        return Fail(file, kInputFailed, strInput, strReason);
    case CConversionJob::Result::ConvertFailed:
        return Fail(file, kConvertFailed, strInput, strReason);
    case CConversionJob::Result::OutputFailed:
    case CConversionJob::Result::Cancelled:
        return Fail(file, kOutputFailed, strOutput, strReason);
    }
    if (strOutput == CConversionJob::kStandardStream) {
        m_bWroteStandardOutput = true;
        return kSucceeded;
    }
    if (bCheckClashes) {
        const bool bWritten = m_fileSystem.GetFileStamp(strOutput, &outputStamp);
        for (std::string& strKey : KeysOf(strOutput, bWritten ? &outputStamp : nullptr))
            m_written.insert(std::move(strKey));
    }
    return kSucceeded;
}

std::string CBatchRun::GetReportText() const
{
    return afx::Format("変換を完了しました(%d/%d)\n\n", m_nSuccesses, m_nTotal) + m_strReport;
}
