// Detection decides on the first decisive byte; everything before it is
// ASCII or skipped pairs.
#include <gtest/gtest.h>

#include "charset_detector.h"
#include "engine_harness.h"
#include "random_text.h"
#include "reference_model.h"

namespace {

using harness::RunDetect;
using model::Bytes;
using model::FromHex;

struct Case {
    const char* input;
    CharsetId expected;
    const char* why;
};

constexpr CharsetId SJ = Charset::ShiftJis;
constexpr CharsetId EU = Charset::EucJp;
constexpr CharsetId JI = Charset::Jis;
constexpr CharsetId NONE = Charset::None;

const Case kCases[] = {
    {"", NONE, "empty"},
    {"48 65 6C 6C 6F 0D 0A 7F 00", NONE, "pure ASCII"},
    {"82 A0", SJ, "hiragana in Shift_JIS"},
    {"41 42 81 40", SJ, "81 after ASCII"},
    {"9F", SJ, "9F, last byte"},
    {"A4 A2", EU, "hiragana in EUC-JP"},
    {"A1", EU, "A1, last byte"},
    {"DF", EU, "DF"},
    {"1B 24 42 30 21 1B 28 42", JI, "ESC $ B"},
    {"41 0E", JI, "SO"},
    {"0F 82", JI, "SI before a Shift_JIS byte"},
    {"82 A0 1B 24 42", SJ, "an ESC after a decisive byte is never reached"},
    {"E3 81 82", SJ, "UTF-8 hiragana: E3 then 81"},
    {"E0 A1 41 42", NONE, "E0 A1 skipped, then ASCII"},
    {"E0 A1 1B", JI, "E0 A1 skipped, then ESC"},
    {"E0 1B", SJ, "ESC as the second byte of a pair is a byte <= A0"},
    {"FF FE 1B", JI, "skipped pair, then ESC"},
    {"E0 A1 A1", EU, "skipped pair, then A1"},
    {"B1 B2 82", EU, "half-width katakana first"},
    {"8E B1", SJ, "EUC-JP single shift 8E"},
    {"8F A1 A1", SJ, "EUC-JP 8F"},
    {"80 A0", SJ, "80 with A0 after it"},
    {"80 A1 82", SJ, "80 pair skipped, then 82"},
    {"A0 A1 A4", EU, "A0 pair skipped, then A4"},
    {"A0 00", SJ, "A0 then 00"},
    {"FF A1 41", NONE, "FF pair skipped"},
    {"FF FE 41 00", NONE, "UTF-16 mark and ASCII unit"},
    {"FF FE AB 30", EU, "UTF-16 mark and katakana unit"},
    {"FF FE E5 65", SJ, "UTF-16 mark and kanji unit"},
    {"FF", NONE, "FF alone: nothing follows, undecided"},
    {"41 E0", NONE, "E0 last"},
    {"80", NONE, "80 last"},
    {"E0 A1 A0", NONE, "A0 last after a skipped pair"},
    {"EF BB BF 41", EU, "UTF-8 mark: EF BB skipped, then BF decides"},
    {"EF BB 41", NONE, "EF BB skipped, then ASCII"},
};

TEST(DetectCharset, WorkedExamples)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.input << " (" << c.why << ")");
        EXPECT_EQ(RunDetect(FromHex(c.input)), c.expected);
        EXPECT_EQ(model::DetectCharset(FromHex(c.input)), c.expected);
    }
}

TEST(DetectCharset, NegativeLengthIsUndecided)
{
    const std::uint8_t bytes[] = {0x82, 0xA0};
    const CTextConverter converter;
    EXPECT_EQ(converter.DetectCharset(bytes, -1), Charset::None);
    EXPECT_EQ(converter.DetectCharset(bytes, 0), Charset::None);
}

TEST(DetectCharset, MatchesModelOnRandomInput)
{
    CRandomText random(2301);
    // Mostly ASCII so that the scan gets past the first bytes.
    const Bytes alphabet = FromHex("41 42 20 0D 0A 00 7F 1B 0E 0F 80 81 9F A0 A1 DF E0 FF");
    for (int round = 0; round < 4000; ++round) {
        const std::size_t n = random.Below(40);
        Bytes input = random.FromAlphabet(n, alphabet);
        for (auto& b : input)
            if (b >= 0x80 && random.Below(3) != 0)
                b = 0x41;
        ASSERT_EQ(RunDetect(input), model::DetectCharset(input)) << model::ToHex(input);
    }
}

TEST(DetectCharset, JapaneseTextInEachEncoding)
{
    CRandomText random(2302);
    for (int round = 0; round < 20; ++round) {
        const Bytes sjis = random.ShiftJisText(200);
        const Bytes euc = model::ShiftJisToEucJp(sjis);
        const Bytes jis = model::ShiftJisToJis(sjis);
        EXPECT_EQ(RunDetect(sjis), model::DetectCharset(sjis));
        EXPECT_EQ(RunDetect(euc), model::DetectCharset(euc));
        EXPECT_EQ(RunDetect(jis), model::DetectCharset(jis));
    }
}

