#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "byte_buffer.h"
#include "byte_sink.h"
#include "charset.h"
#include "replacement_tally.h"

class CTextStream;
class CThreadPool;

// CTextStream as a pipeline: the caller fills pieces (reading straight into
// them), each cut after its last line end where no state crosses
// (text_cuts); the pool's threads convert the pieces while the caller reads
// on, and whichever thread finishes the next piece in order hands it to the
// sink. A bounded ring of pieces keeps memory fixed, and a caller that runs
// ahead converts and writes too instead of waiting. The bytes are those of
// the one-thread stream for every input and split; from a piece without a
// cut on, the text goes through the one-thread stream on the caller's
// thread.
//
// The sink is called by one thread at a time, in the order of the text, but
// not always by the caller's.
class CParallelTextStream {
public:
    // nPieceBytes <= 0: a size for the pool's threads within a fixed budget.
    // Converts on the threads of pool, which must outlive the stream.
    CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, std::string strUnmappableDefaultChar,
                        IByteSink& sink, CThreadPool& pool, std::int64_t nPieceBytes = 0);
    // Converts on a pool of nThreads of its own.
    CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, std::string strUnmappableDefaultChar,
                        IByteSink& sink, int nThreads, std::int64_t nPieceBytes = 0);
    // Waits for the pieces in flight; what Finish did not see is dropped.
    ~CParallelTextStream();

    CParallelTextStream(const CParallelTextStream&) = delete;
    CParallelTextStream& operator=(const CParallelTextStream&) = delete;

    // Hears of every replacement, in the order of the text. Set before the
    // first Write.
    void SetTally(CReplacementTally* pTally);

    // Where the next bytes of the text may be put, *pnRoom >= 1 of them;
    // Wrote(n) takes the first n. Throws std::bad_alloc, and what a thread
    // of the pool or the sink threw.
    std::uint8_t* Room(std::int64_t* pnRoom);
    void Wrote(std::int64_t nLength);
    // Room and Wrote for bytes that are elsewhere.
    void Write(const std::uint8_t* pData, std::int64_t nLength);
    void Finish();

    // What a piece is when the caller leaves it to the stream.
    static std::int64_t PieceBytesFor(int nThreads);

private:
    struct CPiece;

    CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, std::string strUnmappableDefaultChar,
                        IByteSink& sink, std::unique_ptr<CThreadPool> pOwnPool, std::int64_t nPieceBytes,
                        CThreadPool* pPool = nullptr);
    CPiece& At(std::uint64_t nPiece);
    void Hand(bool bFinal);
    void StartSequential(const std::uint8_t* p, std::int64_t n);
    bool Step(std::unique_lock<std::mutex>& lock);
    void HelpWhile(const std::function<bool()>& busy);
    void Convert(CPiece& piece);
    void Emit(CPiece& piece);
    void StopHelpers();
    void RethrowFailure();

    CharsetId m_nSource;
    CharsetId m_nTarget;
    NLCode m_nNLCode;
    std::string m_strSubstitute;
    IByteSink& m_sink;
    std::unique_ptr<CThreadPool> m_pOwnPool;
    CThreadPool& m_pool;
    std::int64_t m_nPieceBytes;
    std::vector<std::unique_ptr<CPiece>> m_pieces; // a ring, piece k in k % size

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_nHanded = 0;  // pieces the caller has filled and cut
    std::uint64_t m_nClaimed = 0; // of them, taken for converting
    std::uint64_t m_nWritten = 0; // of them, handed to the sink
    bool m_bWriting = false;
    bool m_bStopping = false;
    bool m_bHelping = false; // the pool's threads are in HelpWhile
    std::exception_ptr m_failure;
    std::function<void(std::size_t)> m_helper;

    // Set once the text goes through the one-thread stream.
    std::unique_ptr<CTextStream> m_pSequential;
    CReplacementTally* m_pTally = nullptr;
    CReplacementTally m_sequentialTally;
    std::int64_t m_nLines = 0; // of the pieces handed to the sink
};
