#include "conversion_job.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "../convert/charset_detector.h"
#include "../convert/parallel_text_stream.h"
#include "../convert/text_stream.h"

namespace {

constexpr std::int64_t kBlock = 1 << 20;
// What detection may hold before it reads on without holding, for an input
// it can read again from the start.
constexpr std::int64_t kHoldLimit = 32 << 20;
// A file this small is done before threads would have started.
constexpr std::int64_t kThreadedFrom = 16 << 20;

// Gathers the converter's output into large writes; the first failed write
// stops the rest.
class COutputSink : public IByteSink {
public:
    COutputSink(IFileSystem::IOutputFile& output, std::int64_t nBlock) : m_output(output), m_nBlock(nBlock)
    {
        m_buffer.reserve(static_cast<std::size_t>(nBlock));
    }
    void Put(const std::uint8_t* p, std::int64_t n) override
    {
        if (static_cast<std::int64_t>(m_buffer.size()) + n > m_nBlock)
            Flush();
        if (n >= m_nBlock)
            m_bOk = m_bOk && m_output.Write(p, n);
        else
            m_buffer.insert(m_buffer.end(), p, p + n);
    }
    bool Flush()
    {
        if (!m_buffer.empty())
            m_bOk = m_bOk && m_output.Write(m_buffer.data(), static_cast<std::int64_t>(m_buffer.size()));
        m_buffer.clear();
        return m_bOk;
    }
    bool Ok() const { return m_bOk; }

private:
    IFileSystem::IOutputFile& m_output;
    std::int64_t m_nBlock;
    std::vector<std::uint8_t> m_buffer;
    bool m_bOk = true;
};

// One stream interface over the one-thread and the threaded converter.
class CConverter {
public:
    CConverter(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, const std::string& strSubstitute, IByteSink& sink,
               int nThreads)
    {
        if (nThreads > 1)
            m_pParallel = std::make_unique<CParallelTextStream>(nSource, nTarget, nNLCode, strSubstitute, sink, nThreads);
        else
            m_pStream = std::make_unique<CTextStream>(nSource, nTarget, nNLCode, strSubstitute, sink);
    }
    void Write(const std::uint8_t* p, std::int64_t n)
    {
        if (m_pParallel)
            m_pParallel->Write(p, n);
        else
            m_pStream->Write(p, n);
    }
    void Finish()
    {
        if (m_pParallel)
            m_pParallel->Finish();
        else
            m_pStream->Finish();
    }

private:
    std::unique_ptr<CTextStream> m_pStream;
    std::unique_ptr<CParallelTextStream> m_pParallel;
};

// Reads until detection is sure (or the end), holding what it read for the
// conversion (pHeld null: holding nothing); past the limit an input that can
// start again is only scanned. Returns the detected source (-1 undecided);
// *pbRewound says the held bytes were dropped and the input was set back to
// its start.
// A block for a file of nTotal bytes (-1: a stream): no larger than it needs,
// as small files are many and each would clear a whole block; no smaller
// than a pseudo-file that gives more than its size needs either.
std::int64_t BlockFor(std::int64_t nTotal)
{
    return nTotal < 0 ? kBlock : std::clamp<std::int64_t>(nTotal + 1, 64 << 10, kBlock);
}

CharsetId DetectFrom(IFileSystem::IInputFile& input, std::int64_t nTotal, std::vector<std::uint8_t>* pHeld,
                     bool* pbAtEnd, bool* pbRewound)
{
    CCharsetDetector detector;
    const std::int64_t nBlock = BlockFor(nTotal);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(nBlock));
    *pbRewound = false;
    *pbAtEnd = false;
    bool bHolding = pHeld != nullptr;
    while (!detector.Decided()) {
        const std::int64_t n = input.Read(block.data(), nBlock);
        if (n == 0) {
            *pbAtEnd = true;
            break;
        }
        detector.Feed(block.data(), n);
        if (bHolding)
            pHeld->insert(pHeld->end(), block.data(), block.data() + n);
        if (bHolding && static_cast<std::int64_t>(pHeld->size()) > kHoldLimit && input.Rewind()) {
            // The held bytes must not be read twice: start over after the scan.
            bHolding = false;
            pHeld->clear();
            pHeld->shrink_to_fit();
            *pbRewound = true;
        }
    }
    if (*pbRewound && !input.Rewind())
        throw CFileException("", "cannot be read again from its start");
    if (pHeld == nullptr)
        *pbRewound = false; // nothing was held, nothing to read again
    if (*pbRewound)
        *pbAtEnd = false;
    return detector.Finish();
}

} // namespace

int CConversionJob::ThreadsAvailable()
{
    if (const char* psz = std::getenv("MOJIRO_THREADS")) {
        const int n = std::atoi(psz);
        if (n >= 1)
            return std::min(n, 256);
    }
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return 1;
}

