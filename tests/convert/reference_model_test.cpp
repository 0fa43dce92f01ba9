// The reference model on its own: the worked examples of the unit rules for
// malformed and extended Japanese text, and the IBM extensions, the
// user-defined area and JIS X 0212 against Python's codecs.
#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

#include "cp932_bridge.h"
#include "jisx0212_table.h"
#include "python_codecs.h"
#include "python_oracle.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using model::Bytes;
using model::FromHex;
using model::ToHex;
using namespace Charset;

constexpr const char* kGeta = "\xE3\x80\x93"; // 〓

struct Example {
    const char* name;
    CharsetId source;
    CharsetId target;
    NLCode code;
    const char* substitute;
    const char* input;
    const char* expected;
};

const Example kExamples[] = {
    // IBM extensions take the rows of their twins; the user-defined area has no form.
    {"names through twins", Utf8, EucJp, NewLine::Lf, "_",
     "E9 AB 99 E6 A9 8B E3 81 95 E3 82 93 E3 81 A8 E5 B1 B1 EF A8 91 E3 81 95 E3 82 93",
     "FC E2 B6 B6 A4 B5 A4 F3 A4 C8 BB B3 F9 F5 A4 B5 A4 F3"},
    {"IBM extension to ISO-2022-JP", ShiftJis, Jis, NewLine::CrLf, "_", "FB FC", "1B 24 42 7C 62 1B 28 42"},
    {"NEC-selected row read back", EucJp, Utf8, NewLine::Lf, "_", "FC E2", "E9 AB 99"},
    {"NEC row 13 stays row 13", ShiftJis, EucJp, NewLine::Lf, "_", "87 90", "AD F0"},
    {"unassigned pair keeps its row", ShiftJis, EucJp, NewLine::Lf, "_", "85 40 EF FC", "A9 A1 FE FE"},
    {"user-defined code", ShiftJis, EucJp, NewLine::Lf, kGeta, "41 F0 40 F9 FC", "41 A2 AE A2 AE"},
    {"user-defined code in kanji mode", ShiftJis, Jis, NewLine::CrLf, kGeta, "F0 40", "1B 24 42 22 2E 1B 28 42"},
    {"past the IBM extensions", ShiftJis, EucJp, NewLine::Lf, "_", "FC 4C", "5F"},
    {"stray bytes have no EUC-JP form", ShiftJis, EucJp, NewLine::Lf, "_", "80 A0 FD FE FF", "5F 5F 5F 5F 5F"},
    {"stray bytes toward Unicode", ShiftJis, Utf8, NewLine::Lf, "_", "80 A0", "C2 80 EF A3 B0"},
    // Line ends inside a kanji mode.
    {"CR LF in kanji mode", Jis, Utf8, NewLine::CrLf, "_", "1B 24 42 46 7C 4B 5C 0D 0A 38 6C 1B 28 42",
     "E6 97 A5 E6 9C AC 0D 0A E8 AA 9E"},
    {"CR LF in kanji mode to LF", Jis, Utf8, NewLine::Lf, "_", "1B 24 42 46 7C 4B 5C 0D 0A 38 6C 1B 28 42",
     "E6 97 A5 E6 9C AC 0A E8 AA 9E"},
    {"half a pair before LF", Jis, Utf8, NewLine::Lf, "_", "1B 24 42 30 0A 1B 28 42", "EF BF BD 0A"},
    {"four-byte JIS X 0208 escape", Jis, ShiftJis, NewLine::CrLf, "_", "1B 24 28 42 30 21 1B 28 42", "88 9F"},
    {"high bytes outside kanji mode", Jis, Utf8, NewLine::Lf, "_", "B1 80 1B 24 42 B1 1B 28 42",
     "EF BD B1 EF BF BD EF BF BD"},
    // Lone leads keep the byte after them.
    {"lone lead before LF", ShiftJis, EucJp, NewLine::Lf, "_", "61 88 0A 62 0A", "61 5F 0A 62 0A"},
    {"lone lead, substitute setting", ShiftJis, EucJp, NewLine::Lf, kGeta, "61 88 0A 62 0A", "61 A2 AE 0A 62 0A"},
    {"lone lead before CR LF", ShiftJis, Utf8, NewLine::Lf, "_", "61 88 0D 0A", "61 EF BF BD 0A"},
    {"lone lead copied as it is", ShiftJis, ShiftJis, NewLine::CrLf, "_", "61 88 0A", "61 88 0D 0A"},
    {"lone EUC-JP lead", EucJp, Utf8, NewLine::Lf, "_", "61 B0 0A 62", "61 EF BF BD 0A 62"},
    {"8F without its trail bytes", EucJp, Utf8, NewLine::Lf, "_", "8F B0 62", "EF BF BD EF BF BD 62"},
    {"8E without katakana", EucJp, ShiftJis, NewLine::CrLf, "_", "8E 41", "5F 41"},
    {"unassigned pair is one character", EucJp, Utf8, NewLine::Lf, "_", "A9 A1 41", "EF BF BD 41"},
    {"odd last byte of UTF-16", Unicode, Utf8, NewLine::CrLf, "_", "61 00 62", "61 EF BF BD"},
    {"odd last byte toward Shift_JIS", Unicode, ShiftJis, NewLine::CrLf, "_", "61 00 62", "61 5F"},
    // JIS X 0212 reaches Unicode and comes back.
    {"8F units take the substitute", EucJp, ShiftJis, NewLine::CrLf, kGeta, "8F B0 A1 8F A1 A1 8F", "81 AC 81 AC 81 AC"},
    {"8F unit with a CP932 form", EucJp, ShiftJis, NewLine::CrLf, "_", "8F A2 B7", "7E"},
    {"JIS X 0212 to UTF-8", EucJp, Utf8, NewLine::Lf, "_", "46 72 61 6E 8F AB AE 6F 69 73",
     "46 72 61 6E C3 A7 6F 69 73"},
    {"JIS X 0212 from UTF-8", Utf8, EucJp, NewLine::Lf, "_", "46 72 61 6E C3 A7 6F 69 73",
     "46 72 61 6E 8F AB AE 6F 69 73"},
    {"JIS X 0212 escape read", Jis, Utf8, NewLine::CrLf, "_", "1B 24 28 44 30 21 1B 28 42", "E4 B8 82"},
    {"JIS X 0212 escape to EUC-JP", Jis, EucJp, NewLine::Lf, "_", "1B 24 28 44 30 21 2B 2E 1B 28 42",
     "8F B0 A1 8F AB AE"},
    {"EUC-JP 8F to ISO-2022-JP", EucJp, Jis, NewLine::CrLf, "_", "8F B0 A1 8F A2 F1 41",
     "1B 24 28 44 30 21 1B 24 42 2D 62 1B 28 42 41"},
    {"JIS X 0212 from UTF-8 to ISO-2022-JP", Utf8, Jis, NewLine::CrLf, "_", "E4 B8 82 0D 0A",
     "1B 24 28 44 30 21 1B 28 42 0D 0A"},
    {"JIS X 0212 substitute", Utf8, EucJp, NewLine::Lf, "\xC3\xA7", "F0 9F 98 80", "8F AB AE"},
    // Characters without a form.
    {"no form in Shift_JIS", Utf8, ShiftJis, NewLine::CrLf, "_", "61 F0 9F 98 80 62", "61 5F 62"},
    {"empty substitute drops", Utf8, ShiftJis, NewLine::CrLf, "", "61 F0 9F 98 80 62", "61 62"},
    {"no form in ISO-2022-JP", Utf8, Jis, NewLine::CrLf, kGeta, "F0 9F 98 80", "1B 24 42 22 2E 1B 28 42"},
};

