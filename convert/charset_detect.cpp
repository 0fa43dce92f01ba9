#include "text_converter.h"

#include "byte_search.h"
#include "charset_detector.h"

namespace {

// Where the first decisive byte stands and what it says; an 80, A0 or E0-FF
// that is the last byte leaves the scan undecided, waiting for its pair.
struct ScanResult {
    CharsetId nAnswer = Charset::None;
    std::int64_t nAt = 0;
    bool bPairCut = false;
};

ScanResult Scan(const std::uint8_t* pData, std::int64_t nLength)
{
    std::int64_t i = 0;
    while (i < nLength) {
        const std::uint8_t b = pData[i];
        if (b == 0x1B || b == 0x0E || b == 0x0F)
            return {Charset::Jis, i, false};
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0x81 && b <= 0x9F)
            return {Charset::ShiftJis, i, false};
        if (b >= 0xA1 && b <= 0xDF)
            return {Charset::EucJp, i, false};
        // 80, A0, E0-FF: the next byte decides.
        if (i + 1 >= nLength)
            return {Charset::None, i, true};
        if (pData[i + 1] <= 0xA0)
            return {Charset::ShiftJis, i + 1, false};
        i += 2;
    }
    return {};
}

} // namespace

// The first decisive byte tells Shift_JIS, EUC-JP and ISO-2022-JP apart.
CharsetId CTextConverter::DetectCharset(const std::uint8_t* pData, std::int64_t nLength) const
{
    return Scan(pData, nLength).nAnswer;
}

void CCharsetDetector::Feed(const std::uint8_t* p, std::int64_t n)
{
    if (n <= 0)
        return;
    for (std::int64_t k = 0; k < n && m_nSeen + k < 3; ++k)
        m_head[m_nSeen + k] = p[k];
    m_nSeen += n;
    m_utf8.Feed(p, n);
    m_shiftJis.Feed(p, n);
    m_eucJp.Feed(p, n);
    m_bSevenBit = m_bSevenBit && byte_search::AsciiRun(p, n) == n;
    if (!m_bScanDone)
        FeedScan(p, n);
}

void CCharsetDetector::FeedScan(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    if (m_bPairNext) {
        m_bPairNext = false;
        if (p[0] <= 0xA0) {
            m_nScan = Charset::ShiftJis;
            m_deciding = p[0];
            m_bScanDone = true;
            return;
        }
        i = 1; // the pair is skipped
    }
    const ScanResult result = Scan(p + i, n - i);
    if (result.nAnswer != Charset::None) {
        m_nScan = result.nAnswer;
        m_deciding = p[i + result.nAt];
        m_bScanDone = true;
    }
    m_bPairNext = result.bPairCut;
}

bool CCharsetDetector::WellFormed(CharsetId nCharset) const
{
    switch (nCharset) {
    case Charset::ShiftJis:
        return m_shiftJis.WellFormed();
    case Charset::EucJp:
        return m_eucJp.WellFormed();
    case Charset::Jis:
        return m_bSevenBit;
    default:
        return true;
    }
}

bool CCharsetDetector::Decided() const
{
    if (m_nSeen < 3)
        return m_nSeen >= 2 && Charset::StartsWithUnicodeMark(m_head, m_nSeen);
    if (Charset::StartsWithUnicodeMark(m_head, 2) || Charset::StartsWithUtf8Mark(m_head, 3))
        return true;
    if (m_utf8.WellFormed() || !m_bScanDone)
        return false;
    // With every other candidate ill-formed, weighing gives the scan's answer.
    for (const CharsetId nOther : {Charset::ShiftJis, Charset::EucJp, Charset::Jis}) {
        if (nOther != m_nScan && WellFormed(nOther))
            return false;
    }
    return true;
}

// The well-formed reading whose characters cost least; nFirst on a tie, or
// when none is well-formed.
CharsetId CCharsetDetector::Weigh(CharsetId nFirst) const
{
    CharsetId nBest = Charset::None;
    std::int64_t nBestCost = 0;
    for (const CharsetId nCandidate : {nFirst, Charset::ShiftJis, Charset::EucJp}) {
        if (nCandidate != Charset::ShiftJis && nCandidate != Charset::EucJp)
            continue;
        const std::int64_t nCost = nCandidate == Charset::ShiftJis ? m_shiftJis.Cost() : m_eucJp.Cost();
        if (WellFormed(nCandidate) && (nBest == Charset::None || nCost < nBestCost)) {
            nBest = nCandidate;
            nBestCost = nCost;
        }
    }
    return nBest == Charset::None ? nFirst : nBest;
}

CharsetId CCharsetDetector::Finish() const
{
    if (Charset::StartsWithUnicodeMark(m_head, m_nSeen))
        return Charset::Unicode;
    if (Charset::StartsWithUtf8Mark(m_head, m_nSeen))
        return Charset::Utf8;
    if (m_utf8.WellFormed() && m_utf8.MultiByte()) {
        const bool bAlsoEucJp = m_nSeen <= charset_readings::kShortText && m_eucJp.WellFormed();
        return bAlsoEucJp && m_eucJp.Cost() < m_utf8.Cost() ? Charset::EucJp : Charset::Utf8;
    }
    // Where the byte scan is blind: a half-width katakana read as EUC-JP,
    // EUC-JP's 8E and 8F read as Shift_JIS, pairs it skipped to the end.
    const bool bBlind = m_nScan == Charset::EucJp ||
                        (m_nScan == Charset::ShiftJis && (m_deciding == 0x8E || m_deciding == 0x8F)) ||
                        (m_nScan == Charset::None && !m_bSevenBit);
    if (!bBlind && WellFormed(m_nScan))
        return m_nScan;
    return Weigh(m_nScan);
}

CharsetId DetectFileCharset(const std::uint8_t* pData, std::int64_t nLength)
{
    CCharsetDetector detector;
    detector.Feed(pData, nLength);
    return detector.Finish();
}
