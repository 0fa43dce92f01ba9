#include "cp932_bridge.h"
#include "text_converter.h"

// Shift_JIS <-> UTF-16 through the code-page-932 bridge.

bool ShiftJisToUnicode(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // Every byte yields at most one unit.
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    const std::int64_t nUnits = n > 0 ? cp932::Decode(pSource, n, work.Data()) : 0;
    work.Trim(2 * nUnits);
    *pOutput = std::move(work);
    return true;
}

bool UnicodeToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput,
                       CTextConverter* pConverter)
{
    // An odd last byte is no unit and is ignored; a unit yields at most two bytes.
    const std::int64_t nUnits = n / 2;
    CByteBuffer work = CByteBuffer::Allocate(2 * nUnits);
    const cp932::Substitute substitute = cp932::MakeSubstitute(pConverter->m_strUnmappableDefaultChar);
    const std::int64_t nBytes = nUnits > 0 ? cp932::Encode(pSource, nUnits, substitute, work.Data()) : 0;
    work.Trim(nBytes);
    *pOutput = std::move(work);
    return true;
}
