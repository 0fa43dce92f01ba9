// The pipeline's last cut is the last of all the cuts the full scan finds,
// whatever the text and kernel path: the shortcut for ISO-2022-JP reads
// backwards from the last line end, so it must agree with the scan from the
// start.
#include <gtest/gtest.h>

#include <numeric>

#include "byte_search.h"
#include "random_text.h"
#include "reference_model.h"
#include "text_cuts.h"

namespace {

std::int64_t LastOfAllCuts(CharsetId source, const model::Bytes& text)
{
    const auto n = static_cast<std::int64_t>(text.size());
    std::vector<std::int64_t> targets(static_cast<std::size_t>(n));
    std::iota(targets.begin(), targets.end(), 0);
    const std::vector<std::int64_t> cuts = text_cuts::FindCuts(source, text.data(), n, targets);
    return cuts.empty() ? 0 : cuts.back();
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
