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
    std::string tally; // count, line, column and value of the first
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
    const CReplacementTally::First& first = tally.m_firstIllFormed;
    return {Bytes(out.get(), out.get() + written), std::to_string(tally.m_nIllFormed) + " at " +
                                                       std::to_string(first.nLine) + ":" +
                                                       std::to_string(first.nColumn) + " " +
                                                       std::to_string(first.nValue)};
}

// Every other path at every alignment against the plain path.
::testing::AssertionResult SameOnEveryPath(const Direction& d, const Bytes& in, int nAlignments)
{
    const Result want = Run(d, in, 0, Path::Plain);
    for (const Path path : kernel_paths::Runnable())
        for (int alignment = 0; alignment < nAlignments; ++alignment)
            if (const Result got = Run(d, in, alignment, path); got.bytes != want.bytes || got.tally != want.tally)
                return ::testing::AssertionFailure()
                       << d.name << " on " << kernel_paths::Name(path) << " at alignment " << alignment
                       << ": ill-formed " << got.tally << " (want " << want.tally << "), output "
                       << model::ToHex(got.bytes) << ", want " << model::ToHex(want.bytes) << ", input "
                       << model::ToHex(in);
    return ::testing::AssertionSuccess();
}

// UTF-16LE text of nUnits units drawn from units.
Bytes Units(CRandomText& random, std::size_t nUnits, const char* units)
{
    const Bytes alphabet = FromHex(units);
    Bytes out;
    while (out.size() < 2 * nUnits) {
        const std::uint32_t k = 2 * random.Below(static_cast<std::uint32_t>(alphabet.size() / 2));
        out.insert(out.end(), alphabet.begin() + k, alphabet.begin() + k + 2);
    }
    return out;
}

// Kana and kanji alone, the bulk of Japanese text; with ASCII, line ends
// and the edges of every form's range between them.
constexpr const char* kKana = "42 30 44 30 6B 30 A2 30 FC 30 9C 4E 2D 4E 87 65 0C 30";
constexpr const char* kMixed = "42 30 9C 4E 41 00 20 00 0D 00 0A 00 7F 00 80 00 E9 00 FF 07 00 08 FF D7 00 E0 "
                               "FD FF FE FF FF FF FF FE 9C 4E 00 00";

// Texts of every kind of every length up to a few blocks and windows, at
// every alignment; and long ones.
TEST(UnicodeVectors, EveryKindAndLengthOfTextAsOnThePlainPath)
{
    CRandomText random(3301);
    for (std::size_t n = 0; n <= 65537; n = n < 160 ? n + 1 : 16 * n + 1) {
        SCOPED_TRACE(testing::Message() << n << " bytes");
        const int nAlignments = n <= 160 ? 32 : 3;
        const Bytes kana = Units(random, n / 2, kKana);
        const Bytes mixed = Units(random, n / 2, kMixed);
        for (const Bytes& text : {kana, mixed, random.Utf16Text(n), random.Hostile(Charset::Unicode, n),
                                  random.AnyBytes(n)})
            ASSERT_TRUE(SameOnEveryPath(kToUtf8, text, nAlignments));
        for (const Bytes& text : {model::UnicodeToUtf8(kana), model::UnicodeToUtf8(mixed),
                                  random.JapaneseText(Charset::Utf8, n), random.Hostile(Charset::Utf8, n),
                                  random.AnyBytes(n)})
            ASSERT_TRUE(SameOnEveryPath(kToUtf16, text, nAlignments));
    }
}

// What no vector block takes, and the well-formed edges next to it.
const char* const kUtf16Inserts[] = {
    "00 D8", "FF DB", "00 DC", "FF DF", "00 DC 00 D8", // lone surrogates
    "3D D8 00 DE", "00 D8 00 D8 00 DC",               // pairs
    "41",                                             // an odd byte, which shifts every unit after it
};
const char* const kUtf8Inserts[] = {
    "C0 80", "C1 BF", "F5 80", "F8 88 80 80 80", "FF", // leads of nothing
    "E0 80 80", "E0 9F BF", "ED A0 80", "ED BF BF",    // overlong forms, encoded surrogates
    "F0 9F 98 80", "F4 90 80 80",                      // a four-byte form, one above U+10FFFF
    "80", "BF BF", "E3 81", "E3", "C3", "E3 C3 A9",    // stray continuations, forms cut short
    "E0 A0 80", "ED 9F BF", "EE 80 80", "EF BF BD", "EF BF BF", "C2 80", "DF BF",
};

// Each inserted at every place of a few blocks of text: before, inside and
// after forms, at every position of a block and of a window.
TEST(UnicodeVectors, FaultsAtEveryPlaceOfABlockAsOnThePlainPath)
{
    CRandomText random(3303);
    const auto everywhere = [](const Direction& d, const Bytes& text, const char* insert, std::size_t step) {
        const Bytes bytes = FromHex(insert);
        for (std::size_t at = 0; at <= std::min<std::size_t>(text.size(), 100); at += step) {
            Bytes in = text;
            in.insert(in.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
            if (::testing::AssertionResult same = SameOnEveryPath(d, in, 4); !same)
                return same << " (" << insert << " at " << at << ")";
        }
        return ::testing::AssertionSuccess();
    };
    for (const char* units : {kKana, kMixed}) {
        const Bytes text = Units(random, 70, units);
        for (const char* insert : kUtf16Inserts)
            ASSERT_TRUE(everywhere(kToUtf8, text, insert, 2));
        for (const char* insert : kUtf8Inserts)
            ASSERT_TRUE(everywhere(kToUtf16, model::UnicodeToUtf8(text), insert, 1));
    }
}

} // namespace
