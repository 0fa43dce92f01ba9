// The codecs as the program runs them (the stream, whole and in pieces):
// units alone never swallow the byte after them, IBM extensions and JIS X
// 0212 keep their characters, line ends in a kanji mode stay line ends, and
// every EUC-JP and ISO-2022-JP output is made of that encoding's forms.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "random_text.h"
#include "target_forms.h"
#include "text_stream.h"

namespace {

using harness::RunConvert;
using harness::SameBytes;
using model::Bytes;
using model::FromHex;

constexpr CharsetId SJ = Charset::ShiftJis;
constexpr CharsetId EU = Charset::EucJp;
constexpr CharsetId JI = Charset::Jis;
constexpr CharsetId U16 = Charset::Unicode;
constexpr CharsetId U8 = Charset::Utf8;

// The stream in pieces of one byte: each unit decided across every edge.
Bytes RunBytewise(const Bytes& in, CharsetId source, CharsetId target, NLCode code, const std::string& substitute)
{
    harness::CCollectSink sink;
    CTextStream stream(source, target, code, substitute, sink);
    for (const std::uint8_t b : in)
        stream.Write(&b, 1);
    stream.Finish();
    return sink.m_bytes;
}

TEST(Codecs, WorkedExamples)
{
    const char* const kGeta = "\xE3\x80\x93"; // 〓
    const struct {
        CharsetId source;
        CharsetId target;
        NLCode code;
        const char* substitute;
        const char* in;
        const char* out;
    } kCases[] = {
        // IBM extensions take their twin's row (髙 FBFC -> EEE0, 﨑 FAB1 -> ED95,
        // ￢ FA54 -> 81CA); the user-defined area has no form.
        {SJ, EU, 1, "_", "FB FC FA B1 FA 54", "FC E2 F9 F5 A2 CC"},
        {SJ, JI, 1, "_", "41 FB FC 42", "41 1B 24 42 7C 62 1B 28 42 42"},
        {SJ, EU, 1, "_", "F0 40 41", "5F 41"},
        {U8, EU, 1, "_", "E9 AB 99", "FC E2"},
        // JIS X 0212: read, written, and the substitute where Shift_JIS lacks it.
        {EU, U8, 1, "_", "46 72 61 6E 8F AB AE 6F 69 73", "46 72 61 6E C3 A7 6F 69 73"},
        {U8, EU, 1, "_", "C3 A7 E4 B8 82", "8F AB AE 8F B0 A1"},
        {U8, JI, 1, "_", "C3 A7 41", "1B 24 28 44 2B 2E 1B 28 42 41"},
        {JI, U8, 1, "_", "1B 24 28 44 2B 2E 1B 28 42", "C3 A7"},
        {JI, EU, 1, "_", "1B 24 28 44 30 21 1B 28 42", "8F B0 A1"},
        {EU, SJ, 1, kGeta, "8F AB AE 41", "81 AC 41"},
        {EU, JI, 1, "_", "8F AB AE", "1B 24 28 44 2B 2E 1B 28 42"},
        // Line ends inside a kanji mode, and the four-byte designation.
        {JI, U8, 0, "_", "1B 24 42 46 7C 4B 5C 0D 0A 38 6C 1B 28 42", "E6 97 A5 E6 9C AC 0D 0A E8 AA 9E"},
        {JI, SJ, 1, "_", "1B 24 42 46 7C 0D 0A 4B 5C 1B 28 42", "93 FA 0A 96 7B"},
        {JI, U8, 1, "_", "1B 24 28 42 46 7C 1B 28 42", "E6 97 A5"},
        // A unit alone leaves the next byte to the next unit.
        {SJ, EU, 1, "_", "61 88 0A 62 0A", "61 5F 0A 62 0A"},
        {SJ, U8, 1, "_", "61 88 0D 0A", "61 EF BF BD 0A"},
        {EU, U8, 1, "_", "61 B0 0A 62", "61 EF BF BD 0A 62"},
        {EU, U8, 1, "_", "8F B0 62", "EF BF BD EF BF BD 62"},
        {EU, SJ, 1, "_", "8E 41 FF", "5F 41 5F"},
        {SJ, SJ, 1, "_", "61 88 0D 0A", "61 88 0A"},
        // An odd last byte of UTF-16.
        {U16, U8, 1, "_", "61 00 62", "61 EF BF BD"},
        {U16, SJ, 1, kGeta, "61 00 62", "61 81 AC"},
    };
    for (const auto& c : kCases) {
        const Bytes in = FromHex(c.in);
        SCOPED_TRACE(testing::Message() << Charset::kShortNames[c.source] << "->" << Charset::kShortNames[c.target]
                                        << " " << c.in);
        EXPECT_TRUE(SameBytes(RunConvert(in, c.source, c.target, c.code, c.substitute), FromHex(c.out)));
        EXPECT_TRUE(SameBytes(RunBytewise(in, c.source, c.target, c.code, c.substitute), FromHex(c.out)));
    }
}

TEST(Codecs, EveryOutputIsMadeOfItsTargetsForms)
{
    CRandomText random(2027);
    const std::string kSubstitutes[] = {"_", "\xE3\x80\x93", "", "\xC3\xA9", "\xEF\xBD\xB1"};
    for (CharsetId source = 0; source < Charset::Count; ++source) {
        for (const CharsetId target : {EU, JI}) {
            if (source == target)
                continue;
            for (int round = 0; round < 200; ++round) {
                const std::size_t n = random.Below(400);
                const Bytes in = round % 2 == 0 ? random.Hostile(source, n) : random.AnyBytes(n);
                const std::string& substitute = kSubstitutes[round % 5];
                const Bytes out = RunConvert(in, source, target, round % 4, substitute);
                const bool bForms = target == EU ? target_forms::IsEucJp(out.data(), static_cast<std::int64_t>(out.size()))
                                                 : target_forms::IsIso2022Jp(out.data(), static_cast<std::int64_t>(out.size()));
                ASSERT_TRUE(bForms) << Charset::kShortNames[source] << "->" << Charset::kShortNames[target] << " in "
                                    << model::ToHex(in) << " out " << model::ToHex(out);
            }
        }
    }
}

} // namespace
