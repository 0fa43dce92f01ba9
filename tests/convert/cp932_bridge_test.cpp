// The bridge against two independent oracles: Python's cp932 codec for
// decoding and glibc's iconv for encoding, exhaustively and on random text,
// plus the cases the oracles do not decide (best fits outside iconv, the
// substitute, the user-defined area).
#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "cp932_bridge.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Units = std::vector<std::uint16_t>;

// Inputs and outputs sit one byte past an allocation boundary and end exactly
// at the end of theirs, so misaligned access and overruns show under the
// sanitizers.
Units Decode(const Bytes& in)
{
    const auto n = static_cast<std::int64_t>(in.size());
    Bytes source(in.size() + 1);
    for (std::size_t k = 0; k < in.size(); ++k)
        source[k + 1] = in[k];
    Bytes target(2 * in.size() + 1);
    const std::int64_t nUnits = cp932::Decode(source.data() + 1, n, target.data() + 1);
    EXPECT_GE(nUnits, 0);
    EXPECT_LE(nUnits, n);
    Units units(static_cast<std::size_t>(std::max<std::int64_t>(nUnits, 0)));
    for (std::size_t k = 0; k < units.size(); ++k)
        units[k] = static_cast<std::uint16_t>(target[1 + 2 * k] | target[2 + 2 * k] << 8);
    return units;
}

Bytes Encode(const Units& in, const cp932::Substitute& substitute = {})
{
    Bytes source(2 * in.size() + 1);
    for (std::size_t k = 0; k < in.size(); ++k) {
        source[1 + 2 * k] = static_cast<std::uint8_t>(in[k]);
        source[2 + 2 * k] = static_cast<std::uint8_t>(in[k] >> 8);
    }
    Bytes target(2 * in.size() + 1);
    const std::int64_t nBytes =
        cp932::Encode(source.data() + 1, static_cast<std::int64_t>(in.size()), substitute, target.data() + 1);
    EXPECT_GE(nBytes, 0);
    EXPECT_LE(nBytes, static_cast<std::int64_t>(2 * in.size()));
    return Bytes(target.begin() + 1, target.begin() + 1 + std::max<std::int64_t>(nBytes, 0));
}

std::string Hex(const Bytes& bytes)
{
    std::string text;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        text += buf;
    }
    return text;
}

std::string Hex(const Units& units)
{
    std::string text;
    char buf[6];
    for (std::uint16_t u : units) {
        std::snprintf(buf, sizeof buf, "%04X ", u);
        text += buf;
    }
    return text;
}

// ---------------------------------------------------------------- oracles

bool HavePython() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

