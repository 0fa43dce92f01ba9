// The vector loops of the Unicode forms transcoders take only blocks of
// well-formed forms of one to three bytes and leave the rest to the plain
// code: on every path the processor runs, both directions must write the
// plain path's bytes and tell the tally the same, whatever the input, its
// alignment, its length against the block sizes, or where in a block a
// surrogate or an ill-formed byte falls.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "kernel_paths.h"
#include "random_text.h"
#include "reference_model.h"
#include "replacement_tally.h"
#include "unicode_forms.h"

namespace {

using byte_search::Path;
using model::Bytes;
using model::FromHex;

struct Direction {
    const char* name;
    CharsetId source;
    std::int64_t (*convert)(const std::uint8_t*, std::int64_t, std::uint8_t*, CReplacementTally*);
    std::int64_t nExtra; // room the stage gives past two bytes an input byte
};

const Direction kToUtf8 = {"UTF-16 -> UTF-8", Charset::Unicode, unicode_forms::Utf16ToUtf8, 3};
const Direction kToUtf16 = {"UTF-8 -> UTF-16", Charset::Utf8, unicode_forms::Utf8ToUtf16, 0};

struct Result {
    Bytes bytes;
    std::int64_t nIllFormed;
    CReplacementTally::First first;
};

// One run on exact-size heap blocks, the input at alignment, so that the
// sanitizers see any read or write past either.
Result Run(const Direction& d, const Bytes& in, int alignment, Path path)
{
    const kernel_paths::CPathScope scope(path);
    const auto n = static_cast<std::int64_t>(in.size());
    const auto block = std::make_unique<std::uint8_t[]>(in.size() + alignment);
    std::copy(in.begin(), in.end(), block.get() + alignment);
    const std::uint8_t* p = block.get() + alignment;
    const auto out = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(2 * n + d.nExtra));
    CReplacementTally tally;
    tally.SetInput(p, n, d.source);
    const std::int64_t written = d.convert(p, n, out.get(), &tally);
    return {Bytes(out.get(), out.get() + written), tally.m_nIllFormed, tally.m_firstIllFormed};
}

// Every other path at every alignment against the plain path.
::testing::AssertionResult SameOnEveryPath(const Direction& d, const Bytes& in, int nAlignments = 32)
{
    const Result want = Run(d, in, 0, Path::Plain);
    for (const Path path : kernel_paths::Runnable())
        for (int alignment = 0; alignment < nAlignments; ++alignment) {
            const Result got = Run(d, in, alignment, path);
            const CReplacementTally::First& a = got.first;
            const CReplacementTally::First& b = want.first;
            if (got.bytes != want.bytes || got.nIllFormed != want.nIllFormed || a.nLine != b.nLine ||
                a.nColumn != b.nColumn || a.nValue != b.nValue)
                return ::testing::AssertionFailure()
                       << d.name << " on " << kernel_paths::Name(path) << " at alignment " << alignment << ": "
                       << got.nIllFormed << " ill-formed (want " << want.nIllFormed << "), output "
                       << model::ToHex(got.bytes) << ", want " << model::ToHex(want.bytes) << ", input "
                       << model::ToHex(in);
        }
    return ::testing::AssertionSuccess();
}

// UTF-16LE text of about nUnits characters drawn from units, each a BMP
// character (or a pair, four bytes).
Bytes Units(CRandomText& random, std::size_t nUnits, const char* units)
{
    const Bytes alphabet = FromHex(units);
    Bytes out;
    const std::uint32_t nChoices = static_cast<std::uint32_t>(alphabet.size() / 2);
    while (out.size() < 2 * nUnits) {
        const std::uint32_t k = 2 * random.Below(nChoices);
        out.insert(out.end(), alphabet.begin() + k, alphabet.begin() + k + 2);
    }
    return out;
}

// Kana and kanji alone, the bulk of Japanese text; with ASCII, line ends
// and the edges of every form's range between them.
constexpr const char* kKana = "42 30 44 30 6B 30 A2 30 FC 30 9C 4E 2D 4E 87 65 0C 30";
constexpr const char* kMixed = "42 30 9C 4E 41 00 20 00 0D 00 0A 00 7F 00 80 00 E9 00 FF 07 00 08 FF D7 00 E0 "
                               "FD FF FE FF FF FF FF FE 9C 4E 00 00";

// Texts of every kind, in one form, of every length up to a few blocks and
// windows.
TEST(UnicodeVectors, EveryKindAndLengthOfTextAsOnThePlainPath)
{
    CRandomText random(3301);
    for (std::size_t n = 0; n <= 160; ++n) {
        SCOPED_TRACE(testing::Message() << n << " bytes");
        const Bytes kana = Units(random, n / 2, kKana);
        const Bytes mixed = Units(random, n / 2, kMixed);
        const Bytes texts16[] = {kana, mixed, random.Utf16Text(n), random.Hostile(Charset::Unicode, n),
                                 random.AnyBytes(n)};
        for (const Bytes& text : texts16)
            ASSERT_TRUE(SameOnEveryPath(kToUtf8, text));
        const Bytes texts8[] = {model::UnicodeToUtf8(kana), model::UnicodeToUtf8(mixed),
                                random.JapaneseText(Charset::Utf8, n), random.Hostile(Charset::Utf8, n),
                                random.AnyBytes(n)};
        for (const Bytes& text : texts8)
            ASSERT_TRUE(SameOnEveryPath(kToUtf16, text));
    }
}

