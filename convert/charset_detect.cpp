#include "text_converter.h"

#include "byte_search.h"
#include "charset_detector.h"

// The first decisive byte tells Shift_JIS, EUC-JP and ISO-2022-JP apart.
CharsetId CTextConverter::DetectCharset(const std::uint8_t* pData, std::int64_t nLength) const
{
    std::int64_t i = 0;
    while (i < nLength) {
        const std::uint8_t b = pData[i];
        if (b == 0x1B || b == 0x0E || b == 0x0F)
            return Charset::Jis;
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0x81 && b <= 0x9F)
            return Charset::ShiftJis;
        if (b >= 0xA1 && b <= 0xDF)
            return Charset::EucJp;
        // 80, A0, E0-FF: the next byte decides. A last byte has none, and
        // the end of the text is reached undecided.
        if (i + 1 >= nLength)
            return Charset::None;
        if (pData[i + 1] <= 0xA0)
            return Charset::ShiftJis;
        i += 2;
    }
    return Charset::None;
}

bool CCharsetDetector::Decided() const
{
    if (m_nSeen < 3)
        return m_nSeen >= 2 && Charset::StartsWithUnicodeMark(m_head, m_nSeen);
    if (Charset::StartsWithUnicodeMark(m_head, 2) || Charset::StartsWithUtf8Mark(m_head, 3))
        return true;
    return !m_bUtf8 && m_bScanDone;
}

void CCharsetDetector::Feed(const std::uint8_t* p, std::int64_t n)
{
    for (std::int64_t k = 0; k < n && m_nSeen + k < 3; ++k)
        m_head[m_nSeen + k] = p[k];
    m_nSeen += n;
    if (m_bUtf8)
        FeedUtf8(p, n);
    if (!m_bScanDone)
        FeedScan(p, n);
}

// Well-formed by the Unicode standard: no overlong form, no surrogate,
// nothing above U+10FFFF, nothing cut off.
void CCharsetDetector::FeedUtf8(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i < n) {
        if (m_nNeed == 0) {
            i += byte_search::AsciiRun(p + i, n - i);
            if (i >= n)
                break;
            const std::uint8_t b = p[i++];
            m_lo = 0x80;
            m_hi = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                m_nNeed = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                m_nNeed = 2;
                m_lo = b == 0xE0 ? 0xA0 : 0x80;
                m_hi = b == 0xED ? 0x9F : 0xBF;
            } else if (b >= 0xF0 && b <= 0xF4) {
                m_nNeed = 3;
                m_lo = b == 0xF0 ? 0x90 : 0x80;
                m_hi = b == 0xF4 ? 0x8F : 0xBF;
            } else {
                m_bUtf8 = false;
                return;
            }
            m_bMultiByte = true;
        } else {
            const std::uint8_t b = p[i++];
            if (b < m_lo || b > m_hi) {
                m_bUtf8 = false;
                return;
            }
            --m_nNeed;
            m_lo = 0x80;
            m_hi = 0xBF;
        }
    }
}

// The first decisive byte tells Shift_JIS, EUC-JP and ISO-2022-JP apart, as
// DetectCharset does.
void CCharsetDetector::FeedScan(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    if (m_bPairNext && n > 0) {
        m_bPairNext = false;
        if (p[0] <= 0xA0) {
            m_nScan = Charset::ShiftJis;
            m_bScanDone = true;
            return;
        }
        i = 1; // the pair is skipped
    }
    const CharsetId nDecided = CTextConverter().DetectCharset(p + i, n - i);
    if (nDecided != Charset::None) {
        m_nScan = nDecided;
        m_bScanDone = true;
        return;
    }
    // Undecided: either all plain, or an 80, A0 or E0-FF whose pair the end
    // cut off. Only the second leaves the scan waiting for a byte.
    std::int64_t k = i;
    while (k < n) {
        k += byte_search::AsciiRun(p + k, n - k);
        if (k >= n)
            break;
        if (k + 1 >= n) {
            m_bPairNext = true;
            break;
        }
        k += 2;
    }
}

CharsetId CCharsetDetector::Finish()
{
    if (Charset::StartsWithUnicodeMark(m_head, m_nSeen))
        return Charset::Unicode;
    if (Charset::StartsWithUtf8Mark(m_head, m_nSeen))
        return Charset::Utf8;
    if (m_bUtf8 && m_nNeed == 0 && m_bMultiByte)
        return Charset::Utf8;
    // A pair the end cut off leaves the scan undecided, as DetectCharset is.
    return m_nScan;
}

CharsetId DetectFileCharset(const std::uint8_t* pData, std::int64_t nLength)
{
    CCharsetDetector detector;
    detector.Feed(pData, nLength);
    return detector.Finish();
}
