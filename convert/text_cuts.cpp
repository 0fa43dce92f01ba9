#include "text_cuts.h"

#include <algorithm>

#include "byte_search.h"
#include "jis_escapes.h"
#include "jis_family.h"
#include "text_constants.h"

namespace text_cuts {

namespace {

using text::ESC;
using text::LF;
using text::SI;
using text::SO;

// No unit of Shift_JIS, EUC-JP or UTF-8 holds an LF byte: a cut may follow
// every one.
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

} // namespace text_cuts
