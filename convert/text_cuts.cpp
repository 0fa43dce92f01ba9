#include "text_cuts.h"

#include <cstring>

#include "byte_search.h"
#include "jis_escapes.h"
#include "jis_family.h"
#include "jis_units.h"
#include "text_constants.h"

namespace text_cuts {

namespace {

using text::CR;
using text::ESC;
using text::LF;
using text::SI;
using text::SO;

// No unit of Shift_JIS, EUC-JP or UTF-8 holds an LF byte: a cut may follow
// every one.
std::vector<std::int64_t> ByteCuts(const std::uint8_t* p, std::int64_t n, const std::vector<std::int64_t>& targets)
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
            break;
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
// unknown one holds a byte the pass treats apart. A cut follows an LF in
// ASCII mode only: a two-byte mode goes on over a line end.
std::vector<std::int64_t> JisCuts(const std::uint8_t* p, std::int64_t n, const std::vector<std::int64_t>& targets)
{
    std::vector<std::int64_t> cuts;
    std::size_t next = 0;
    jis_family::JisReader reader;
    std::int64_t i = 0;
    while (i < n && next < targets.size()) {
        i += byte_search::FindJisSpecial(p + i, n - i);
        if (i >= n)
            break;
        const std::uint8_t b = p[i];
        if (b == ESC) {
            const std::uint8_t c1 = n - i >= 3 ? p[i + 1] : 0;
            const std::uint8_t c2 = n - i >= 3 ? p[i + 2] : 0;
            const bool known = jis_escapes::SelectsDoubleByte(c1, c2) || jis_escapes::SelectsSingleByte(c1, c2);
            const auto special = [](std::uint8_t c) { return c == CR || c == LF || c == ESC || c == SO || c == SI; };
            if (n - i < 3 || (!known && (special(c1) || special(c2))))
                break;
        }
        if (b == LF && reader.mode == jis_escapes::Mode::Ascii && i + 1 >= targets[next]) {
            cuts.push_back(i + 1);
            while (next < targets.size() && targets[next] <= i + 1)
                ++next;
        }
        jis_family::Unit unit{jis_family::Kind::Nothing};
        const int length = reader.Read(p, i, n, false, &unit);
        if (length == 0)
            break;
        i += length;
    }
    return cuts;
}

} // namespace

std::vector<std::int64_t> FindCuts(CharsetId nSource, const std::uint8_t* p, std::int64_t n,
                                   const std::vector<std::int64_t>& targets)
{
    switch (nSource) {
    case Charset::ShiftJis:
        return ByteCuts(p, n, targets);
    case Charset::EucJp:
        return ByteCuts(p, n, targets);
    case Charset::Jis:
        return JisCuts(p, n, targets);
    case Charset::Unicode:
        return Utf16Cuts(p, n, targets);
    case Charset::Utf8:
        return ByteCuts(p, n, targets);
    default:
        return {};
    }
}

} // namespace text_cuts