// A whole file: the marks, then well-formed UTF-8, then the byte scan, and
// where the scan is blind the candidates weighed.
TEST(DetectFileCharset, MarksThenUtf8ThenTheScanThenTheWeighing)
{
    constexpr CharsetId U16 = Charset::Unicode;
    constexpr CharsetId U8 = Charset::Utf8;
    const Case cases[] = {
        {"FF FE", U16, "the Unicode mark alone"},
        {"FF FE 41 00 E3 81 82", U16, "FF FE wins over UTF-8 after it"},
        {"FF", NONE, "one byte is no mark, and the scan ends undecided"},
        {"EF BB BF", U8, "the UTF-8 mark alone"},
        {"EF BB BF 82 A0", U8, "the mark wins over what follows"},
        {"41 E3 81 82 0D 0A", U8, "well-formed with a three-byte form"},
        {"63 61 66 C3 A9", U8, "Latin-1 in UTF-8 is as plausible as the kanji EUC-JP would give"},
        {"F0 A0 AE B7", U8, "a four-byte form"},
        {"41 42 0D 0A", NONE, "ASCII alone is not UTF-8"},
        {"41 E3 81", U8, "a form cut off by the end is no fault"},
        {"E3 81 82 E3", U8, "nor a lead byte alone at the end"},
        {"C0 BC", EU, "overlong: the scan decides"},
        {"ED A0 80", SJ, "a surrogate code point"},
        {"F4 90 80 80", SJ, "above U+10FFFF"},
        {"E3 81 82 80", SJ, "a stray continuation byte"},
        {"A4 A2 A4 A4", EU, "EUC-JP hiragana"},
        {"1B 24 42 24 22 1B 28 42", JI, "ISO-2022-JP"},
        // The deciding byte is a half-width katakana, or 8E, or 8F.
        {"B6 C5 3A 20 82 B1 82 EA", SJ, "Shift_JIS starting with half-width katakana"},
        {"CE D3 3A 20 82 B1", SJ, "ﾒﾓ: first; EUC-JP would be ill-formed at 82"},
        {"8E B6 8E C5 3A 20 A4 B3 A4 EC", EU, "EUC-JP starting with half-width katakana"},
        {"8F AB A1 20 A4 CE", EU, "EUC-JP starting with JIS X 0212"},
        {"8E 9F 82 A0", SJ, "8E as a Shift_JIS kanji lead, ill-formed in EUC-JP"},
        {"A4 A2 A4 CE", EU, "EUC-JP hiragana is two half-width katakana each in Shift_JIS"},
        {"32 30 32 31 C7 AF", EU, "2021年: short, both UTF-8 and EUC-JP, Latin Extended in UTF-8"},
        // Ill-formed in the scan's answer, well-formed in another.
        {"B1 82 A0", SJ, "EUC-JP ill-formed, Shift_JIS not"},
        {"1B 5B 6D 82 A0", SJ, "an ESC before 8-bit Shift_JIS"},
        {"1B 5B 6D A4 A2", EU, "an ESC before 8-bit EUC-JP"},
        {"E0 A1 41", SJ, "pairs the scan skipped to the end are not ASCII"},
        {"FD FE 41 A4", EU, "ill-formed everywhere: the scan's answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.input << " (" << c.why << ")");
        const Bytes input = FromHex(c.input);
        EXPECT_EQ(DetectFileCharset(input.data(), static_cast<std::int64_t>(input.size())), c.expected);
    }
}

// Japanese text in each encoding is found, half-width katakana and JIS X
// 0212 first or not, and its UTF-8 form always is.
TEST(DetectFileCharset, JapaneseTextInEachEncoding)
{
    CRandomText random(2303);
    const auto detect = [](const Bytes& b) { return DetectFileCharset(b.data(), static_cast<std::int64_t>(b.size())); };
    for (int round = 0; round < 100; ++round) {
        Bytes sjis = random.ShiftJisText(20 + 40 * static_cast<std::size_t>(round));
        if (round % 2 == 1)
            sjis.insert(sjis.begin(), {0xB6, 0xC5, 0x20}); // ｶﾅ first
        const Bytes utf8 = model::UnicodeToUtf8(model::ShiftJisToUnicode(sjis));
        for (CharsetId charset : {SJ, EU, JI})
            EXPECT_EQ(detect(model::ConvertCell(sjis, SJ, charset, "_")), charset) << round;
        EXPECT_EQ(detect(utf8), Charset::Utf8) << model::ToHex(utf8);
    }
}

// Fed in pieces, the detector answers as for the whole text, and once it
// says it is sure, no later byte changes its answer.
TEST(CharsetDetector, PiecesGiveTheWholeAnswer)
{
    CRandomText random(2304);
    for (int round = 0; round < 600; ++round) {
        const CharsetId charset = static_cast<CharsetId>(random.Below(Charset::Count));
        const std::size_t n = random.Below(round % 3 == 0 ? 2000 : 200);
        const Bytes text = round % 2 == 0 ? random.Hostile(charset, n) : random.JapaneseText(charset, n);
        const CharsetId whole = DetectFileCharset(text.data(), static_cast<std::int64_t>(text.size()));
        CCharsetDetector detector;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t take = std::min<std::size_t>(1 + random.Below(5), text.size() - at);
            detector.Feed(text.data() + at, static_cast<std::int64_t>(take));
            at += take;
            if (detector.Decided()) {
                ASSERT_EQ(detector.Finish(), whole) << "sure after " << at << ": " << model::ToHex(text);
            }
        }
        ASSERT_EQ(detector.Finish(), whole) << model::ToHex(text);
    }
    const Bytes sjis = model::FromHex("41 82 A0 0D 0A");
    CCharsetDetector detector;
    detector.Feed(sjis.data(), static_cast<std::int64_t>(sjis.size()));
    EXPECT_TRUE(detector.Decided());
    EXPECT_EQ(detector.Finish(), Charset::ShiftJis);
}

} // namespace
