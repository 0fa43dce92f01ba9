// The row-and-cell arithmetic among Shift_JIS, EUC-JP and ISO-2022-JP: worked
// characters, units alone taking the substitute, escape handling, the ends of
// the input, and exact round trips over the whole JIS X 0208 code space.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "python_oracle.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunStage;
using harness::SameBytes;
using model::Bytes;
using model::FromHex;

struct Case {
    ConversionRoutine routine;
    const char* name;
    const char* input;
    const char* expected;
};

#define STAGE(f) f, #f

const Case kCases[] = {
    // The three worked characters in each direction.
    {STAGE(ShiftJisToEucJp), "88 9F 98 72 E9 CB", "B0 A1 CF D3 F2 CD"},
    {STAGE(EucJpToShiftJis), "B0 A1 CF D3 F2 CD", "88 9F 98 72 E9 CB"},
    {STAGE(ShiftJisToJis), "88 9F", "1B 24 42 30 21 1B 28 42"},
    {STAGE(ShiftJisToJis), "98 72", "1B 24 42 4F 53 1B 28 42"},
    {STAGE(ShiftJisToJis), "E9 CB", "1B 24 42 72 4D 1B 28 42"},
    {STAGE(JisToShiftJis), "1B 24 42 30 21 4F 53 72 4D 1B 28 42", "88 9F 98 72 E9 CB"},
    // Edges of the code space: first and last cells of odd and even rows.
    {STAGE(ShiftJisToEucJp), "81 40 81 7E 81 80 81 9E 81 9F 81 FC EF FC", "A1 A1 A1 DF A1 E0 A1 FE A2 A1 A2 FE FE FE"},
    {STAGE(EucJpToShiftJis), "A1 A1 A1 DF A1 E0 A1 FE A2 A1 A2 FE FE FE", "81 40 81 7E 81 80 81 9E 81 9F 81 FC EF FC"},
    // A lead without its trail, or a stray byte, is a unit alone: the substitute.
    {STAGE(ShiftJisToEucJp), "82 0D", "5F 0D"},
    {STAGE(ShiftJisToEucJp), "81 00 FC FF", "5F 00 5F 5F"},
    {STAGE(EucJpToShiftJis), "8E 41", "5F 41"},
    {STAGE(EucJpToShiftJis), "80 80 FF FF", "5F 5F 5F 5F"},
    {STAGE(EucJpToShiftJis), "A1 0D", "5F 0D"},
    // Half-width katakana keep their meaning in every encoding; the other
    // single high-bit bytes of Shift_JIS have no form in the JIS family.
    {STAGE(ShiftJisToEucJp), "BC CC C4 4A 49 53", "8E BC 8E CC 8E C4 4A 49 53"},
    {STAGE(ShiftJisToEucJp), "80 A0 FD FE FF", "5F 5F 5F 5F 5F"},
    {STAGE(ShiftJisToEucJp), "A1 DF 88 9F", "8E A1 8E DF B0 A1"},
    {STAGE(EucJpToShiftJis), "8E B6 8E C5 8E A1 8E DF", "B6 C5 A1 DF"},
    {STAGE(ShiftJisToJis), "BC CC C4 4A 49 53", "1B 28 49 3C 4C 44 1B 28 42 4A 49 53"},
    {STAGE(ShiftJisToJis), "B1 88 9F B2 41", "1B 28 49 31 1B 24 42 30 21 1B 28 49 32 1B 28 42 41"},
    {STAGE(ShiftJisToJis), "DF", "1B 28 49 5F 1B 28 42"},
    {STAGE(ShiftJisToJis), "80 A0 FD", "5F 5F 5F"},
    {STAGE(JisToShiftJis), "1B 28 49 36 45", "B6 C5"},
    {STAGE(JisToShiftJis), "1B 28 49 21 5F 20 60 0D 0A 1B 28 42 36", "A1 DF 20 60 0D 0A 36"},
    {STAGE(JisToShiftJis), "0E 36 45 0F 36", "B6 C5 36"},
    {STAGE(JisToShiftJis), "1B 28 49 31 1B 24 42 30 21 1B 28 49 32", "B1 88 9F B2"},
    // JIS X 0212 丂 has no Shift_JIS form: one substitute for its three bytes;
    // 8F without both trail bytes is a unit alone, and so is each byte after it.
    {STAGE(EucJpToShiftJis), "8F B0 A1 A4 A2 41", "5F 82 A0 41"},
    {STAGE(EucJpToShiftJis), "8F A2 B7", "7E"},
    {STAGE(EucJpToShiftJis), "41 8F B0", "41 5F 5F"},
    {STAGE(EucJpToShiftJis), "8F", "5F"},
    {STAGE(ShiftJisToJis), "82 0D 0A", "5F 0D 0A"},
    // In kanji mode a control byte is a unit of its own, and so is a byte
    // 80-FF or a row byte without its cell.
    {STAGE(JisToShiftJis), "1B 24 42 30 21 0D 0A", "88 9F 0D 0A"},
    {STAGE(JisToShiftJis), "1B 24 42 B0 A1", "5F 5F"},
    {STAGE(JisToShiftJis), "1B 24 42 30 1B 28 42", "5F"},
    {STAGE(JisToShiftJis), "1B 24 28 42 30 21 1B 24 28 44 30 21 2B 2E 1B 28 42", "88 9F 5F 5F"},
    // Runs and modes in ISO-2022-JP.
    {STAGE(ShiftJisToJis), "41 88 9F 42 0D 0A", "41 1B 24 42 30 21 1B 28 42 42 0D 0A"},
    {STAGE(ShiftJisToJis), "88 9F 88 9F", "1B 24 42 30 21 30 21 1B 28 42"},
    {STAGE(ShiftJisToJis), "88 9F 0D 0A 88 9F", "1B 24 42 30 21 1B 28 42 0D 0A 1B 24 42 30 21 1B 28 42"},
    {STAGE(JisToShiftJis), "1B 24 42 30 21 1B 28 4A 41", "88 9F 41"},
    {STAGE(JisToShiftJis), "1B 26 40 1B 24 42 30 21", "88 9F"},
    {STAGE(JisToShiftJis), "1B 24 44 30 21", "88 9F"},
    {STAGE(JisToShiftJis), "1B 24 40 30 21", "88 9F"},
    {STAGE(JisToShiftJis), "0E 0F 41", "41"},
    {STAGE(JisToShiftJis), "1B 24 42 30 21 0E 30 21", "88 9F B0 A1"},
    {STAGE(JisToShiftJis), "1B 24 42 30 21 0F 30 21", "88 9F 30 21"},
    {STAGE(JisToShiftJis), "1B 24 42 1B 24 28 30 21", "30 21"},
    {STAGE(JisToShiftJis), "1B 24 28 44", ""},
    {STAGE(JisToShiftJis), "1B 28 4A 31 32", "31 32"},
    {STAGE(JisToShiftJis), "30 21", "30 21"},
    // The ends of the input.
    {STAGE(JisToShiftJis), "41 1B 24", "41"},
    {STAGE(JisToShiftJis), "41 1B", "41"},
    {STAGE(JisToShiftJis), "41 1B 28 42", "41"},
    {STAGE(JisToShiftJis), "1B 24 42 30 21 30", "88 9F 5F"},
    {STAGE(ShiftJisToEucJp), "41 88", "41 5F"},
    {STAGE(EucJpToShiftJis), "41 B0", "41 5F"},
    {STAGE(ShiftJisToJis), "88", "5F"},
    {STAGE(ShiftJisToJis), "41 88", "41 5F"},
    {STAGE(ShiftJisToJis), "88 9F 88", "1B 24 42 30 21 1B 28 42 5F"},
    {STAGE(ShiftJisToJis), "88 9F", "1B 24 42 30 21 1B 28 42"},
};

