#include "text_stream.h"

#include <algorithm>
#include <cstring>

#include "codecs.h"
#include "cp932_bridge.h"
#include "line_endings.h"

void CStreamStage::Finish()
{
    Feed(m_scratch, 0, true);
    if (m_pNextStage != nullptr)
        m_pNextStage->Finish();
}

void CStreamStage::Feed(const std::uint8_t* p, std::int64_t n, bool bFinal)
{
    while (m_nCarry > 0) {
        const std::int64_t take = std::min(n, kScratch - m_nCarry);
        if (take > 0)
            std::memcpy(m_scratch + m_nCarry, p, static_cast<std::size_t>(take));
        const std::int64_t have = m_nCarry + take;
        const bool bLast = bFinal && take == n;
        if (m_pLocating != nullptr)
            m_pLocating->SetScratch(m_scratch, m_nCarry, have);
        const std::int64_t used = Run(m_scratch, have, bLast);
        if (m_pLocating != nullptr)
            m_pLocating->SetScratch(nullptr, 0, 0);
        if (used >= m_nCarry) {
            p += used - m_nCarry;
            n -= used - m_nCarry;
            m_nCarry = 0;
            if (bLast)
                return;
            break;
        }
        // Still undecided: everything taken waits in the scratch.
        std::memmove(m_scratch, m_scratch + used, static_cast<std::size_t>(have - used));
        m_nCarry = have - used;
        p += take;
        n -= take;
        if (bLast || (take == 0 && !bFinal))
            return;
    }
    while (n > 0) {
        const std::int64_t chunk = std::min(n, kBlock);
        const bool bLast = bFinal && chunk == n;
        const std::int64_t used = Run(p, chunk, bLast);
        p += used;
        n -= used;
        if (bLast)
            return;
        if (used < chunk && n == chunk - used) {
            std::memcpy(m_scratch, p, static_cast<std::size_t>(n));
            m_nCarry = n;
            return;
        }
    }
    if (bFinal)
        Run(p, 0, true); // the closing bytes, such as a return to ASCII
}

namespace {

class CLineEndingStage final : public CStreamStage {
public:
    CLineEndingStage(CharsetId nCharset, NLCode nCode, CReplacementTally* pTally)
        : m_nCharset(nCharset), m_nCode(nCode), m_pTally(pTally)
    {
    }

    // The line endings passed so far.
    std::int64_t Lines() const { return m_nLines; }

private:
    std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) override
    {
        // Most text already has the line endings asked for: then the piece
        // goes on as it is, uncopied.
        const std::int64_t c = line_endings::PartLength(m_nCharset, p, n, bFinal);
        std::int64_t nLines = 0;
        if (line_endings::IsUnchanged(p, c, m_nCharset, m_nCode, &nLines)) {
            Hand(p, c, nLines);
            return c;
        }
        // No step writes more than twice what it takes.
        std::uint8_t* const pOut = Room(m_out, 2 * n);
        std::uint8_t* q = pOut;
        nLines = 0;
        const std::int64_t used = line_endings::WalkPart(m_nCharset, p, n, bFinal, &q, m_nCode, &nLines);
        Hand(pOut, q - pOut, nLines);
        return used;
    }

    // The next stage learns how many lines came before what it is given.
    void Hand(const std::uint8_t* p, std::int64_t n, std::int64_t nLines)
    {
        if (m_pTally != nullptr)
            m_pTally->SetLinesBefore(m_nLines);
        Emit(p, n);
        m_nLines += nLines;
    }

    CharsetId m_nCharset;
    NLCode m_nCode;
    CReplacementTally* m_pTally;
    std::int64_t m_nLines = 0;
    CByteBuffer m_out;
};

} // namespace

CTextStream::CTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode,
                         const std::string& strUnmappableDefaultChar, IByteSink& sink, bool bLineEndingPass,
                         CReplacementTally* pTally)
    : m_sink(sink)
{
    if (pTally != nullptr)
        pTally->m_strSubstitute = cp932::SubstituteText(strUnmappableDefaultChar);
    if (bLineEndingPass) {
        auto pass = std::make_unique<CLineEndingStage>(nSource, nNLCode, pTally);
        m_pLineEndings = pass.get();
        m_stages.push_back(std::move(pass));
    }
    if (Charset::IsValid(nSource) && Charset::IsValid(nTarget)) {
        const std::size_t nBefore = m_stages.size();
        codecs::AddCellStages(nSource, nTarget, strUnmappableDefaultChar, pTally, m_stages);
        if (pTally != nullptr && m_stages.size() > nBefore)
            m_stages[nBefore]->LocateFor(pTally, nSource);
    }
    for (std::size_t k = 0; k < m_stages.size(); ++k) {
        CStreamStage* pNext = k + 1 < m_stages.size() ? m_stages[k + 1].get() : nullptr;
        m_stages[k]->Connect(pNext != nullptr ? static_cast<IByteSink*>(pNext) : &m_sink, pNext);
    }
}

CTextStream::~CTextStream() = default;

void CTextStream::Write(const std::uint8_t* pData, std::int64_t nLength)
{
    if (nLength <= 0)
        return;
    if (m_stages.empty())
        m_sink.Put(pData, nLength);
    else
        m_stages.front()->Put(pData, nLength);
}

void CTextStream::Finish()
{
    if (!m_stages.empty())
        m_stages.front()->Finish();
}

std::int64_t CTextStream::Lines() const
{
    return m_pLineEndings != nullptr ? static_cast<const CLineEndingStage*>(m_pLineEndings)->Lines() : 0;
}