TEST(ReferenceModel, WorkedExamples)
{
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(ToHex(model::Convert(FromHex(e.input), e.source, e.target, e.code, e.substitute)), e.expected);
    }
}

TEST(ReferenceModel, JisX0212RoundTripsThroughUtf8)
{
    const Bytes utf8 = FromHex("46 72 61 6E C3 A7 6F 69 73 0A E4 B8 82 C3 84");
    const Bytes euc = model::Convert(utf8, Utf8, EucJp, NewLine::Lf, "_");
    EXPECT_EQ(ToHex(model::Convert(euc, EucJp, Utf8, NewLine::Lf, "_")), ToHex(utf8));
    const Bytes jis = model::Convert(utf8, Utf8, Jis, NewLine::Lf, "_");
    EXPECT_EQ(ToHex(model::Convert(jis, Jis, Utf8, NewLine::Lf, "_")), ToHex(utf8));
}

// Where the first unit that is no form of EUC-JP begins; npos when all are.
std::size_t FirstNonEucJp(const Bytes& text)
{
    auto pair = [](std::uint8_t b) { return b >= 0xA1 && b <= 0xFE; };
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t b = text[i];
        const auto at = [&](std::size_t k) { return i + k < text.size() ? text[i + k] : std::uint8_t{0}; };
        std::size_t length = 0;
        if (b < 0x80)
            length = 1;
        else if (pair(b) && pair(at(1)))
            length = 2;
        else if (b == 0x8E && at(1) >= 0xA1 && at(1) <= 0xDF)
            length = 2;
        else if (b == 0x8F && pair(at(1)) && pair(at(2)))
            length = 3;
        if (length == 0)
            return i;
        i += length;
    }
    return std::string::npos;
}

