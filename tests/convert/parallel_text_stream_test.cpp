// Several threads give the one-thread bytes: random texts in every cell and
// line ending, small windows so that many cuts fall, texts without a line
// end, and the escapes that stop the ISO-2022-JP scan.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "parallel_text_stream.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunConvert;
using harness::SameBytes;
using model::Bytes;

Bytes RunParallel(const Bytes& text, CharsetId source, CharsetId target, NLCode code, int nThreads,
                  std::int64_t nPiece, std::size_t nWrite)
{
    harness::CCollectSink sink;
    CParallelTextStream stream(source, target, code, "#", sink, nThreads, nPiece);
    for (std::size_t at = 0; at < text.size(); at += nWrite) {
        const std::size_t n = std::min(nWrite, text.size() - at);
        stream.Write(text.data() + at, static_cast<std::int64_t>(n));
    }
    stream.Finish();
    return sink.m_bytes;
}

TEST(ParallelTextStream, MatchesTheWholeConversion)
{
    CRandomText random(2701);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            for (NLCode code = 0; code <= 3; ++code) {
                SCOPED_TRACE(testing::Message() << Charset::kShortNames[source] << "->" << Charset::kShortNames[target]
                                                << " NL" << code);
                for (int round = 0; round < 6; ++round) {
                    const std::size_t n = 200 + random.Below(3000);
                    const Bytes text = round % 3 == 0   ? random.Hostile(source, n)
                                       : round % 3 == 1 ? random.JapaneseText(source, n)
                                                        : random.AnyBytes(n);
                    const Bytes whole = RunConvert(text, source, target, code, "#");
                    const int nThreads = 2 + round % 3;
                    const std::int64_t nPiece = 64 + random.Below(400);
                    ASSERT_TRUE(SameBytes(RunParallel(text, source, target, code, nThreads, nPiece,
                                                      1 + random.Below(700)),
                                          whole))
                        << "input " << model::ToHex(text);
                }
            }
        }
    }
}

// Where no cut can fall for a whole window, the one-thread stream carries the
// text on.
TEST(ParallelTextStream, StretchesWithoutCuts)
{
    const struct {
        CharsetId source;
        const char* unit;  // repeated, with no cut inside
        const char* tail;  // then lines with cuts
    } kCases[] = {
        {Charset::ShiftJis, "88 9F", "41 0D 0A 82 A0 0A"},
        {Charset::EucJp, "B0 A1", "41 0D 0A A4 A2 0A"},
        {Charset::Jis, "1B 24 42 30 21 0A 0A", "1B 28 42 41 0D 0A"},
        {Charset::Jis, "1B 0A 41", "41 0A"}, // an unknown escape over an LF stops the scan
        {Charset::Unicode, "9C 4E", "41 00 0D 00 0A 00"},
        {Charset::Utf8, "E4 BA 9C", "41 0D 0A"},
    };
    for (const auto& c : kCases) {
        Bytes text;
        const Bytes unit = model::FromHex(c.unit);
        const Bytes tail = model::FromHex(c.tail);
        for (int k = 0; k < 300; ++k)
            text.insert(text.end(), unit.begin(), unit.end());
        for (int k = 0; k < 100; ++k) {
            text.insert(text.end(), tail.begin(), tail.end());
            if (k % 10 == 0)
                for (int m = 0; m < 100; ++m)
                    text.insert(text.end(), unit.begin(), unit.end());
        }
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            SCOPED_TRACE(testing::Message() << c.unit << " -> " << Charset::kShortNames[target]);
            EXPECT_TRUE(SameBytes(RunParallel(text, c.source, target, 1, 3, 128, 333), RunConvert(text, c.source, target, 1, "#")));
        }
    }
}

} // namespace
