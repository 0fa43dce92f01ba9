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
#include "replacement_tally.h"
#include "text_stream.h"
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
        // The same search with the copy of what comes before the hit.
        {"CopyToCrLf",
         [](const std::uint8_t* p, std::int64_t n) {
             Bytes out(static_cast<std::size_t>(n) + 1);
             const std::int64_t c = byte_search::CopyToCrLf(p, n, out.data());
             EXPECT_TRUE(std::equal(p, p + c, out.begin()));
             return c;
         },
         byte({0x0D, 0x0A}), {0x0D, 0x0D}, {0x82, 0x0B}, 1},
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
        const Bytes japanese = random.JapaneseText(charset, random.Below(200));
        text.insert(text.end(), japanese.begin(), japanese.end());
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

// The wide pair walks take blocks of pairs while every unit is one: Shift_JIS
// into UTF-8 while all have three-byte forms, Shift_JIS into rows and cells,
// and EUC-JP and ISO-2022-JP rows and cells into Shift_JIS. Every other unit, at every place of a block and after
// it, must stop them where the plain walk gives the same bytes.
TEST(ByteSearch, PairRunsStopAtEveryOtherUnitOnEveryPath)
{
    const struct {
        CharsetId source;
        CharsetId target;
        const char* pair;   // repeated: the run
        const char* before; // what comes first
        std::vector<const char*> others;
    } kCases[] = {
        {Charset::ShiftJis, Charset::Utf8, "88 9F", "",
         {"81 98", "B1", "41", "81 20", "F0 40", "FA 40", "80", "FD", "A0"}},
        {Charset::ShiftJis, Charset::EucJp, "88 9F", "", {"B1", "41", "81 20", "F0 40", "FA 40", "EF FC", "80", "9F 7F"}},
        {Charset::ShiftJis, Charset::Jis, "E0 80", "", {"B1", "41", "81 20", "F0 40", "FA 40", "88 9F 0A", "1B"}},
        {Charset::EucJp, Charset::ShiftJis, "B0 A1", "", {"8E B1", "8F B0 A1", "41", "A1 41", "FF", "0A", "A1"}},
        {Charset::Utf8, Charset::ShiftJis, "E4 BA 9C", "",
         {"C3 A9", "F0 9F 98 80", "E3 81", "80", "41", "C2 A7", "EF BD B1", "ED A0 80", "E0 80 80"}},
        {Charset::Jis, Charset::ShiftJis, "30 21", "1B 24 42",
         {"1B 28 42 41 1B 24 42", "0A", "0D 0A", "7F", "0E 31 0F", "21 0A", "1B 24 40", "A1 A1"}},
    };
    for (const auto& c : kCases) {
        const Bytes pair = model::FromHex(c.pair);
        const Bytes before = model::FromHex(c.before);
        for (const char* other : c.others) {
            for (std::size_t at = 0; at <= 70; ++at) {
                Bytes text = before;
                for (int k = 0; k < 40; ++k)
                    text.insert(text.end(), pair.begin(), pair.end());
                const Bytes unit = model::FromHex(other);
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(before.size() + at), unit.begin(), unit.end());
                std::vector<Bytes> outs;
                std::vector<CReplacementTally> tallies;
                for (const Path path : RunnablePaths()) {
                    const CPathScope scope(path);
                    harness::CCollectSink sink;
                    tallies.emplace_back();
                    CTextStream stream(c.source, c.target, NewLine::Lf, "_", sink, true, &tallies.back());
                    stream.Write(text.data(), static_cast<std::int64_t>(text.size()));
                    stream.Finish();
                    outs.push_back(sink.m_bytes);
                }
                for (std::size_t k = 1; k < outs.size(); ++k) {
                    const auto where = [&] {
                        return testing::Message() << Charset::kShortNames[c.source] << " " << other << " at " << at
                                                  << " on " << kPathNames[k];
                    };
                    ASSERT_TRUE(harness::SameBytes(outs[k], outs[0])) << where();
                    const CReplacementTally& a = tallies[k];
                    const CReplacementTally& b = tallies[0];
                    ASSERT_TRUE(a.m_nNoForm == b.m_nNoForm && a.m_nIllFormed == b.m_nIllFormed &&
                                a.m_firstNoForm.nColumn == b.m_firstNoForm.nColumn &&
                                a.m_firstIllFormed.nColumn == b.m_firstIllFormed.nColumn)
                        << where();
                }
            }
        }
    }
}

// Line ends already in the form asked for: what the line-ending pass hands
// on uncopied. Texts of few kinds of byte, so that every CR and LF lands on
// every position of a block and by a block's edge.
TEST(ByteSearch, LineEndsAreKeptOnlyWhereEveryOneHasTheFormOnEveryPath)
{
    using byte_search::EndForm;
    const auto oracle = [](const Bytes& t, EndForm form, std::int64_t* pnLines) {
        std::int64_t nLines = 0;
        for (std::size_t i = 0; i < t.size(); ++i) {
            const bool cr = t[i] == 0x0D;
            const bool lf = t[i] == 0x0A;
            const bool pairCr = cr && i + 1 < t.size() && t[i + 1] == 0x0A;
            const bool pairLf = lf && i > 0 && t[i - 1] == 0x0D;
            const bool kept = form == EndForm::CrLf ? (!cr || pairCr) && (!lf || pairLf)
                              : form == EndForm::Lf ? !cr
                                                    : !lf;
            if (!kept)
                return false;
            nLines += (form == EndForm::Cr ? cr : lf) ? 1 : 0;
        }
        *pnLines = nLines;
        return true;
    };
    CRandomText random(3141);
    for (int round = 0; round < 3000; ++round) {
        const EndForm form = static_cast<EndForm>(round % 3);
        Bytes text = random.FromAlphabet(random.Below(140), {'a', 0x82});
        // Mostly line ends of the form, now and then a stray CR or LF.
        for (std::size_t at = random.Below(40); at < text.size(); at += 1 + random.Below(40)) {
            const int pick = static_cast<int>(random.Below(12));
            text[at] = pick == 0 ? 0x0D : pick == 1 ? 0x0A : form == EndForm::Lf ? 0x0A : 0x0D;
            if (form == EndForm::CrLf && pick > 1 && at + 1 < text.size())
                text[++at] = 0x0A;
        }
        std::int64_t nWant = -1;
        const bool bWant = oracle(text, form, &nWant);
        for (const Path path : RunnablePaths()) {
            const CPathScope scope(path);
            std::int64_t nLines = 0;
            ASSERT_EQ(byte_search::LineEndsAre(text.data(), static_cast<std::int64_t>(text.size()), form, &nLines),
                      bWant)
                << kPathNames[static_cast<int>(path)] << " form " << static_cast<int>(form) << " "
                << model::ToHex(text);
            if (bWant) {
                ASSERT_EQ(nLines, nWant) << kPathNames[static_cast<int>(path)] << " " << model::ToHex(text);
            }
        }
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
