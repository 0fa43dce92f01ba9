#include "line_ending_census.h"

#include "byte_search.h"
#include "line_ending_steps.h"

using line_ending_steps::CR;
using line_ending_steps::LF;

void CLineEndingCensus::Take(unsigned u)
{
    if (m_bCrPending) {
        m_bCrPending = false;
        if (u == LF) {
            ++m_nCrLf;
            return;
        }
        ++m_nCr;
    }
    if (u == CR)
        m_bCrPending = true;
    else if (u == LF)
        ++m_nLf;
}

void CLineEndingCensus::Feed(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    if (m_bUtf16) {
        for (; i < n; ++i) {
            if (m_nOddByte < 0) {
                m_nOddByte = p[i];
                continue;
            }
            Take(static_cast<unsigned>(m_nOddByte) | static_cast<unsigned>(p[i]) << 8);
            m_nOddByte = -1;
        }
        return;
    }
    while (i < n) {
        // Only a CR waiting for its LF needs the byte after it.
        if (!m_bCrPending)
            i += byte_search::FindCrLf(p + i, n - i);
        if (i < n)
            Take(p[i++]);
    }
}

const char* CLineEndingCensus::Name() const
{
    const std::int64_t nCr = m_nCr + (m_bCrPending ? 1 : 0);
    const int nKinds = (m_nCrLf > 0) + (m_nLf > 0) + (nCr > 0);
    if (nKinds == 0)
        return "NONE";
    if (nKinds > 1)
        return "MIXED";
    return m_nCrLf > 0 ? "CRLF" : m_nLf > 0 ? "LF" : "CR";
}
