// The converter end to end: the 25 cells, their chains, the line-ending pass
// in front of them, and the substitute for characters code page 932 lacks.
// Random texts run through every cell and line-ending code, which under the
// sanitizers doubles as the bounds check of every stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "cp932_bridge.h"
#include "engine_harness.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunConvert;
using harness::RunStage;
using harness::SameBytes;
using model::Bytes;
using model::FromHex;

constexpr CharsetId SJ = Charset::ShiftJis;
constexpr CharsetId EU = Charset::EucJp;
constexpr CharsetId JI = Charset::Jis;
constexpr CharsetId U16 = Charset::Unicode;
constexpr CharsetId U8 = Charset::Utf8;

struct Cell {
    ConversionRoutine routine;
    // What the cell equals as two cells one after the other through Unicode;
    // null where it is one step.
    ConversionRoutine first;
    ConversionRoutine second;
    const char* name;
};

const Cell kCells[Charset::Count * Charset::Count] = {
    {CopyUnchanged, nullptr, nullptr, "CopyUnchanged"},
    {ShiftJisToEucJp, nullptr, nullptr, "ShiftJisToEucJp"},
    {ShiftJisToJis, nullptr, nullptr, "ShiftJisToJis"},
    {ShiftJisToUnicode, nullptr, nullptr, "ShiftJisToUnicode"},
    {ShiftJisToUtf8, ShiftJisToUnicode, UnicodeToUtf8, "ShiftJisToUtf8"},
    {EucJpToShiftJis, nullptr, nullptr, "EucJpToShiftJis"},
    {CopyUnchanged, nullptr, nullptr, "CopyUnchanged"},
    {EucJpToJis, nullptr, nullptr, "EucJpToJis"},
    {EucJpToUnicode, nullptr, nullptr, "EucJpToUnicode"},
    {EucJpToUtf8, EucJpToUnicode, UnicodeToUtf8, "EucJpToUtf8"},
    {JisToShiftJis, nullptr, nullptr, "JisToShiftJis"},
    {JisToEucJp, nullptr, nullptr, "JisToEucJp"},
    {CopyUnchanged, nullptr, nullptr, "CopyUnchanged"},
    {JisToUnicode, nullptr, nullptr, "JisToUnicode"},
    {JisToUtf8, JisToUnicode, UnicodeToUtf8, "JisToUtf8"},
    {UnicodeToShiftJis, nullptr, nullptr, "UnicodeToShiftJis"},
    {UnicodeToEucJp, nullptr, nullptr, "UnicodeToEucJp"},
    {UnicodeToJis, nullptr, nullptr, "UnicodeToJis"},
    {CopyUnchanged, nullptr, nullptr, "CopyUnchanged"},
    {UnicodeToUtf8, nullptr, nullptr, "UnicodeToUtf8"},
    {Utf8ToShiftJis, Utf8ToUnicode, UnicodeToShiftJis, "Utf8ToShiftJis"},
    {Utf8ToEucJp, Utf8ToUnicode, UnicodeToEucJp, "Utf8ToEucJp"},
    {Utf8ToJis, Utf8ToUnicode, UnicodeToJis, "Utf8ToJis"},
    {Utf8ToUnicode, nullptr, nullptr, "Utf8ToUnicode"},
    {CopyUnchanged, nullptr, nullptr, "CopyUnchanged"},
};

std::string CellName(CharsetId source, CharsetId target)
{
    return std::string(Charset::kNames[source]) + " -> " + Charset::kNames[target];
}

TEST(ConversionTable, HoldsTheNamedRoutineInEachCell)
{
    for (int index = 0; index < Charset::Count * Charset::Count; ++index)
        EXPECT_EQ(ConversionTable[index], kCells[index].routine) << "cell " << index << " " << kCells[index].name;
}

TEST(TextConverter, StartsWithNoInputAndTheDefaultSubstitute)
{
    const CTextConverter converter;
    EXPECT_EQ(converter.m_pInputData, nullptr);
    EXPECT_EQ(converter.m_nInputLength, -1);
    EXPECT_EQ(converter.m_nInputCharset, Charset::None);
    EXPECT_EQ(converter.m_strUnmappableDefaultChar, "_");
}

