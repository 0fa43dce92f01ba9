#include "conversion_job.h"

#include "detecting_read.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "../convert/byte_buffer.h"
#include "../convert/parallel_text_stream.h"
#include "../convert/text_constants.h"
#include "../convert/text_stream.h"

namespace {

constexpr std::int64_t kBlock = 1 << 20;
// A file this small is done before threads would have started.
constexpr std::int64_t kThreadedFrom = 16 << 20;

// Gathers the converter's output into large writes; the first failed write
// stops the rest. The last stage writes straight into the block. A threaded
// converter writes from its threads, one at a time, while the reader asks
// Ok().
class COutputSink : public IByteSink {
public:
    COutputSink(IFileSystem::IOutputFile& output, std::int64_t nBlock)
        : m_output(output), m_nBlock(nBlock), m_buffer(CByteBuffer::Allocate(nBlock))
    {
    }
    void Put(const std::uint8_t* p, std::int64_t n) override
    {
        // A threaded converter's piece is already a large write.
        const bool bLarge = n >= m_nBlock / 4;
        if (m_nUsed + n > m_nBlock || bLarge)
            Flush();
        if (bLarge) {
            m_bOk = m_bOk && m_output.Write(p, n);
        } else {
            std::memcpy(m_buffer.Data() + m_nUsed, p, static_cast<std::size_t>(n));
            m_nUsed += n;
        }
    }
    std::uint8_t* Room(std::int64_t n) override
    {
        if (n > m_nBlock)
            return nullptr;
        if (m_nUsed + n > m_nBlock)
            Flush();
        return m_buffer.Data() + m_nUsed;
    }
    void Wrote(std::int64_t n) override { m_nUsed += n; }
    bool Flush()
    {
        if (m_nUsed > 0)
            m_bOk = m_bOk && m_output.Write(m_buffer.Data(), m_nUsed);
        m_nUsed = 0;
        return m_bOk;
    }
    bool Ok() const { return m_bOk; }

private:
    IFileSystem::IOutputFile& m_output;
    std::int64_t m_nBlock;
    CByteBuffer m_buffer;
    std::int64_t m_nUsed = 0;
    std::atomic<bool> m_bOk = true;
};

// One stream interface over the one-thread and the threaded converter. The
// input is read straight into the converter's room: the threaded one reads
// into its pieces, and the one-thread one into a block it converts at once.
class CConverter {
public:
    CConverter(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, const std::string& strSubstitute, IByteSink& sink,
               int nThreads, CThreadPool* pPool, CReplacementTally* pTally, std::int64_t nBlock)
    {
        if (nThreads > 1) {
            m_pParallel = pPool != nullptr ? std::make_unique<CParallelTextStream>(nSource, nTarget, nNLCode,
                                                                                    strSubstitute, sink, *pPool)
                                           : std::make_unique<CParallelTextStream>(nSource, nTarget, nNLCode,
                                                                                    strSubstitute, sink, nThreads);
            m_pParallel->SetTally(pTally);
        } else {
            m_pStream = std::make_unique<CTextStream>(nSource, nTarget, nNLCode, strSubstitute, sink, true, pTally);
            m_block = CByteBuffer::Allocate(nBlock);
        }
    }
    std::uint8_t* Room(std::int64_t* pnRoom)
    {
        if (m_pParallel)
            return m_pParallel->Room(pnRoom);
        *pnRoom = m_block.Size();
        return m_block.Data();
    }
    void Wrote(std::int64_t n)
    {
        if (m_pParallel)
            m_pParallel->Wrote(n);
        else
            m_pStream->Write(m_block.Data(), n);
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
    CByteBuffer m_block;
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

namespace {

using Result = CConversionJob::Result;

constexpr const char* kChangedWhileRead = "changed while it was read";

struct CFailure {
    Result result;
    std::string strReason;
};

// Detection reads ahead; what it read is converted first. The marks need the
// first three bytes: a block's worth is read for them, as small files then
// need no second read. Throws CFileException.
void ReadAhead(IFileSystem::IInputFile& input, std::int64_t nTotal, std::int64_t nHoldLimit, CharsetId* pnSource,
               std::vector<std::uint8_t>* pHeld, bool* pbAtEnd)
{
    std::vector<std::uint8_t>& held = *pHeld;
    bool& bAtEnd = *pbAtEnd;
    if (*pnSource == Charset::None) {
        DetectedInput detected = DetectInput(input, BlockFor(nTotal), true, nHoldLimit);
        held = std::move(detected.held);
        bAtEnd = detected.bAtEnd;
        *pnSource = detected.nCharset == Charset::None ? Charset::ShiftJis : detected.nCharset;
    }
    std::vector<std::uint8_t> block(static_cast<std::size_t>(BlockFor(nTotal)));
    while (!bAtEnd && held.size() < 3) {
        const std::int64_t n = input.Read(block.data(), static_cast<std::int64_t>(block.size()));
        if (n == 0)
            bAtEnd = true;
        held.insert(held.end(), block.data(), block.data() + n);
    }
}

// The output, once the caller's check lets it be written; null with *pFailure
// set otherwise.
std::unique_ptr<IFileSystem::IOutputFile> BeginOutput(IFileSystem& fileSystem, const CConversionJob::Request& request,
                                                      const IFileSystem::FileStamp& stamp, CFailure* pFailure)
{
    const bool bToStandardOutput = request.strOutput == CConversionJob::kStandardStream;
    bool bInPlace = false;
    std::string strReason;
    if (!bToStandardOutput && request.checkOutput && !request.checkOutput(stamp, &bInPlace, &strReason)) {
        *pFailure = {Result::OutputFailed, strReason};
        return nullptr;
    }
    std::unique_ptr<IFileSystem::IOutputFile> output =
        bToStandardOutput ? fileSystem.CreateStandardOutput(&strReason)
                          : fileSystem.CreateOutput(request.strOutput, bInPlace ? &stamp : nullptr, &strReason);
    if (output == nullptr)
        *pFailure = {Result::OutputFailed, strReason};
    return output;
}

// Converts the held bytes and the rest of the input into the output and
// commits it (unless the caller will); false with *pFailure set when it
// could not.
bool ConvertInto(IFileSystem::IInputFile& input, IFileSystem::IOutputFile& output,
                 const CConversionJob::Request& request, CharsetId nSource, std::int64_t nTotal,
                 std::vector<std::uint8_t> held, bool bAtEnd, CFailure* pFailure)
{
    const std::string strSubstitute = Charset::NeedsSubstitute(nSource, request.nTarget) && request.readSubstitute
                                          ? request.readSubstitute()
                                          : std::string(kDefaultSubstitute);
    const std::int64_t nBlock = BlockFor(nTotal);
    COutputSink sink(output, BlockFor(nTotal < 0 ? -1 : 3 * nTotal)); // UTF-8 of Shift_JIS: up to 3 bytes a byte
    if (request.nTarget == Charset::Unicode)
        output.Write(Charset::kUnicodeMark, 2); // a failure shows at Commit
    // Even a copy with new line endings gains: its reads and writes overlap.
    const bool bWorthThreads = nTotal >= kThreadedFrom || nTotal < 0;
    CConverter converter(nSource, request.nTarget, request.nNLCode, strSubstitute, sink,
                         bWorthThreads ? request.nThreads : 1, request.pPool, request.pTally, nBlock);
    const std::int64_t nMark =
        Charset::InputMarkLength(nSource, request.nTarget, held.data(), static_cast<std::int64_t>(held.size()));
    std::int64_t nDone = static_cast<std::int64_t>(held.size());
    // A block at a time, as read: a converter given the whole hold would
    // need as much again for its output.
    for (std::int64_t nAt = nMark; nAt < nDone; nAt += nBlock)
        converter.Write(held.data() + nAt, std::min(nBlock, nDone - nAt));
    held.clear();
    held.shrink_to_fit();
    const auto cancelled = [&] {
        if (!request.progress || request.progress(nDone, nTotal))
            return false;
        *pFailure = {Result::Cancelled, "cancelled"};
        return true;
    };
    if (cancelled())
        return false;
    try {
        while (!bAtEnd && sink.Ok()) {
            std::int64_t nRoom = 0;
            std::uint8_t* const p = converter.Room(&nRoom);
            const std::int64_t n = input.Read(p, std::min(nRoom, nBlock));
            if (n == 0)
                break;
            converter.Wrote(n);
            nDone += n;
            if (cancelled())
                return false;
        }
    } catch (const CFileException& e) {
        *pFailure = {Result::InputFailed, e.m_strReason};
        return false;
    }
    // Truncated, grown or rewritten under the read: what was read may be
    // torn, and nothing of it may be written.
    if (input.ChangedSinceOpen()) {
        *pFailure = {Result::InputFailed, kChangedWhileRead};
        return false;
    }
    converter.Finish();
    if (!sink.Flush() || (!request.commitLater && !output.Commit())) {
        *pFailure = {Result::OutputFailed, output.Error()};
        return false;
    }
    return true;
}

} // namespace

CConversionJob::Result CConversionJob::Run(const Request& request, CharsetId* pnSource, std::string* pstrReason)
{
    const auto fail = [&](const CFailure& failure) {
        *pstrReason = failure.strReason;
        return failure.result;
    };
    *pnSource = request.nSource;
    try {
        std::unique_ptr<IFileSystem::IInputFile> input;
        IFileSystem::FileStamp stamp;
        std::int64_t nTotal = -1;
        std::vector<std::uint8_t> held;
        bool bAtEnd = false;
        try {
            if (request.strInput == kStandardStream) {
                input = m_fileSystem.OpenStandardInput();
            } else {
                input = m_fileSystem.OpenInput(request.strInput, &stamp);
                nTotal = stamp.nSize;
            }
            ReadAhead(*input, nTotal, request.nHoldLimit, pnSource, &held, &bAtEnd);
        } catch (const CFileException& e) {
            return fail({Result::InputFailed, e.m_strReason});
        }
        CFailure failure{Result::Succeeded, {}};
        std::unique_ptr<IFileSystem::IOutputFile> output = BeginOutput(m_fileSystem, request, stamp, &failure);
        if (output == nullptr ||
            !ConvertInto(*input, *output, request, *pnSource, nTotal, std::move(held), bAtEnd, &failure))
            return fail(failure);
        if (request.commitLater)
            request.commitLater(std::move(output));
        return Result::Succeeded;
    } catch (const std::bad_alloc&) {
        return fail({Result::ConvertFailed, "not enough memory to convert it"});
    }
}
