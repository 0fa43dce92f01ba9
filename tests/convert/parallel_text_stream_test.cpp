// Several threads give the one-thread bytes: random texts in every cell and
// line ending, small windows so that many cuts fall, texts without a line
// end, and the escapes that stop the ISO-2022-JP scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "engine_harness.h"
#include "parallel_text_stream.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunConvert;
using harness::SameBytes;
using model::Bytes;

// Fed nWrite bytes at a time; with bRoom, read into the stream's own room as
// the job does, which may take fewer.
Bytes RunParallel(const Bytes& text, CharsetId source, CharsetId target, NLCode code, int nThreads,
                  std::int64_t nPiece, std::size_t nWrite, bool bRoom = false)
{
    harness::CCollectSink sink;
    CParallelTextStream stream(source, target, code, "#", sink, nThreads, nPiece);
    for (std::size_t at = 0; at < text.size();) {
        auto n = static_cast<std::int64_t>(std::min(nWrite, text.size() - at));
        if (bRoom) {
            std::int64_t nRoom = 0;
            std::uint8_t* const p = stream.Room(&nRoom);
            n = std::min(n, nRoom);
            std::copy_n(text.data() + at, n, p);
            stream.Wrote(n);
        } else {
            stream.Write(text.data() + at, n);
        }
        at += static_cast<std::size_t>(n);
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
                                                      1 + random.Below(700), round % 2 == 1),
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

namespace {

// A fuzz finding: EUC-JP where a broken unit once took the LF after it
// along, so a cut there fell inside a kanji run and the writer went back to
// ASCII in the middle (ESC ( B ESC $ B). Every LF is now a place to cut.
TEST(ParallelTextStream, CutsAfterBrokenUnitsKeepTheOneThreadBytes)
{
    const Bytes text = model::FromHex(
        "DF 1B 0D 54 A4 3E F0 FF 20 40 20 8E 7E E0 7F E0 DF 0D 0A 1B 8F 7E 1D FE 0D 8F 3B 0D 0D 8E 2A 2B 94 80 60 8F "
        "1A 0D A2 41 A2 FF 5E 8F 80 A7 0D A1 A4 7F 65 FE 8E 0A A4 7F A1 8E 8E 40 0D A1 80 8F 0D A4 A4 74 C9 0D 0D 8F "
        "41 7F 20 DC 8F E2 0A 8E 7E 8E 75 A4 FF DF 89 A1 C6 A1 1B DF CE 0D 0A D0 40 A2 7E 8E 29 20 F8 E0 A2 53 7E FD "
        "0A 7E 0D AE EB 7E AB 36 7F E0 0D 0A 92 4B 0A 0A FF 0A 1B E0 DF 7E 40 B7 0A 8E 0A F3 FF 0A 2B 20 19 1B 0D A1 "
        "A1 17 0A FE FF 80 A2 91 0D 0A 80 FF 1B A2 8E 26 E0 13 98 0A E4 8F 8F 1B 0D E5 1D FA 5A 7E A4 1C 8F B1 0A 8E "
        "DF 0A A4 0D 0A 0D 0D 0D B6 B1 A4 8F 0A 8F E0 40 8E 40 0D 0A 60 A4 40 0A 8F 8F 90 F9 41 4C DA 8E 7F B1 49 F7 "
        "52 8E 80 FF D4 7F 8E 20 94 8E 51 1B B4 20 B1 FE 8E 8E 8E 41 FF B2 0D 0D 04 DF 0D 0A 41 E0 0A 09 7F 40 40 A0 "
        "74 80 0A 18 DF 7F 8E 8E E4 8F FE 8E 0A E1 B1 8E 1B");
    for (const NLCode code : {NewLine::CrLf, NewLine::Lf, NewLine::Cr}) {
        const Bytes whole = RunConvert(text, Charset::EucJp, Charset::Jis, code, "#");
        for (std::int64_t nPiece = 64; nPiece < 160; nPiece += 7)
            ASSERT_TRUE(SameBytes(RunParallel(text, Charset::EucJp, Charset::Jis, code, 2, nPiece, 13), whole))
                << "NL" << code << " piece " << nPiece;
    }
}

} // namespace

namespace {

// Fails after a number of pieces, as a full disk would.
class CFailingSink : public IByteSink {
public:
    explicit CFailingSink(int nPuts) : m_nLeft(nPuts) {}
    void Put(const std::uint8_t*, std::int64_t) override
    {
        if (m_nLeft-- == 0)
            throw std::runtime_error("sink failed");
    }

private:
    int m_nLeft;
};

// What a thread of the pool or the sink throws reaches the caller, and a
// stream left part-way (a cancelled job) waits for its threads and goes:
// no piece is written after it, nothing is left running (the sanitizers
// see to the rest).
TEST(ParallelTextStream, AFailureOnAThreadReachesTheCallerAndStopsTheRest)
{
    CRandomText random(77);
    const Bytes text = random.JapaneseText(Charset::ShiftJis, 200000);
    for (int nPuts = 0; nPuts < 6; ++nPuts) {
        CFailingSink sink(nPuts);
        bool bThrown = false;
        try {
            CParallelTextStream stream(Charset::ShiftJis, Charset::Utf8, NewLine::Lf, "#", sink, 3, 4096);
            for (std::size_t at = 0; at < text.size(); at += 1000)
                stream.Write(text.data() + at, static_cast<std::int64_t>(std::min<std::size_t>(1000, text.size() - at)));
            stream.Finish();
        } catch (const std::runtime_error&) {
            bThrown = true;
        }
        EXPECT_TRUE(bThrown) << nPuts;
    }
    for (std::size_t nStop : {0, 1, 5000, 100000}) {
        harness::CCollectSink sink;
        {
            CParallelTextStream stream(Charset::ShiftJis, Charset::Utf8, NewLine::Lf, "#", sink, 3, 4096);
            stream.Write(text.data(), static_cast<std::int64_t>(nStop));
        }
        const Bytes whole = RunConvert(text, Charset::ShiftJis, Charset::Utf8, NewLine::Lf, "#");
        ASSERT_LE(sink.m_bytes.size(), whole.size());
        EXPECT_TRUE(std::equal(sink.m_bytes.begin(), sink.m_bytes.end(), whole.begin())) << nStop;
    }
}

} // namespace