TEST(TextConverter, EveryCellGivesEmptyOutputForEmptyInput)
{
    for (CharsetId source = 0; source < Charset::Count; ++source)
        for (CharsetId target = 0; target < Charset::Count; ++target)
            for (NLCode code = 0; code <= 3; ++code)
                EXPECT_TRUE(RunConvert({}, source, target, code).empty()) << CellName(source, target) << ", " << code;
}

// An empty file may be read into no block at all.
TEST(TextConverter, EmptyInputWithoutABlock)
{
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            CTextConverter converter;
            converter.SetInput(nullptr, 0, source);
            converter.SetOutput(target, 0);
            CByteBuffer output;
            EXPECT_TRUE(converter.Convert(&output));
            EXPECT_EQ(output.Size(), 0) << CellName(source, target);
        }
    }
}

struct Example {
    CharsetId source;
    CharsetId target;
    NLCode code;
    const char* input;
    const char* expected;
};

const Example kExamples[] = {
    {SJ, U8, 1, "88 9F 41 0D 0A", "E4 BA 9C 41 0A"},
    {SJ, U16, 0, "88 9F 41", "9C 4E 41 00"},
    {U16, SJ, 0, "9C 4E 41 00", "88 9F 41"},
    {U16, SJ, 0, "41 00 42", "41 5F"},
    {U16, U16, 0, "41 00 0A 00", "41 00 0D 00 0A 00"},
    {U16, U8, 0, "41 00 E9 00 9C 4E", "41 C3 A9 E4 BA 9C"},
    // The converter never looks for a byte-order mark: callers strip and add it.
    {U16, U8, 0, "FF FE 41 00", "EF BB BF 41"},
    {U8, U16, 0, "EF BB BF 41", "FF FE 41 00"},
    {U8, SJ, 2, "E4 BA 9C 0D 0A", "88 9F 0D"},
    {U8, EU, 1, "E4 BA 9C 0D 0A", "B0 A1 0A"},
    {U8, JI, 0, "E4 BA 9C 41", "1B 24 42 30 21 1B 28 42 41"},
    // UTF-8 by the standard: four-byte forms, and U+FFFD (a substitute in the
    // Shift_JIS family) for each maximal subpart of an ill-formed sequence.
    {U8, U16, 0, "F0 A0 AE B7", "42 D8 B7 DF"},
    {U16, U8, 0, "42 D8 B7 DF", "F0 A0 AE B7"},
    {U16, U8, 0, "00 D8 41 00", "EF BF BD 41"},
    {U8, SJ, 0, "C0 BC E0 80 AF", "5F 5F 5F 5F 5F"},
    {U8, SJ, 1, "41 C0 8D C0 8A 0D 0A", "41 5F 5F 5F 5F 0A"},
    {U8, U16, 1, "E3 81 22 0D 0A", "FD FF 22 00 0A 00"},
    {U8, EU, 1, "E3 0D 0A 41", "5F 0A 41"},
    {EU, JI, 0, "B0 A1 0A", "1B 24 42 30 21 1B 28 42 0D 0A"},
    {EU, U16, 0, "B0 A1", "9C 4E"},
    {EU, U8, 1, "B0 A1 0D 0A", "E4 BA 9C 0A"},
    {JI, EU, 1, "1B 24 42 30 21 0D 0A 1B 28 42 0D 0A", "B0 A1 0A 0A"},
    {JI, U16, 0, "1B 24 42 30 21 1B 28 42", "9C 4E"},
    {JI, U8, 0, "1B 24 42 30 21 1B 28 42", "E4 BA 9C"},
    {U16, EU, 0, "9C 4E", "B0 A1"},
    {U16, JI, 0, "9C 4E", "1B 24 42 30 21 1B 28 42"},
    {SJ, SJ, 1, "41 0D 0A 82 0D 0A", "41 0A 82 0A"},
    // A line that ends in half-width katakana gets the new line ending in
    // every target, and the katakana stay katakana.
    {SJ, SJ, 1, "61 62 63 B1 0D 0A", "61 62 63 B1 0A"},
    {SJ, EU, 1, "61 62 63 B1 0D 0A", "61 62 63 8E B1 0A"},
    {SJ, JI, 1, "61 62 63 B1 0D 0A", "61 62 63 1B 28 49 31 1B 28 42 0A"},
    {SJ, U16, 1, "61 62 63 B1 0D 0A", "61 00 62 00 63 00 71 FF 0A 00"},
    {SJ, U8, 1, "61 62 63 B1 0D 0A", "61 62 63 EF BD B1 0A"},
    {EU, U8, 0, "8E B6 8E C5", "EF BD B6 EF BE 85"},
    {EU, JI, 0, "8E B6 B0 A1", "1B 28 49 36 1B 24 42 30 21 1B 28 42"},
    {JI, SJ, 0, "1B 28 49 36 45", "B6 C5"},
    {JI, U16, 0, "1B 28 49 36 1B 28 42 36", "76 FF 36 00"},
    {U16, EU, 0, "76 FF", "8E B6"},
    {U8, JI, 0, "EF BD B6 41", "1B 28 49 36 1B 28 42 41"},
    // JIS X 0212 is one unit: a substitute in Shift_JIS, its character in
    // UTF-8; what follows stays aligned.
    {EU, SJ, 1, "8F B0 A1 A4 A2 0D 0A", "5F 82 A0 0A"},
    {EU, U8, 0, "8F B0 A1 A4 A2", "E4 B8 82 E3 81 82"},
};

