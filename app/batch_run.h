#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../convert/charset.h"
#include "../framework/file_system.h"

class CConvertCommandLineInfo;

// The /AUTO run: converts every named file and builds the report, in the
// order the files were given. Files that meet no other (no output is another
// file's input or output) are converted several at a time; the rest one
// after the other, with the same result. It never stops early; each file
// gets one line.
class CBatchRun {
public:
    static constexpr const char* kSucceeded = "成功";
    static constexpr const char* kOutputFailed = "出力失敗";
    static constexpr const char* kConvertFailed = "変換失敗";
    // The input could not be opened or read.
    static constexpr const char* kInputFailed = "入力失敗";

    static constexpr const char* kDefaultPattern = "%SOURCE%.%SUFFIX%";

    // readSubstitute gives the substitute text; it is asked anew for every
    // file that can need it, so a changed setting applies from the next file on.
    // reportFailure receives one line, in words, for every file that fails
    // (by default it goes to standard error).
    CBatchRun(IFileSystem& fileSystem, std::function<std::string()> readSubstitute,
              std::function<void(const std::string&)> reportFailure = WriteToStandardError);

    void Run(const CConvertCommandLineInfo& cmdInfo);

    // The heading with the counts, then the lines.
    std::string GetReportText() const;
    bool AllWritten() const { return m_nSuccesses == m_nTotal; }
    // Some file's output goes (or was to go) to standard output: the report
    // must not, whatever the result.
    bool UsesStandardOutput() const { return m_bUsesStandardOutput; }
    // One line for each file whose conversion replaced or dropped
    // characters, in the order of the report; a clean run has none.
    const std::vector<std::string>& Notices() const { return m_notices; }

    // Threads one large file may use (1: the one-thread job).
    int m_nThreads = 1;
    // After each block: files done, files in the run, bytes read in all.
    std::function<void(int, int, std::int64_t)> m_progress;

    static void WriteToStandardError(const std::string& strLine);
    static std::string OutputName(const std::string& strPattern, const std::string& strInput, CharsetId nTarget);

    int m_nTotal = 0;
    int m_nSuccesses = 0;
    // One line feed and one line per file.
    std::string m_strReport;
    std::vector<std::string> m_notices;

private:
    struct CFile {
        std::string strInput;
        std::string strOutput;
        // FileKey of each, taken before anything is written; empty for a
        // standard stream.
        std::string strInputKey;
        std::string strOutputKey;
        CharsetId nSource = Charset::None; // becomes the source used
        CharsetId nTarget = Charset::ShiftJis;
        NLCode nNLCode = NewLine::CrLf;
        const char* pszResult = nullptr;
        std::vector<std::string> failures; // the lines for standard error
        std::string strNotice;             // what the conversion replaced, if anything
    };
    using CommitLater = std::function<void(std::unique_ptr<IFileSystem::IOutputFile>)>;
    // Reads, converts and writes one file. bCheckClashes: against what this
    // run wrote and what later inputs read (not needed when no file meets
    // another); pBytes: count the bytes read there instead of reporting;
    // commitLater: takes the complete output to commit and returns null, the
    // result then being the commit's.
    const char* ConvertOne(CFile& file, bool bCheckClashes, std::atomic<std::int64_t>* pBytes = nullptr,
                           const CommitLater& commitLater = {});
    // False (with the reason) when the file's output must not be written;
    // *pbInPlace: the pattern names the input itself, to be replaced.
    bool MayWrite(const CFile& file, bool bCheckClashes, bool* pbInPlace, std::string* pstrReason) const;
    const char* Fail(CFile& file, const char* pszResult, const std::string& strName, const std::string& strReason);
    CFile FileFor(const CConvertCommandLineInfo& cmdInfo, const std::string& strInput);
    static bool NoFileMeetsAnother(const std::vector<CFile>& files);
    void RunInOrder(std::vector<CFile>& files);
    void RunInParallel(std::vector<CFile>& files);
    void Report(const CFile& file);
    std::string KeyOf(const std::string& strPath) const;
    std::string NormalPath(const std::string& strPath) const;

    IFileSystem& m_fileSystem;
    std::function<std::string()> m_readSubstitute;
    std::function<void(const std::string&)> m_reportFailure;
    // Within one run, by key: the files every input names, those later
    // inputs name (with a count, as a name may be given twice), and those
    // this run has written; and the folder relative names start from.
    std::set<std::string> m_inputs;
    std::map<std::string, int> m_laterInputs;
    std::set<std::string> m_written;
    std::string m_strWorkingDir;
    bool m_bUsesStandardOutput = false;
    int m_nFiles = 0;
    std::int64_t m_nBytesBefore = 0; // read for the files before this one
};
