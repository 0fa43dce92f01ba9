#include "parallel_text_stream.h"

#include <algorithm>
#include <cstring>

#include "cp932_bridge.h"
#include "text_cuts.h"
#include "text_stream.h"
#include "thread_pool.h"

namespace {

// The memory the pieces in flight may take for their input; their output
// is about as much again for most cells.
constexpr std::int64_t kPieceBudget = 8 << 20;

} // namespace

// A piece of the text and what it became. Its output buffer is kept from one
// use of the slot to the next, so that after the first round no page is new.
struct CParallelTextStream::CPiece {
    class COutput final : public IByteSink {
    public:
        void Put(const std::uint8_t* p, std::int64_t n) override
        {
            std::memcpy(Room(n), p, static_cast<std::size_t>(n));
            m_nSize += n;
        }
        std::uint8_t* Room(std::int64_t n) override
        {
            if (m_nSize + n > m_buffer.Size()) {
                CByteBuffer bigger = CByteBuffer::Allocate(std::max(m_nSize + n, 2 * m_buffer.Size()));
                if (m_nSize > 0)
                    std::memcpy(bigger.Data(), m_buffer.Data(), static_cast<std::size_t>(m_nSize));
                m_buffer = std::move(bigger);
            }
            return m_buffer.Data() + m_nSize;
        }
        void Wrote(std::int64_t n) override { m_nSize += n; }
        void Clear() { m_nSize = 0; }
        const std::uint8_t* Data() const { return m_buffer.Data(); }
        std::int64_t Size() const { return m_nSize; }

    private:
        CByteBuffer m_buffer;
        std::int64_t m_nSize = 0;
    };

    explicit CPiece(std::int64_t nBytes) : input(CByteBuffer::Allocate(nBytes)) {}

    CByteBuffer input;
    std::int64_t nFilled = 0; // of input
    std::int64_t nCut = 0;    // converted here; the rest starts the next piece
    COutput output;
    CReplacementTally tally;
    std::int64_t nLines = 0;
    bool bConverted = false;
};

std::int64_t CParallelTextStream::PieceBytesFor(int nThreads)
{
    return std::clamp<std::int64_t>(kPieceBudget / (std::max(nThreads, 1) + 2), 256 << 10, 1 << 20);
}

CParallelTextStream::CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode,
                                         std::string strUnmappableDefaultChar, IByteSink& sink, int nThreads,
                                         std::int64_t nPieceBytes)
    : CParallelTextStream(nSource, nTarget, nNLCode, std::move(strUnmappableDefaultChar), sink,
                          std::make_unique<CThreadPool>(std::max(1, nThreads)), nPieceBytes)
{
}

CParallelTextStream::CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode,
                                         std::string strUnmappableDefaultChar, IByteSink& sink, CThreadPool& pool,
                                         std::int64_t nPieceBytes)
    : CParallelTextStream(nSource, nTarget, nNLCode, std::move(strUnmappableDefaultChar), sink,
                          std::unique_ptr<CThreadPool>(), nPieceBytes, &pool)
{
}

CParallelTextStream::CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode,
                                         std::string strUnmappableDefaultChar, IByteSink& sink,
                                         std::unique_ptr<CThreadPool> pOwnPool, std::int64_t nPieceBytes,
                                         CThreadPool* pPool)
    : m_nSource(nSource), m_nTarget(nTarget), m_nNLCode(nNLCode), m_strSubstitute(std::move(strUnmappableDefaultChar)),
      m_sink(sink), m_pOwnPool(std::move(pOwnPool)), m_pool(pPool != nullptr ? *pPool : *m_pOwnPool),
      m_nPieceBytes(nPieceBytes > 0 ? std::max<std::int64_t>(nPieceBytes, 64) : PieceBytesFor(m_pool.Threads()))
{
    // Two pieces more than threads: one being filled, one being written.
    const int nPieces = m_pool.Threads() + 2;
    for (int k = 0; k < nPieces; ++k)
        m_pieces.push_back(std::make_unique<CPiece>(m_nPieceBytes));
    m_helper = [this](std::size_t) {
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_bStopping && !m_failure)
            if (!Step(lock))
                m_changed.wait(lock);
    };
}

CParallelTextStream::~CParallelTextStream()
{
    try {
        StopHelpers();
    } catch (...) { // NOLINT(bugprone-empty-catch): nothing is left to hear of it
    }
}

void CParallelTextStream::SetTally(CReplacementTally* pTally)
{
    m_pTally = pTally;
    if (pTally != nullptr)
        pTally->m_strSubstitute = cp932::SubstituteText(m_strSubstitute);
}

CParallelTextStream::CPiece& CParallelTextStream::At(std::uint64_t nPiece)
{
    return *m_pieces[nPiece % m_pieces.size()];
}

std::uint8_t* CParallelTextStream::Room(std::int64_t* pnRoom)
{
    if (m_pSequential == nullptr && !m_bHelping) {
        if (!text_cuts::Possible(m_nSource, m_nNLCode) || !m_pool.CanStart()) {
            StartSequential(nullptr, 0);
        } else {
            m_bHelping = true;
            m_pool.Start(static_cast<std::size_t>(m_pool.Threads() - 1), m_helper);
        }
    }
    if (m_pSequential != nullptr) {
        // The one-thread stream takes the bytes at once: one piece serves.
        *pnRoom = m_pieces.front()->input.Size();
        return m_pieces.front()->input.Data();
    }
    CPiece& piece = At(m_nHanded);
    *pnRoom = piece.input.Size() - piece.nFilled;
    return piece.input.Data() + piece.nFilled;
}

