#include "guess_run.h"

#include <memory>
#include <new>

#include "../convert/line_ending_census.h"
#include "conversion_job.h"
#include "detecting_read.h"

namespace {

constexpr std::int64_t kBlock = 1 << 20;

// The line for one file; throws CFileException.
std::string Guess(IFileSystem& fileSystem, const std::string& strPath)
{
    std::unique_ptr<IFileSystem::IInputFile> input = strPath == CConversionJob::kStandardStream
                                                         ? fileSystem.OpenStandardInput()
                                                         : fileSystem.OpenInput(strPath);
    DetectedInput detected = DetectInput(*input, kBlock, true, CConversionJob::kHoldLimit);
    // As the job: Shift_JIS when detection cannot tell.
    const CharsetId nCharset = detected.nCharset == Charset::None ? Charset::ShiftJis : detected.nCharset;
    CLineEndingCensus census(nCharset == Charset::Unicode);
    census.Feed(detected.held.data(), static_cast<std::int64_t>(detected.held.size()));
    detected.held = {};
    if (!detected.bAtEnd) {
        std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kBlock]);
        while (const std::int64_t n = input->Read(block.get(), kBlock))
            census.Feed(block.get(), n);
    }
    return strPath + ": " + Charset::kNames[nCharset] + " (" + census.Name() + ")\n";
}

} // namespace

int RunGuess(IFileSystem& fileSystem, const std::list<std::string>& files, std::FILE* pOut, std::FILE* pErr)
{
    int nStatus = 0;
    for (const std::string& strPath : files) {
        try {
            const std::string strLine = Guess(fileSystem, strPath);
            std::fputs(strLine.c_str(), pOut);
        } catch (const CFileException& e) {
            std::fprintf(pErr, "mojiro: %s: %s\n", strPath.c_str(), e.m_strReason.c_str());
            nStatus = 1;
        } catch (const std::bad_alloc&) {
            std::fprintf(pErr, "mojiro: %s: not enough memory\n", strPath.c_str());
            nStatus = 1;
        }
    }
    if (std::fflush(pOut) != 0)
        nStatus = 1;
    return nStatus;
}
