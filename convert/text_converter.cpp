#include "text_converter.h"

#include <algorithm>
#include <cstring>

#include "line_endings.h"
#include "text_stream.h"

// The whole-text entry points are the stream fed in one piece: the program,
// which streams, and every caller of these convert alike.

namespace {

// The stream's bytes gathered in one buffer, trimmed to their length at the
// end. Pages of the buffer never written are never touched.
class CBufferSink final : public IByteSink {
public:
    explicit CBufferSink(std::int64_t nExpected) : m_buffer(CByteBuffer::Allocate(nExpected)) {}

    void Put(const std::uint8_t* p, std::int64_t n) override
    {
        if (m_nSize + n > m_buffer.Size())
            Grow(m_nSize + n);
        std::memcpy(m_buffer.Data() + m_nSize, p, static_cast<std::size_t>(n));
        m_nSize += n;
    }

    std::uint8_t* Room(std::int64_t n) override
    {
        if (m_nSize + n > m_buffer.Size())
            Grow(m_nSize + n);
        return m_buffer.Data() + m_nSize;
    }
    void Wrote(std::int64_t n) override { m_nSize += n; }

    CByteBuffer Take()
    {
        m_buffer.Trim(m_nSize);
        return std::move(m_buffer);
    }

private:
    void Grow(std::int64_t nNeed)
    {
        CByteBuffer bigger = CByteBuffer::Allocate(std::max(nNeed, 2 * m_buffer.Size()));
        std::memcpy(bigger.Data(), m_buffer.Data(), static_cast<std::size_t>(m_nSize));
        m_buffer = std::move(bigger);
    }

    CByteBuffer m_buffer;
    std::int64_t m_nSize = 0;
};

CByteBuffer RunStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, const std::string& strSubstitute,
                      const std::uint8_t* p, std::int64_t n, bool bLineEndingPass)
{
    // A copy is the line-ending stage alone, whose walk over one piece is
    // the walk over the whole text: it writes straight into the result.
    if (nSource == nTarget && bLineEndingPass && Charset::IsValid(nSource)) {
        if (line_endings::IsUnchanged(p, n, nSource, nNLCode))
            return CByteBuffer::CopyOf(p, n);
        CByteBuffer result = CByteBuffer::Allocate(2 * n); // no step writes more than twice what it takes
        result.Trim(line_endings::FastWalk(nSource)(p, n, result.Data(), nNLCode) - result.Data());
        return result;
    }
    // Room for what nearly every text becomes (UTF-16 of single bytes is
    // twice as long): pages never written are never touched, and a grown
    // buffer would copy and clear everything once more.
    CBufferSink sink(3 * n + 64);
    CTextStream stream(nSource, nTarget, nNLCode, strSubstitute, sink, bLineEndingPass);
    stream.Write(p, n);
    stream.Finish();
    return sink.Take();
}

// One cell alone, line endings as they are.
template <CharsetId Source, CharsetId Target>
bool RunCell(const std::uint8_t* p, std::int64_t n, CByteBuffer* pOutput, CTextConverter* pConverter)
{
    const std::string strSubstitute =
        pConverter != nullptr ? pConverter->m_strUnmappableDefaultChar : std::string(kDefaultSubstitute);
    *pOutput = RunStream(Source, Target, NewLine::None, strSubstitute, p, n, false);
    return true;
}

using namespace Charset;

} // namespace

bool CopyUnchanged(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    *pOutput = CByteBuffer::CopyOf(pSource, n);
    return true;
}

#define MOJIRO_CELL(name, source, target)                                                                             \
    bool name(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)                              \
    {                                                                                                                  \
        return RunCell<source, target>(p, n, o, c);                                                                    \
    }
MOJIRO_CELL(ShiftJisToEucJp, ShiftJis, EucJp)
MOJIRO_CELL(ShiftJisToJis, ShiftJis, Jis)
MOJIRO_CELL(ShiftJisToUnicode, ShiftJis, Unicode)
MOJIRO_CELL(ShiftJisToUtf8, ShiftJis, Utf8)
MOJIRO_CELL(EucJpToShiftJis, EucJp, ShiftJis)
MOJIRO_CELL(EucJpToJis, EucJp, Jis)
MOJIRO_CELL(EucJpToUnicode, EucJp, Unicode)
MOJIRO_CELL(EucJpToUtf8, EucJp, Utf8)
MOJIRO_CELL(JisToShiftJis, Jis, ShiftJis)
MOJIRO_CELL(JisToEucJp, Jis, EucJp)
MOJIRO_CELL(JisToUnicode, Jis, Unicode)
MOJIRO_CELL(JisToUtf8, Jis, Utf8)
MOJIRO_CELL(UnicodeToShiftJis, Unicode, ShiftJis)
MOJIRO_CELL(UnicodeToEucJp, Unicode, EucJp)
MOJIRO_CELL(UnicodeToJis, Unicode, Jis)
MOJIRO_CELL(UnicodeToUtf8, Unicode, Utf8)
MOJIRO_CELL(Utf8ToShiftJis, Utf8, ShiftJis)
MOJIRO_CELL(Utf8ToEucJp, Utf8, EucJp)
MOJIRO_CELL(Utf8ToJis, Utf8, Jis)
MOJIRO_CELL(Utf8ToUnicode, Utf8, Unicode)
#undef MOJIRO_CELL

const ConversionRoutine ConversionTable[Charset::Count * Charset::Count] = {
    CopyUnchanged,     ShiftJisToEucJp, ShiftJisToJis,  ShiftJisToUnicode, ShiftJisToUtf8, // from Shift_JIS
    EucJpToShiftJis,   CopyUnchanged,   EucJpToJis,     EucJpToUnicode,    EucJpToUtf8,    // from EUC-JP
    JisToShiftJis,     JisToEucJp,      CopyUnchanged,  JisToUnicode,      JisToUtf8,      // from ISO-2022-JP
    UnicodeToShiftJis, UnicodeToEucJp,  UnicodeToJis,   CopyUnchanged,     UnicodeToUtf8,  // from Unicode
    Utf8ToShiftJis,    Utf8ToEucJp,     Utf8ToJis,      Utf8ToUnicode,     CopyUnchanged,  // from UTF-8
};

bool CTextConverter::Convert(CByteBuffer* pOutput)
{
    *pOutput = RunStream(m_nInputCharset, m_nOutputCharset, m_nNLCode, m_strUnmappableDefaultChar, m_pInputData,
                         m_nInputLength, true);
    return true;
}

void CTextConverter::NormalizeLineEndings(const std::uint8_t* pInput, std::int64_t nLength, CharsetId nCharset,
                                          CByteBuffer* pResult) const
{
    *pResult = RunStream(nCharset, nCharset, m_nNLCode, m_strUnmappableDefaultChar, pInput, nLength, true);
}
