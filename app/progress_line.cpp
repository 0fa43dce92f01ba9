#include "progress_line.h"

CProgressLine::CProgressLine(std::FILE* pStream, bool bTerminal)
    : m_pStream(pStream != nullptr ? pStream : stderr), m_bTerminal(bTerminal), m_start(Clock::now()),
      m_lastDrawn(m_start)
{
}

void CProgressLine::Update(int nFilesDone, int nFiles, std::int64_t nBytes)
{
    if (!m_bTerminal)
        return;
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    if (seconds < 1.0 || now - m_lastDrawn < std::chrono::milliseconds(100))
        return;
    m_lastDrawn = now;
    const double megabytes = static_cast<double>(nBytes) / 1e6;
    std::fprintf(m_pStream, "\rmojiro: %d/%d files, %.0f MB, %.0f MB/s\033[K", nFilesDone, nFiles, megabytes,
                 megabytes / seconds);
    std::fflush(m_pStream);
    m_bShown = true;
}

void CProgressLine::Clear()
{
    if (!m_bShown)
        return;
    std::fputs("\r\033[K", m_pStream);
    std::fflush(m_pStream);
    m_bShown = false;
}