// Decodes every input with bytes.decode('cp932', errors='replace') in one
// python3 run; records are a 32-bit little-endian count and the data.
std::vector<Units> PythonDecode(const std::vector<Bytes>& inputs)
{
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("cp932_bridge_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto script = dir / "decode.py", input = dir / "in.bin", output = dir / "out.bin";
    {
        std::ofstream(script) << "import struct, sys\n"
                                 "data = open(sys.argv[1], 'rb').read()\n"
                                 "out = bytearray()\n"
                                 "i = 0\n"
                                 "while i < len(data):\n"
                                 "    (n,) = struct.unpack_from('<I', data, i)\n"
                                 "    text = data[i + 4:i + 4 + n].decode('cp932', errors='replace')\n"
                                 "    i += 4 + n\n"
                                 "    units = text.encode('utf-16-le')\n"
                                 "    out += struct.pack('<I', len(units) // 2) + units\n"
                                 "open(sys.argv[2], 'wb').write(out)\n";
        std::ofstream file(input, std::ios::binary);
        for (const Bytes& in : inputs) {
            const auto n = static_cast<std::uint32_t>(in.size());
            const char count[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
            file.write(count, 4);
            file.write(reinterpret_cast<const char*>(in.data()), static_cast<std::streamsize>(in.size()));
        }
    }
    const std::string command = "python3 '" + script.string() + "' '" + input.string() + "' '" + output.string() + "'";
    std::vector<Units> results;
    if (std::system(command.c_str()) == 0) {
        std::ifstream file(output, std::ios::binary);
        const Bytes data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::size_t i = 0;
        while (i + 4 <= data.size()) {
            const std::size_t n = data[i] | data[i + 1] << 8 | data[i + 2] << 16 | std::size_t(data[i + 3]) << 24;
            i += 4;
            Units units(n);
            for (std::size_t k = 0; k < n && i + 1 < data.size(); ++k, i += 2)
                units[k] = static_cast<std::uint16_t>(data[i] | data[i + 1] << 8);
            results.push_back(std::move(units));
        }
    }
    std::filesystem::remove_all(dir);
    return results;
}

// What glibc writes for each BMP code point in CP932; empty where it has no
// mapping (and for surrogates). Nothing at all when the converter is missing.
const std::vector<Bytes>& IconvEncodings()
{
    static const std::vector<Bytes> encodings = [] {
        std::vector<Bytes> result;
        const iconv_t cd = ::iconv_open("CP932", "UTF-16LE");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return result;
        result.resize(0x10000);
        for (std::uint32_t cp = 0; cp <= 0xFFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF)
                continue;
            char in[2] = {char(cp), char(cp >> 8)};
            char out[8];
            char* pIn = in;
            char* pOut = out;
            std::size_t nIn = 2, nOut = sizeof out;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (::iconv(cd, &pIn, &nIn, &pOut, &nOut) == static_cast<std::size_t>(-1))
                continue;
            ::iconv(cd, nullptr, nullptr, &pOut, &nOut);
            result[cp].assign(out, pOut);
        }
        ::iconv_close(cd);
        return result;
    }();
    return encodings;
}

// Code points the code page gives a code that glibc does not know.
bool OutsideIconv(std::uint32_t cp) { return cp == 0x80 || (cp >= 0xF8F0 && cp <= 0xF8F3); }

// ---------------------------------------------------------------- decoding

TEST(Cp932Decode, EveryByteAndPairMatchesPython)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 is not available";
    std::vector<Bytes> inputs;
    for (int b = 0; b < 256; ++b)
        inputs.push_back({std::uint8_t(b)});
    for (int pair = 0; pair < 0x10000; ++pair)
        inputs.push_back({std::uint8_t(pair >> 8), std::uint8_t(pair)});
    const std::vector<Units> expected = PythonDecode(inputs);
    ASSERT_EQ(expected.size(), inputs.size());
    int mismatches = 0;
    for (std::size_t k = 0; k < inputs.size() && mismatches < 20; ++k) {
        const Units actual = Decode(inputs[k]);
        if (actual != expected[k]) {
            ++mismatches;
            ADD_FAILURE() << Hex(inputs[k]) << "-> " << Hex(actual) << "expected " << Hex(expected[k]);
        }
    }
}

TEST(Cp932Decode, RandomTextMatchesPython)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 is not available";
    // Leads, trails, bytes that stand alone and line endings, between ASCII
    // runs long enough for the word-at-a-time path.
    const Bytes alphabet = {0x0A, 0x0D, 0x41, 0x5C, 0x7F, 0x80, 0x81, 0x85, 0x88, 0x9F, 0xA0, 0xA1, 0xDF,
                            0xE0, 0xEA, 0xEB, 0xED, 0xF0, 0xF9, 0xFA, 0xFC, 0xFD, 0xFF, 0x40, 0x7E, 0xFC};
    std::mt19937 rng(932);
    std::vector<Bytes> inputs;
    for (int round = 0; round < 3000; ++round) {
        Bytes in(rng() % 80);
        for (auto& b : in) {
            const unsigned roll = rng() % 8;
            b = roll < 3 ? std::uint8_t(0x20 + rng() % 0x5F) : roll < 7 ? alphabet[rng() % alphabet.size()]
                                                                        : std::uint8_t(rng());
        }
        inputs.push_back(std::move(in));
    }
    const std::vector<Units> expected = PythonDecode(inputs);
    ASSERT_EQ(expected.size(), inputs.size());
    for (std::size_t k = 0; k < inputs.size(); ++k)
        ASSERT_EQ(Hex(Decode(inputs[k])), Hex(expected[k])) << "input " << Hex(inputs[k]);
}

struct DecodeCase {
    const char* what;
    Bytes in;
    Units out;
};

