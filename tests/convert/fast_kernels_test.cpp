// Every fast kernel must give exactly the bytes of its reference kernel, on
// random and on hostile input (line endings glued to lead bytes, lone leads
// at the end, long runs of high-bit bytes).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "line_endings.h"
#include "reference_kernels.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Random text over an alphabet weighted towards the bytes the walks care about.
Bytes RandomText(std::mt19937& rng, std::size_t n, const Bytes& alphabet)
{
    Bytes text(n);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::uniform_int_distribution<int> any(0, 255);
    for (auto& b : text)
        b = (rng() % 4 == 0) ? static_cast<std::uint8_t>(any(rng)) : alphabet[pick(rng)];
    return text;
}

Bytes Walk(line_endings::Walk walk, const Bytes& in, NLCode code)
{
    Bytes out(2 * in.size() + 1);
    const std::uint8_t* end = walk(in.data(), static_cast<std::int64_t>(in.size()), out.data(), code);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

struct Alphabet {
    CharsetId charset;
    Bytes bytes;
};

void PrintTo(const Alphabet& a, std::ostream* os) { *os << Charset::kShortNames[a.charset]; }

class FastLineEndings : public ::testing::TestWithParam<Alphabet> {};

TEST_P(FastLineEndings, MatchReferenceOnRandomText)
{
    const Alphabet& a = GetParam();
    std::mt19937 rng(1234 + a.charset);
    const auto fast = line_endings::FastWalk(a.charset);
    const auto reference = ::reference::LineEndingWalk(a.charset);
    ASSERT_NE(fast, nullptr);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t n = round < 200 ? static_cast<std::size_t>(round % 40) : rng() % 300;
        const Bytes in = RandomText(rng, n, a.bytes);
        for (NLCode code = 0; code <= 3; ++code)
            ASSERT_EQ(Walk(fast, in, code), Walk(reference, in, code)) << "round " << round << " code " << code;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllSources, FastLineEndings,
    ::testing::Values(Alphabet{Charset::ShiftJis, {0x0D, 0x0A, 0x41, 0x82, 0xA0, 0x88, 0x9F, 0xB1, 0x40}},
                      Alphabet{Charset::EucJp, {0x0D, 0x0A, 0x41, 0xA4, 0xA2, 0x8E, 0x8F, 0xB0, 0x8F}},
                      Alphabet{Charset::Jis, {0x0D, 0x0A, 0x41, 0x1B, 0x24, 0x28, 0x42, 0x40, 0x4A, 0x0E, 0x0F}},
                      Alphabet{Charset::Unicode, {0x0D, 0x0A, 0x00, 0x30, 0x41}},
                      Alphabet{Charset::Utf8, {0x0D, 0x0A, 0x41, 0xE3, 0x81, 0x82, 0xC3, 0xA9, 0xF0, 0x80}}),
    [](const auto& info) { return std::string(Charset::kShortNames[info.param.charset]); });

TEST_P(FastLineEndings, UnchangedOnlyWhenThePassWouldCopy)
{
    // Convert skips the pass when IsUnchanged says so: it must never be wrong,
    // and it must say so for ordinary files already in the requested form.
    const Alphabet& a = GetParam();
    std::mt19937 rng(77 + a.charset);
    const auto reference = ::reference::LineEndingWalk(a.charset);
    int unchanged = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes in = RandomText(rng, rng() % 120, a.bytes);
        const NLCode code = static_cast<NLCode>(rng() % 4);
        if (round % 2 == 0) // many texts already normalised to the code
            in = Walk(reference, in, code);
        if (line_endings::IsUnchanged(in.data(), static_cast<std::int64_t>(in.size()), a.charset, code)) {
            ++unchanged;
            ASSERT_EQ(Walk(reference, in, code), in) << "round " << round << " code " << code;
        }
    }
    EXPECT_GT(unchanged, 300);
}