TEST(TextConverter, WorkedConversions)
{
    for (const Example& e : kExamples) {
        SCOPED_TRACE(testing::Message() << CellName(e.source, e.target) << ", code " << e.code << ": " << e.input);
        EXPECT_TRUE(SameBytes(RunConvert(FromHex(e.input), e.source, e.target, e.code), FromHex(e.expected)));
    }
}

TEST(TextConverter, SameSourceAndTargetOnlyRewritesLineEndings)
{
    CRandomText random(2101);
    for (CharsetId charset = 0; charset < Charset::Count; ++charset) {
        for (NLCode code = 0; code <= 3; ++code) {
            SCOPED_TRACE(testing::Message() << Charset::kNames[charset] << ", code " << code);
            for (const Bytes& input : {random.JapaneseText(charset, 2000), random.Hostile(charset, 500)}) {
                const Bytes got = RunConvert(input, charset, charset, code);
                EXPECT_TRUE(SameBytes(got, harness::RunNormalize(input, charset, code)));
                EXPECT_TRUE(SameBytes(got, model::NormalizeLineEndings(input, charset, code)));
            }
        }
    }
}

TEST(TextConverter, ChainedCellsAreTheirStagesInOrder)
{
    CRandomText random(2102);
    for (int index = 0; index < Charset::Count * Charset::Count; ++index) {
        const Cell& cell = kCells[index];
        if (cell.first == nullptr)
            continue;
        const CharsetId source = index / Charset::Count;
        SCOPED_TRACE(cell.name);
        for (const char* substitute : {"_", "#", "\xE4\xBA\x9C", ""}) {
            for (const Bytes& input : {random.JapaneseText(source, 3000), random.Hostile(source, 3000),
                                       random.AnyBytes(3000), random.AnyBytes(1), random.AnyBytes(7)}) {
                const Bytes chained = RunStage(cell.routine, input, substitute);
                const Bytes staged = RunStage(cell.second, RunStage(cell.first, input, substitute), substitute);
                ASSERT_TRUE(SameBytes(chained, staged)) << "input " << model::ToHex(input);
            }
        }
    }
}

TEST(TextConverter, CopyKeepsTheInputLength)
{
    CRandomText random(2103);
    for (std::size_t n = 0; n < 200; ++n) {
        const Bytes input = random.AnyBytes(n);
        EXPECT_EQ(RunStage(CopyUnchanged, input).size(), n);
    }
    const Bytes input = random.AnyBytes(1000);
    EXPECT_TRUE(SameBytes(RunStage(CopyUnchanged, input), input));
}

