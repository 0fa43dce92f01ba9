// The twins EUC-JP and ISO-2022-JP write for the IBM extensions, against
// Python's cp932 codec: the same character, inside the 94 rows, reading back
// to it; the user-defined area has none.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "cp932_bridge.h"
#include "ibm_twins.h"
#include "jis_arithmetic.h"
#include "python_codecs.h"
#include "python_oracle.h"

namespace {

constexpr std::uint8_t Lead(std::uint16_t code) { return static_cast<std::uint8_t>(code >> 8); }
constexpr std::uint8_t Trail(std::uint16_t code) { return static_cast<std::uint8_t>(code & 0xFF); }

std::uint16_t EucJpOf(std::uint16_t code)
{
    const jis_arithmetic::RowCell rc = jis_arithmetic::ShiftJisToRowCell(Lead(code), Trail(code));
    return static_cast<std::uint16_t>((rc.j1 | 0x80) << 8 | (rc.j2 | 0x80));
}

TEST(IbmTwins, NamedCharacters)
{
    const struct {
        std::uint16_t code;
        std::uint16_t twin;
        std::uint16_t eucJp;
    } kCases[] = {
        {0xFA54, 0x81CA, 0xA2CC}, {0xFA5B, 0x81E6, 0xA2E8}, // ￢ ∵: JIS X 0208
        {0xFA4A, 0x8754, 0xADB5}, {0xFA58, 0x878A, 0xADEA}, // Ⅰ ㈱: NEC row 13
        {0xFA40, 0xEEEF, 0xFCF1}, {0xFBFC, 0xEEE0, 0xFCE2}, // ⅰ 髙: NEC-selected
        {0xFAB1, 0xED95, 0xF9F5}, {0xFC4B, 0xEEEC, 0xFCEE}, // 﨑, the last one
        // No twin: past FC4B, no trail, the user-defined area, JIS X 0208.
        {0xFC4C, 0, 0}, {0xFA7F, 0, 0}, {0xF040, 0, 0}, {0xF9FC, 0, 0}, {0x889F, 0, 0},
    };
    for (const auto& c : kCases) {
        const std::uint16_t twin = cp932::IbmTwin(Lead(c.code), Trail(c.code));
        EXPECT_EQ(twin, c.twin) << std::hex << c.code;
        EXPECT_EQ(twin ? EucJpOf(twin) : 0, c.eucJp) << std::hex << c.code;
    }
}

// Every code with a lead of 81-FC, decoded by Python's cp932 codec.
std::map<std::uint16_t, std::uint32_t> PythonCp932()
{
    std::vector<model::Bytes> units;
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if ((lead <= 0x9F || lead >= 0xE0) && trail != 0x7F)
                units.push_back({static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)});
    const auto decoded = python_oracle::DecodeEach("cp932", units);
    std::map<std::uint16_t, std::uint32_t> map;
    for (std::size_t k = 0; decoded && k < units.size(); ++k)
        map[static_cast<std::uint16_t>(units[k][0] << 8 | units[k][1])] = (*decoded)[k];
    return map;
}

TEST(IbmTwins, SameCharacterInsideTheRowsAsPython)
{
    if (!python_oracle::Available())
        GTEST_SKIP() << "python3 is missing: the codec comparison did not run";
    const std::map<std::uint16_t, std::uint32_t> python = PythonCp932();
    ASSERT_FALSE(python.empty());
    std::set<std::uint32_t> outsideNecSelected; // characters with a code in rows 1-88
    std::set<std::uint32_t> ibm;
    for (const auto& [code, u] : python) {
        if (Lead(code) < 0xED)
            outsideNecSelected.insert(u);
        else if (Lead(code) >= 0xFA && u)
            ibm.insert(u);
    }
    int twins = 0;
    for (const auto& [code, u] : python) {
        if (Lead(code) < 0xF0)
            continue;
        const std::uint16_t twin = cp932::IbmTwin(Lead(code), Trail(code));
        SCOPED_TRACE(testing::Message() << std::hex << code << " -> " << twin << " U+" << u);
        if (u == 0 || (u >= 0xE000 && u <= 0xF8FF)) {
            EXPECT_EQ(twin, 0);
            continue;
        }
        ++twins;
        ASSERT_LT(Lead(twin), 0xF0);
        EXPECT_EQ(python.at(twin), u);
        EXPECT_EQ(Lead(twin) >= 0xED, !outsideNecSelected.count(u)) << "rows 89-92 only as the last resort";
        const std::uint16_t euc = EucJpOf(twin);
        const auto back = jis_arithmetic::RowCellToShiftJis(Lead(euc) & 0x7F, Trail(euc) & 0x7F);
        EXPECT_EQ(back.s1 << 8 | back.s2, twin);
    }
    EXPECT_EQ(twins, cp932::table::kIbmExtensions);

    // EUC-JP rows 89-92 read back through Shift_JIS ED/EE and the engine's
    // table give IBM characters, all but FCEF and FCF0 (EEED, EEEE) defined.
    int defined = 0;
    for (int b1 = 0x79; b1 <= 0x7C; ++b1) {
        for (int b2 = 0x21; b2 <= 0x7E; ++b2) {
            const auto sjis = jis_arithmetic::RowCellToShiftJis(static_cast<std::uint8_t>(b1),
                                                                static_cast<std::uint8_t>(b2));
            const std::uint8_t in[2] = {sjis.s1, sjis.s2};
            std::uint8_t out[4] = {};
            const bool bOne = cp932::Decode(in, 2, out) == 1;
            const std::uint32_t u = bOne ? out[0] | out[1] << 8 : 0xFFFD;
            if (u == 0xFFFD)
                continue;
            ++defined;
            EXPECT_TRUE(ibm.count(u)) << std::hex << (b1 | 0x80) << (b2 | 0x80);
        }
    }
    EXPECT_EQ(defined, 374);
}

} // namespace
