#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "byte_buffer.h"
#include "byte_sink.h"
#include "charset.h"
#include "replacement_tally.h"

class CTextStream;
class CThreadPool;

// CTextStream on several threads: the text is gathered in a window of one
// piece per thread, cut after line ends where no state crosses (text_cuts),
// and the pieces are converted at once and handed on in order. The bytes are
// those of the one-thread stream for every input and every split; from a
// window without a cut on, the text goes through the one-thread stream.
class CParallelTextStream {
public:
    // Converts on the threads of pool, which must outlive the stream.
    CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, std::string strUnmappableDefaultChar,
                        IByteSink& sink, CThreadPool& pool, std::int64_t nPieceBytes = 4 << 20);
    // Converts on a pool of nThreads of its own.
    CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, std::string strUnmappableDefaultChar,
                        IByteSink& sink, int nThreads, std::int64_t nPieceBytes = 4 << 20);
    ~CParallelTextStream();

    CParallelTextStream(const CParallelTextStream&) = delete;
    CParallelTextStream& operator=(const CParallelTextStream&) = delete;

    // Hears of every replacement, in the order of the text. Set before the
    // first Write.
    void SetTally(CReplacementTally* pTally);

    // Throws std::bad_alloc.
    void Write(const std::uint8_t* pData, std::int64_t nLength);
    void Finish();

private:
    CParallelTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, std::string strUnmappableDefaultChar,
                        IByteSink& sink, std::unique_ptr<CThreadPool> pOwnPool, std::int64_t nPieceBytes,
                        CThreadPool* pPool = nullptr);
    void StartSequential();
    void Flush(bool bFinal);
    void ConvertPieces(const std::uint8_t* p, const std::int64_t* pCuts, std::size_t nPieces);

    CharsetId m_nSource;
    CharsetId m_nTarget;
    NLCode m_nNLCode;
    std::string m_strSubstitute;
    IByteSink& m_sink;
    std::unique_ptr<CThreadPool> m_pOwnPool;
    CThreadPool& m_pool;
    int m_nThreads;
    std::int64_t m_nPieceBytes;
    CByteBuffer m_window;
    std::int64_t m_nFilled = 0;
    class CPieceSink : public IByteSink {
    public:
        void Put(const std::uint8_t* p, std::int64_t n) override { m_bytes.insert(m_bytes.end(), p, p + n); }
        std::vector<std::uint8_t> m_bytes;
        CReplacementTally m_tally;
        std::int64_t m_nLines = 0;
    };
    std::vector<CPieceSink> m_outputs;
    // Set once the text goes through the one-thread stream.
    std::unique_ptr<CTextStream> m_pSequential;
    CReplacementTally* m_pTally = nullptr;
    CReplacementTally m_sequentialTally;
    std::int64_t m_nSequentialFrom = 0; // the lines before the one-thread stream
    std::int64_t m_nLines = 0;          // of the pieces handed on
};