TEST(Cp932Decode, NamedCases)
{
    const DecodeCase cases[] = {
        {"empty", {}, {}},
        {"kanji and ASCII", {0x88, 0x9F, 0x41}, {0x4E9C, 0x0041}},
        {"80 stands alone", {0x80}, {0x0080}},
        {"A0 stands alone", {0xA0}, {0xF8F0}},
        {"FD FE FF stand alone", {0xFD, 0xFE, 0xFF}, {0xF8F1, 0xF8F2, 0xF8F3}},
        {"half-width katakana ends", {0xA1, 0xDF}, {0xFF61, 0xFF9F}},
        {"user-defined area start", {0xF0, 0x40}, {0xE000}},
        {"user-defined area end", {0xF9, 0xFC}, {0xE757}},
        {"backslash and tilde stay ASCII", {0x5C, 0x7E}, {0x005C, 0x007E}},
        {"81 60 is the full-width tilde", {0x81, 0x60}, {0xFF5E}},
        {"NEC and IBM duplicates decode alike", {0x87, 0x54, 0xFA, 0x4A}, {0x2160, 0x2160}},
        {"stray lead before LF", {0x81, 0x0A}, {0xFFFD, 0x000A}},
        {"stray lead before CR LF", {0x88, 0x0D, 0x0A}, {0xFFFD, 0x000D, 0x000A}},
        {"lead at end of input", {0x41, 0x81}, {0x0041, 0xFFFD}},
        {"lone lead", {0xE0}, {0xFFFD}},
        {"undefined pair keeps its trail", {0x85, 0x40}, {0xFFFD, 0x0040}},
        {"trail 7F is no trail", {0x81, 0x7F, 0x41}, {0xFFFD, 0x007F, 0x0041}},
        {"lead of an undefined pair pairs up next", {0x85, 0x81, 0x40}, {0xFFFD, 0x3000}},
        {"lead at the end of an ASCII word", {0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x88, 0x9F},
         {0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x4E9C}},
        {"lead ending a full ASCII word", {0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x81},
         {0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0xFFFD}},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(Hex(Decode(c.in)), Hex(c.out)) << c.what;
}

// ---------------------------------------------------------------- encoding

TEST(Cp932Encode, EveryBmpCodePointMatchesIconv)
{
    const std::vector<Bytes>& iconvBytes = IconvEncodings();
    if (iconvBytes.empty())
        GTEST_SKIP() << "iconv has no CP932 converter";
    int checked = 0, mapped = 0, mismatches = 0;
    for (std::uint32_t cp = 0; cp <= 0xFFFF && mismatches < 20; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || OutsideIconv(cp))
            continue;
        ++checked;
        const Bytes expected = iconvBytes[cp].empty() ? Bytes{0x5F} : iconvBytes[cp];
        mapped += !iconvBytes[cp].empty();
        const Bytes actual = Encode({std::uint16_t(cp)});
        std::uint8_t one[2];
        const int nOne = cp932::EncodeOne(cp, one);
        const Bytes single = iconvBytes[cp].empty() ? Bytes{} : Bytes(one, one + nOne);
        if (actual != expected || Bytes(one, one + nOne) != single) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "U+" << cp << " -> " << Hex(actual) << "expected " << Hex(expected);
        }
    }
    EXPECT_EQ(checked, 63488 - 5);
    EXPECT_GT(mapped, 9000) << "iconv maps too little to be a CP932 oracle";
}

