#include "text_converter.h"

// The first decisive byte tells Shift_JIS, EUC-JP and ISO-2022-JP apart.
CharsetId CTextConverter::DetectCharset(const std::uint8_t* pData, std::int64_t nLength) const
{
    std::int64_t i = 0;
    while (i < nLength) {
        const std::uint8_t b = pData[i];
        if (b == 0x1B || b == 0x0E || b == 0x0F)
            return Charset::Jis;
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0x81 && b <= 0x9F)
            return Charset::ShiftJis;
        if (b >= 0xA1 && b <= 0xDF)
            return Charset::EucJp;
        // 80, A0, E0-FF: the next byte decides. A last byte has none, and
        // the end of the text is reached undecided.
        if (i + 1 >= nLength)
            return Charset::None;
        if (pData[i + 1] <= 0xA0)
            return Charset::ShiftJis;
        i += 2;
    }
    return Charset::None;
}