TEST(UnicodeVectors, LongTextsAsOnThePlainPath)
{
    CRandomText random(3302);
    for (const std::size_t n : {4096u, 65537u}) {
        const Bytes japanese = random.Utf16Text(n);
        ASSERT_TRUE(SameOnEveryPath(kToUtf8, japanese, 3));
        ASSERT_TRUE(SameOnEveryPath(kToUtf16, model::UnicodeToUtf8(japanese), 3));
        ASSERT_TRUE(SameOnEveryPath(kToUtf8, Units(random, n, kMixed), 3));
        ASSERT_TRUE(SameOnEveryPath(kToUtf16, model::UnicodeToUtf8(Units(random, n, kKana)), 3));
    }
}

struct Insert {
    const char* bytes;
    const char* why;
};

// In UTF-16: what no vector block takes.
const Insert kUtf16Inserts[] = {
    {"00 D8", "a lone high surrogate"},
    {"FF DB", "the last high surrogate, alone"},
    {"00 DC", "a lone low surrogate"},
    {"FF DF", "the last low surrogate, alone"},
    {"3D D8 00 DE", "a pair"},
    {"00 DC 00 D8", "low then high"},
    {"00 D8 00 D8 00 DC", "high, then a pair"},
};

// In UTF-8: every way a form is ill-formed, the forms no vector window
// takes, and the well-formed edges next to them.
const Insert kUtf8Inserts[] = {
    {"C0 80", "C0 leads nothing"},
    {"C1 BF", "C1 leads nothing"},
    {"E0 80 80", "overlong three-byte form"},
    {"E0 9F BF", "the last overlong one"},
    {"E0 A0 80", "U+0800, the first three-byte form"},
    {"ED 9F BF", "U+D7FF, below the surrogates"},
    {"ED A0 80", "an encoded surrogate"},
    {"ED BF BF", "the last encoded surrogate"},
    {"EE 80 80", "U+E000, above them"},
    {"EF BF BD", "U+FFFD written as itself"},
    {"EF BF BF", "U+FFFF"},
    {"C2 80", "U+0080"},
    {"DF BF", "U+07FF"},
    {"F0 9F 98 80", "a four-byte form"},
    {"F4 90 80 80", "above U+10FFFF"},
    {"F5 80", "F5 leads nothing"},
    {"F8 88 80 80 80", "no five-byte forms"},
    {"FF", "FF"},
    {"80", "a stray continuation byte"},
    {"BF BF", "two"},
    {"E3 81", "a form cut short"},
    {"E3", "a lead alone"},
    {"C3", "a two-byte lead alone"},
    {"E3 C3 A9", "a lead before a new lead"},
};

// Bytes inserted at every position of a few blocks of text: before, inside
// and after forms, at every place of a block and a window.
::testing::AssertionResult EveryPosition(const Direction& d, const Bytes& text, const Insert& insert, int step)
{
    const Bytes bytes = FromHex(insert.bytes);
    for (std::size_t at = 0; at <= std::min<std::size_t>(text.size(), 100); at += step) {
        Bytes in(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at));
        in.insert(in.end(), bytes.begin(), bytes.end());
        in.insert(in.end(), text.begin() + static_cast<std::ptrdiff_t>(at), text.end());
        if (::testing::AssertionResult same = SameOnEveryPath(d, in, 4); !same)
            return same << " (" << insert.why << " at " << at << ")";
    }
    return ::testing::AssertionSuccess();
}

TEST(UnicodeVectors, SurrogatesAtEveryPlaceOfABlockAsOnThePlainPath)
{
    CRandomText random(3303);
    const Bytes texts[] = {Units(random, 80, kKana), Units(random, 80, kMixed)};
    for (const Bytes& text : texts)
        for (const Insert& insert : kUtf16Inserts)
            ASSERT_TRUE(EveryPosition(kToUtf8, text, insert, 2));
    // And an odd byte where a unit should be.
    ASSERT_TRUE(EveryPosition(kToUtf8, texts[0], {"41", "a lone byte"}, 2));
}

TEST(UnicodeVectors, IllFormedUtf8AtEveryPlaceOfAWindowAsOnThePlainPath)
{
    CRandomText random(3304);
    const Bytes texts[] = {model::UnicodeToUtf8(Units(random, 60, kKana)),
                           model::UnicodeToUtf8(Units(random, 60, kMixed))};
    for (const Bytes& text : texts)
        for (const Insert& insert : kUtf8Inserts)
            ASSERT_TRUE(EveryPosition(kToUtf16, text, insert, 1));
}

} // namespace
