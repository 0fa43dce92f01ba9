#include "conversion_job.h"

#include "detecting_read.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "../convert/parallel_text_stream.h"
#include "../convert/text_stream.h"

namespace {

constexpr std::int64_t kBlock = 1 << 20;
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
               int nThreads, CReplacementTally* pTally)
    {
        if (nThreads > 1) {
            m_pParallel = std::make_unique<CParallelTextStream>(nSource, nTarget, nNLCode, strSubstitute, sink, nThreads);
            m_pParallel->SetTally(pTally);
        } else {
            m_pStream = std::make_unique<CTextStream>(nSource, nTarget, nNLCode, strSubstitute, sink, true, pTally);
        }
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

// A block for a file of nTotal bytes (-1: a stream): no larger than it needs,
// as small files are many and each would clear a whole block; no smaller
// than a pseudo-file that gives more than its size needs either.
std::int64_t BlockFor(std::int64_t nTotal)
{
    return nTotal < 0 ? kBlock : std::clamp<std::int64_t>(nTotal + 1, 64 << 10, kBlock);
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
        *pnCharset = DetectInput(*input, BlockFor(stamp.nSize), false, kHoldLimit).nCharset;
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
                DetectedInput detected = DetectInput(*input, BlockFor(nTotal), true, request.nHoldLimit);
                held = std::move(detected.held);
                bAtEnd = detected.bAtEnd;
                *pnSource = detected.nCharset == Charset::None ? Charset::ShiftJis : detected.nCharset;
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
        CConverter converter(*pnSource, request.nTarget, request.nNLCode, strSubstitute, sink, nThreads, request.pTally);
        const std::int64_t nMark = Charset::InputMarkLength(*pnSource, request.nTarget, held.data(),
                                                            static_cast<std::int64_t>(held.size()));
        std::int64_t nDone = static_cast<std::int64_t>(held.size());
        // A block at a time, as read: a converter given the whole hold would
        // need as much again for its output.
        for (std::int64_t nAt = nMark; nAt < nDone; nAt += nBlock)
            converter.Write(held.data() + nAt, std::min(nBlock, nDone - nAt));
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
