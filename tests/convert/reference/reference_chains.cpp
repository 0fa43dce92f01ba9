#include "reference_kernels.h"
#include "text_converter.h"

namespace {
// Two stages one after the other through a temporary buffer.
template <ConversionRoutine First, ConversionRoutine Second>
bool Chain(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter* pConverter)
{
    CByteBuffer temp;
    if (!First(pSource, n, &temp, pConverter))
        return false;
    return Second(temp.Data(), temp.Size(), pOutput, pConverter);
}
} // namespace

// The chains as the table lists them, stage after stage through full-size
// buffers: the definition the table's faster cells are tested against.
namespace reference {
bool ShiftJisToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<ShiftJisToUnicode, UnicodeToUtf8>(p, n, o, c);
}
bool Utf8ToShiftJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<Utf8ToUnicode, UnicodeToShiftJis>(p, n, o, c);
}
bool EucJpToUnicode(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<EucJpToShiftJis, ShiftJisToUnicode>(p, n, o, c);
}
bool EucJpToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<reference::EucJpToUnicode, UnicodeToUtf8>(p, n, o, c);
}
bool JisToUnicode(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<JisToShiftJis, ShiftJisToUnicode>(p, n, o, c);
}
bool JisToUtf8(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<reference::JisToUnicode, UnicodeToUtf8>(p, n, o, c);
}
bool UnicodeToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<UnicodeToShiftJis, ShiftJisToEucJp>(p, n, o, c);
}
bool UnicodeToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<UnicodeToShiftJis, ShiftJisToJis>(p, n, o, c);
}
bool Utf8ToEucJp(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<reference::Utf8ToShiftJis, ShiftJisToEucJp>(p, n, o, c);
}
bool Utf8ToJis(const std::uint8_t* p, std::int64_t n, CByteBuffer* o, CTextConverter* c)
{
    return Chain<reference::Utf8ToShiftJis, ShiftJisToJis>(p, n, o, c);
}
} // namespace reference