// Every cell and line-ending code against the model, on random bytes of
// every short length, hostile bytes and Japanese text in the source encoding.
TEST(TextConverter, EveryCellMatchesModel)
{
    CRandomText random(2104);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            for (NLCode code = 0; code <= 3; ++code) {
                SCOPED_TRACE(testing::Message() << CellName(source, target) << ", code " << code);
                for (std::size_t n = 1; n < 48; ++n) {
                    const Bytes input = n % 2 == 0 ? random.AnyBytes(n) : random.Hostile(source, n);
                    ASSERT_TRUE(SameBytes(RunConvert(input, source, target, code),
                                          model::Convert(input, source, target, code, "_")))
                        << "input " << model::ToHex(input);
                }
                for (std::size_t n : {700u, 2500u}) {
                    const Bytes text = random.JapaneseText(source, n);
                    ASSERT_TRUE(SameBytes(RunConvert(text, source, target, code),
                                          model::Convert(text, source, target, code, "_")));
                    const Bytes hostile = random.Hostile(source, n);
                    ASSERT_TRUE(SameBytes(RunConvert(hostile, source, target, code, "#"),
                                          model::Convert(hostile, source, target, code, "#")));
                    // Line endings already as asked for: the pass changes nothing.
                    const Bytes normalized = model::NormalizeLineEndings(text, source, code);
                    ASSERT_TRUE(SameBytes(RunConvert(normalized, source, target, code),
                                          model::Convert(normalized, source, target, code, "_")));
                }
            }
            // One long text per cell, long enough for any blockwise fast path.
            const Bytes text = random.JapaneseText(source, 70000);
            ASSERT_TRUE(SameBytes(RunConvert(text, source, target, 0), model::Convert(text, source, target, 0, "_")))
                << CellName(source, target);
        }
    }
}

// Long texts cut, or broken by a stray unit, at offsets around the
// power-of-two block sizes a stage may work in: a pair, an escape sequence or
// a UTF-8 form may straddle any such edge, or end the text half done.
TEST(TextConverter, LongTextsAcrossBlockEdges)
{
    struct Breaker {
        CharsetId source;
        const char* bytes;
    };
    // Half-width katakana 8E A1 is 77 9F in Shift_JIS: a code-page lead
    // byte where the pair arithmetic saw a trail.
    const Breaker kBreakers[] = {
        {SJ, "88"},           {SJ, "0D 0A 82"},     {EU, "B0"},
        {EU, "8F A1 A1"},     {EU, "8E A1 8E A1"},  {JI, "1B 24 42 30 21 30"},
        {JI, "1B 28 42 0D"},  {JI, "0E 1B 24"},     {JI, "1B 24 42 20 21 20 21 1B 28 42"},
        {U16, "41"},          {U16, "0D 00"},       {U8, "E3 81"},
        {U8, "C3"},           {U8, "F0 9F 98 80"},  {U8, "F0 9F 98"},
        {U8, "ED A0 BD"},     {U16, "3D D8"},
    };
    CRandomText random(2109);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        // Line endings already CRLF, so that offsets in the input are offsets
        // in what the table routine reads.
        const Bytes text = model::NormalizeLineEndings(random.JapaneseText(source, (2 << 16) + 64), source, 0);
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            SCOPED_TRACE(CellName(source, target));
            for (std::size_t edge : {std::size_t{1} << 12, std::size_t{1} << 16, std::size_t{2} << 16}) {
                for (std::size_t cut = edge - 2; cut <= edge + 2; ++cut) {
                    const Bytes prefix(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(cut));
                    ASSERT_TRUE(SameBytes(RunConvert(prefix, source, target, 0),
                                          model::Convert(prefix, source, target, 0, "_")))
                        << "cut at " << cut;
                }
            }
            // Every alignment of each stray unit against one edge.
            const std::size_t edge = std::size_t{1} << 16;
            for (const Breaker& breaker : kBreakers) {
                if (breaker.source != source)
                    continue;
                const Bytes stray = FromHex(breaker.bytes);
                for (std::size_t cut = edge - stray.size() - 1; cut <= edge; ++cut) {
                    Bytes broken(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(cut));
                    broken.insert(broken.end(), stray.begin(), stray.end());
                    broken.insert(broken.end(), text.begin() + static_cast<std::ptrdiff_t>(cut),
                                  text.begin() + static_cast<std::ptrdiff_t>(cut + 3000));
                    ASSERT_TRUE(SameBytes(RunConvert(broken, source, target, 0),
                                          model::Convert(broken, source, target, 0, "_")))
                        << breaker.bytes << " at " << cut;
                }
            }
        }
    }
}