TEST(FastLineEndings, LongRunsOfHighBitBytesBeforeALineEnd)
{
    // Parity of the run decides whether the CR is a trail or a line ending.
    for (std::size_t run = 0; run < 70; ++run) {
        Bytes in(run, 0x82);
        in.push_back(0x0D);
        in.push_back(0x0A);
        for (CharsetId cs : {Charset::ShiftJis, Charset::EucJp, Charset::Utf8}) {
            EXPECT_EQ(Walk(line_endings::FastWalk(cs), in, NewLine::Lf),
                      Walk(::reference::LineEndingWalk(cs), in, NewLine::Lf))
                << "run " << run << " charset " << cs;
        }
    }
}

} // namespace

#include "reference_kernels.h"
#include "engine_harness.h"
#include "reference_model.h"
#include "text_converter.h"

namespace {

// A cell of the table as the program runs it, and the model's cell.
struct KernelPair {
    const char* name;
    ConversionRoutine fast;
    CharsetId source;
    CharsetId target;
    Bytes alphabet;
};

Bytes Model(const KernelPair& k, const Bytes& in) { return model::ConvertCell(in, k.source, k.target, "_"); }

Bytes RunStage(ConversionRoutine routine, const Bytes& in)
{
    CTextConverter converter;
    CByteBuffer out;
    EXPECT_TRUE(routine(in.data(), static_cast<std::int64_t>(in.size()), &out, &converter));
    return Bytes(out.Data(), out.Data() + out.Size());
}

void PrintTo(const KernelPair& k, std::ostream* os) { *os << k.name; }

class FastStages : public ::testing::TestWithParam<KernelPair> {};

TEST_P(FastStages, MatchTheModelOnRandomText)
{
    const KernelPair& k = GetParam();
    std::mt19937 rng(99);
    for (int round = 0; round < 3000; ++round) {
        // Long inputs too, so the vector loops and their tails both run.
        const std::size_t n = round < 100 ? static_cast<std::size_t>(round) : rng() % (round % 10 == 0 ? 4000 : 200);
        const Bytes in = RandomText(rng, n, k.alphabet);
        ASSERT_TRUE(harness::SameBytes(RunStage(k.fast, in), Model(k, in))) << k.name << " round " << round << " in " << model::ToHex(in);
    }
}

const Bytes kAscii = {0x41, 0x20, 0x0D, 0x0A, 0x7E};

INSTANTIATE_TEST_SUITE_P(
    AllStages, FastStages,
    ::testing::Values(
        KernelPair{"ShiftJisToEucJp", ShiftJisToEucJp, Charset::ShiftJis, Charset::EucJp, {0x41, 0x88, 0x9F, 0xE0, 0x7F, 0x80, 0xB1, 0xA1, 0xDF, 0xFD}},
        KernelPair{"EucJpToShiftJis", EucJpToShiftJis, Charset::EucJp, Charset::ShiftJis, {0x41, 0xB0, 0xA1, 0x8E, 0x8F, 0x21, 0xB1, 0xDF, 0x8E}},
        KernelPair{"ShiftJisToJis", ShiftJisToJis, Charset::ShiftJis, Charset::Jis, {0x41, 0x88, 0x9F, 0xFC, 0x0D, 0x40, 0xB1, 0xA1, 0xFD}},
        KernelPair{"JisToShiftJis", JisToShiftJis, Charset::Jis, Charset::ShiftJis,
                   {0x1B, 0x24, 0x42, 0x28, 0x26, 0x40, 0x30, 0x21, 0x0E, 0x0F, 0x41, 0x49, 0x36, 0x5F, 0x60}},
        KernelPair{"UnicodeToUtf8", UnicodeToUtf8, Charset::Unicode, Charset::Utf8,
                   {0x00, 0x41, 0x30, 0x07, 0xD8, 0xFF, 0x3D, 0xDB, 0xDC, 0xDF}},
        KernelPair{"Utf8ToUnicode", Utf8ToUnicode, Charset::Utf8, Charset::Unicode,
                   {0x41, 0xE3, 0x81, 0xC3, 0xA9, 0xF0, 0xBF, 0x9F, 0x98, 0x80, 0xED, 0xA0, 0xE0, 0xF4, 0x90, 0xC0}},
        KernelPair{"ShiftJisToUtf8", ShiftJisToUtf8, Charset::ShiftJis, Charset::Utf8,
                   {0x41, 0x82, 0xA0, 0x88, 0x9F, 0xB1, 0x85, 0x40, 0xFD, 0x0A}},
        KernelPair{"Utf8ToShiftJis", Utf8ToShiftJis, Charset::Utf8, Charset::ShiftJis,
                   {0x41, 0xE3, 0x81, 0x82, 0xED, 0xA0, 0xB0, 0xBD, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80, 0xF4, 0x90}},
        KernelPair{"EucJpToUnicode", EucJpToUnicode, Charset::EucJp, Charset::Unicode, {0x41, 0xB0, 0xA1, 0x8E, 0xA4, 0x0A, 0x8F, 0xB1}},
        KernelPair{"EucJpToUtf8", EucJpToUtf8, Charset::EucJp, Charset::Utf8, {0x41, 0xB0, 0xA1, 0x8E, 0xA4, 0x0A, 0x8F, 0xB1}},
        KernelPair{"JisToUnicode", JisToUnicode, Charset::Jis, Charset::Unicode,
                   {0x1B, 0x24, 0x42, 0x28, 0x30, 0x21, 0x0E, 0x41, 0x7E, 0x49, 0x36}},
        KernelPair{"JisToUtf8", JisToUtf8, Charset::Jis, Charset::Utf8, {0x1B, 0x24, 0x42, 0x28, 0x30, 0x21, 0x0F, 0x41, 0x49, 0x36, 0x0E}},
        KernelPair{"UnicodeToEucJp", UnicodeToEucJp, Charset::Unicode, Charset::EucJp, {0x00, 0x41, 0x30, 0x71, 0xFF, 0xD8, 0xDC}},
        KernelPair{"UnicodeToJis", UnicodeToJis, Charset::Unicode, Charset::Jis, {0x00, 0x41, 0x30, 0x71, 0xFF, 0xD8, 0xDC}},
        KernelPair{"Utf8ToEucJp", Utf8ToEucJp, Charset::Utf8, Charset::EucJp,
                   {0x41, 0xE3, 0x81, 0x82, 0xEF, 0xBD, 0xB1, 0xED, 0xA0, 0xB0}},
        KernelPair{"Utf8ToJis", Utf8ToJis, Charset::Utf8, Charset::Jis,
                   {0x41, 0xE3, 0x81, 0x82, 0xEF, 0xBD, 0xB1, 0xED, 0xA0, 0xB0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FastStages, MatchTheModelAcrossBlockEdges)
{
    // Texts longer than a slice, with escapes, pairs and lead bytes placed
    // on and around every boundary.
    std::mt19937 rng(2024);
    for (int round = 0; round < 24; ++round) {
        const std::size_t n = 64 * 1024 * (1 + round % 3) + static_cast<std::size_t>(rng() % 7);
        const Bytes euc = RandomText(rng, n, {0xB0, 0xA1, 0x8E, 0xA4, 0x41, 0x0A});
        ASSERT_TRUE(harness::SameBytes(RunStage(EucJpToUnicode, euc), model::ConvertCell(euc, Charset::EucJp, Charset::Unicode, "_"))) << round;
        ASSERT_TRUE(harness::SameBytes(RunStage(EucJpToUtf8, euc), model::ConvertCell(euc, Charset::EucJp, Charset::Utf8, "_"))) << round;
        const Bytes jis = RandomText(rng, n, {0x1B, 0x24, 0x42, 0x28, 0x30, 0x21, 0x41, 0x0A});
        ASSERT_TRUE(harness::SameBytes(RunStage(JisToUnicode, jis), model::ConvertCell(jis, Charset::Jis, Charset::Unicode, "_"))) << round;
        ASSERT_TRUE(harness::SameBytes(RunStage(JisToUtf8, jis), model::ConvertCell(jis, Charset::Jis, Charset::Utf8, "_"))) << round;
        // Half-width katakana (FF71 -> B1, a lead byte for the next stage)
        // and surrogate pairs around the slice ends of the way back.
        const Bytes utf16 = RandomText(rng, n, {0x71, 0xFF, 0x3D, 0xD8, 0x00, 0xDE, 0x41, 0x00, 0x42, 0x30});
        ASSERT_TRUE(harness::SameBytes(RunStage(UnicodeToEucJp, utf16), model::ConvertCell(utf16, Charset::Unicode, Charset::EucJp, "_"))) << round;
        ASSERT_TRUE(harness::SameBytes(RunStage(UnicodeToJis, utf16), model::ConvertCell(utf16, Charset::Unicode, Charset::Jis, "_"))) << round;
        const Bytes utf8 = RandomText(rng, n, {0xEF, 0xBD, 0xB1, 0xED, 0xA0, 0xB0, 0xE3, 0x81, 0x82, 0x41, 0xC3});
        ASSERT_TRUE(harness::SameBytes(RunStage(Utf8ToEucJp, utf8), model::ConvertCell(utf8, Charset::Utf8, Charset::EucJp, "_"))) << round;
        ASSERT_TRUE(harness::SameBytes(RunStage(Utf8ToJis, utf8), model::ConvertCell(utf8, Charset::Utf8, Charset::Jis, "_"))) << round;
    }
}

// Every two-byte unit, between plain text on both sides and as the very
// last bytes: the direct paths decide per pair whether the stages may be
// skipped, so each pair is checked where that decision is made.
TEST(FastStages, EveryPairMatchesTheModel)
{
    const KernelPair kPairs[] = {
        {"EucJpToUnicode", EucJpToUnicode, Charset::EucJp, Charset::Unicode, {}},
        {"EucJpToUtf8", EucJpToUtf8, Charset::EucJp, Charset::Utf8, {}},
        {"ShiftJisToUtf8", ShiftJisToUtf8, Charset::ShiftJis, Charset::Utf8, {}},
        {"JisToUnicode", JisToUnicode, Charset::Jis, Charset::Unicode, {}},
        {"JisToUtf8", JisToUtf8, Charset::Jis, Charset::Utf8, {}},
    };
    for (const KernelPair& k : kPairs) {
        const bool bJis = std::string(k.name).starts_with("Jis");
        // ISO-2022-JP pairs come in double-byte mode, after a plain pair.
        const Bytes before = bJis ? Bytes{0x1B, 0x24, 0x42, 0x30, 0x21} : Bytes{0xB0, 0xA1, 0x41};
        const Bytes after = bJis ? Bytes{0x1B, 0x28, 0x42, 0x42} : Bytes{0x42};
        for (unsigned lead = bJis ? 0 : 0x80; lead < 0x100; ++lead) {
            // One text a lead byte: each trail between a plain pair before it
            // and ASCII after, and the last pair at the end of the text.
            Bytes in = bJis ? Bytes{0x1B, 0x24, 0x42} : Bytes{};
            for (unsigned trail = 0; trail < 0x100; ++trail) {
                const Bytes unit = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
                Bytes text = before;
                text.insert(text.end(), unit.begin(), unit.end());
                text.insert(text.end(), after.begin(), after.end());
                ASSERT_EQ(RunStage(k.fast, text), Model(k, text))
                    << k.name << " " << std::hex << lead << " " << trail;
                in.insert(in.end(), unit.begin(), unit.end());
            }
            ASSERT_EQ(RunStage(k.fast, in), Model(k, in)) << k.name << " " << std::hex << lead;
        }
    }
}

TEST(FastStages, AsciiOnlyIsUnchangedByEveryByteStage)
{
    std::mt19937 rng(5);
    const Bytes in = RandomText(rng, 5000, kAscii);
    Bytes ascii = in;
    for (auto& b : ascii)
        b &= 0x7F;
    ascii.erase(std::remove_if(ascii.begin(), ascii.end(), [](std::uint8_t b) { return b == 0x1B || b == 0x0E || b == 0x0F; }),
                ascii.end());
    for (ConversionRoutine r : {ShiftJisToEucJp, EucJpToShiftJis, ShiftJisToJis, JisToShiftJis})
        EXPECT_EQ(RunStage(r, ascii), ascii);
}

} // namespace
