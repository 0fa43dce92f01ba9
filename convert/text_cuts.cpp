#include "text_cuts.h"

#include <cstring>

#include "byte_search.h"
#include "jis_escapes.h"
#include "jis_units.h"
#include "text_constants.h"

namespace text_cuts {

namespace {

using text::CR;
using text::ESC;
using text::LF;
using text::SI;
using text::SO;

// Whether the LF at q stands alone, so that a cut may follow it.
bool ShiftJisAlone(const std::uint8_t* p, std::int64_t q)
{
    // A run of lead bytes before it pairs up from its start, which follows a
    // byte that is no lead: the LF is a trail when the run is odd.
    std::int64_t k = q;
    while (k > 0 && jis_units::IsShiftJisLead(p[k - 1]))
        --k;
    return ((q - k) & 1) == 0;
}

bool EucJpAlone(const std::uint8_t* p, std::int64_t q)
{
    // Back to a known unit start (after two bytes below 0x80, or the start)
    // far enough to take in the unit before a CR LF, but not far; then
    // forward by units.
    constexpr std::int64_t kLookBack = 256;
    std::int64_t j = q > 4 ? q - 4 : 0;
    while (j > 0 && !(p[j - 1] < 0x80 && (j == 1 || p[j - 2] < 0x80))) {
        if (q - j >= kLookBack)
            return false;
        --j;
    }
    std::int64_t prev = -1;
    std::int64_t last = -1;
    while (j < q) {
        prev = last;
        last = j;
        j += p[j] < 0x80 ? 1 : p[j] == jis_units::kEucJisX0212 ? 3 : 2;
    }
    if (j != q)
        return false;
    // The unit before the line ending, which the pass may write as any of
    // CR LF, LF or CR: a pair led by 80-A0 (a row below 0x21) has a Shift_JIS
    // image whose second byte leads a pair with what follows it; katakana
    // and 8F units do not.
    if (last >= 0 && p[last] == CR)
        last = prev;
    if (last < 0 || p[last] < 0x80 || p[last] == jis_units::kEucJisX0212)
        return true;
    if (p[last] == jis_units::kEucKatakana)
        return jis_units::IsHalfWidthKatakana(p[last + 1]);
    return p[last] > 0xA0;
}

using Alone = bool (*)(const std::uint8_t*, std::int64_t);

std::vector<std::int64_t> ByteCuts(const std::uint8_t* p, std::int64_t n, const std::vector<std::int64_t>& targets,
                                   Alone alone)
{
    std::vector<std::int64_t> cuts;
    std::int64_t from = 0;
    for (std::int64_t target : targets) {
        std::int64_t q = target > from ? target : from;
        while (true) {
            if (q >= n)
                return cuts;
            const void* hit = std::memchr(p + q, LF, static_cast<std::size_t>(n - q));
            if (hit == nullptr)
                return cuts;
            q = static_cast<const std::uint8_t*>(hit) - p;
            if (alone == nullptr || alone(p, q))
                break;
            ++q;
        }
        cuts.push_back(q + 1);
        from = q + 1;
    }
    return cuts;
}

std::vector<std::int64_t> Utf16Cuts(const std::uint8_t* p, std::int64_t n, const std::vector<std::int64_t>& targets)
{
    std::vector<std::int64_t> cuts;
    std::int64_t from = 0;
    for (std::int64_t target : targets) {
        std::int64_t q = (target > from ? target : from) & ~std::int64_t{1};
        while (q + 1 < n) {
            q += byte_search::FindCrLfUnit(p + q, n - q);
            if (q + 1 >= n)
                return cuts;
            if (p[q] == LF)
                break;
            q += 2;
        }
        if (q + 1 >= n)
            return cuts;
        cuts.push_back(q + 2);
        from = q + 2;
    }
    return cuts;
}

// The line-ending pass and the decoder read escapes alike as long as no
// unknown one holds a byte the pass treats apart; both modes are followed.
std::vector<std::int64_t> JisCuts(const std::uint8_t* p, std::int64_t n, const std::vector<std::int64_t>& targets)
{
    using jis_escapes::Mode;
    std::vector<std::int64_t> cuts;
    std::size_t next = 0;
    Mode mode = Mode::Ascii;
    std::int64_t i = 0;
    while (i < n && next < targets.size()) {
        if (mode != Mode::Kanji) {
            i += byte_search::FindJisSpecial(p + i, n - i);
            if (i >= n)
                break;
        }
        const std::uint8_t b = p[i];
        if (b == ESC) {
            if (n - i < 3)
                break;
            const std::uint8_t c1 = p[i + 1];
            const std::uint8_t c2 = p[i + 2];
            const bool known = jis_escapes::SelectsDoubleByte(c1, c2) || jis_escapes::SelectsSingleByte(c1, c2);
            const auto special = [](std::uint8_t c) { return c == CR || c == LF || c == ESC || c == SO || c == SI; };
            if (!known && (special(c1) || special(c2)))
                break;
            mode = jis_escapes::ModeAfter(c1, c2);
            i += 3;
        } else if (b == SO || b == SI) {
            mode = b == SO ? Mode::Katakana : Mode::Ascii;
            i += 1;
        } else if (mode == Mode::Kanji) {
            i += byte_search::DoubleByteRun(p + i, n - i);
        } else {
            if (b == LF && mode == Mode::Ascii && i + 1 >= targets[next]) {
                cuts.push_back(i + 1);
                while (next < targets.size() && targets[next] <= i + 1)
                    ++next;
            }
            i += 1;
        }
    }
    return cuts;
}

} // namespace

std::vector<std::int64_t> FindCuts(CharsetId nSource, const std::uint8_t* p, std::int64_t n,
                                   const std::vector<std::int64_t>& targets)
{
    switch (nSource) {
    case Charset::ShiftJis:
        return ByteCuts(p, n, targets, ShiftJisAlone);
    case Charset::EucJp:
        return ByteCuts(p, n, targets, EucJpAlone);
    case Charset::Jis:
        return JisCuts(p, n, targets);
    case Charset::Unicode:
        return Utf16Cuts(p, n, targets);
    case Charset::Utf8:
        return ByteCuts(p, n, targets, nullptr);
    default:
        return {};
    }
}

} // namespace text_cuts
