// Every fast kernel must give exactly the bytes of its reference kernel, on
// random and on hostile input (line endings glued to lead bytes, lone leads
// at the end, long runs of high-bit bytes).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "line_endings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Random text over an alphabet weighted towards the bytes the walks care about.
Bytes RandomText(std::mt19937& rng, std::size_t n, const Bytes& alphabet)
{
    Bytes text(n);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::uniform_int_distribution<int> any(0, 255);
    for (auto& b : text)
        b = (rng() % 4 == 0) ? static_cast<std::uint8_t>(any(rng)) : alphabet[pick(rng)];
    return text;
}

Bytes Walk(line_endings::Walk walk, const Bytes& in, NLCode code)
{
    Bytes out(2 * in.size() + 1);
    const std::uint8_t* end = walk(in.data(), static_cast<std::int64_t>(in.size()), out.data(), code);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

struct Alphabet {
    CharsetId charset;
    Bytes bytes;
};

class FastLineEndings : public ::testing::TestWithParam<Alphabet> {};

TEST_P(FastLineEndings, MatchReferenceOnRandomText)
{
    const Alphabet& a = GetParam();
    std::mt19937 rng(1234 + a.charset);
    const auto fast = line_endings::FastWalk(a.charset);
    const auto reference = line_endings::ReferenceWalk(a.charset);
    ASSERT_NE(fast, nullptr);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t n = round < 200 ? static_cast<std::size_t>(round % 40) : rng() % 300;
        const Bytes in = RandomText(rng, n, a.bytes);
        for (NLCode code = 0; code <= 3; ++code)
            ASSERT_EQ(Walk(fast, in, code), Walk(reference, in, code)) << "round " << round << " code " << code;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllSources, FastLineEndings,
    ::testing::Values(Alphabet{Charset::ShiftJis, {0x0D, 0x0A, 0x41, 0x82, 0xA0, 0x88, 0x9F, 0xB1, 0x40}},
                      Alphabet{Charset::EucJp, {0x0D, 0x0A, 0x41, 0xA4, 0xA2, 0x8E, 0x8F, 0xB0}},
                      Alphabet{Charset::Jis, {0x0D, 0x0A, 0x41, 0x1B, 0x24, 0x28, 0x42, 0x40, 0x4A, 0x0E, 0x0F}},
                      Alphabet{Charset::Unicode, {0x0D, 0x0A, 0x00, 0x30, 0x41}},
                      Alphabet{Charset::Utf8, {0x0D, 0x0A, 0x41, 0xE3, 0x81, 0x82, 0xC3, 0xA9, 0xF0, 0x80}}),
    [](const auto& info) { return std::string(Charset::kShortNames[info.param.charset]); });

TEST(FastLineEndings, LongRunsOfHighBitBytesBeforeALineEnd)
{
    // Parity of the run decides whether the CR is a trail or a line ending.
    for (std::size_t run = 0; run < 70; ++run) {
        Bytes in(run, 0x82);
        in.push_back(0x0D);
        in.push_back(0x0A);
        for (CharsetId cs : {Charset::ShiftJis, Charset::EucJp, Charset::Utf8}) {
            EXPECT_EQ(Walk(line_endings::FastWalk(cs), in, NewLine::Lf),
                      Walk(line_endings::ReferenceWalk(cs), in, NewLine::Lf))
                << "run " << run << " charset " << cs;
        }
    }
}

} // namespace
