#include "text_cuts.h"

#include <algorithm>
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
        if (b == ESC && (n - i < 3 || byte_search::FindEscBeforeSpecial(p + i, 3) == 0))
            break;
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

std::int64_t LastByteCut(const std::uint8_t* p, std::int64_t n)
{
    for (std::int64_t q = n - 1; q >= 0; --q)
        if (p[q] == LF)
            return q + 1;
    return 0;
}

std::int64_t LastUtf16Cut(const std::uint8_t* p, std::int64_t n)
{
    for (std::int64_t q = (n & ~std::int64_t{1}) - 2; q >= 0; q -= 2)
        if (p[q] == LF && p[q + 1] == 0)
            return q + 2;
    return 0;
}

// Read backwards: the mode at an LF is the one the last shift or escape
// before it chose (each sets its mode whatever came before), as long as no
// escape before it stops the scan; that one is found with a vector scan.
// An escape in the last three bytes may be cut off and stops it too.
std::int64_t LastJisCut(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t limit = byte_search::FindEscBeforeSpecial(p, n);
    for (std::int64_t k = std::max<std::int64_t>(n - 3, 0); k < limit; ++k)
        if (p[k] == ESC)
            limit = k;
    std::int64_t q = limit;
    while (true) {
        do
            --q;
        while (q >= 0 && p[q] != LF);
        if (q < 0)
            return 0;
        std::int64_t e = q;
        do
            --e;
        while (e >= 0 && p[e] != ESC && p[e] != SO && p[e] != SI);
        if (e < 0)
            return q + 1; // the start state is ASCII
        jis_family::JisReader reader;
        jis_family::Unit unit{jis_family::Kind::Nothing};
        reader.Read(p, e, limit, false, &unit);
        if (reader.mode == jis_escapes::Mode::Ascii)
            return q + 1;
        q = e;
    }
}

} // namespace

std::int64_t LastCut(CharsetId nSource, const std::uint8_t* p, std::int64_t n)
{
    switch (nSource) {
    case Charset::ShiftJis:
    case Charset::EucJp:
    case Charset::Utf8:
        return LastByteCut(p, n);
    case Charset::Jis:
        return LastJisCut(p, n);
    case Charset::Unicode:
        return LastUtf16Cut(p, n);
    default:
        return 0;
    }
}

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
