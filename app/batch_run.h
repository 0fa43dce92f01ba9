#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../convert/charset.h"
#include "../framework/file_system.h"

class CConvertCommandLineInfo;

// The /AUTO run: converts every named file in order, one at a time, and
// builds the report. It never stops early; each file gets one line.
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
    // Some file's output went to standard output: the report must not.
    bool WroteStandardOutput() const { return m_bWroteStandardOutput; }

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

private:
    struct CFile {
        std::string strInput;
        std::string strOutput;
        CharsetId nSource = Charset::None; // becomes the source used
        CharsetId nTarget = Charset::ShiftJis;
        NLCode nNLCode = NewLine::CrLf;
        const char* pszResult = nullptr;
        std::vector<std::string> failures; // the lines for standard error
    };
    // Reads, converts and writes one file. bCheckClashes: against what this
    // run wrote and what later inputs read (not needed when no file meets
    // another); pBytes: count the bytes read there instead of reporting.
    const char* ConvertOne(CFile& file, bool bCheckClashes, std::atomic<std::int64_t>* pBytes = nullptr);
    const char* Fail(CFile& file, const char* pszResult, const std::string& strName, const std::string& strReason);
    bool NoFileMeetsAnother(const std::vector<CFile>& files,
                            const std::vector<std::vector<std::string>>& inputKeys) const;
    void RunInParallel(std::vector<CFile>& files);
    void Report(const CFile& file);
    // The names under which a path can meet another: its normalised path,
    // and its device and inode where the file exists.
    std::vector<std::string> KeysOf(const std::string& strPath, const IFileSystem::FileStamp* pStamp) const;
    std::string NormalPath(const std::string& strPath) const;

    IFileSystem& m_fileSystem;
    std::function<std::string()> m_readSubstitute;
    std::function<void(const std::string&)> m_reportFailure;
    // Within one run: the files later inputs name (with a count, as a name
    // may be given twice), the files this run has written, and the folder
    // relative names start from.
    std::map<std::string, int> m_laterInputs;
    std::set<std::string> m_written;
    std::string m_strWorkingDir;
    bool m_bWroteStandardOutput = false;
    int m_nFiles = 0;
    std::int64_t m_nBytesBefore = 0; // read for the files before this one
};