// Random text: runs of ASCII (word-at-a-time path), mapped and unmapped
// characters, surrogate pairs and lone surrogates, against the concatenation
// of iconv's per-character codes.
TEST(Cp932Encode, RandomTextMatchesIconv)
{
    const std::vector<Bytes>& iconvBytes = IconvEncodings();
    if (iconvBytes.empty())
        GTEST_SKIP() << "iconv has no CP932 converter";
    const Bytes star = {0x81, 0x96};
    const cp932::Substitute substitute = cp932::MakeSubstitute("\xEF\xBC\x8A"); // U+FF0A
    const Units alphabet = {0x000A, 0x000D, 0x0041, 0x007F, 0x00A5, 0x00E9, 0x3042, 0x4E9C, 0x2170, 0xFF61,
                            0xFF5E, 0x301C, 0xD83D, 0xDE00, 0xD800, 0xDFFF, 0xFFFF, 0xE000, 0xE757, 0xE758,
                            0x0080, 0xF8F0, 0xF8F3};
    std::mt19937 rng(9320);
    for (int round = 0; round < 3000; ++round) {
        Units in(rng() % 60);
        for (auto& u : in) {
            const unsigned roll = rng() % 8;
            u = roll < 4 ? std::uint16_t(0x20 + rng() % 0x5F)
                         : roll < 7 ? alphabet[rng() % alphabet.size()] : std::uint16_t(rng());
        }
        Bytes expected;
        for (std::size_t k = 0; k < in.size(); ++k) {
            const std::uint16_t u = in[k];
            if (u >= 0xD800 && u <= 0xDFFF) {
                if (u <= 0xDBFF && k + 1 < in.size() && in[k + 1] >= 0xDC00 && in[k + 1] <= 0xDFFF)
                    ++k;
                expected.insert(expected.end(), star.begin(), star.end());
            } else if (OutsideIconv(u)) {
                expected.push_back(u == 0x80 ? 0x80 : u == 0xF8F0 ? 0xA0 : std::uint8_t(0xFD + (u - 0xF8F1)));
            } else {
                const Bytes& code = iconvBytes[u].empty() ? star : iconvBytes[u];
                expected.insert(expected.end(), code.begin(), code.end());
            }
        }
        ASSERT_EQ(Hex(Encode(in, substitute)), Hex(expected)) << "input " << Hex(in);
    }
}

struct EncodeCase {
    const char* what;
    std::uint32_t cp;
    Bytes out;
};

TEST(Cp932Encode, NamedCodes)
{
    const EncodeCase cases[] = {
        {"JIS row 2 before NEC row 13", 0x2252, {0x81, 0xE0}},
        {"JIS row 2 before NEC row 13 and IBM", 0x2235, {0x81, 0xE6}},
        {"NEC row 13 before IBM", 0x2160, {0x87, 0x54}},
        {"IBM before NEC-selected, roman numeral", 0x2170, {0xFA, 0x40}},
        {"IBM before NEC-selected, kanji", 0x4E28, {0xFA, 0x68}},
        {"not sign, JIS before NEC-selected and IBM", 0xFFE2, {0x81, 0xCA}},
        {"full-width tilde", 0xFF5E, {0x81, 0x60}},
        {"best fit wave dash", 0x301C, {0x81, 0x60}},
        {"best fit minus sign", 0x2212, {0x81, 0x7C}},
        {"best fit double vertical line", 0x2016, {0x81, 0x61}},
        {"best fit cent sign", 0x00A2, {0x81, 0x91}},
        {"best fit pound sign", 0x00A3, {0x81, 0x92}},
        {"best fit not sign", 0x00AC, {0x81, 0xCA}},
        {"best fit em dash", 0x2014, {0x81, 0x5C}},
        {"best fit yen sign", 0x00A5, {0x5C}},
        {"best fit overline", 0x203E, {0x7E}},
        {"U+0080", 0x0080, {0x80}},
        {"U+F8F0", 0xF8F0, {0xA0}},
        {"U+F8F1", 0xF8F1, {0xFD}},
        {"U+F8F2", 0xF8F2, {0xFE}},
        {"U+F8F3", 0xF8F3, {0xFF}},
        {"user-defined area start", 0xE000, {0xF0, 0x40}},
        {"user-defined area end", 0xE757, {0xF9, 0xFC}},
        {"past the user-defined area", 0xE758, {}},
        {"half-width katakana", 0xFF61, {0xA1}},
        {"kanji", 0x4E9C, {0x88, 0x9F}},
        {"NUL", 0x0000, {0x00}},
        {"e acute has no code", 0x00E9, {}},
        {"beyond the BMP", 0x1F600, {}},
    };
    for (const EncodeCase& c : cases) {
        std::uint8_t out[2];
        const int n = cp932::EncodeOne(c.cp, out);
        EXPECT_EQ(Hex(Bytes(out, out + n)), Hex(c.out)) << c.what;
        if (c.cp <= 0xFFFF) {
            EXPECT_EQ(Hex(Encode({std::uint16_t(c.cp)})), Hex(c.out.empty() ? Bytes{0x5F} : c.out)) << c.what;
        }
    }
}

