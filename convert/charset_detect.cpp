#include "text_converter.h"

#include "byte_search.h"

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

namespace {

// Well-formed by the Unicode standard: no overlong form, no surrogate, nothing
// above U+10FFFF, nothing cut off. *pbMultiByte tells whether any form is
// longer than one byte.
bool IsWellFormedUtf8(const std::uint8_t* p, std::int64_t n, bool* pbMultiByte)
{
    const auto continuation = [&](std::int64_t k, std::uint8_t lo, std::uint8_t hi) {
        return k < n && p[k] >= lo && p[k] <= hi;
    };
    *pbMultiByte = false;
    std::int64_t i = 0;
    while (i < n) {
        i += byte_search::AsciiRun(p + i, n - i);
        if (i >= n)
            break;
        const std::uint8_t b = p[i];
        // The second byte's range depends on the lead; the rest are 80-BF.
        std::int64_t length;
        std::uint8_t lo = 0x80;
        std::uint8_t hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            lo = b == 0xE0 ? 0xA0 : 0x80;
            hi = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            lo = b == 0xF0 ? 0x90 : 0x80;
            hi = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (!continuation(i + 1, lo, hi))
            return false;
        for (std::int64_t k = 2; k < length; ++k)
            if (!continuation(i + k, 0x80, 0xBF))
                return false;
        *pbMultiByte = true;
        i += length;
    }
    return true;
}

} // namespace

CharsetId DetectFileCharset(const std::uint8_t* pData, std::int64_t nLength)
{
    if (Charset::StartsWithUnicodeMark(pData, nLength))
        return Charset::Unicode;
    if (Charset::StartsWithUtf8Mark(pData, nLength))
        return Charset::Utf8;
    bool bMultiByte = false;
    if (IsWellFormedUtf8(pData, nLength, &bMultiByte) && bMultiByte)
        return Charset::Utf8;
    return CTextConverter().DetectCharset(pData, nLength);
}