#undef STAGE

TEST(JisTranscoders, WorkedExamples)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.input);
        EXPECT_TRUE(SameBytes(RunStage(c.routine, FromHex(c.input)), FromHex(c.expected)));
    }
}

const ConversionRoutine kStages[] = {ShiftJisToEucJp, ShiftJisToJis, EucJpToShiftJis, JisToShiftJis};

TEST(JisTranscoders, EmptyAndSevenBitInputUnchanged)
{
    const Bytes ascii = FromHex("00 09 0D 0A 20 41 7A 7E 7F 0D");
    for (ConversionRoutine routine : kStages) {
        EXPECT_TRUE(RunStage(routine, {}).empty());
        EXPECT_TRUE(SameBytes(RunStage(routine, ascii), ascii));
    }
}

// Row and cell of a valid Shift_JIS code, computed the other way round: from
// the 0-based pair of rows the lead byte selects and the trail's position.
struct RowCell {
    std::uint8_t j1;
    std::uint8_t j2;
};

RowCell KuTen(std::uint8_t s1, std::uint8_t s2)
{
    const int rowPair = (s1 < 0xA0 ? s1 - 0x81 : s1 - 0xC1) * 2;
    int row;
    int cell;
    if (s2 >= 0x9F) {
        row = rowPair + 2;
        cell = s2 - 0x9F + 1;
    } else {
        row = rowPair + 1;
        cell = s2 - 0x40 + 1 - (s2 >= 0x80 ? 1 : 0);
    }
    return {static_cast<std::uint8_t>(row + 0x20), static_cast<std::uint8_t>(cell + 0x20)};
}