// ---------------------------------------------------------------- substitute

struct SubstituteCase {
    const char* what;
    std::string text;
    Bytes bytes; // empty: dropped
};

TEST(Cp932Substitute, FirstCharacterOfTheText)
{
    const SubstituteCase cases[] = {
        {"default", "_", {0x5F}},
        {"full-width asterisk", "\xEF\xBC\x8A", {0x81, 0x96}},
        {"first of several characters", "?!x", {0x3F}},
        {"first of several, double-byte", "\xE3\x81\x82\xE3\x81\x84", {0x82, 0xA0}},
        {"half-width katakana", "\xEF\xBD\xB1", {0xB1}},
        {"best fit yen sign", "\xC2\xA5", {0x5C}},
        {"emoji has no code", "\xF0\x9F\x98\x80", {0x5F}},
        {"e acute has no code", "\xC3\xA9", {0x5F}},
        {"empty drops", "", {}},
        {"leading NUL drops", std::string("\0x", 2), {}},
        {"invalid lead byte", "\xFF", {0x5F}},
        {"truncated sequence", "\xE3\x81", {0x5F}},
        {"overlong slash", "\xC0\xAF", {0x5F}},
        {"encoded surrogate", "\xED\xA0\x80", {0x5F}},
        {"stray continuation byte", "\x80", {0x5F}},
    };
    for (const SubstituteCase& c : cases) {
        const cp932::Substitute s = cp932::MakeSubstitute(c.text);
        ASSERT_GE(s.length, 0) << c.what;
        ASSERT_LE(s.length, 2) << c.what;
        EXPECT_EQ(Hex(Bytes(s.bytes, s.bytes + s.length)), Hex(c.bytes)) << c.what;
    }
}

struct UnmappableCase {
    const char* what;
    std::string substitute;
    Units in;
    Bytes out;
};

TEST(Cp932Substitute, ReplacesEachUnmappableCharacter)
{
    const UnmappableCase cases[] = {
        {"default", "_", {0x41, 0x00E9, 0x42}, {0x41, 0x5F, 0x42}},
        {"double-byte substitute", "\xEF\xBC\x8A", {0x00E9, 0x00E9}, {0x81, 0x96, 0x81, 0x96}},
        {"empty drops", "", {0x41, 0x00E9, 0x42}, {0x41, 0x42}},
        {"empty drops a pair", "", {0xD83D, 0xDE00}, {}},
        {"surrogate pair is one character", "_", {0x41, 0xD83D, 0xDE00, 0x42}, {0x41, 0x5F, 0x42}},
        {"lone high surrogate", "_", {0xD800, 0x41}, {0x5F, 0x41}},
        {"lone low surrogate", "_", {0x41, 0xDC00}, {0x41, 0x5F}},
        {"high surrogate at end", "_", {0x41, 0xDBFF}, {0x41, 0x5F}},
        {"low then high is two", "_", {0xDC00, 0xD800}, {0x5F, 0x5F}},
        {"high, then a pair", "_", {0xD800, 0xD800, 0xDC00}, {0x5F, 0x5F}},
        {"pair split by ASCII", "_", {0xD83D, 0x0A, 0xDE00}, {0x5F, 0x0A, 0x5F}},
        {"double-byte substitute for every unit", "\xEF\xBC\x8A", {0xDC00, 0xDC00, 0xDC00},
         {0x81, 0x96, 0x81, 0x96, 0x81, 0x96}},
        {"after an ASCII word", "_", {0x61, 0x62, 0x63, 0x64, 0x00E9}, {0x61, 0x62, 0x63, 0x64, 0x5F}},
    };
    for (const UnmappableCase& c : cases)
        EXPECT_EQ(Hex(Encode(c.in, cp932::MakeSubstitute(c.substitute))), Hex(c.out)) << c.what;
}

TEST(Cp932Substitute, OversizedLengthStaysWithinTwoBytesPerUnit)
{
    cp932::Substitute s;
    s.length = 5;
    EXPECT_EQ(Encode({0x00E9}, s).size(), 2u);
}

} // namespace
