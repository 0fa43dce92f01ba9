#include "batch_run.h"

#include <new>
#include <utility>
#include <vector>

#include "../convert/byte_buffer.h"
#include "../convert/text_converter.h"
#include "../framework/afx_string.h"
#include "../framework/file_system.h"
#include "convert_command_line_info.h"

CBatchRun::CBatchRun(IFileSystem& fileSystem, std::function<std::string()> readSubstitute)
    : m_fileSystem(fileSystem), m_readSubstitute(std::move(readSubstitute))
{
}

std::string CBatchRun::OutputName(const std::string& strPattern, const std::string& strInput, CharsetId nTarget)
{
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
    for (const std::string& strInput : cmdInfo.m_listFiles) {
        ++m_nTotal;
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
        m_strReport += afx::Format("%s <%s> -> %s <%s|%s> %s", strInput.c_str(), Charset::kShortNames[nShownSource],
                                   strOutput.c_str(), Charset::kShortNames[nTarget], NewLine::kNames[nNLCode],
                                   pszResult);
    }
}

const char* CBatchRun::ConvertOne(const std::string& strInput, const std::string& strOutput, CharsetId* pnSource,
                                  CharsetId nTarget, NLCode nNLCode)
{
    // Every buffer lives in this scope, so one file's memory is gone before
    // the next file is read.
    try {
        CByteBuffer input;
        try {
            input = m_fileSystem.ReadWholeFile(strInput);
        } catch (const CFileException&) {
            return kInputFailed;
        }
        if (*pnSource == Charset::None) {
            *pnSource = DetectFileCharset(input.Data(), input.Size());
            if (*pnSource == Charset::None)
                *pnSource = Charset::ShiftJis;
        }
        const std::int64_t nMark = Charset::InputMarkLength(*pnSource, nTarget, input.Data(), input.Size());
        CTextConverter converter;
        converter.SetInput(input.Data() + nMark, input.Size() - nMark, *pnSource);
        // Reading the setting is the costliest step of a small run; skip it
        // where the substitute can never be used.
        if (Charset::NeedsSubstitute(*pnSource, nTarget))
            converter.m_strUnmappableDefaultChar = m_readSubstitute();
        converter.SetOutput(nTarget, nNLCode);
        CByteBuffer output;
        if (!converter.Convert(&output))
            return kConvertFailed;
        input.Reset(); // the input is not needed while the output is written

        std::vector<IFileSystem::Part> parts;
        if (nTarget == Charset::Unicode)
            parts.push_back({Charset::kUnicodeMark, 2});
        parts.push_back({output.Data(), output.Size()});
        std::string strError;
        return m_fileSystem.WriteWholeFile(strOutput, parts, &strError) ? kSucceeded : kOutputFailed;
    } catch (const std::bad_alloc&) {
        return kConvertFailed;
    }
}

std::string CBatchRun::GetReportText() const
{
    return afx::Format("変換を完了しました(%d/%d)\n\n", m_nSuccesses, m_nTotal) + m_strReport;
}
