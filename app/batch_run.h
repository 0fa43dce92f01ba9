#pragma once

#include <functional>
#include <string>

#include "../convert/charset.h"

class CConvertCommandLineInfo;
class IFileSystem;

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
    CBatchRun(IFileSystem& fileSystem, std::function<std::string()> readSubstitute);

    void Run(const CConvertCommandLineInfo& cmdInfo);

    // The heading with the counts, then the lines.
    std::string GetReportText() const;
    bool AllWritten() const { return m_nSuccesses == m_nTotal; }

    static std::string OutputName(const std::string& strPattern, const std::string& strInput, CharsetId nTarget);

    int m_nTotal = 0;
    int m_nSuccesses = 0;
    // One line feed and one line per file.
    std::string m_strReport;

private:
    // Reads, converts and writes one file; *pnSource becomes the source used.
    const char* ConvertOne(const std::string& strInput, const std::string& strOutput, CharsetId* pnSource,
                           CharsetId nTarget, NLCode nNLCode);

    IFileSystem& m_fileSystem;
    std::function<std::string()> m_readSubstitute;
};