bool CConversionJob::Detect(const std::string& strPath, CharsetId* pnCharset)
{
    try {
        IFileSystem::FileStamp stamp;
        std::unique_ptr<IFileSystem::IInputFile> input = m_fileSystem.OpenInput(strPath, &stamp);
        bool bAtEnd = false;
        bool bRewound = false;
        *pnCharset = DetectFrom(*input, stamp.nSize, nullptr, &bAtEnd, &bRewound);
        return true;
    } catch (const CFileException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

CConversionJob::Result CConversionJob::Run(const Request& request, CharsetId* pnSource, std::string* pstrReason)
{
    const auto fail = [&](Result result, const std::string& strReason) {
        *pstrReason = strReason;
        return result;
    };
    const bool bFromStandardInput = request.strInput == kStandardStream;
    const bool bToStandardOutput = request.strOutput == kStandardStream;
    *pnSource = request.nSource;
    try {
        std::unique_ptr<IFileSystem::IInputFile> input;
        IFileSystem::FileStamp stamp;
        std::int64_t nTotal = -1;
        try {
            if (bFromStandardInput) {
                input = m_fileSystem.OpenStandardInput();
            } else {
                input = m_fileSystem.OpenInput(request.strInput, &stamp);
                nTotal = stamp.nSize;
            }
        } catch (const CFileException& e) {
            return fail(Result::InputFailed, e.m_strReason);
        }

        // Detection reads ahead; what it read is converted first.
        std::vector<std::uint8_t> held;
        bool bAtEnd = false;
        try {
            if (*pnSource == Charset::None) {
                bool bRewound = false;
                *pnSource = DetectFrom(*input, nTotal, &held, &bAtEnd, &bRewound);
                if (*pnSource == Charset::None)
                    *pnSource = Charset::ShiftJis;
            }
            // The marks need the first three bytes: a block's worth is read
            // for them, as small files then need no second read.
            std::vector<std::uint8_t> block(static_cast<std::size_t>(BlockFor(nTotal)));
            while (!bAtEnd && held.size() < 3) {
                const std::int64_t n = input->Read(block.data(), static_cast<std::int64_t>(block.size()));
                if (n == 0)
                    bAtEnd = true;
                held.insert(held.end(), block.data(), block.data() + n);
            }
        } catch (const CFileException& e) {
            return fail(Result::InputFailed, e.m_strReason);
        }

        bool bInPlace = false;
        std::string strReason;
        if (!bToStandardOutput && request.checkOutput &&
            !request.checkOutput(stamp, &bInPlace, &strReason))
            return fail(Result::OutputFailed, strReason);
        std::unique_ptr<IFileSystem::IOutputFile> output =
            bToStandardOutput ? m_fileSystem.CreateStandardOutput(&strReason)
                              : m_fileSystem.CreateOutput(request.strOutput, bInPlace ? &stamp : nullptr, &strReason);
        if (output == nullptr)
            return fail(Result::OutputFailed, strReason);

        const std::string strSubstitute = Charset::NeedsSubstitute(*pnSource, request.nTarget) && request.readSubstitute
                                              ? request.readSubstitute()
                                              : std::string("_");
        const std::int64_t nBlock = BlockFor(nTotal);
        COutputSink sink(*output, BlockFor(nTotal < 0 ? -1 : 3 * nTotal)); // UTF-8 of Shift_JIS: up to 3 bytes a byte
        if (request.nTarget == Charset::Unicode)
            output->Write(Charset::kUnicodeMark, 2); // a failure shows at Commit
        // A copy with new line endings is bound by the disk, not the cores.
        const bool bWorthThreads = (nTotal >= kThreadedFrom || nTotal < 0) && *pnSource != request.nTarget;
        const int nThreads = bWorthThreads ? request.nThreads : 1;
        CConverter converter(*pnSource, request.nTarget, request.nNLCode, strSubstitute, sink, nThreads);
        const std::int64_t nMark = Charset::InputMarkLength(*pnSource, request.nTarget, held.data(),
                                                            static_cast<std::int64_t>(held.size()));
        std::int64_t nDone = static_cast<std::int64_t>(held.size());
        converter.Write(held.data() + nMark, static_cast<std::int64_t>(held.size()) - nMark);
        held.clear();
        held.shrink_to_fit();
        if (request.progress && !request.progress(nDone, nTotal))
            return fail(Result::Cancelled, "cancelled");
        std::vector<std::uint8_t> block(static_cast<std::size_t>(nBlock));
        try {
            while (!bAtEnd && sink.Ok()) {
                const std::int64_t n = input->Read(block.data(), nBlock);
                if (n == 0)
                    break;
                converter.Write(block.data(), n);
                nDone += n;
                if (request.progress && !request.progress(nDone, nTotal))
                    return fail(Result::Cancelled, "cancelled");
            }
        } catch (const CFileException& e) {
            return fail(Result::InputFailed, e.m_strReason);
        }
        converter.Finish();
        if (!sink.Flush() || !output->Commit())
            return fail(Result::OutputFailed, output->Error());
        return Result::Succeeded;
    } catch (const std::bad_alloc&) {
        return fail(Result::ConvertFailed, "not enough memory to convert it");
    }
}
