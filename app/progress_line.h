#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

// One self-updating line on a terminal for a long batch run: files done,
// megabytes read and the rate. It shows only once the run has taken a
// second, only where the stream is a terminal, and goes away at the end.
class CProgressLine {
public:
    // pStream null: standard error. bTerminal: whether it is one.
    CProgressLine(std::FILE* pStream, bool bTerminal);
    ~CProgressLine() { Clear(); }
    CProgressLine(const CProgressLine&) = delete;
    CProgressLine& operator=(const CProgressLine&) = delete;

    void Update(int nFilesDone, int nFiles, std::int64_t nBytes);
    // Takes the line away, so that what follows starts on a clean line.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* m_pStream;
    bool m_bTerminal;
    Clock::time_point m_start;
    Clock::time_point m_lastDrawn;
    bool m_bShown = false;
};
