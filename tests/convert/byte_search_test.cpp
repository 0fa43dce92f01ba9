// Every kernel path the processor runs must give what the plain loops give:
// the searches and ASCII copies one by one, and every conversion whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "byte_search.h"
#include "engine_harness.h"
#include "kernel_paths.h"
#include "random_text.h"

namespace {

using Bytes = model::Bytes;
using byte_search::Path;

using kernel_paths::CPathScope;
constexpr const auto& kPathNames = kernel_paths::kNames;

std::vector<Path> RunnablePaths()
{
    return kernel_paths::Runnable();
}

struct Search {
    const char* name;
    std::function<std::int64_t(const std::uint8_t*, std::int64_t)> find;
    std::function<bool(const std::uint8_t*, std::int64_t)> isHit; // at an offset the search may stop on
    std::uint8_t hit[2];                                           // one hit, a unit for the unit search
    std::uint8_t filler[2];                                        // what surrounds it
    int step;                                                      // 2 for units
};

const std::vector<Search>& Searches()
{
    static const auto byte = [](std::initializer_list<int> set) {
        const std::vector<int> hits(set);
        return [hits](const std::uint8_t* p, std::int64_t) {
            for (const int b : hits)
                if (*p == b)
                    return true;
            return false;
        };
    };
    static const std::vector<Search> s_searches = {
        {"FindCrLf", byte_search::FindCrLf, byte({0x0D, 0x0A}), {0x0A, 0x0A}, {0x0B, 0x0B}, 1},
        {"FindJisSpecial", byte_search::FindJisSpecial, byte({0x0D, 0x0A, 0x1B, 0x0E, 0x0F}), {0x0F, 0x0F},
         {0x10, 0x10}, 1},
        {"FindEscSoSi", byte_search::FindEscSoSi, byte({0x1B, 0x0E, 0x0F}), {0x0E, 0x0E}, {0x0D, 0x0A}, 1},
        {"AsciiRun", byte_search::AsciiRun,
         [](const std::uint8_t* p, std::int64_t) { return *p >= 0x80; }, {0x80, 0x80}, {0x7F, 0x7F}, 1},
        {"FindCrLfUnit", byte_search::FindCrLfUnit,
         [](const std::uint8_t* p, std::int64_t left) { return left >= 2 && p[1] == 0 && (p[0] == 0x0D || p[0] == 0x0A); },
         {0x0D, 0x00}, {0x00, 0x0D}, 2},
    };
    return s_searches;
}

// What the plain loop finds: the first hit on the search's step, or the end
// (for units, past the last whole one).
std::int64_t Expected(const Search& s, const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    for (; i + s.step <= n; i += s.step)
        if (s.isHit(p + i, n - i))
            return i;
    return i;
}

// The text at every alignment in an exact-size heap block, so that the
// sanitizers see a read past its end.
std::int64_t FindAt(const Search& s, const Bytes& text, int alignment)
{
    const auto block = std::make_unique<std::uint8_t[]>(text.size() + alignment);
    std::copy(text.begin(), text.end(), block.get() + alignment);
    return s.find(block.get() + alignment, static_cast<std::int64_t>(text.size()));
}

TEST(ByteSearch, EverySearchFindsTheHitAtEveryOffsetOnEveryPath)
{
    for (const Path path : RunnablePaths()) {
        const CPathScope scope(path);
        for (const Search& s : Searches())
            for (int n = 0; n <= 200; ++n)
                for (int at = -1; at <= 80 && at < n; at += 1) {
                    Bytes text(n);
                    for (int k = 0; k < n; ++k)
                        text[k] = s.filler[k % 2];
                    if (at >= 0 && at + s.step <= n && at % s.step == 0)
                        std::memcpy(text.data() + at, s.hit, s.step);
                    const std::int64_t want = Expected(s, text.data(), n);
                    for (int alignment = 0; alignment < 32; ++alignment)
                        ASSERT_EQ(FindAt(s, text, alignment), want)
                            << s.name << " on " << kPathNames[static_cast<int>(path)] << ", " << n << " bytes, hit at "
                            << at << ", alignment " << alignment;
                }
    }
}

TEST(ByteSearch, EverySearchAgreesWithThePlainLoopOnRandomText)
{
    CRandomText random(41);
    const Bytes alphabet = {0x0D, 0x0A, 0x1B, 0x0E, 0x0F, 0x00, 0x41, 0x7F, 0x80, 0xFF};
    for (int round = 0; round < 3000; ++round) {
        // Mostly plain ASCII, so that the wide loops run far before a hit.
        Bytes text = random.FromAlphabet(random.Below(400), {0x41, 0x42, 0x20, 0x30});
        for (std::uint32_t k = random.Below(4); k > 0 && !text.empty(); --k)
            text[random.Below(static_cast<std::uint32_t>(text.size()))] = alphabet[random.Below(10)];
        const int alignment = static_cast<int>(random.Below(64));
        for (const Search& s : Searches()) {
            const std::int64_t want = Expected(s, text.data(), static_cast<std::int64_t>(text.size()));
            for (const Path path : RunnablePaths()) {
                const CPathScope scope(path);
                ASSERT_EQ(FindAt(s, text, alignment), want)
                    << s.name << " on " << kPathNames[static_cast<int>(path)] << " in " << model::ToHex(text);
            }
        }
    }
}

// The copies: what each writes, how much it takes, and that it writes
// nothing beyond what it took.
struct Copy {
    const char* name;
    std::int64_t (*copy)(const std::uint8_t*, std::int64_t, std::uint8_t*, Path);
    int inUnit;  // bytes a character takes in
    int outUnit; // and out
    int block;   // characters taken together
};

constexpr Copy kCopies[] = {
    {"CopyAscii", byte_search::CopyAscii, 1, 1, 16},
    {"WidenAscii", byte_search::WidenAscii, 1, 2, 16},
    {"NarrowAscii", byte_search::NarrowAscii, 2, 1, 8},
};

TEST(ByteSearch, AsciiCopiesTakeTheRunInWholeBlocksOnEveryPath)
{
    CRandomText random(7);
    for (const Copy& c : kCopies)
        for (int chars = 0; chars <= 200; ++chars)
            for (int at = -1; at <= 80 && at < chars; ++at) {
                // ASCII characters, one non-ASCII at at (a unit 0080 or 0100 for the narrowing).
                Bytes in(static_cast<std::size_t>(chars) * c.inUnit);
                for (auto& b : in)
                    b = static_cast<std::uint8_t>(0x20 + random.Below(0x60));
                if (c.inUnit == 2)
                    for (int k = 0; k < chars; ++k)
                        in[2 * k + 1] = 0;
                if (at >= 0)
                    in[static_cast<std::size_t>(at) * c.inUnit + (c.inUnit == 2 && at % 2 == 1 ? 1 : 0)] =
                        c.inUnit == 2 && at % 2 == 1 ? 0x01 : 0x80;
                const int run = at >= 0 ? at : chars;
                const std::int64_t want = run / c.block * c.block;
                for (const Path path : RunnablePaths()) {
                    const auto block = std::make_unique<std::uint8_t[]>(in.size() + 1);
                    std::copy(in.begin(), in.end(), block.get() + 1);
                    Bytes out(static_cast<std::size_t>(chars) * c.outUnit, 0xCC);
                    const std::int64_t taken = c.copy(block.get() + 1, chars, out.data(), path);
                    ASSERT_EQ(taken, want) << c.name << " on " << kPathNames[static_cast<int>(path)] << ", " << chars
                                           << " characters, non-ASCII at " << at;
                    for (std::int64_t k = 0; k < chars * c.outUnit; ++k) {
                        const std::int64_t ch = k / c.outUnit;
                        const std::uint8_t expected =
                            ch >= taken ? 0xCC : (k % c.outUnit == 0 ? in[ch * c.inUnit] : 0);
                        ASSERT_EQ(out[k], expected) << c.name << " on " << kPathNames[static_cast<int>(path)]
                                                    << ", byte " << k << " of " << chars << " characters";
                    }
                }
            }
}

// Hostile text of the charset with long ASCII stretches (and line ends in
// them) between its pieces, so that every wide loop starts and stops inside.
Bytes MixedText(CRandomText& random, CharsetId charset)
{
    Bytes text;
    for (std::uint32_t pieces = 1 + random.Below(6); pieces > 0; --pieces) {
        const Bytes hostile = random.Hostile(charset, random.Below(60));
        text.insert(text.end(), hostile.begin(), hostile.end());
        for (std::uint32_t n = random.Below(160); n > 0; --n) {
            const std::uint32_t pick = random.Below(40);
            text.push_back(pick == 0 ? 0x0D : pick == 1 ? 0x0A : static_cast<std::uint8_t>(0x20 + pick));
            if (charset == Charset::Unicode)
                text.push_back(0);
        }
    }
    return text;
}

TEST(ByteSearch, EveryConversionGivesTheSameBytesOnEveryPath)
{
    CRandomText random(2031);
    for (CharsetId source = 0; source < Charset::Count; ++source)
        for (CharsetId target = 0; target < Charset::Count; ++target)
            for (int round = 0; round < 24; ++round) {
                const Bytes in = MixedText(random, source);
                const NLCode code = round % 4 == 3 ? NewLine::None : round % 4;
                std::vector<Bytes> outs;
                for (const Path path : RunnablePaths()) {
                    const CPathScope scope(path);
                    outs.push_back(harness::RunConvert(in, source, target, code));
                }
                for (std::size_t k = 1; k < outs.size(); ++k)
                    ASSERT_TRUE(harness::SameBytes(outs[k], outs[0]))
                        << Charset::kShortNames[source] << "->" << Charset::kShortNames[target] << " NL " << code
                        << " on " << kPathNames[k] << " in " << model::ToHex(in);
            }
}

TEST(ByteSearch, APathIsClampedToWhatTheProcessorRuns)
{
    const struct {
        const char* name;
        bool bKnown;
        Path path;
    } kCases[] = {{"plain", true, Path::Plain}, {"sse2", true, Path::Sse2}, {"avx2", true, Path::Avx2},
                  {"AVX2", false, Path::Plain}, {"", false, Path::Plain}, {nullptr, false, Path::Plain}};
    for (const auto& c : kCases) {
        Path path = Path::Plain;
        ASSERT_EQ(byte_search::ParsePath(c.name, &path), c.bKnown) << (c.name ? c.name : "(none)");
        if (!c.bKnown)
            continue;
        EXPECT_EQ(path, c.path);
        const Path want = c.path < byte_search::BestPath() ? c.path : byte_search::BestPath();
        const CPathScope scope(want);
        EXPECT_EQ(byte_search::SetKernelPath(c.path), want);
        EXPECT_EQ(byte_search::KernelPath(), want);
    }
}

} // namespace
