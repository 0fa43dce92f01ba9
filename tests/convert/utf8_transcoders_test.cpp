// The UTF-16LE <-> UTF-8 codec: one unit at a time, no validation, forms of
// one to three bytes, and what an input cut short yields.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunStage;
using harness::SameBytes;
using model::Bytes;
using model::FromHex;

struct Case {
    const char* utf16;
    const char* utf8;
    const char* why;
};

// Both directions give these bytes.
const Case kBothWays[] = {
    {"41 00 E9 00 9C 4E", "41 C3 A9 E4 BA 9C", "A, e-acute, kanji"},
    {"00 00", "00", "U+0000"},
    {"7F 00", "7F", "U+007F"},
    {"80 00", "C2 80", "U+0080"},
    {"FF 07", "DF BF", "U+07FF"},
    {"00 08", "E0 A0 80", "U+0800"},
    {"FF FF", "EF BF BF", "U+FFFF"},
    {"3D D8 00 DE", "ED A0 BD ED B8 80", "a surrogate pair is two three-byte forms"},
    {"00 DC 00 D8", "ED B0 80 ED A0 80", "lone and reversed surrogates"},
    {"FF FE 41 00", "EF BB BF 41", "U+FEFF is text like any other"},
    {"0D 00 0A 00", "0D 0A", "line end"},
};

TEST(Utf8Transcoders, WorkedExamplesBothWays)
{
    for (const Case& c : kBothWays) {
        SCOPED_TRACE(testing::Message() << c.utf16 << " / " << c.utf8 << " (" << c.why << ")");
        EXPECT_TRUE(SameBytes(RunStage(UnicodeToUtf8, FromHex(c.utf16)), FromHex(c.utf8)));
        EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, FromHex(c.utf8)), FromHex(c.utf16)));
    }
}

const Case kDecodeOnly[] = {
    {"D8 07 00 00", "F0 9F 98 80", "four-byte form: three from the lead, then the last byte alone"},
    {"00 00 3F 00 41 00", "80 BF 41", "stray continuation bytes give U+0000-U+003F"},
    {"00 00", "C0 80", "overlong forms decode to their value"},
    {"41 00", "C1 81", "overlong A"},
    {"E9 00", "C3 29", "top bits of a continuation are ignored"},
    {"42 30", "E3 01 02", "top bits of continuations are ignored"},
    {"C1 00", "C3 41", "a two-byte lead takes the next byte whatever it is"},
    {"E9 30", "E3 C3 A9", "a three-byte lead takes the next two"},
    {"00 80", "F8 80 80", "F8 is a three-byte lead"},
    {"FF FF", "FF BF BF", "FF is a three-byte lead"},
    {"FF FE 41 00", "EF BB BF 41", "a UTF-8 mark stays in the text"},
    // Cut short at the end: the missing continuation bytes add no bits.
    {"C0 00", "C3", "two-byte lead last"},
    {"41 00 C0 07", "41 DF", "two-byte lead last"},
    {"40 30", "E3 81", "three-byte lead with one byte after it"},
    {"00 30", "E3", "three-byte lead last"},
    {"41 00 00 F0", "41 FF", "FF last"},
    {"C0 07", "F0 9F", "four-byte lead with one byte after it"},
    {"42 30 00 30", "E3 81 82 E3", "a whole form, then a lead cut short"},
};

TEST(Utf8Transcoders, DecodesMalformedAndCutShortInput)
{
    for (const Case& c : kDecodeOnly) {
        SCOPED_TRACE(testing::Message() << c.utf8 << " (" << c.why << ")");
        EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, FromHex(c.utf8)), FromHex(c.utf16)));
        EXPECT_TRUE(SameBytes(model::Utf8ToUnicode(FromHex(c.utf8)), FromHex(c.utf16)));
    }
}

