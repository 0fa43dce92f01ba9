#include "stage_chain.h"
#include "text_converter.h"

#include <type_traits>

#include "cp932_bridge.h"
#include "jis_slices.h"
#include "line_endings.h"

bool CopyUnchanged(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    *pOutput = CByteBuffer::CopyOf(pSource, n);
    return true;
}

// Shift_JIS <-> UTF-8 in one pass each: every UTF-16 unit the first stage
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
bool JisToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<JisToShiftJis, ShiftJisToEucJp>(p, n, o, c);
}
bool Utf8ToShiftJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    const cp932::Substitute substitute = cp932::MakeSubstitute(c->m_strUnmappableDefaultChar);
    work.Trim(cp932::EncodeFromUtf8(p, n, substitute, work.Data()));
    *o = std::move(work);
    return true;
}


namespace {

// EUC-JP and ISO-2022-JP reach UTF-16 and UTF-8 through Shift_JIS. The
// Shift_JIS text goes through a small buffer one slice at a time, each slice
// decoded while it is still in cache; a lead byte cut off at the end of a
// slice is carried into the next. The bytes are those of the two stages run
// one after the other.
template <bool ToUtf8, class FirstStage, class Direct = std::nullptr_t>
bool ThroughShiftJisSlices(const std::uint8_t* p, std::int64_t n, CByteBuffer* pOutput, FirstStage&& first,
                           Direct direct = nullptr)
{
    constexpr std::int64_t kSlice = 64 * 1024;
    // Shift_JIS is never longer than its source, and a byte gives one unit
    // at most.
    CByteBuffer work = CByteBuffer::Allocate((ToUtf8 ? 3 : 2) * n);
    CByteBuffer sjis = CByteBuffer::Allocate(kSlice + 1);
    std::uint8_t* q = work.Data();
    std::int64_t pos = 0;
    std::int64_t carry = 0;
    while (true) {
        const bool bFinal = n - pos <= kSlice;
        std::int64_t take = bFinal ? n - pos : kSlice;
        // Plain text skips the Shift_JIS buffer; it may only start where
        // the two stages stand between units.
        if constexpr (!std::is_same_v<Direct, std::nullptr_t>) {
            if (carry == 0) {
                const std::int64_t done = direct(p + pos, take, ToUtf8, &q);
                pos += done;
                take -= done;
            }
        }
        if (take > 0) {
            std::int64_t written = 0;
            pos += first(p + pos, take, bFinal, sjis.Data() + carry, &written);
            const std::int64_t have = carry + written;
            std::int64_t consumed = 0;
            q += cp932::DecodePart(sjis.Data(), have, bFinal, ToUtf8, q, &consumed);
            carry = have - consumed;
            if (carry > 0)
                sjis.Data()[0] = sjis.Data()[consumed];
        }
        if (bFinal)
            break;
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

inline cp932::Substitute SubstituteOf(const CTextConverter* pConverter)
{
    return pConverter ? cp932::MakeSubstitute(pConverter->m_strUnmappableDefaultChar) : cp932::Substitute{};
}

// JIS X 0212 characters become the substitute on their way through Shift_JIS.
struct EucIn {
    cp932::Substitute substitute;
    std::int64_t operator()(const std::uint8_t* s, std::int64_t len, bool bFinal, std::uint8_t* out,
                            std::int64_t* pWritten) const
    {
        return jis_slices::EucJpToShiftJis(s, len, bFinal, substitute, out, pWritten);
    }
};

// And the other way: UTF-16 or UTF-8 encoded to Shift_JIS a slice at a
// time, each slice converted on to EUC-JP or ISO-2022-JP at once. A slice
// ends after a whole unit or form (a surrogate pair kept together); a lead
// byte cut off at the end of the Shift_JIS slice is carried into the next.
template <class SecondStage>
bool FromShiftJisSlices(const std::uint8_t* p, std::int64_t n, bool bFromUtf8, std::int64_t nOutputBound,
                        CTextConverter* pConverter, CByteBuffer* pOutput, SecondStage&& second)
{
    constexpr std::int64_t kSlice = 32 * 1024; // units or bytes of the source
    const std::int64_t nSource = bFromUtf8 ? n : n / 2;
    const cp932::Substitute substitute = cp932::MakeSubstitute(pConverter->m_strUnmappableDefaultChar);
    CByteBuffer work = CByteBuffer::Allocate(nOutputBound);
    // Two bytes a unit, or a byte of UTF-8, at most, with room for what
    // crosses the limit.
    CByteBuffer sjis = CByteBuffer::Allocate(2 * kSlice + 16);
    std::uint8_t* q = work.Data();
    std::int64_t pos = 0;
    std::int64_t carry = 0;
    while (true) {
        const std::int64_t limit = nSource - pos <= kSlice ? nSource : pos + kSlice;
        std::int64_t written = 0;
        pos = cp932::EncodePart(p, nSource, bFromUtf8, pos, limit, substitute, sjis.Data() + carry, &written);
        const bool bFinal = pos >= nSource;
        const std::int64_t have = carry + written;
        std::int64_t out = 0;
        const std::int64_t consumed = second(sjis.Data(), have, bFinal, q, &out);
        q += out;
        carry = have - consumed;
        if (carry > 0)
            sjis.Data()[0] = sjis.Data()[consumed];
        if (bFinal)
            break;
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

std::int64_t EucOut(const std::uint8_t* s, std::int64_t len, bool bFinal, std::uint8_t* out, std::int64_t* pWritten)
{
    return jis_slices::ShiftJisToEucJp(s, len, bFinal, out, pWritten);
}

// Shift_JIS bytes from n source bytes: at most n from UTF-16 (two bytes a
// unit), 2 * n from UTF-8 (each byte may be an ill-formed sequence of its own
// that gets a two-byte substitute).
inline std::int64_t ShiftJisBound(std::int64_t n, bool bFromUtf8) { return bFromUtf8 ? 2 * n : n; }

// The ISO-2022-JP stages keep their mode from one slice to the next.
struct JisIn {
    jis_slices::JisState state;
    std::int64_t operator()(const std::uint8_t* s, std::int64_t len, bool bFinal, std::uint8_t* out,
                            std::int64_t* pWritten)
    {
        return jis_slices::JisToShiftJis(s, len, bFinal, &state, out, pWritten);
    }
};
struct JisOut {
    jis_escapes::Mode mode = jis_escapes::Mode::Ascii;
    std::int64_t operator()(const std::uint8_t* s, std::int64_t len, bool bFinal, std::uint8_t* out,
                            std::int64_t* pWritten)
    {
        return jis_slices::ShiftJisToJis(s, len, bFinal, &mode, out, pWritten);
    }
};

template <bool ToUtf8>
bool JisThroughShiftJisSlices(const std::uint8_t* p, std::int64_t n, CByteBuffer* o)
{
    JisIn in;
    return ThroughShiftJisSlices<ToUtf8>(p, n, o, in,
                                         [&in](const std::uint8_t* s, std::int64_t len, bool bToUtf8, std::uint8_t** pq) {
                                             return jis_slices::JisToUnitsWhilePlain(s, len, bToUtf8, &in.state, pq);
                                         });
}

} // namespace

bool UnicodeToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return FromShiftJisSlices(p, n, false, 2 * ShiftJisBound(n, false), c, o, EucOut);
}
bool Utf8ToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return FromShiftJisSlices(p, n, true, 2 * ShiftJisBound(n, true), c, o, EucOut);
}
bool UnicodeToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return FromShiftJisSlices(p, n, false, 4 * ShiftJisBound(n, false) + 3, c, o, JisOut{});
}
bool Utf8ToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return FromShiftJisSlices(p, n, true, 4 * ShiftJisBound(n, true) + 3, c, o, JisOut{});
}

bool EucJpToUnicode(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return ThroughShiftJisSlices<false>(p, n, o, EucIn{SubstituteOf(c)}, jis_slices::EucJpToUnitsWhilePlain);
}
bool EucJpToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return ThroughShiftJisSlices<true>(p, n, o, EucIn{SubstituteOf(c)}, jis_slices::EucJpToUnitsWhilePlain);
}
bool JisToUnicode(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter*)
{
    return JisThroughShiftJisSlices<false>(p, n, o);
}
bool JisToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter*)
{
    return JisThroughShiftJisSlices<true>(p, n, o);
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
    // Source and target alike: the pass's result is the output; copying it
    // once more would give the same bytes.
    if (routine == CopyUnchanged) {
        *pOutput = std::move(intermediate);
        return true;
    }
    return routine(intermediate.Data(), intermediate.Size(), pOutput, this);
}