// The same for ISO-2022-JP as the writer makes it: an escape only on a
// change of mode, each mode's own bytes, the end in ASCII.
std::size_t FirstNonJis(const Bytes& text)
{
    constexpr std::string_view kEscapes[] = {"(B", "$B", "(I", "$(D"};
    int mode = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t b = text[i];
        if (b == 0x1B) {
            const std::string_view rest(reinterpret_cast<const char*>(text.data()) + i + 1, text.size() - i - 1);
            int next = 0;
            while (next < 4 && rest.substr(0, kEscapes[next].size()) != kEscapes[next])
                ++next;
            if (next == 4 || next == mode)
                return i;
            mode = next;
            i += 1 + kEscapes[next].size();
            continue;
        }
        const bool bPair = i + 1 < text.size() && text[i + 1] >= 0x21 && text[i + 1] <= 0x7E;
        const bool bGraphic = b >= 0x21 && b <= 0x7E;
        if (mode == 0 && (b >= 0x80 || b == 0x0E || b == 0x0F))
            return i;
        if (mode == 2 && (b < 0x21 || b > 0x5F))
            return i;
        if ((mode == 1 || mode == 3) && !(bGraphic && bPair))
            return i;
        i += mode == 1 || mode == 3 ? 2 : 1;
    }
    return mode == 0 ? std::string::npos : text.size();
}

// No conversion writes bytes that are no form of its target, whatever it
// reads (escapes, SO and SI aside, which ISO-2022-JP alone gives meaning).
TEST(ReferenceModel, JisFamilyOutputIsMadeOfForms)
{
    CRandomText random(2501);
    const Bytes alphabet = FromHex("0D 0A 41 21 7E 7F 80 81 88 8E 8F 9F A0 A1 B0 DF E0 EE F0 FA FC FD FE FF "
                                   "C3 A7 E3 D8 DC 30 24 28 42 44");
    for (CharsetId source = 0; source < Count; ++source) {
        for (int round = 0; round < 3000; ++round) {
            Bytes input = random.FromAlphabet(1 + random.Below(20), alphabet);
            for (std::uint8_t& b : input)
                if (source != Jis && (b == 0x1B || b == 0x0E || b == 0x0F))
                    b = 0x41;
            for (const char* substitute : {"_", kGeta, "\xC3\xA7", ""}) {
                SCOPED_TRACE(testing::Message() << source << ": " << ToHex(input) << ", " << substitute);
                if (source != EucJp) {
                    ASSERT_EQ(FirstNonEucJp(model::Convert(input, source, EucJp, 1, substitute)), std::string::npos);
                }
                if (source != Jis) {
                    ASSERT_EQ(FirstNonJis(model::Convert(input, source, Jis, 0, substitute)), std::string::npos);
                }
            }
        }
    }
}

// EUC-JP <-> ISO-2022-JP are direct, yet give what the chain through
// Shift_JIS gives for well-formed text, the rows of the IBM twins included.
TEST(ReferenceModel, EucJpAndJisAsTheChainThroughShiftJis)
{
    CRandomText random(2502);
    Bytes sjis = random.ShiftJisText(20000);
    for (int trail = 0x40; trail <= 0xFC; ++trail)
        if (trail != 0x7F)
            sjis.insert(sjis.end(), {0xFA, static_cast<std::uint8_t>(trail), 0xFB, static_cast<std::uint8_t>(trail)});
    const Bytes euc = model::ShiftJisToEucJp(sjis);
    const Bytes jis = model::ShiftJisToJis(sjis);
    EXPECT_EQ(ToHex(model::EucJpToJis(euc, "_")), ToHex(model::ShiftJisToJis(model::EucJpToShiftJis(euc))));
    EXPECT_EQ(ToHex(model::JisToEucJp(jis, "_")), ToHex(model::ShiftJisToEucJp(model::JisToShiftJis(jis))));
    EXPECT_EQ(ToHex(model::EucJpToJis(euc, "_")), ToHex(jis));
    EXPECT_EQ(ToHex(model::JisToEucJp(jis, "_")), ToHex(euc));
}

Bytes Utf8Of(std::uint32_t u)
{
    const Bytes utf16 = {static_cast<std::uint8_t>(u & 0xFF), static_cast<std::uint8_t>(u >> 8)};
    return model::ConvertCell(utf16, Unicode, Utf8, "_");
}