std::vector<std::pair<std::uint8_t, std::uint8_t>> EveryValidCode()
{
    std::vector<std::pair<std::uint8_t, std::uint8_t>> codes;
    for (int s1 = 0x81; s1 <= 0xEF; ++s1) {
        if (s1 > 0x9F && s1 < 0xE0)
            continue;
        for (int s2 = 0x40; s2 <= 0xFC; ++s2)
            if (s2 != 0x7F)
                codes.emplace_back(static_cast<std::uint8_t>(s1), static_cast<std::uint8_t>(s2));
    }
    return codes;
}

TEST(JisTranscoders, EveryValidCodeRoundTripsAlone)
{
    const auto codes = EveryValidCode();
    ASSERT_EQ(codes.size(), 47u * 188u);
    for (const auto& [s1, s2] : codes) {
        const Bytes sjis = {s1, s2};
        const RowCell rc = KuTen(s1, s2);
        ASSERT_GE(rc.j1, 0x21);
        ASSERT_LE(rc.j1, 0x7E);
        ASSERT_GE(rc.j2, 0x21);
        ASSERT_LE(rc.j2, 0x7E);
        const Bytes euc = {static_cast<std::uint8_t>(rc.j1 | 0x80), static_cast<std::uint8_t>(rc.j2 | 0x80)};
        const Bytes jis = {0x1B, 0x24, 0x42, rc.j1, rc.j2, 0x1B, 0x28, 0x42};
        SCOPED_TRACE(model::ToHex(sjis));
        ASSERT_TRUE(SameBytes(RunStage(ShiftJisToEucJp, sjis), euc));
        ASSERT_TRUE(SameBytes(RunStage(EucJpToShiftJis, euc), sjis));
        ASSERT_TRUE(SameBytes(RunStage(ShiftJisToJis, sjis), jis));
        ASSERT_TRUE(SameBytes(RunStage(JisToShiftJis, jis), sjis));
    }
}

TEST(JisTranscoders, EveryValidCodeRoundTripsInRunningText)
{
    Bytes sjis;
    int k = 0;
    for (const auto& [s1, s2] : EveryValidCode()) {
        sjis.push_back(s1);
        sjis.push_back(s2);
        if (++k % 7 == 0) { // break the runs now and then
            sjis.push_back(0x41);
            sjis.push_back(0x0D);
            sjis.push_back(0x0A);
        }
    }
    const Bytes euc = RunStage(ShiftJisToEucJp, sjis);
    EXPECT_EQ(euc.size(), sjis.size());
    EXPECT_TRUE(SameBytes(RunStage(EucJpToShiftJis, euc), sjis));
    const Bytes jis = RunStage(ShiftJisToJis, sjis);
    EXPECT_TRUE(SameBytes(jis, model::ShiftJisToJis(sjis)));
    EXPECT_TRUE(SameBytes(RunStage(JisToShiftJis, jis), sjis));
}

// Every lead byte with every possible second byte, in one text each way.
TEST(JisTranscoders, EveryPairMatchesModel)
{
    Bytes leadFirst;
    for (int b1 = 0x80; b1 <= 0xFF; ++b1)
        for (int b2 = 0; b2 <= 0xFF; ++b2) {
            leadFirst.push_back(static_cast<std::uint8_t>(b1));
            leadFirst.push_back(static_cast<std::uint8_t>(b2));
        }
    EXPECT_TRUE(SameBytes(RunStage(ShiftJisToEucJp, leadFirst), model::ShiftJisToEucJp(leadFirst)));
    EXPECT_TRUE(SameBytes(RunStage(ShiftJisToJis, leadFirst), model::ShiftJisToJis(leadFirst)));
    EXPECT_TRUE(SameBytes(RunStage(EucJpToShiftJis, leadFirst), model::EucJpToShiftJis(leadFirst)));

    // Every byte in kanji mode, before every byte.
    Bytes jis = FromHex("1B 24 42");
    for (int j1 = 0; j1 <= 0xFF; ++j1) {
        if (j1 == 0x1B || j1 == 0x0E || j1 == 0x0F)
            continue;
        for (int j2 = 0; j2 <= 0xFF; ++j2) {
            jis.push_back(static_cast<std::uint8_t>(j1));
            jis.push_back(static_cast<std::uint8_t>(j2));
        }
    }
    EXPECT_TRUE(SameBytes(RunStage(JisToShiftJis, jis), model::JisToShiftJis(jis)));
}

