// A text fed in pieces gives, for every split, the bytes the whole-text
// conversion gives: every cell and line ending, random splits down to single
// bytes, every split point of short hostile texts, and blocks far larger than
// a stage's buffer.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "random_text.h"
#include "reference_model.h"
#include "text_stream.h"

namespace {

using harness::RunConvert;
using harness::SameBytes;
using model::Bytes;

// Feeds text in the pieces that end at each of the split points.
Bytes Stream(const Bytes& text, CharsetId source, CharsetId target, NLCode code, const std::vector<std::size_t>& cuts,
             const std::string& strSubstitute = "_")
{
    harness::CCollectSink sink;
    CTextStream stream(source, target, code, strSubstitute, sink);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        // A piece of its own heap block, so the sanitizers see any read past it.
        const Bytes piece(text.begin() + static_cast<std::ptrdiff_t>(from), text.begin() + static_cast<std::ptrdiff_t>(cut));
        const auto block = std::make_unique<std::uint8_t[]>(piece.size() + 1);
        std::copy(piece.begin(), piece.end(), block.get());
        stream.Write(block.get(), static_cast<std::int64_t>(piece.size()));
        from = cut;
    }
    const Bytes rest(text.begin() + static_cast<std::ptrdiff_t>(from), text.end());
    stream.Write(rest.data(), static_cast<std::int64_t>(rest.size()));
    stream.Finish();
    return sink.m_bytes;
}

std::vector<std::size_t> RandomCuts(CRandomText& random, std::size_t n, std::uint32_t nMaxPiece)
{
    std::vector<std::size_t> cuts;
    for (std::size_t at = random.Below(nMaxPiece); at < n; at += 1 + random.Below(nMaxPiece))
        cuts.push_back(at);
    return cuts;
}

std::string Cell(CharsetId source, CharsetId target, NLCode code)
{
    return std::string(Charset::kShortNames[source]) + "->" + Charset::kShortNames[target] + " NL" +
           std::to_string(code);
}

TEST(TextStream, RandomSplitsOfEveryCell)
{
    CRandomText random(2601);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            for (NLCode code = 0; code <= 3; ++code) {
                SCOPED_TRACE(Cell(source, target, code));
                for (int round = 0; round < 12; ++round) {
                    const std::size_t n = 1 + random.Below(300);
                    const Bytes text = round % 3 == 0   ? random.Hostile(source, n)
                                       : round % 3 == 1 ? random.JapaneseText(source, n)
                                                        : random.AnyBytes(n);
                    const Bytes whole = RunConvert(text, source, target, code, "#");
                    const std::uint32_t maxPiece = round < 4 ? 1 : round < 8 ? 3 : 40;
                    ASSERT_TRUE(SameBytes(Stream(text, source, target, code, RandomCuts(random, text.size(), maxPiece), "#"),
                                          whole))
                        << "input " << model::ToHex(text);
                }
            }
        }
    }
}

// Texts built of the units the walks and kernels hold back, split in two at
// every point.
TEST(TextStream, EverySplitPointOfHardPlaces)
{
    struct Hard {
        CharsetId source;
        const char* hex;
    };
    const Hard kHard[] = {
        {Charset::ShiftJis, "41 0D 0A 82 0D 0A 88 9F 0D 82 A0 B1 0D 0A 81 81 81 0D 0A 0D"},
        {Charset::EucJp, "A4 A2 0D 0A 8E B1 0D 8F B0 A1 0D 0A 8F 0D 0A 0D 8E 0D 0A 8F A1"},
        {Charset::Jis, "1B 24 42 30 21 0D 0A 1B 28 49 31 0D 0A 1B 28 42 0D 0A 0E 36 0F 1B 24 40 30 21 1B 28 42 1B 24"},
        {Charset::Unicode, "41 00 0D 00 0A 00 3D D8 00 DE 0D 00 0D 00 0A 00 00 D8 41 00 0D 00 42"},
        {Charset::Utf8, "41 0D 0A E3 81 82 0D F0 A0 AE B7 0D 0A E3 81 0D C3 A9 ED A0 80 F4 90 80 80 E3"},
    };
    for (const Hard& h : kHard) {
        const Bytes text = model::FromHex(h.hex);
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            for (NLCode code = 0; code <= 2; ++code) {
                SCOPED_TRACE(Cell(h.source, target, code));
                const Bytes whole = RunConvert(text, h.source, target, code);
                for (std::size_t at = 0; at <= text.size(); ++at)
                    ASSERT_TRUE(SameBytes(Stream(text, h.source, target, code, {at}), whole)) << "split at " << at;
            }
        }
    }
}

// Long texts cross the stages' block buffers, in pieces of every scale.
TEST(TextStream, LongTextsInLargeAndSmallPieces)
{
    CRandomText random(2602);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        const Bytes text = random.JapaneseText(source, 300000);
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            SCOPED_TRACE(Cell(source, target, 1));
            const Bytes whole = RunConvert(text, source, target, 1);
            ASSERT_TRUE(SameBytes(Stream(text, source, target, 1, {}), whole));
            ASSERT_TRUE(SameBytes(Stream(text, source, target, 1, RandomCuts(random, text.size(), 100000)), whole));
            ASSERT_TRUE(SameBytes(Stream(text, source, target, 1, RandomCuts(random, text.size(), 700)), whole));
        }
    }
}

} // namespace
