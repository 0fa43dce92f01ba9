#include "random_text.h"

namespace {

// A trail byte of a double-byte code: 40-7E or 80-FC (188 values).
std::uint8_t Trail(std::uint32_t k)
{
    return static_cast<std::uint8_t>(k < 63 ? 0x40 + k : 0x80 + (k - 63));
}

void AppendUnit(model::Bytes& out, std::uint32_t u)
{
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
}

} // namespace

model::Bytes CRandomText::AnyBytes(std::size_t nLength)
{
    model::Bytes out(nLength);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(m_rng() & 0xFF);
    return out;
}

model::Bytes CRandomText::FromAlphabet(std::size_t nLength, const model::Bytes& alphabet)
{
    model::Bytes out(nLength);
    for (auto& b : out)
        b = Below(4) == 0 ? static_cast<std::uint8_t>(m_rng() & 0xFF)
                          : alphabet[Below(static_cast<std::uint32_t>(alphabet.size()))];
    return out;
}

model::Bytes CRandomText::Hostile(CharsetId nCharset, std::size_t nLength)
{
    switch (nCharset) {
    case Charset::ShiftJis:
        return FromAlphabet(nLength, model::FromHex("0D 0A 0D 0A 41 20 80 81 82 88 9F 98 A0 A1 B1 DF E0 E9 "
                                                    "EF F0 FC FD FF 8E 8F 1B 40 7E 7F"));
    case Charset::EucJp:
        return FromAlphabet(nLength, model::FromHex("0D 0A 0D 0A 41 20 80 8E 8E 8F 8F A1 A4 A2 B1 DF E0 FE "
                                                    "FF 0D 0A 1B 40 7E 7F"));
    case Charset::Jis:
        return FromAlphabet(nLength, model::FromHex("1B 1B 1B 24 24 28 26 40 42 44 4A 48 49 0E 0F 0D 0A 0D 0A "
                                                    "30 21 7E 41 80 FF 5F 60 36"));
    case Charset::Unicode:
        return FromAlphabet(nLength, model::FromHex("0D 00 0A 00 0D 00 0A 00 00 30 4E D8 DC FF FE 41"));
    case Charset::Utf8:
        return FromAlphabet(nLength, model::FromHex("0D 0A 0D 0A E3 81 82 C3 A9 F0 9F 98 80 BF C0 DF E0 EF BB "
                                                    "F8 FF 41"));
    default:
        // Everything any walk cares about.
        return FromAlphabet(nLength, model::FromHex("0D 0A 0D 0A 00 1B 24 28 42 40 0E 0F 81 82 9F A0 A1 E0 E3 "
                                                    "EF FF C3 80 BF"));
    }
}

void CRandomText::AppendShiftJisCharacter(model::Bytes& out, bool bHalfWidthKatakana)
{
    static const char kWord[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:!?-()";
    const std::uint32_t kind = Below(100);
    if (kind < 30) { // ASCII
        out.push_back(static_cast<std::uint8_t>(kWord[Below(sizeof kWord - 1)]));
    } else if (kind < 36) { // line ends, CRLF the most common
        const std::uint32_t which = Below(4);
        if (which <= 1) {
            out.push_back(0x0D);
            out.push_back(0x0A);
        } else {
            out.push_back(which == 2 ? 0x0A : 0x0D);
        }
    } else if (kind < 40) { // punctuation row: 8140-817E, 8180-81AC
        const std::uint32_t k = Below(63 + 45);
        out.push_back(0x81);
        out.push_back(Trail(k));
    } else if (kind < 58) { // hiragana 829F-82F1
        out.push_back(0x82);
        out.push_back(static_cast<std::uint8_t>(0x9F + Below(0xF1 - 0x9F + 1)));
    } else if (kind < 66) { // katakana 8340-837E, 8380-8396
        out.push_back(0x83);
        out.push_back(Trail(Below(63 + 23)));
    } else if (kind < 71) { // half-width katakana A1-DF, or more hiragana
        if (!bHalfWidthKatakana) {
            out.push_back(0x82);
            out.push_back(static_cast<std::uint8_t>(0x9F + Below(0xF1 - 0x9F + 1)));
            return;
        }
        out.push_back(static_cast<std::uint8_t>(0xA1 + Below(0xDF - 0xA1 + 1)));
    } else if (kind < 88) { // level-1 kanji, rows 17-46: leads 89-97
        out.push_back(static_cast<std::uint8_t>(0x89 + Below(0x97 - 0x89 + 1)));
        out.push_back(Trail(Below(188)));
    } else { // level-2 kanji, rows 49-82: leads 99-9F, E0-E9
        const std::uint32_t lead = Below(7 + 10);
        out.push_back(static_cast<std::uint8_t>(lead < 7 ? 0x99 + lead : 0xE0 + (lead - 7)));
        out.push_back(Trail(Below(188)));
    }
}

model::Bytes CRandomText::ShiftJisText(std::size_t nLength, bool bHalfWidthKatakana)
{
    model::Bytes out;
    while (out.size() < nLength)
        AppendShiftJisCharacter(out, bHalfWidthKatakana);
    return out;
}

model::Bytes CRandomText::Utf16Text(std::size_t nLength)
{
    model::Bytes out;
    while (out.size() < nLength) {
        const std::uint32_t kind = Below(100);
        if (kind < 85) {
            model::Bytes character;
            AppendShiftJisCharacter(character, true);
            const model::Bytes units = model::ShiftJisToUnicode(character);
            out.insert(out.end(), units.begin(), units.end());
        } else if (kind < 90) { // Hangul syllables
            AppendUnit(out, 0xAC00 + Below(11172));
        } else if (kind < 95) { // Latin-1 letters with marks
            AppendUnit(out, 0xC0 + Below(0x40));
        } else { // an astral character as a surrogate pair
            const std::uint32_t c = 0x1F300 + Below(0x300) - 0x10000;
            AppendUnit(out, 0xD800 + (c >> 10));
            AppendUnit(out, 0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

model::Bytes CRandomText::JapaneseText(CharsetId nCharset, std::size_t nLength)
{
    switch (nCharset) {
    case Charset::EucJp:
        return model::ShiftJisToEucJp(ShiftJisText(nLength));
    case Charset::Jis:
        return model::ShiftJisToJis(ShiftJisText(nLength));
    case Charset::Unicode:
        return Utf16Text(nLength);
    case Charset::Utf8:
        return model::UnicodeToUtf8(Utf16Text(nLength));
    default:
        return ShiftJisText(nLength);
    }
}
