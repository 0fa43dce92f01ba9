#pragma once

#include <cstdint>

// Which line endings a text uses, counted a piece at a time: CRLF, LF, CR,
// MIXED (more than one kind) or NONE. UTF-16 text is counted by units; in
// every other encoding a CR or LF byte is always a line ending.
class CLineEndingCensus {
public:
    explicit CLineEndingCensus(bool bUtf16) : m_bUtf16(bUtf16) {}
    void Feed(const std::uint8_t* p, std::int64_t n);
    // The name for what was fed; a CR at the end is a line ending.
    const char* Name() const;

private:
    void Take(unsigned u);

    bool m_bUtf16;
    bool m_bCrPending = false;
    int m_nOddByte = -1; // a UTF-16 unit's first byte, cut off by a piece
    std::int64_t m_nCrLf = 0;
    std::int64_t m_nLf = 0;
    std::int64_t m_nCr = 0;
};