// Japanese text in each encoding survives every conversion and back when
// nothing is lost on the way (no half-width katakana in the JIS family, no
// character outside code page 932).
TEST(TextConverter, JapaneseTextSurvivesEveryRoundTrip)
{
    CRandomText random(2105);
    const Bytes sjis = model::NormalizeLineEndings(random.ShiftJisText(5000), SJ, 0);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        const Bytes text = model::ConvertCell(sjis, SJ, source, "_");
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            const Bytes there = RunConvert(text, source, target, 0);
            EXPECT_TRUE(SameBytes(RunConvert(there, target, source, 0), text)) << CellName(source, target);
        }
    }
}

struct SubstituteCase {
    const char* substitute;
    const char* shiftJis;
    const char* eucJp;
    const char* jis;
};

// Hangul U+AC00 between A and B; code page 932 has no Hangul.
const SubstituteCase kSubstitutes[] = {
    {"_", "41 5F 42", "41 5F 42", "41 5F 42"},
    {"#", "41 23 42", "41 23 42", "41 23 42"},
    {"ab", "41 61 42", "41 61 42", "41 61 42"},
    {"\xE4\xBA\x9C", "41 88 9F 42", "41 B0 A1 42", "41 1B 24 42 30 21 1B 28 42 42"},
    {"\xEA\xB0\x80", "41 5F 42", "41 5F 42", "41 5F 42"}, // no CP932 form of its own
    {"", "41 42", "41 42", "41 42"},
};

TEST(TextConverter, UnmappableCharactersBecomeTheSubstitute)
{
    std::uint8_t form[2];
    ASSERT_EQ(cp932::EncodeOne(0xAC00, form), 0) << "the test needs a character outside code page 932";
    // A character beyond the BMP (U+1F600, a surrogate pair in UTF-16) is
    // one character too, with one substitute.
    const Bytes utf16 = FromHex("41 00 00 AC 42 00");
    const Bytes utf8 = FromHex("41 EA B0 80 42");
    const Bytes utf16Pair = FromHex("41 00 3D D8 00 DE 42 00");
    const Bytes utf8Astral = FromHex("41 F0 9F 98 80 42");
    for (const SubstituteCase& c : kSubstitutes) {
        SCOPED_TRACE(testing::Message() << "substitute \"" << c.substitute << "\"");
        for (const Bytes* input : {&utf16, &utf8, &utf16Pair, &utf8Astral}) {
            const CharsetId source = input == &utf16 || input == &utf16Pair ? U16 : U8;
            EXPECT_TRUE(SameBytes(RunConvert(*input, source, SJ, 0, c.substitute), FromHex(c.shiftJis)));
            EXPECT_TRUE(SameBytes(RunConvert(*input, source, EU, 0, c.substitute), FromHex(c.eucJp)));
            EXPECT_TRUE(SameBytes(RunConvert(*input, source, JI, 0, c.substitute), FromHex(c.jis)));
        }
        // Nor has it JIS X 0212, which EUC-JP can carry.
        EXPECT_TRUE(SameBytes(RunConvert(FromHex("41 8F B0 A1 42"), EU, SJ, 0, c.substitute), FromHex(c.shiftJis)));
    }
}

