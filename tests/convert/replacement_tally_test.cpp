// What a conversion replaced, as the stream counts it: characters without a
// form, ill-formed sequences, and where the first of each stands, the same
// on one thread and on many, whatever the pieces.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "parallel_text_stream.h"
#include "random_text.h"
#include "replacement_tally.h"
#include "text_stream.h"

namespace {

using model::Bytes;
using model::FromHex;

constexpr CharsetId SJ = Charset::ShiftJis;
constexpr CharsetId EU = Charset::EucJp;
constexpr CharsetId JI = Charset::Jis;
constexpr CharsetId U16 = Charset::Unicode;
constexpr CharsetId U8 = Charset::Utf8;

CReplacementTally TallyOf(const Bytes& in, CharsetId source, CharsetId target, std::size_t nPiece)
{
    harness::CCollectSink sink;
    CReplacementTally tally;
    CTextStream stream(source, target, NewLine::Lf, "_", sink, true, &tally);
    for (std::size_t at = 0; at < in.size(); at += nPiece)
        stream.Write(in.data() + at, static_cast<std::int64_t>(std::min(nPiece, in.size() - at)));
    stream.Finish();
    return tally;
}

TEST(ReplacementTally, CountsAndLocatesTheFirstOfEach)
{
    const struct {
        CharsetId source;
        CharsetId target;
        const char* in;
        std::int64_t nNoForm, nIllFormed;
        std::int64_t nLine, nColumn;
        std::uint32_t nValue; // of the first no-form character, else of the first ill-formed byte
    } kCases[] = {
        {U8, SJ, "61 F0 9F 98 80 62", 1, 0, 1, 2, 0x1F600},                     // a😀b
        {U8, EU, "0A 61 0D 0A E3 81 82 C3 A9 C3 A9", 0, 0, 0, 0, 0},              // é is JIS X 0212
        {U8, SJ, "0A 61 0D 0A E3 81 82 C3 A9 C3 A9", 2, 0, 3, 2, 0xE9},          // line 3, after あ
        {U8, U16, "41 0A 42 43 FF 44", 0, 1, 2, 3, 0xFF},
        {SJ, EU, "41 0A 88 0A F0 40", 1, 1, 3, 1, 0xE000},                       // a user-defined code
        {SJ, U8, "41 42 88 0A", 0, 1, 1, 3, 0x88},
        {EU, SJ, "A4 A2 8F AB AE", 1, 0, 1, 2, 0xE7},                            // あç
        {EU, U8, "0A 0A 8E 41", 0, 1, 3, 1, 0x8E},
        {JI, U8, "1B 24 42 46 7C 0A 80 1B 28 42", 0, 1, 2, 1, 0x80},
        {U16, EU, "41 00 3D D8 42 00", 0, 1, 1, 2, 0x3D},                       // a lone surrogate
        {U16, U8, "41 00 42", 0, 1, 1, 0, 0x42}, // an odd last byte waits for more: no column
        {SJ, U8, "82 A0 0A 41", 0, 0, 0, 0, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        for (const std::size_t nPiece : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            const CReplacementTally tally = TallyOf(FromHex(c.in), c.source, c.target, nPiece);
            EXPECT_EQ(tally.m_nNoForm, c.nNoForm);
            EXPECT_EQ(tally.m_nIllFormed, c.nIllFormed);
            const CReplacementTally::First& first = c.nNoForm > 0 ? tally.m_firstNoForm : tally.m_firstIllFormed;
            if (c.nLine == 0)
                continue;
            EXPECT_EQ(first.nLine, c.nLine);
            if (nPiece == 1000) { // a unit carried across pieces keeps its line, not always its column
                EXPECT_EQ(first.nColumn, c.nColumn);
            }
            EXPECT_EQ(first.nValue, c.nValue);
        }
    }
}

TEST(ReplacementTally, ThreadsTellWhatOneThreadTells)
{
    CRandomText random(77);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            for (int round = 0; round < 4; ++round) {
                const Bytes text = random.Hostile(source, 1000 + random.Below(3000));
                const CReplacementTally one = TallyOf(text, source, target, text.size());
                harness::CCollectSink sink;
                CReplacementTally many;
                CParallelTextStream stream(source, target, NewLine::Lf, "_", sink, 3, 64 + random.Below(200));
                stream.SetTally(&many);
                stream.Write(text.data(), static_cast<std::int64_t>(text.size()));
                stream.Finish();
                SCOPED_TRACE(testing::Message() << source << "->" << target << " " << model::ToHex(text));
                ASSERT_EQ(many.m_nNoForm, one.m_nNoForm);
                ASSERT_EQ(many.m_nIllFormed, one.m_nIllFormed);
                ASSERT_EQ(many.m_firstNoForm.nLine, one.m_firstNoForm.nLine);
                ASSERT_EQ(many.m_firstIllFormed.nLine, one.m_firstIllFormed.nLine);
                ASSERT_EQ(many.m_firstIllFormed.nValue, one.m_firstIllFormed.nValue);
            }
        }
    }
}

} // namespace
