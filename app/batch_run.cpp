#include "batch_run.h"

#include <cstdio>
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

const char* CBatchRun::Fail(const char* pszResult, const std::string& strName, const std::string& strReason)
{
    if (m_reportFailure)
        m_reportFailure("mojiro: " + Escaped(strName) + ": " + strReason);
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
    for (const std::string& strInput : cmdInfo.m_listFiles) {
        IFileSystem::FileStamp stamp;
        inputKeys.push_back(KeysOf(strInput, m_fileSystem.GetFileStamp(strInput, &stamp) ? &stamp : nullptr));
        for (const std::string& strKey : inputKeys.back())
            ++m_laterInputs[strKey];
    }
    std::size_t nIndex = 0;
    for (const std::string& strInput : cmdInfo.m_listFiles) {
        ++m_nTotal;
        for (const std::string& strKey : inputKeys[nIndex++]) {
            if (--m_laterInputs[strKey] == 0)
                m_laterInputs.erase(strKey);
        }
        // Fresh for every file: what one file detected must not steer the next.
        CharsetId nSource = cmdInfo.m_nInputCharset;
        CharsetId nTarget = cmdInfo.m_nOutputCharset;
        NLCode nNLCode = cmdInfo.m_nNLCode;
        if (nTarget == Charset::None)
            nTarget = Charset::ShiftJis;
        if (nNLCode == NewLine::None)
            nNLCode = NewLine::DefaultFor(nTarget);
        const std::string strOutput = OutputName(cmdInfo.m_strOutputPattern, strInput, nTarget);

        const char* pszResult = ConvertOne(strInput, strOutput, &nSource, nTarget, nNLCode);
        if (pszResult == kSucceeded)
            ++m_nSuccesses;
        // A file that failed before detection shows the source it would have had.
        const CharsetId nShownSource = Charset::IsValid(nSource) ? nSource : Charset::ShiftJis;
        m_strReport += '\n';
        m_strReport += afx::Format("%s <%s> -> %s <%s|%s> %s", Escaped(strInput).c_str(),
                                   Charset::kShortNames[nShownSource], Escaped(strOutput).c_str(),
                                   Charset::kShortNames[nTarget], NewLine::kNames[nNLCode], pszResult);
    }
}

const char* CBatchRun::ConvertOne(const std::string& strInput, const std::string& strOutput, CharsetId* pnSource,
                                  CharsetId nTarget, NLCode nNLCode)
{
    CConversionJob::Request request;
    request.strInput = strInput;
    request.strOutput = strOutput;
    request.nSource = *pnSource;
    request.nTarget = nTarget;
    request.nNLCode = nNLCode;
    // Reading the setting is the costliest step of a small run; the job
    // asks only where the substitute can be used.
    request.readSubstitute = m_readSubstitute;
    request.nThreads = m_nThreads;
    std::int64_t nRead = 0;
    request.progress = [&](std::int64_t nDone, std::int64_t) {
        nRead = nDone;
        if (m_progress)
            m_progress(m_nTotal - 1, m_nFiles, m_nBytesBefore + nDone);
        return true;
    };
    // Counted whatever the result, so the total never goes back.
    struct CCount {
        std::int64_t& nTotal;
        std::int64_t& nRead;
        ~CCount() { nTotal += nRead; }
    } count{m_nBytesBefore, nRead};
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
    switch (job.Run(request, pnSource, &strReason)) {
    case CConversionJob::Result::Succeeded:
        break;
    case CConversionJob::Result::InputFailed:
        return Fail(kInputFailed, strInput, strReason);
    case CConversionJob::Result::ConvertFailed:
        return Fail(kConvertFailed, strInput, strReason);
    case CConversionJob::Result::OutputFailed:
    case CConversionJob::Result::Cancelled:
        return Fail(kOutputFailed, strOutput, strReason);
    }
    if (strOutput == CConversionJob::kStandardStream) {
        m_bWroteStandardOutput = true;
        return kSucceeded;
    }
    const bool bWritten = m_fileSystem.GetFileStamp(strOutput, &outputStamp);
    for (std::string& strKey : KeysOf(strOutput, bWritten ? &outputStamp : nullptr))
        m_written.insert(std::move(strKey));
    return kSucceeded;
}

std::string CBatchRun::GetReportText() const
{
    return afx::Format("変換を完了しました(%d/%d)\n\n", m_nSuccesses, m_nTotal) + m_strReport;
}
