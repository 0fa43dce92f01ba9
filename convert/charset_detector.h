#pragma once

#include <cstdint>

#include "charset.h"
#include "charset_readings.h"

// The one detector: DetectFileCharset feeds it a whole text, the conversion
// job a file or a pipe a block at a time, and its answer is a function of
// the bytes alone, never of where the pieces were cut.
//
// In order: FF FE is Unicode; EF BB BF is UTF-8; well-formed UTF-8 with a
// multi-byte form is UTF-8; then the byte scan of DetectCharset. Where that
// answer is likely wrong (the text is ill-formed in it, the deciding byte
// is a half-width katakana or an 8E or 8F prefix, a short text is EUC-JP as
// well as UTF-8, or the scan could not tell yet the text is not ASCII), the
// candidates are weighed over the text: well-formed first, then the one
// whose characters are the most plausible, the first answer on a tie. A
// unit cut off by the end of the text does not make it ill-formed.
class CCharsetDetector {
public:
    void Feed(const std::uint8_t* pData, std::int64_t nLength);
    // No further byte can change the answer.
    bool Decided() const;
    // The answer for what was fed (-1: undecided, the text is ASCII).
    CharsetId Finish() const;

private:
    void FeedScan(const std::uint8_t* p, std::int64_t n);
    bool WellFormed(CharsetId nCharset) const;
    CharsetId Weigh(CharsetId nFirst) const;

    std::uint8_t m_head[3] = {};
    std::int64_t m_nSeen = 0;
    charset_readings::CUtf8Reading m_utf8;
    charset_readings::CShiftJisReading m_shiftJis;
    charset_readings::CEucJpReading m_eucJp;
    bool m_bSevenBit = true; // well-formed ISO-2022-JP
    // The scan: its answer once it has one, the byte that decided it, and
    // whether the byte after an 80, A0 or E0-FF decides next.
    CharsetId m_nScan = Charset::None;
    std::uint8_t m_deciding = 0;
    bool m_bScanDone = false;
    bool m_bPairNext = false;
};
