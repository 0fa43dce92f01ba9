#include "replacement_tally.h"

#include "jis_family.h"
#include "text_constants.h"

namespace {

bool IsLineEnd(const std::uint8_t* p, std::int64_t k, CharsetId nCharset)
{
    if (nCharset == Charset::Unicode)
        return (k & 1) == 0 && (p[k] == text::LF || p[k] == text::CR) && p[k + 1] == 0;
    return p[k] == text::LF || p[k] == text::CR;
}

// Characters in p[from, to): units of the encoding, a line being read from
// its start in ASCII.
std::int64_t CharactersIn(const std::uint8_t* p, std::int64_t from, std::int64_t to, CharsetId nCharset)
{
    std::int64_t nCharacters = 0;
    jis_family::Unit unit{jis_family::Kind::Nothing};
    jis_family::JisReader jis;
    for (std::int64_t k = from; k < to; ++nCharacters) {
        switch (nCharset) {
        case Charset::ShiftJis:
            k += jis_family::ShiftJisReader{}.Read(p, k, to, true, &unit);
            break;
        case Charset::EucJp:
            k += jis_family::EucJpReader{}.Read(p, k, to, true, &unit);
            break;
        case Charset::Jis:
            k += jis.Read(p, k, to, true, &unit);
            nCharacters -= unit.kind == jis_family::Kind::Nothing ? 1 : 0;
            break;
        case Charset::Unicode: {
            const unsigned high = k + 1 < to ? p[k + 1] : 0;
            k += high >= 0xD8 && high <= 0xDB && k + 3 < to ? 4 : 2;
            break;
        }
        default:
            for (++k; k < to && (p[k] & 0xC0) == 0x80; ++k) {
            }
        }
    }
    return nCharacters;
}

} // namespace

void CReplacementTally::SetInput(const std::uint8_t* p, std::int64_t n, CharsetId nCharset)
{
    m_pInput = p;
    m_nInput = n;
    m_nCharset = nCharset;
    m_bInputStartsLine = m_bEndedWithLineEnd;
    const std::int64_t last = nCharset == Charset::Unicode ? n - 2 : n - 1;
    if (last >= 0)
        m_bEndedWithLineEnd = IsLineEnd(p, last, nCharset);
}

CReplacementTally::First CReplacementTally::Locate(const std::uint8_t* pAt, std::uint32_t nValue) const
{
    First first;
    first.nValue = nValue;
    first.nLine = m_nLinesBefore + 1;
    if (m_pScratch != nullptr && pAt >= m_pScratch + m_nCarried && pAt < m_pScratch + m_nHave)
        pAt = m_pInput + (pAt - m_pScratch - m_nCarried); // the input's own bytes, copied
    if (m_pInput == nullptr || pAt < m_pInput || pAt > m_pInput + m_nInput)
        return first; // in a unit carried from the piece before: its line, no column
    const std::int64_t at = pAt - m_pInput;
    std::int64_t lineStart = -1;
    for (std::int64_t k = 0; k < at; ++k) {
        if (!IsLineEnd(m_pInput, k, m_nCharset))
            continue;
        const std::int64_t step = m_nCharset == Charset::Unicode ? 2 : 1;
        // CR LF is one line end.
        const bool bCrLf = m_pInput[k] == text::CR && k + step < at && m_pInput[k + step] == text::LF;
        k += bCrLf ? step : 0;
        ++first.nLine;
        lineStart = k + step;
        k += step - 1;
    }
    if (lineStart < 0 && !m_bInputStartsLine)
        return first; // the line began in an earlier piece
    first.nColumn = 1 + CharactersIn(m_pInput, lineStart < 0 ? 0 : lineStart, at, m_nCharset);
    return first;
}

void CReplacementTally::Add(const CReplacementTally& later, std::int64_t nLinesBefore)
{
    const auto shifted = [nLinesBefore](First first) {
        first.nLine += nLinesBefore;
        return first;
    };
    if (m_nNoForm == 0 && later.m_nNoForm > 0)
        m_firstNoForm = shifted(later.m_firstNoForm);
    if (m_nIllFormed == 0 && later.m_nIllFormed > 0)
        m_firstIllFormed = shifted(later.m_firstIllFormed);
    m_nNoForm += later.m_nNoForm;
    m_nIllFormed += later.m_nIllFormed;
}