// A UTF-8 lead cut off by the end, like any byte that begins no form, is
// U+FFFD, which is unmappable: with a two-byte substitute one input byte
// gives two, the largest growth of UTF-8 into the Shift_JIS family.
TEST(TextConverter, CutShortUtf8MeetsATwoByteSubstitute)
{
    const std::string strKanji = "\xE4\xBA\x9C";
    EXPECT_TRUE(SameBytes(RunConvert(FromHex("C3"), U8, SJ, 0, strKanji), FromHex("88 9F")));
    EXPECT_TRUE(SameBytes(RunConvert(FromHex("41 C3"), U8, EU, 0, strKanji), FromHex("41 B0 A1")));
    EXPECT_TRUE(SameBytes(RunConvert(FromHex("C3"), U8, JI, 0, strKanji), FromHex("1B 24 42 30 21 1B 28 42")));
    EXPECT_TRUE(SameBytes(RunConvert(FromHex("E3"), U8, SJ, 0, strKanji), FromHex("88 9F")));
    EXPECT_TRUE(SameBytes(RunConvert(FromHex("80 FF"), U8, SJ, 0, strKanji), FromHex("88 9F 88 9F")));
    CRandomText random(2108);
    const Bytes alphabet = FromHex("C3 E3 ED A0 BD B8 80 41 0D 0A F0 9F 98 F4 90 FF");
    for (int round = 0; round < 3000; ++round) {
        const Bytes input = random.FromAlphabet(1 + random.Below(6), alphabet);
        for (CharsetId source : {U16, U8})
            for (CharsetId target : {SJ, EU, JI})
                ASSERT_TRUE(SameBytes(RunConvert(input, source, target, 0, strKanji),
                                      model::Convert(input, source, target, 0, strKanji)))
                    << CellName(source, target) << ": " << model::ToHex(input);
    }
}

TEST(TextConverter, DefaultSubstituteIsUnderscore)
{
    const Bytes input = FromHex("41 00 00 AC 42 00");
    CTextConverter converter;
    converter.SetInput(input.data(), static_cast<std::int64_t>(input.size()), U16);
    converter.SetOutput(SJ, 0);
    CByteBuffer output;
    ASSERT_TRUE(converter.Convert(&output));
    EXPECT_TRUE(SameBytes(Bytes(output.Data(), output.Data() + output.Size()), FromHex("41 5F 42")));
}

// The substitute changes the output of broken text exactly where callers
// are told they must supply it: into the JIS family from elsewhere.
TEST(TextConverter, SubstituteMattersOnlyWhereCallersSupplyIt)
{
    CRandomText random(2106);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        const Bytes text = random.Hostile(source, 4000);
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            SCOPED_TRACE(CellName(source, target));
            const Bytes plain = RunConvert(text, source, target, 0, "_");
            const Bytes custom = RunConvert(text, source, target, 0, "#");
            EXPECT_TRUE(SameBytes(custom, model::Convert(text, source, target, 0, "#")));
            if (Charset::NeedsSubstitute(source, target))
                EXPECT_NE(plain, custom);
            else
                EXPECT_TRUE(SameBytes(custom, plain));
        }
    }
}

TEST(TextConverter, ConvertTwiceGivesTheSameOutputAndChangesNothing)
{
    CRandomText random(2107);
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (CharsetId target = 0; target < Charset::Count; ++target) {
            SCOPED_TRACE(CellName(source, target));
            const Bytes text = random.JapaneseText(source, 3000);
            const auto input = std::make_unique<std::uint8_t[]>(text.size());
            std::copy(text.begin(), text.end(), input.get());
            CTextConverter converter;
            converter.SetInput(input.get(), static_cast<std::int64_t>(text.size()), source);
            const std::string strSubstitute = "#";
            converter.m_strUnmappableDefaultChar = strSubstitute;
            converter.SetOutput(target, 1);
            CByteBuffer first;
            CByteBuffer second;
            ASSERT_TRUE(converter.Convert(&first));
            ASSERT_TRUE(converter.Convert(&second));
            EXPECT_NE(first.Data(), second.Data());
            EXPECT_TRUE(SameBytes(Bytes(second.Data(), second.Data() + second.Size()),
                                  Bytes(first.Data(), first.Data() + first.Size())));
            EXPECT_TRUE(SameBytes(Bytes(input.get(), input.get() + text.size()), text));
            EXPECT_EQ(converter.m_pInputData, input.get());
            EXPECT_EQ(converter.m_nInputLength, static_cast<std::int64_t>(text.size()));
            EXPECT_EQ(converter.m_nInputCharset, source);
            EXPECT_EQ(converter.m_nOutputCharset, target);
            EXPECT_EQ(converter.m_nNLCode, 1);
            EXPECT_EQ(converter.m_strUnmappableDefaultChar, strSubstitute);
        }
    }
}

} // namespace