// Every IBM extension and every user-defined code: Python's cp932 character
// in UTF-8; in EUC-JP and ISO-2022-JP a form of the target that reads back to
// that character, or the substitute.
TEST(ReferenceModel, IbmExtensionsAndUserDefinedAsPython)
{
    if (!python_oracle::Available())
        GTEST_SKIP() << "python3 is missing: the codec comparison did not run";
    std::vector<Bytes> codes;
    for (int lead = 0xF0; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F && (lead < 0xFC || trail <= 0x4B))
                codes.push_back({static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)});
    const auto python = python_oracle::DecodeEach("cp932", codes);
    ASSERT_TRUE(python.has_value());
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::uint32_t u = (*python)[k];
        SCOPED_TRACE(testing::Message() << ToHex(codes[k]) << " U+" << std::hex << u);
        ASSERT_NE(u, 0u);
        const Bytes utf8 = Utf8Of(u);
        EXPECT_EQ(ToHex(model::ConvertCell(codes[k], ShiftJis, Utf8, kGeta)), ToHex(utf8));
        const Bytes euc = model::ConvertCell(codes[k], ShiftJis, EucJp, kGeta);
        const Bytes jis = model::ConvertCell(codes[k], ShiftJis, Jis, kGeta);
        if (codes[k][0] < 0xFA) {
            EXPECT_EQ(ToHex(euc), "A2 AE");
            EXPECT_EQ(ToHex(jis), "1B 24 42 22 2E 1B 28 42");
            continue;
        }
        ASSERT_EQ(euc.size(), 2u);
        EXPECT_TRUE(euc[0] >= 0xA1 && euc[0] <= 0xFE && euc[1] >= 0xA1 && euc[1] <= 0xFE);
        EXPECT_EQ(ToHex(model::ConvertCell(euc, EucJp, Utf8, "_")), ToHex(utf8));
        EXPECT_EQ(ToHex(jis), "1B 24 42 " + ToHex({static_cast<std::uint8_t>(euc[0] & 0x7F),
                                                   static_cast<std::uint8_t>(euc[1] & 0x7F)}) + " 1B 28 42");
        EXPECT_EQ(ToHex(model::ConvertCell(jis, Jis, Utf8, "_")), ToHex(utf8));
        EXPECT_EQ(ToHex(model::ConvertCell(utf8, Utf8, EucJp, "_")), ToHex(euc)) << "the same twin from Unicode";
    }
}

// Every JIS X 0212 code, EUC-JP -> UTF-8 -> EUC-JP and from ISO-2022-JP, as
// Python's euc_jp and iso2022_jp_2 read them.
TEST(ReferenceModel, JisX0212AsPython)
{
    if (!python_oracle::Available())
        GTEST_SKIP() << "python3 is missing: the codec comparison did not run";
    std::vector<Bytes> euc;
    std::vector<Bytes> iso2022;
    for (int b1 = 0xA1; b1 <= 0xFE; ++b1) {
        for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
            const auto j1 = static_cast<std::uint8_t>(b1 & 0x7F);
            const auto j2 = static_cast<std::uint8_t>(b2 & 0x7F);
            euc.push_back({0x8F, static_cast<std::uint8_t>(b1), static_cast<std::uint8_t>(b2)});
            iso2022.push_back({0x1B, '$', '(', 'D', j1, j2, 0x1B, '(', 'B'});
        }
    }
    const auto fromEuc = python_oracle::DecodeEach("euc_jp", euc);
    const auto fromIso2022 = python_oracle::DecodeEach("iso2022_jp_2", iso2022);
    ASSERT_TRUE(fromEuc && fromIso2022);
    int characters = 0;
    for (std::size_t k = 0; k < euc.size(); ++k) {
        const std::uint32_t u = (*fromEuc)[k];
        SCOPED_TRACE(testing::Message() << ToHex(euc[k]) << " U+" << std::hex << u);
        ASSERT_EQ((*fromIso2022)[k], u);
        const Bytes utf8 = u != 0 ? Utf8Of(u) : FromHex("EF BF BD");
        EXPECT_EQ(ToHex(model::ConvertCell(euc[k], EucJp, Utf8, "_")), ToHex(utf8));
        EXPECT_EQ(ToHex(model::ConvertCell(iso2022[k], Jis, Utf8, "_")), ToHex(utf8));
        EXPECT_EQ(ToHex(model::ConvertCell(iso2022[k], Jis, EucJp, "_")), ToHex(euc[k]));
        if (u == 0) {
            EXPECT_EQ(ToHex(model::ConvertCell(euc[k], EucJp, ShiftJis, kGeta)), "81 AC");
            continue;
        }
        ++characters;
        std::uint8_t form[2];
        const bool bCp932Has = cp932::EncodeOne(u, form) > 0;
        const Bytes back = model::ConvertCell(utf8, Utf8, EucJp, "_");
        EXPECT_EQ(ToHex(model::ConvertCell(back, EucJp, Utf8, "_")), ToHex(utf8));
        const Bytes jis = model::ConvertCell(euc[k], EucJp, Jis, "_");
        EXPECT_EQ(ToHex(model::ConvertCell(jis, Jis, Utf8, "_")), ToHex(utf8));
        if (!bCp932Has) {
            EXPECT_EQ(ToHex(back), ToHex(euc[k]));
            EXPECT_EQ(ToHex(jis), ToHex(iso2022[k]));
        }
    }
    EXPECT_GT(characters, 6000);
}

} // namespace
