// The UTF-16LE <-> UTF-8 codec: forms of one to four bytes, surrogate pairs,
// U+FFFD for each ill-formed UTF-8 sequence (one per maximal subpart) and
// for each lone surrogate, and what an input cut short yields.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
    {"FF D7", "ED 9F BF", "U+D7FF, below the surrogates"},
    {"00 E0", "EE 80 80", "U+E000, above them"},
    {"FD FF", "EF BF BD", "U+FFFD"},
    {"FF FF", "EF BF BF", "U+FFFF"},
    {"00 D8 00 DC", "F0 90 80 80", "U+10000, the first pair"},
    {"3D D8 00 DE", "F0 9F 98 80", "a surrogate pair is one four-byte form"},
    {"42 D8 B7 DF", "F0 A0 AE B7", "U+20BB7, a name character"},
    {"C0 DB 00 DC", "F4 80 80 80", "U+100000"},
    {"FF DB FF DF", "F4 8F BF BF", "U+10FFFF, the last"},
    {"FF FE 41 00", "EF BB BF 41", "U+FEFF is text like any other"},
    {"0D 00 0A 00", "0D 0A", "line end"},
};

TEST(Utf8Transcoders, WellFormedTextBothWays)
{
    for (const Case& c : kBothWays) {
        SCOPED_TRACE(testing::Message() << c.utf16 << " / " << c.utf8 << " (" << c.why << ")");
        EXPECT_TRUE(SameBytes(RunStage(UnicodeToUtf8, FromHex(c.utf16)), FromHex(c.utf8)));
        EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, FromHex(c.utf8)), FromHex(c.utf16)));
    }
}

// Each maximal subpart of an ill-formed sequence is one U+FFFD (FD FF); the
// byte that ends it starts afresh.
const Case kIllFormed[] = {
    {"FD FF FD FF", "C0 BC", "overlong '<' is no '<'"},
    {"FD FF FD FF FD FF", "E0 80 AF", "overlong '/' is no '/'"},
    {"FD FF FD FF FD FF FD FF", "C0 8D C0 8A", "overlong CR LF"},
    {"FD FF FD FF", "C1 81", "C1 is never a lead"},
    {"FD FF FD FF FD FF", "E0 9F 80", "E0 needs A0-BF next"},
    {"FD FF FD FF FD FF FD FF 41 00", "F0 80 80 80 41", "overlong four-byte form"},
    {"FD FF FD FF FD FF FD FF", "F0 8F BF BF", "F0 needs 90-BF next"},
    {"FD FF FD FF FD FF", "ED A0 80", "an encoded surrogate"},
    {"FD FF FD FF FD FF FD FF FD FF FD FF", "ED A0 BD ED B8 80", "an encoded surrogate pair"},
    {"FD FF FD FF FD FF FD FF", "F4 90 80 80", "above U+10FFFF"},
    {"FD FF FD FF", "F5 80", "F5 is never a lead"},
    {"FD FF FD FF FD FF FD FF FD FF", "F8 88 80 80 80", "no five-byte forms"},
    {"FD FF FD FF", "FE FF", "FE and FF"},
    {"FD FF FD FF 41 00", "80 BF 41", "stray continuation bytes"},
    {"FD FF", "C2", "cut off by the end"},
    {"FD FF", "E3 81", "cut off by the end"},
    {"FD FF", "F0 9F 98", "cut off by the end"},
    {"41 00 FD FF", "41 E0 A0", "cut off by the end"},
    {"FD FF 22 00", "E3 81 22", "a cut-off form keeps the quote after it"},
    {"FD FF 0A 00", "F0 9F 98 0A", "a cut-off form keeps the line end after it"},
    {"FD FF 0D 00 0A 00", "C3 0D 0A", "a cut-off form keeps CR LF"},
    {"FD FF 41 00", "C3 41", "a lead takes no ASCII byte"},
    {"FD FF 01 00 02 00", "E3 01 02", "nor two"},
    {"FD FF E9 00", "E3 C3 A9", "a new lead begins a new form"},
    {"FD FF FD FF FD FF FD FF 41 00", "E1 80 E2 F0 91 92 F1 BF 41", "the standard's own example"},
    {"42 30 FD FF", "E3 81 82 E3", "a whole form, then a lead cut short"},
};

