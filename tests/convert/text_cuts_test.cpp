// The pipeline's last cut is the last one a scan from the start finds,
// whatever the text and kernel path: the shortcut for ISO-2022-JP reads
// backwards from the last line end, so it must agree with the scan.
#include <gtest/gtest.h>


#include "byte_search.h"
#include "jis_family.h"
#include "random_text.h"
#include "reference_model.h"
#include "text_cuts.h"

namespace {

// The last cut by a scan from the start, unit by unit: after an LF in
// Shift_JIS, EUC-JP and UTF-8, after an LF unit in UTF-16, and in ISO-2022-JP
// after an LF read in ASCII mode, before any escape that is cut off or holds
// a byte the line-ending pass treats apart.
std::int64_t LastOfAllCuts(CharsetId source, const model::Bytes& text)
{
    const auto n = static_cast<std::int64_t>(text.size());
    const std::uint8_t* const p = text.data();
    const auto special = [](std::uint8_t c) { return c == 0x0D || c == 0x0A || c == 0x1B || c == 0x0E || c == 0x0F; };
    std::int64_t last = 0;
    if (source == Charset::Unicode) {
        for (std::int64_t q = 0; q + 1 < n; q += 2)
            if (p[q] == 0x0A && p[q + 1] == 0)
                last = q + 2;
        return last;
    }
    if (source != Charset::Jis) {
        for (std::int64_t q = 0; q < n; ++q)
            if (p[q] == 0x0A)
                last = q + 1;
        return last;
    }
    jis_family::JisReader reader;
    for (std::int64_t i = 0; i < n;) {
        if (p[i] == 0x1B && (n - i < 3 || special(p[i + 1]) || special(p[i + 2])))
            break;
        if (p[i] == 0x0A && reader.mode == jis_escapes::Mode::Ascii)
            last = i + 1;
        jis_family::Unit unit{jis_family::Kind::Nothing};
        const int length = reader.Read(p, i, n, false, &unit);
        if (length == 0)
            break;
        i += length;
    }
    return last;
}

std::int64_t LastCut(CharsetId source, const model::Bytes& text)
{
    return text_cuts::LastCut(source, text.data(), static_cast<std::int64_t>(text.size()));
}

TEST(TextCuts, LastCutIsTheLastOfAllCuts)
{
    const struct {
        CharsetId source;
        const char* hex;
    } kCases[] = {
        {Charset::Jis, "41 0A 1B 24 42 30 21 0A 30 21"},          // ends in kanji: the LF before the escape
        {Charset::Jis, "41 0A 1B 24 42 30 21 1B 28 42 0A 41"},    // back in ASCII before the LF
        {Charset::Jis, "0A 1B 28 0A 41 0A"},                      // an unknown escape over an LF stops the scan
        {Charset::Jis, "41 0A 0E 31 0A 0F 41 0A 1B 24"},          // shifts, and an escape cut off at the end
        {Charset::Jis, "41 0A 1B 24 28 44 30 21 0A 1B 28 4A 0A"}, // a four-byte escape, then Roman
        {Charset::Unicode, "41 0A 0A 00 0A"},                     // an odd byte after the last LF unit
        {Charset::ShiftJis, "41 42 43"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(LastCut(c.source, model::FromHex(c.hex)), LastOfAllCuts(c.source, model::FromHex(c.hex))) << c.hex;

    CRandomText random(4402);
    for (int path = 0; path <= static_cast<int>(byte_search::BestPath()); ++path) {
        byte_search::SetKernelPath(static_cast<byte_search::Path>(path));
        for (CharsetId source = 0; source < Charset::Count; ++source) {
            for (int round = 0; round < 300; ++round) {
                const std::size_t n = 1 + random.Below(600);
                const model::Bytes text = round % 3 == 0   ? random.Hostile(source, n)
                                          : round % 3 == 1 ? random.JapaneseText(source, n)
                                                           : random.AnyBytes(n);
                ASSERT_EQ(LastCut(source, text), LastOfAllCuts(source, text))
                    << Charset::kShortNames[source] << " path " << path << " " << model::ToHex(text);
            }
        }
    }
    byte_search::SetKernelPath(byte_search::BestPath());
}

} // namespace
