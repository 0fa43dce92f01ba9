#pragma once

#include <cstdint>

#include "cp932_bridge.h"
#include "jis_escapes.h"
#include "text_constants.h"

// The JIS X 0208 row-and-cell arithmetic and the small writers the
// Shift_JIS, EUC-JP and ISO-2022-JP kernels share, the fast ones and the
// one-unit-at-a-time ones the tests hold them against.
namespace jis_arithmetic {

using text::ESC;
using text::SI;
using text::SO;

struct RowCell {
    std::uint8_t j1;
    std::uint8_t j2;
};
struct LeadTrail {
    std::uint8_t s1;
    std::uint8_t s2;
};

inline RowCell ShiftJisToRowCell(std::uint8_t s1, std::uint8_t s2)
{
    std::uint8_t j1 = static_cast<std::uint8_t>(s1 <= 0x9F ? s1 - 0x71 : s1 - 0xB1);
    j1 = static_cast<std::uint8_t>(2 * j1 + 1);
    if (s2 >= 0x80)
        s2 = static_cast<std::uint8_t>(s2 - 1);
    std::uint8_t j2;
    if (s2 >= 0x9E) {
        j2 = static_cast<std::uint8_t>(s2 - 0x7D);
        j1 = static_cast<std::uint8_t>(j1 + 1);
    } else {
        j2 = static_cast<std::uint8_t>(s2 - 0x1F);
    }
    return {j1, j2};
}

inline LeadTrail RowCellToShiftJis(std::uint8_t j1, std::uint8_t j2)
{
    std::uint8_t s2 = static_cast<std::uint8_t>((j1 & 1) ? j2 + 0x1F : j2 + 0x7D);
    if (s2 >= 0x7F)
        s2 = static_cast<std::uint8_t>(s2 + 1);
    // The halving rounds toward minus infinity for rows below 0x21.
    const int half = (static_cast<int>(j1) - 0x21) >> 1;
    std::uint8_t s1 = static_cast<std::uint8_t>(half + 0x81);
    if (s1 > 0x9F)
        s1 = static_cast<std::uint8_t>(s1 + 0x40);
    return {s1, s2};
}

inline void Put3(std::uint8_t*& p, std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    p[0] = a;
    p[1] = b;
    p[2] = c;
    p += 3;
}

// The ISO-2022-JP writer's escape before a change of mode, and only then.
inline void EnterMode(std::uint8_t*& q, jis_escapes::Mode& mode, jis_escapes::Mode next)
{
    if (mode != next) {
        const auto& e = jis_escapes::kEscapeFor[static_cast<int>(next)];
        Put3(q, ESC, e[0], e[1]);
        if (e[2] != 0)
            *q++ = e[2];
        mode = next;
    }
}


using cp932::PutSubstitute;

} // namespace jis_arithmetic