TEST(Utf8Transcoders, IllFormedUtf8BecomesOneReplacementPerMaximalSubpart)
{
    for (const Case& c : kIllFormed) {
        SCOPED_TRACE(testing::Message() << c.utf8 << " (" << c.why << ")");
        EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, FromHex(c.utf8)), FromHex(c.utf16)));
        EXPECT_TRUE(SameBytes(model::Utf8ToUnicode(FromHex(c.utf8)), FromHex(c.utf16)));
    }
}

// A surrogate without its partner is no character: U+FFFD (EF BF BD).
const Case kLoneSurrogates[] = {
    {"00 D8 41 00", "EF BF BD 41", "high surrogate before ASCII"},
    {"41 00 00 DC", "41 EF BF BD", "low surrogate alone"},
    {"00 DC 00 D8", "EF BF BD EF BF BD", "low then high: two"},
    {"3D D8", "EF BF BD", "high surrogate at the end"},
    {"3D D8 00", "EF BF BD EF BF BD", "high surrogate, then an odd last byte"},
    {"00 D8 00 D8 00 DC", "EF BF BD F0 90 80 80", "high, then a pair"},
    {"3D D8 0A 00 00 DE", "EF BF BD 0A EF BF BD", "pair split by a line end"},
};

TEST(Utf8Transcoders, LoneSurrogatesBecomeTheReplacement)
{
    for (const Case& c : kLoneSurrogates) {
        SCOPED_TRACE(testing::Message() << c.utf16 << " (" << c.why << ")");
        EXPECT_TRUE(SameBytes(RunStage(UnicodeToUtf8, FromHex(c.utf16)), FromHex(c.utf8)));
        EXPECT_TRUE(SameBytes(model::UnicodeToUtf8(FromHex(c.utf16)), FromHex(c.utf8)));
    }
}

TEST(Utf8Transcoders, OddLastByteOfUtf16IsTheReplacement)
{
    for (const char* odd : {"41", "41 00 42", "41 00 E9", "00 30 80"}) {
        SCOPED_TRACE(odd);
        const Bytes input = FromHex(odd);
        Bytes expected = RunStage(UnicodeToUtf8, Bytes(input.begin(), input.end() - 1));
        expected.insert(expected.end(), {0xEF, 0xBF, 0xBD});
        EXPECT_TRUE(SameBytes(RunStage(UnicodeToUtf8, input), expected));
        EXPECT_TRUE(SameBytes(model::UnicodeToUtf8(input), expected));
    }
}

TEST(Utf8Transcoders, EmptyInput)
{
    EXPECT_TRUE(RunStage(UnicodeToUtf8, {}).empty());
    EXPECT_TRUE(RunStage(Utf8ToUnicode, {}).empty());
}

// Every scalar value, in one text: its form's length follows its range, and
// decoding gives every unit back.
TEST(Utf8Transcoders, EveryCharacterRoundTrips)
{
    Bytes utf16;
    const auto put = [&utf16](std::uint32_t u) {
        utf16.push_back(static_cast<std::uint8_t>(u & 0xFF));
        utf16.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (std::uint32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c < 0x10000) {
            put(c);
        } else {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    const Bytes utf8 = RunStage(UnicodeToUtf8, utf16);
    EXPECT_EQ(utf8.size(), 0x80u * 1 + (0x800u - 0x80u) * 2 + (0x10000u - 0x800u - 0x800u) * 3 + 0x100000u * 4);
    EXPECT_TRUE(SameBytes(utf8, model::UnicodeToUtf8(utf16)));
    EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, utf8), utf16));
}

