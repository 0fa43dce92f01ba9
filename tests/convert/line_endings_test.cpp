// The line-ending pass, walk by walk: which bytes count as a line ending, how
// far each unit reaches, what happens at the very end of the input.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunNormalize;
using harness::SameBytes;
using model::Bytes;
using model::FromHex;

struct Case {
    CharsetId charset;
    NLCode code;
    const char* input;
    const char* expected;
    const char* why;
};

constexpr CharsetId SJ = Charset::ShiftJis;
constexpr CharsetId EU = Charset::EucJp;
constexpr CharsetId JI = Charset::Jis;
constexpr CharsetId U16 = Charset::Unicode;
constexpr CharsetId U8 = Charset::Utf8;

const Case kCases[] = {
    // Byte-oriented replacement, every code.
    {SJ, 0, "41 0D 0A 42", "41 0D 0A 42", "CRLF kept"},
    {SJ, 1, "41 0D 0A 42", "41 0A 42", "CRLF to LF"},
    {SJ, 2, "41 0D 0A 42", "41 0D 42", "CRLF to CR"},
    {SJ, 3, "41 0D 0A 42", "41 42", "code 3 drops"},
    {SJ, -1, "41 0D 0A 42 0A 43 0D", "41 42 43", "any other code drops"},
    {SJ, 7, "0D 0D 0A", "", "any other code drops"},
    {SJ, 0, "0A 0A", "0D 0A 0D 0A", "largest growth: twice the input"},
    {SJ, 0, "0A 0D", "0D 0A 0D 0A", "LF CR is two line endings"},
    {SJ, 1, "0D 0D 0A", "0A 0A", "CR CR LF is a lone CR then CR LF"},
    {SJ, 0, "41 0D", "41 0D 0A", "CR as the last byte is a lone CR"},
    {SJ, 1, "0D", "0A", "CR alone"},
    {SJ, 2, "0A", "0D", "LF alone"},
    // Shift_JIS: a lead (81-9F, E0-FC) takes a trail (40-7E, 80-FC) along;
    // katakana, the other high-bit bytes and a lead without a trail stand alone.
    {SJ, 0, "82 0D 0A", "82 0D 0A", "a lead before CR stands alone"},
    {SJ, 1, "61 62 63 B1 0D 0A", "61 62 63 B1 0A", "half-width katakana stands alone"},
    {SJ, 1, "80 0D A0 0A FD 0D 0A FF 0A", "80 0A A0 0A FD 0A FF 0A", "80, A0 and FD-FF stand alone"},
    {SJ, 1, "DF 0D 0A E0 0D 0A FC 0A 0A", "DF 0A E0 0A FC 0A 0A", "the edges of the lead ranges"},
    {SJ, 1, "88 9F 0D 0A 82 A0 0A", "88 9F 0A 82 A0 0A", "whole characters around a line end"},
    {SJ, 1, "82 0A 0A", "82 0A 0A", "a lead before LF stands alone"},
    {SJ, 0, "82 0A 0A", "82 0D 0A 0D 0A", "a lead before LF stands alone"},
    {SJ, 0, "82 41 0A 82 7F 0A", "82 41 0D 0A 82 7F 0D 0A", "trail 41 taken, 7F no trail"},
    {SJ, 1, "41 0D 0A 82", "41 0A 82", "a last lead byte is copied"},
    {SJ, 0, "FF", "FF", "a last lead byte alone"},
    {SJ, 3, "81 0D 0D 0A 0D", "81", "code 3 drops what follows a lone lead"},
    // EUC-JP: A1-FE takes A1-FE along, 8E a katakana, 8F two of A1-FE;
    // without them, and for every other high-bit byte, a byte stands alone.
    {EU, 1, "A4 A2 0D 0A", "A4 A2 0A", "EUC-JP pair then CRLF"},
    {EU, 1, "8F A1 A1 0D 0A", "8F A1 A1 0A", "JIS X 0212: 8F and two bytes are one unit"},
    {EU, 1, "8F 0D 0A 0D 0A", "8F 0A 0A", "8F without its trail bytes stands alone"},
    {EU, 1, "8F A1 0D 0A", "8F A1 0A", "8F with one trail byte: two units alone"},
    {EU, 1, "8F A1 A1 A4 A2 0D 0A", "8F A1 A1 A4 A2 0A", "pairs after an 8F unit stay aligned"},
    {EU, 1, "41 0A 8F A1", "41 0A 8F A1", "an 8F unit cut off by the end is copied"},
    {EU, 1, "8E B1 0D 0A", "8E B1 0A", "katakana behind 8E"},
    {EU, 1, "8E 0D 0A", "8E 0A", "single shift without katakana stands alone"},
    {EU, 1, "B0 0D 0A 80 0A", "B0 0A 80 0A", "lone lead and stray byte before line ends"},
    {EU, 2, "0D 0A B0", "0D B0", "a last lead byte is copied"},
    {EU, 0, "A4 A2 0D", "A4 A2 0D 0A", "CR as the last byte is a lone CR"},
    // ISO-2022-JP: escape sequences switch modes; in two-byte modes too, a
    // control byte is a unit of its own, so CR and LF are line ends.
    {JI, 1, "1B 24 42 30 21 0D 0A 1B 28 42 0D 0A", "1B 24 42 30 21 0A 1B 28 42 0A", "CRLF inside two-byte mode"},
    {JI, 1, "1B 24 40 0D 0A 0D 0A", "1B 24 40 0A 0A", "ESC $ @ is two-byte"},
    {JI, 1, "1B 26 40 0D 0A", "1B 26 40 0A", "ESC & @ is two-byte"},
    {JI, 1, "1B 24 28 42 30 0D 0A 1B 28 42", "1B 24 28 42 30 0A 1B 28 42", "ESC $ ( B, half a pair before CRLF"},
    {JI, 1, "1B 24 44 0A 0A", "1B 24 44 0A 0A", "ESC $ D is two-byte"},
    {JI, 1, "1B 24 42 30 21 1B 28 4A 0D 0A", "1B 24 42 30 21 1B 28 4A 0A", "ESC ( J is one-byte"},
    {JI, 1, "1B 24 42 1B 28 48 0D 0A", "1B 24 42 1B 28 48 0A", "ESC ( H is one-byte"},
    {JI, 1, "1B 24 42 1B 28 49 0D 0A", "1B 24 42 1B 28 49 0A", "ESC ( I is one-byte"},
    {JI, 1, "1B 24 42 0E 0D 0A", "1B 24 42 0E 0A", "SO leaves two-byte mode"},
    {JI, 1, "1B 24 42 30 21 0F 0D 0A", "1B 24 42 30 21 0F 0A", "SI leaves two-byte mode"},
    {JI, 1, "1B 24 28 44", "1B 24 28 44", "ESC $ ( D is copied"},
    {JI, 1, "1B 24 28 44 0D 0A", "1B 24 28 44 0A", "CRLF in JIS X 0212 mode"},
    {JI, 1, "1B 24 28 41 0D 0A", "1B 24 28 41 0A", "after an unknown ESC the mode is one-byte"},
    {JI, 1, "1B 24 42 30 21 1B 24 28 41 0D 0A", "1B 24 42 30 21 1B 24 28 41 0A",
     "an unknown ESC leaves two-byte mode"},
    {JI, 1, "1B 0D 0A", "1B 0A", "bytes after an unknown ESC are walked as ordinary"},
    {JI, 0, "1B 0A 0A", "1B 0D 0A 0D 0A", "bytes after an unknown ESC are walked as ordinary"},
    {JI, 1, "1B 24 42 30 1B 28 42 0D 0A", "1B 24 42 30 1B 28 42 0A", "an ESC after half a pair is an escape"},
    {JI, 1, "82 0D 0A", "82 0A", "high-bit bytes are single in one-byte mode"},
    {JI, 0, "41 0D", "41 0D 0A", "CR last in one-byte mode is a lone CR"},
    {JI, 0, "41 1B 42", "41 1B", "ESC with one byte after it: the ESC only"},
    {JI, 0, "41 1B", "41 1B", "ESC as the last byte"},
    {JI, 0, "1B 24", "1B", "ESC $ at the end"},
    {JI, 0, "1B 24 42 30 21 1B 0D", "1B 24 42 30 21 1B", "ESC CR at the end: the CR is dropped"},
    {JI, 0, "41 1B 28 42", "41 1B 28 42", "a whole sequence just at the end"},
    {JI, 1, "1B 24 42 30 21 0D", "1B 24 42 30 21 0A", "CR last in two-byte mode is a lone CR"},
    {JI, 1, "1B 24 42 30 21 30", "1B 24 42 30 21 30", "one byte left in two-byte mode is copied"},
    {JI, 3, "41 0D 0A 1B 24 42 0D 0A 1B 28 42 0A", "41 1B 24 42 1B 28 42", "code 3 drops line ends in every mode"},
    // UTF-16LE: whole units only.
    {U16, 1, "41 00 0D 00 0A 00", "41 00 0A 00", "CRLF unit pair to LF"},
    {U16, 0, "41 00 0D 00 0A 00", "41 00 0D 00 0A 00", "CRLF kept"},
    {U16, 0, "0A 00", "0D 00 0A 00", "LF to CRLF"},
    {U16, 2, "0D 00 0A 00 0A 00", "0D 00 0D 00", "CRLF then LF to CR"},
    {U16, 0, "0D 00 41 00", "0D 00 0A 00 41 00", "lone CR unit"},
    {U16, 1, "0D 00", "0A 00", "CR unit last"},
    {U16, 0, "0D 30 0A 30", "0D 30 0A 30", "low byte 0D or 0A of another unit"},
    {U16, 0, "00 0D 00 0A", "00 0D 00 0A", "high byte 0D or 0A"},
    {U16, 1, "00 0D 00 0A 00", "00 0D 00 0A 00", "odd length, misaligned CR LF bytes"},
    {U16, 1, "0D 00 0A", "0A 00 0A", "next unit not wholly inside: lone CR"},
    {U16, 1, "41 00 42", "41 00 42", "odd last byte copied"},
    {U16, 0, "3D D8 00 DE 0A 00", "3D D8 00 DE 0D 00 0A 00", "surrogates are ordinary units"},
    {U16, 3, "41 00 0D 00 0A 00 0A 00 0D 00 42 00", "41 00 42 00", "code 3 drops every line end"},
    {U16, 1, "0A 0D 00 0A", "0A 0D 00 0A", "unit 0D0A is no line end"},
    // UTF-8: every byte below 80 stands alone; bytes of forms are copied.
    {U8, 2, "E3 81 82 0D 0A", "E3 81 82 0D", "CRLF to CR after a three-byte form"},
    {U8, 1, "E3 0D 0A", "E3 0A", "a three-byte lead takes no CR LF along"},
    {U8, 1, "C3 0D 0A", "C3 0A", "a two-byte lead takes no CR"},
    {U8, 0, "C3 0D 0A", "C3 0D 0A", "a two-byte lead before CR LF kept"},
    {U8, 1, "E3 81 0D 0A 41", "E3 81 0A 41", "a form cut off by CR LF"},
    {U8, 0, "E3 41 0A", "E3 41 0D 0A", "a lead takes no ASCII byte, nor the LF after it"},
    {U8, 1, "F0 9F 98 80 0D 0A", "F0 9F 98 80 0A", "four-byte form"},
    {U8, 1, "F0 0D 0A 0D 0A", "F0 0A 0A", "four-byte lead alone"},
    {U8, 1, "80 0D 0A BF 0A", "80 0A BF 0A", "continuation bytes are single"},
    {U8, 1, "C0 8D C0 8A 0D 0A", "C0 8D C0 8A 0A", "overlong CR and LF are no line ends"},
    {U8, 0, "41 0D", "41 0D 0A", "CR last"},
    {U8, 1, "41 0D 0A C3", "41 0A C3", "two-byte lead as the last byte"},
    {U8, 1, "41 E3 81", "41 E3 81", "three-byte lead with one byte after it"},
    {U8, 1, "0D E3", "0A E3", "three-byte lead as the last byte"},
    {U8, 0, "FF 0A", "FF 0D 0A", "FF takes no LF"},
    {U8, 3, "0D 0A E3 81 82 0A", "E3 81 82", "code 3 drops"},
};