void CParallelTextStream::Wrote(std::int64_t nLength)
{
    if (m_pSequential != nullptr) {
        m_pSequential->Write(m_pieces.front()->input.Data(), nLength);
        return;
    }
    CPiece& piece = At(m_nHanded);
    piece.nFilled += nLength;
    if (piece.nFilled == piece.input.Size())
        Hand(false);
}

void CParallelTextStream::Write(const std::uint8_t* pData, std::int64_t nLength)
{
    while (nLength > 0) {
        std::int64_t nRoom = 0;
        std::uint8_t* const p = Room(&nRoom);
        const std::int64_t take = std::min(nLength, nRoom);
        std::memcpy(p, pData, static_cast<std::size_t>(take));
        Wrote(take);
        pData += take;
        nLength -= take;
    }
}

void CParallelTextStream::Finish()
{
    if (m_pSequential == nullptr) {
        std::int64_t nRoom = 0;
        Room(&nRoom); // decides, for a text with no bytes at all
    }
    if (m_pSequential == nullptr) {
        if (At(m_nHanded).nFilled > 0)
            Hand(true);
        HelpWhile([this] { return m_nWritten < m_nHanded; });
        RethrowFailure();
        StopHelpers();
        return;
    }
    m_pSequential->Finish();
    m_pSequential.reset();
    if (m_pTally != nullptr)
        m_pTally->Add(m_sequentialTally, m_nLines);
}

// Hands the piece being filled to the threads, cut after its last cut; what
// follows the cut starts the next piece, once that one's slot is free.
void CParallelTextStream::Hand(bool bFinal)
{
    CPiece& piece = At(m_nHanded);
    const std::int64_t n = piece.nFilled;
    const std::int64_t nCut = bFinal ? n : text_cuts::LastCut(m_nSource, piece.input.Data(), n);
    if (nCut == 0) {
        // A whole piece without a cut cannot wait for one: from here on the
        // text goes through one thread, which needs no cuts.
        piece.nFilled = 0;
        StartSequential(piece.input.Data(), n);
        return;
    }
    piece.nCut = nCut;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        ++m_nHanded;
    }
    m_changed.notify_all();
    if (bFinal)
        return;
    const std::uint64_t nNext = m_nHanded;
    HelpWhile([&] { return nNext - m_nWritten >= m_pieces.size(); });
    RethrowFailure();
    CPiece& next = At(nNext);
    std::memcpy(next.input.Data(), piece.input.Data() + nCut, static_cast<std::size_t>(n - nCut));
    next.nFilled = n - nCut;
}

void CParallelTextStream::StartSequential(const std::uint8_t* p, std::int64_t n)
{
    HelpWhile([this] { return m_nWritten < m_nHanded; });
    RethrowFailure();
    StopHelpers();
    m_pSequential = std::make_unique<CTextStream>(m_nSource, m_nTarget, m_nNLCode, m_strSubstitute, m_sink, true,
                                                  m_pTally != nullptr ? &m_sequentialTally : nullptr);
    if (n > 0)
        m_pSequential->Write(p, n);
}

// One step of the work, the oldest first: the next piece in order to the
// sink, else a piece to convert. False when there is nothing to do now.
bool CParallelTextStream::Step(std::unique_lock<std::mutex>& lock)
{
    const auto attempt = [&](CPiece& piece, auto work) {
        lock.unlock();
        std::exception_ptr failure;
        try {
            (this->*work)(piece);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !m_failure)
            m_failure = failure;
    };
    if (m_failure)
        return false;
    if (!m_bWriting && m_nWritten < m_nHanded && At(m_nWritten).bConverted) {
        CPiece& piece = At(m_nWritten);
        m_bWriting = true;
        attempt(piece, &CParallelTextStream::Emit);
        piece.bConverted = false;
        m_bWriting = false;
        ++m_nWritten;
    } else if (m_nClaimed < m_nHanded) {
        CPiece& piece = At(m_nClaimed++);
        attempt(piece, &CParallelTextStream::Convert);
        piece.bConverted = true;
    } else {
        return false;
    }
    m_changed.notify_all();
    return true;
}

// The caller works while it waits.
void CParallelTextStream::HelpWhile(const std::function<bool()>& busy)
{
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_failure && busy())
        if (!Step(lock))
            m_changed.wait(lock);
}

void CParallelTextStream::Convert(CPiece& piece)
{
    piece.output.Clear();
    piece.tally = CReplacementTally();
    CTextStream stream(m_nSource, m_nTarget, m_nNLCode, m_strSubstitute, piece.output, true,
                       m_pTally != nullptr ? &piece.tally : nullptr);
    stream.Write(piece.input.Data(), piece.nCut);
    stream.Finish();
    piece.nLines = stream.Lines();
}

void CParallelTextStream::Emit(CPiece& piece)
{
    if (m_pTally != nullptr)
        m_pTally->Add(piece.tally, m_nLines);
    m_nLines += piece.nLines;
    if (piece.output.Size() > 0)
        m_sink.Put(piece.output.Data(), piece.output.Size());
}

void CParallelTextStream::StopHelpers()
{
    if (!m_bHelping)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_bStopping = true;
    }
    m_changed.notify_all();
    m_bHelping = false;
    m_pool.Join();
}

void CParallelTextStream::RethrowFailure()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_failure)
        std::rethrow_exception(m_failure);
}
