#include "parallel_text_stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "cp932_bridge.h"
#include "text_cuts.h"
#include "text_stream.h"
#include "thread_pool.h"

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
      m_nThreads(m_pool.Threads()), m_nPieceBytes(std::max<std::int64_t>(nPieceBytes, 64)),
      m_window(CByteBuffer::Allocate(m_nThreads * m_nPieceBytes))
{
}

CParallelTextStream::~CParallelTextStream() = default;

void CParallelTextStream::SetTally(CReplacementTally* pTally)
{
    m_pTally = pTally;
    if (pTally != nullptr)
        pTally->m_strSubstitute = cp932::SubstituteText(m_strSubstitute);
}

void CParallelTextStream::StartSequential()
{
    m_nSequentialFrom = m_nLines;
    m_pSequential = std::make_unique<CTextStream>(m_nSource, m_nTarget, m_nNLCode, m_strSubstitute, m_sink, true,
                                                  m_pTally != nullptr ? &m_sequentialTally : nullptr);
}

void CParallelTextStream::Write(const std::uint8_t* pData, std::int64_t nLength)
{
    if (m_pSequential == nullptr && !text_cuts::Possible(m_nSource, m_nNLCode))
        StartSequential();
    while (nLength > 0) {
        if (m_pSequential != nullptr) {
            m_pSequential->Write(pData, nLength);
            return;
        }
        const std::int64_t take = std::min(nLength, m_window.Size() - m_nFilled);
        std::memcpy(m_window.Data() + m_nFilled, pData, static_cast<std::size_t>(take));
        m_nFilled += take;
        pData += take;
        nLength -= take;
        if (m_nFilled == m_window.Size())
            Flush(false);
    }
}

void CParallelTextStream::Finish()
{
    if (m_pSequential == nullptr && !text_cuts::Possible(m_nSource, m_nNLCode))
        StartSequential();
    if (m_pSequential == nullptr)
        Flush(true);
    if (m_pSequential != nullptr) {
        m_pSequential->Finish();
        m_pSequential.reset();
        if (m_pTally != nullptr)
            m_pTally->Add(m_sequentialTally, m_nSequentialFrom);
    }
}

void CParallelTextStream::Flush(bool bFinal)
{
    const std::uint8_t* p = m_window.Data();
    const std::int64_t n = m_nFilled;
    // One piece per thread, cut after the first line end past each share;
    // the last cut is looked for in the last quarter of a share, and what
    // follows it waits for the next window.
    std::vector<std::int64_t> targets;
    const std::int64_t share = std::max<std::int64_t>(n / m_nThreads, 1);
    for (int k = 1; k < m_nThreads; ++k)
        targets.push_back(k * share);
    targets.push_back(std::max<std::int64_t>(n - share / 4, targets.empty() ? 1 : targets.back() + 1));
    std::vector<std::int64_t> cuts = text_cuts::FindCuts(m_nSource, p, n, targets);
    if (bFinal && (cuts.empty() || cuts.back() != n))
        cuts.push_back(n);
    if (cuts.empty()) {
        // A whole window without a cut cannot wait for one: from here on the
        // text goes through one thread, which needs no cuts.
        StartSequential();
        m_pSequential->Write(p, n);
        m_nFilled = 0;
        return;
    }
    ConvertPieces(p, cuts.data(), cuts.size());
    const std::int64_t used = cuts.back();
    std::memmove(m_window.Data(), p + used, static_cast<std::size_t>(n - used));
    m_nFilled = n - used;
}

void CParallelTextStream::ConvertPieces(const std::uint8_t* p, const std::int64_t* pCuts, std::size_t nPieces)
{
    // Each piece through a stream of its own into a buffer kept from one
    // window to the next, so that after the first window no page is new.
    if (m_outputs.size() < nPieces)
        m_outputs.resize(nPieces);
    m_pool.Run(nPieces, [&](std::size_t k) {
        const std::int64_t from = k == 0 ? 0 : pCuts[k - 1];
        CPieceSink& sink = m_outputs[k];
        sink.m_bytes.clear();
        sink.m_tally = CReplacementTally();
        CTextStream stream(m_nSource, m_nTarget, m_nNLCode, m_strSubstitute, sink, true,
                           m_pTally != nullptr ? &sink.m_tally : nullptr);
        stream.Write(p + from, pCuts[k] - from);
        stream.Finish();
        sink.m_nLines = stream.Lines();
    });
    for (std::size_t k = 0; k < nPieces; ++k) {
        if (m_pTally != nullptr)
            m_pTally->Add(m_outputs[k].m_tally, m_nLines);
        m_nLines += m_outputs[k].m_nLines;
        const std::vector<std::uint8_t>& bytes = m_outputs[k].m_bytes;
        if (!bytes.empty())
            m_sink.Put(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
}
