#include "text_stream.h"

#include <algorithm>
#include <cstring>

#include "codecs.h"
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
        const std::int64_t used = Run(m_scratch, have, bLast);
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
    CLineEndingStage(CharsetId nCharset, NLCode nCode) : m_nCharset(nCharset), m_nCode(nCode) {}

private:
    std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) override
    {
        // Most text already has the line endings asked for: then the piece
        // goes on as it is, uncopied.
        if (m_nCharset != Charset::Jis) {
            const std::int64_t c = line_endings::PartLength(m_nCharset, p, n, bFinal);
            if (line_endings::IsUnchanged(p, c, m_nCharset, m_nCode)) {
                Emit(p, c);
                return c;
            }
        }
        // No step writes more than twice what it takes.
        std::uint8_t* const pOut = Room(m_out, 2 * n);
        std::uint8_t* q = pOut;
        const std::int64_t used = line_endings::WalkPart(m_nCharset, p, n, bFinal, &m_state, &q, m_nCode);
        Emit(pOut, q - pOut);
        return used;
    }

    CharsetId m_nCharset;
    NLCode m_nCode;
    line_endings::PartState m_state;
    CByteBuffer m_out;
};

} // namespace

CTextStream::CTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode,
                         const std::string& strUnmappableDefaultChar, IByteSink& sink, bool bLineEndingPass)
    : m_sink(sink)
{
    if (bLineEndingPass)
        m_stages.push_back(std::make_unique<CLineEndingStage>(nSource, nNLCode));
    if (Charset::IsValid(nSource) && Charset::IsValid(nTarget))
        codecs::AddCellStages(nSource, nTarget, strUnmappableDefaultChar, m_stages);
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