TEST(Utf8Transcoders, OddLastByteOfUtf16IsDropped)
{
    for (const char* odd : {"41", "41 00 42", "41 00 E9", "00 30 80"}) {
        SCOPED_TRACE(odd);
        const Bytes input = FromHex(odd);
        const Bytes whole(input.begin(), input.end() - 1);
        EXPECT_TRUE(SameBytes(RunStage(UnicodeToUtf8, input), RunStage(UnicodeToUtf8, whole)));
    }
}

TEST(Utf8Transcoders, EmptyInput)
{
    EXPECT_TRUE(RunStage(UnicodeToUtf8, {}).empty());
    EXPECT_TRUE(RunStage(Utf8ToUnicode, {}).empty());
}

// Every unit, in one text: its form's length follows its range, and
// decoding gives every unit back, surrogates included.
TEST(Utf8Transcoders, EveryUnitRoundTrips)
{
    Bytes utf16;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        utf16.push_back(static_cast<std::uint8_t>(u & 0xFF));
        utf16.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    const Bytes utf8 = RunStage(UnicodeToUtf8, utf16);
    EXPECT_EQ(utf8.size(), 0x80u * 1 + (0x800u - 0x80u) * 2 + (0x10000u - 0x800u) * 3);
    EXPECT_TRUE(SameBytes(utf8, model::UnicodeToUtf8(utf16)));
    EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, utf8), utf16));
}

// Every lead with every continuation byte (and a spread of third bytes).
TEST(Utf8Transcoders, EveryFormMatchesModel)
{
    Bytes utf8;
    for (int b1 = 0; b1 <= 0xFF; ++b1)
        for (int b2 = 0; b2 <= 0xFF; ++b2)
            for (int b3 : {0x00, 0x3F, 0x41, 0x80, 0xA5, 0xBF, 0xC3, 0xE3, 0xFF}) {
                utf8.push_back(static_cast<std::uint8_t>(b1));
                utf8.push_back(static_cast<std::uint8_t>(b2));
                utf8.push_back(static_cast<std::uint8_t>(b3));
            }
    EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, utf8), model::Utf8ToUnicode(utf8)));
}

TEST(Utf8Transcoders, MatchesModelOnRandomInput)
{
    CRandomText random(2501);
    for (std::size_t n = 0; n < 400; ++n) {
        const Bytes utf16 = n % 2 == 0 ? random.AnyBytes(n) : random.Hostile(Charset::Unicode, n);
        const Bytes utf8 = RunStage(UnicodeToUtf8, utf16);
        ASSERT_TRUE(SameBytes(utf8, model::UnicodeToUtf8(utf16))) << "input " << model::ToHex(utf16);
        ASSERT_LE(2 * utf8.size(), 3 * utf16.size());

        const Bytes bytes = n % 2 == 0 ? random.AnyBytes(n) : random.Hostile(Charset::Utf8, n);
        const Bytes units = RunStage(Utf8ToUnicode, bytes);
        ASSERT_TRUE(SameBytes(units, model::Utf8ToUnicode(bytes))) << "input " << model::ToHex(bytes);
        ASSERT_EQ(units.size() % 2, 0u);
        ASSERT_LE(units.size(), 2 * bytes.size());
    }
    for (std::size_t n : {4999u, 30000u}) {
        const Bytes utf16 = random.Utf16Text(n);
        const Bytes utf8 = RunStage(UnicodeToUtf8, utf16);
        ASSERT_TRUE(SameBytes(utf8, model::UnicodeToUtf8(utf16)));
        ASSERT_TRUE(SameBytes(RunStage(Utf8ToUnicode, utf8), utf16));
        const Bytes noise = random.AnyBytes(n);
        ASSERT_TRUE(SameBytes(RunStage(Utf8ToUnicode, noise), model::Utf8ToUnicode(noise)));
        ASSERT_TRUE(SameBytes(RunStage(UnicodeToUtf8, noise), model::UnicodeToUtf8(noise)));
    }
}

} // namespace
