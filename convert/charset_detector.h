#pragma once

#include <cstdint>

#include "charset.h"

// DetectFileCharset over a file read in pieces: the marks, then well-formed
// UTF-8 with a multi-byte form, then the byte scan of DetectCharset. It
// tells as soon as no further byte can change the answer, so that a caller
// reads only as much as the decision needs (the whole file only when it may
// be UTF-8).
class CCharsetDetector {
public:
    void Feed(const std::uint8_t* pData, std::int64_t nLength);
    bool Decided() const;
    // The answer for what was fed (-1: undecided); call once, at the end or
    // when Decided().
    CharsetId Finish();

private:
    void FeedUtf8(const std::uint8_t* p, std::int64_t n);
    void FeedScan(const std::uint8_t* p, std::int64_t n);

    std::uint8_t m_head[3] = {};
    std::int64_t m_nSeen = 0;
    // UTF-8: still well-formed, any multi-byte form yet, and what the form
    // under way still needs (how many bytes, the range of the next).
    bool m_bUtf8 = true;
    bool m_bMultiByte = false;
    int m_nNeed = 0;
    std::uint8_t m_lo = 0x80;
    std::uint8_t m_hi = 0xBF;
    // The scan: its answer once it has one, and whether the byte after an
    // 80, A0 or E0-FF decides next.
    CharsetId m_nScan = Charset::None;
    bool m_bScanDone = false;
    bool m_bPairNext = false;
};