TEST(NormalizeLineEndings, WorkedExamples)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "charset " << c.charset << ", code " << c.code << ", " << c.input
                                        << " (" << c.why << ")");
        const Bytes input = FromHex(c.input);
        EXPECT_TRUE(SameBytes(RunNormalize(input, c.charset, c.code), FromHex(c.expected)));
        // The model must read the same, or the comparisons below mean nothing.
        EXPECT_TRUE(SameBytes(model::NormalizeLineEndings(input, c.charset, c.code), FromHex(c.expected)));
    }
}

TEST(NormalizeLineEndings, EmptyInputAndUnknownCharset)
{
    for (CharsetId charset = Charset::ShiftJis; charset <= Charset::Utf8; ++charset)
        for (NLCode code = 0; code <= 3; ++code)
            EXPECT_TRUE(RunNormalize({}, charset, code).empty()) << charset << " " << code;
    for (CharsetId charset : {Charset::None, Charset::Count})
        EXPECT_TRUE(RunNormalize(FromHex("41 0D 0A 42"), charset, 0).empty()) << charset;
}

// Random input of every length up to a few hundred bytes, then long texts
// so that any stride-wise scanning crosses many block boundaries.
TEST(NormalizeLineEndings, MatchesModelOnRandomInput)
{
    CRandomText random(2201);
    for (CharsetId charset = Charset::ShiftJis; charset <= Charset::Utf8; ++charset) {
        for (NLCode code = 0; code <= 3; ++code) {
            SCOPED_TRACE(testing::Message() << "charset " << charset << ", code " << code);
            for (std::size_t n = 0; n < 300; ++n) {
                const Bytes input = n % 3 == 0 ? random.AnyBytes(n) : random.Hostile(charset, n);
                const Bytes got = RunNormalize(input, charset, code);
                ASSERT_TRUE(SameBytes(got, model::NormalizeLineEndings(input, charset, code)))
                    << "input " << model::ToHex(input);
                ASSERT_LE(got.size(), 2 * input.size());
            }
            for (std::size_t n : {4096u, 6000u, 9001u}) {
                const Bytes text = random.JapaneseText(charset, n);
                ASSERT_TRUE(
                    SameBytes(RunNormalize(text, charset, code), model::NormalizeLineEndings(text, charset, code)));
                const Bytes hostile = random.Hostile(charset, n);
                ASSERT_TRUE(SameBytes(RunNormalize(hostile, charset, code),
                                      model::NormalizeLineEndings(hostile, charset, code)));
            }
        }
    }
}

// Walking one encoding's text as another must still only rewrite whole units.
TEST(NormalizeLineEndings, MatchesModelOnForeignText)
{
    CRandomText random(2202);
    for (CharsetId textCharset = Charset::ShiftJis; textCharset <= Charset::Utf8; ++textCharset) {
        const Bytes text = random.JapaneseText(textCharset, 3000);
        for (CharsetId charset = Charset::ShiftJis; charset <= Charset::Utf8; ++charset)
            for (NLCode code = 0; code <= 3; ++code)
                EXPECT_TRUE(
                    SameBytes(RunNormalize(text, charset, code), model::NormalizeLineEndings(text, charset, code)))
                    << "text " << textCharset << " walked as " << charset << ", code " << code;
    }
}

} // namespace