struct Stage {
    ConversionRoutine engine;
    model::Bytes (*model)(const model::Bytes&);
    CharsetId source;
    const char* name;
};

const Stage kModelStages[] = {
    {ShiftJisToEucJp, model::ShiftJisToEucJp, Charset::ShiftJis, "ShiftJisToEucJp"},
    {ShiftJisToJis, model::ShiftJisToJis, Charset::ShiftJis, "ShiftJisToJis"},
    {EucJpToShiftJis, [](const Bytes& in) { return model::EucJpToShiftJis(in); }, Charset::EucJp, "EucJpToShiftJis"},
    {JisToShiftJis, model::JisToShiftJis, Charset::Jis, "JisToShiftJis"},
};

// Output sizes within the work buffers.
void ExpectLengthBound(const Stage& stage, std::size_t nIn, std::size_t nOut)
{
    if (stage.engine == ShiftJisToEucJp)
        EXPECT_LE(nOut, 2 * nIn);
    else if (stage.engine == ShiftJisToJis)
        EXPECT_LE(nOut, 4 * nIn + 3);
    else
        EXPECT_LE(nOut, nIn);
}

TEST(JisTranscoders, MatchesModelOnRandomInput)
{
    CRandomText random(2401);
    for (const Stage& stage : kModelStages) {
        SCOPED_TRACE(stage.name);
        for (std::size_t n = 0; n < 400; ++n) {
            const Bytes input = n % 4 == 0 ? random.AnyBytes(n) : random.Hostile(stage.source, n);
            const Bytes got = RunStage(stage.engine, input);
            ASSERT_TRUE(SameBytes(got, stage.model(input))) << "input " << model::ToHex(input);
            ExpectLengthBound(stage, input.size(), got.size());
        }
        for (std::size_t n : {5000u, 20011u}) {
            const Bytes text = random.JapaneseText(stage.source, n);
            ASSERT_TRUE(SameBytes(RunStage(stage.engine, text), stage.model(text)));
            const Bytes noise = random.AnyBytes(n);
            ASSERT_TRUE(SameBytes(RunStage(stage.engine, noise), stage.model(noise)));
        }
    }
}

TEST(JisTranscoders, JapaneseTextRoundTrips)
{
    CRandomText random(2402);
    for (int round = 0; round < 20; ++round) {
        const Bytes sjis = random.ShiftJisText(1000 + 37 * static_cast<std::size_t>(round), false);
        EXPECT_TRUE(SameBytes(RunStage(EucJpToShiftJis, RunStage(ShiftJisToEucJp, sjis)), sjis));
        EXPECT_TRUE(SameBytes(RunStage(JisToShiftJis, RunStage(ShiftJisToJis, sjis)), sjis));
    }
}

} // namespace

namespace {

// Python's codecs follow the JIS standards on their own: our arithmetic must
// give their bytes for Japanese text with half-width katakana, both ways.
TEST(JisTranscoders, AgreeWithPythonCodecs)
{
    if (!python_oracle::Available())
        GTEST_SKIP() << "python3 is missing: the codec comparison did not run";
    CRandomText random(2403);
    Bytes sjis;
    for (int line = 0; line < 400; ++line) {
        const Bytes text = random.ShiftJisText(random.Below(60));
        sjis.insert(sjis.end(), text.begin(), text.end());
    }
    const auto recode = [](const char* from, const char* to) {
        return std::string("import sys; open(sys.argv[2], 'wb').write(open(sys.argv[1], 'rb').read()"
                           ".decode('") + from + "').encode('" + to + "'))";
    };
    const struct {
        ConversionRoutine routine;
        const char* from;
        const char* to;
        Bytes input;
    } kDirections[] = {
        {ShiftJisToEucJp, "shift_jis", "euc_jp", sjis},
        {ShiftJisToJis, "shift_jis", "iso2022_jp_ext", sjis},
        {EucJpToShiftJis, "euc_jp", "shift_jis", model::ShiftJisToEucJp(sjis)},
        {JisToShiftJis, "iso2022_jp_ext", "shift_jis", model::ShiftJisToJis(sjis)},
    };
    for (const auto& d : kDirections) {
        SCOPED_TRACE(testing::Message() << d.from << " -> " << d.to);
        const std::optional<Bytes> expected = python_oracle::Run(recode(d.from, d.to), d.input);
        ASSERT_TRUE(expected.has_value());
        EXPECT_TRUE(SameBytes(RunStage(d.routine, d.input), *expected));
    }
}

} // namespace