// Every lead with every second byte (and a spread of third bytes).
TEST(Utf8Transcoders, EveryFormMatchesModel)
{
    Bytes utf8;
    for (int b1 = 0; b1 <= 0xFF; ++b1)
        for (int b2 = 0; b2 <= 0xFF; ++b2)
            for (int b3 : {0x00, 0x3F, 0x41, 0x80, 0x8F, 0x90, 0xA5, 0xBF, 0xC3, 0xE3, 0xF0, 0xFF}) {
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
        ASSERT_LE(2 * utf8.size(), 3 * utf16.size() + 3); // U+FFFD for an odd last byte

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

// ---- against Python's codecs, which follow the standard's recommended
// practice for U+FFFD as well

bool WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs codec(d) in python3 on the bytes; false when python3 cannot run.
bool RunPython(const char* codec, const Bytes& in, Bytes* pOut)
{
    // Of this process alone: the sanitizer build may run the same test at
    // the same time.
    const std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) / ("unicode_forms_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path inPath = dir / "in.bin";
    const std::filesystem::path outPath = dir / "out.bin";
    const std::string command = std::string("python3 -c \"import sys; d = open(sys.argv[1], 'rb').read(); "
                                            "open(sys.argv[2], 'wb').write(") +
                                codec + ")\" '" + inPath.string() + "' '" + outPath.string() + "'";
    const bool bRan = WriteFile(inPath, in) && std::system(command.c_str()) == 0;
    if (bRan)
        *pOut = ReadFile(outPath);
    std::filesystem::remove_all(dir);
    return bRan;
}

TEST(Utf8Transcoders, DecodesAsPythonDoes)
{
    if (std::system("python3 -c pass > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is missing: no conformance check against its codecs";
    CRandomText random(2502);
    // Every lead and second byte before each class of third byte, inside a
    // run of whole forms where it is the first and then the second of a
    // pair the decoder takes together; then random bytes, then bytes from
    // the edges of every range of the table of well-formed forms.
    Bytes adversarial;
    for (int b1 = 0x80; b1 <= 0xFF; ++b1)
        for (int b2 = 0; b2 <= 0xFF; ++b2)
            for (int b3 : {0x41, 0x80, 0xBF, 0xC0})
                adversarial.insert(adversarial.end(),
                                   {0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82, static_cast<std::uint8_t>(b1),
                                    static_cast<std::uint8_t>(b2), static_cast<std::uint8_t>(b3), 0xE3, 0x81, 0x82,
                                    0x0A});
    const Bytes noise = random.AnyBytes(200000);
    adversarial.insert(adversarial.end(), noise.begin(), noise.end());
    const Bytes edges = random.FromAlphabet(200000, FromHex("00 0A 0D 22 41 7F 80 8F 90 9F A0 BF C0 C1 C2 DF E0 E1 "
                                                            "E3 EC ED EE EF F0 F1 F3 F4 F5 F7 F8 FE FF 80 80 BF"));
    adversarial.insert(adversarial.end(), edges.begin(), edges.end());
    Bytes expected;
    ASSERT_TRUE(RunPython("d.decode('utf-8', 'replace').encode('utf-16-le')", adversarial, &expected));
    EXPECT_TRUE(SameBytes(RunStage(Utf8ToUnicode, adversarial), expected));

    // And back: lone surrogates among every kind of unit, and an odd last
    // byte, U+FFFD as in Python.
    const Bytes utf16 = random.FromAlphabet(200001, FromHex("41 00 0A 00 E9 00 42 30 00 D8 FF DB 00 DC FF DF 3D D8 "
                                                      "00 DE FD FF FF FF FF 07 00 08"));
    ASSERT_TRUE(RunPython("d.decode('utf-16-le', 'replace').encode('utf-8')", utf16, &expected));
    EXPECT_TRUE(SameBytes(RunStage(UnicodeToUtf8, utf16), expected));
}

} // namespace
