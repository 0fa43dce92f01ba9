#include "text_converter.h"

#include <cstring>

#include "cp932_bridge.h"
#include "line_endings.h"
#include "reference_kernels.h"

bool CopyUnchanged(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    *pOutput = CByteBuffer::CopyOf(pSource, n);
    return true;
}

namespace {

// The temporary buffer lives only until the second stage returns.
template <ConversionRoutine First, ConversionRoutine Second>
bool Chain(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter* pConverter)
{
    CByteBuffer temp;
    if (!First(pSource, n, &temp, pConverter))
        return false;
    return Second(temp.Data(), temp.Size(), pOutput, pConverter);
}

} // namespace

// The chains as written: Shift_JIS -> UTF-16 -> UTF-8 and back.
namespace reference {
bool ShiftJisToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<ShiftJisToUnicode, UnicodeToUtf8>(p, n, o, c);
}
bool Utf8ToShiftJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    CByteBuffer work = CByteBuffer::Allocate(n + 2);
    const cp932::Substitute substitute = cp932::MakeSubstitute(c->m_strUnmappableDefaultChar);
    work.Trim(cp932::EncodeFromUtf8(p, n, substitute, work.Data()));
    *o = std::move(work);
    return true;
}
} // namespace reference

// The same two chains in one pass each: every UTF-16 unit the first stage
// would write goes straight to the second, with no buffer between them.
bool ShiftJisToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter*)
{
    CByteBuffer work = CByteBuffer::Allocate(3 * n);
    work.Trim(cp932::DecodeToUtf8(p, n, work.Data()));
    *o = std::move(work);
    return true;
}
bool EucJpToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<EucJpToShiftJis, ShiftJisToJis>(p, n, o, c);
}
bool EucJpToUnicode(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<EucJpToShiftJis, ShiftJisToUnicode>(p, n, o, c);
}
bool EucJpToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<EucJpToShiftJis, ShiftJisToUtf8>(p, n, o, c);
}
bool JisToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<JisToShiftJis, ShiftJisToEucJp>(p, n, o, c);
}
bool JisToUnicode(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<JisToShiftJis, ShiftJisToUnicode>(p, n, o, c);
}
bool JisToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<JisToShiftJis, ShiftJisToUtf8>(p, n, o, c);
}
bool UnicodeToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<UnicodeToShiftJis, ShiftJisToEucJp>(p, n, o, c);
}
bool UnicodeToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<UnicodeToShiftJis, ShiftJisToJis>(p, n, o, c);
}
bool Utf8ToShiftJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    CByteBuffer work = CByteBuffer::Allocate(n + 2);
    const cp932::Substitute substitute = cp932::MakeSubstitute(c->m_strUnmappableDefaultChar);
    work.Trim(cp932::EncodeFromUtf8(p, n, substitute, work.Data()));
    *o = std::move(work);
    return true;
}
bool Utf8ToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<Utf8ToShiftJis, ShiftJisToEucJp>(p, n, o, c);
}
bool Utf8ToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<Utf8ToShiftJis, ShiftJisToJis>(p, n, o, c);
}

const ConversionRoutine ConversionTable[Charset::Count * Charset::Count] = {
    CopyUnchanged,     ShiftJisToEucJp, ShiftJisToJis,  ShiftJisToUnicode, ShiftJisToUtf8, // from Shift_JIS
    EucJpToShiftJis,   CopyUnchanged,   EucJpToJis,     EucJpToUnicode,    EucJpToUtf8,    // from EUC-JP
    JisToShiftJis,     JisToEucJp,      CopyUnchanged,  JisToUnicode,      JisToUtf8,      // from ISO-2022-JP
    UnicodeToShiftJis, UnicodeToEucJp,  UnicodeToJis,   CopyUnchanged,     UnicodeToUtf8,  // from Unicode
    Utf8ToShiftJis,    Utf8ToEucJp,     Utf8ToJis,      Utf8ToUnicode,     CopyUnchanged,  // from UTF-8
};

bool CTextConverter::Convert(CByteBuffer* pOutput)
{
    const ConversionRoutine routine = ConversionTable[m_nInputCharset * Charset::Count + m_nOutputCharset];
    // Most files already have the line endings asked for: then the pass
    // would only copy, and the routine can read the input itself.
    if (m_nInputLength > 0 &&
        line_endings::IsUnchanged(m_pInputData, m_nInputLength, m_nInputCharset, m_nNLCode))
        return routine(m_pInputData, m_nInputLength, pOutput, this);
    CByteBuffer intermediate;
    NormalizeLineEndings(m_pInputData, m_nInputLength, m_nInputCharset, &intermediate);
    return routine(intermediate.Data(), intermediate.Size(), pOutput, this);
}
