// The JIS X 0212 table against Python's euc_jp (8F b1 b2) and iso2022_jp_2
// (ESC $ ( D) codecs, and the rule that code page 932's form wins where it
// has the character.
#include <gtest/gtest.h>

#include <vector>

#include "cp932_bridge.h"
#include "jisx0212_table.h"
#include "python_codecs.h"
#include "python_oracle.h"

namespace {

using model::Bytes;

TEST(Jisx0212Table, NamedCharacters)
{
    const struct {
        std::uint16_t code;
        std::uint16_t u;
        bool bWritten; // false: code page 932 has it
    } kCases[] = {
        {0xABAE, u'ç', true},      {0xAAA3, u'Ä', true}, {0xB0A1, u'丂', true},
        {0xA2C3, u'\u00A6', true}, // BROKEN BAR
        {0xA2B7, u'~', false},     {0xA2F1, u'№', false}, {0xA1A1, 0, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code);
        EXPECT_EQ(jisx0212::ToUnicode(static_cast<std::uint8_t>(c.code >> 8), c.code & 0xFF), c.u);
        if (c.u) {
            EXPECT_EQ(jisx0212::FromUnicode(static_cast<char16_t>(c.u)), c.bWritten ? c.code : 0);
        }
    }
    // Bytes outside A1-FE are no code.
    for (const std::uint8_t b : {0x21, 0x80, 0xA0, 0xFF}) {
        EXPECT_EQ(jisx0212::ToUnicode(b, 0xA1), 0);
        EXPECT_EQ(jisx0212::ToUnicode(0xB0, b), 0);
    }
}

TEST(Jisx0212Table, AgreesWithPythonBothWays)
{
    if (!python_oracle::Available())
        GTEST_SKIP() << "python3 is missing: the codec comparison did not run";
    std::vector<std::uint16_t> codes;
    std::vector<Bytes> euc;
    std::vector<Bytes> iso2022;
    for (int b1 = 0xA1; b1 <= 0xFE; ++b1) {
        for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
            const auto j1 = static_cast<std::uint8_t>(b1 & 0x7F);
            const auto j2 = static_cast<std::uint8_t>(b2 & 0x7F);
            codes.push_back(static_cast<std::uint16_t>(b1 << 8 | b2));
            euc.push_back({0x8F, static_cast<std::uint8_t>(b1), static_cast<std::uint8_t>(b2)});
            iso2022.push_back({0x1B, '$', '(', 'D', j1, j2, 0x1B, '(', 'B'});
        }
    }
    const auto fromEuc = python_oracle::DecodeEach("euc_jp", euc);
    const auto fromIso2022 = python_oracle::DecodeEach("iso2022_jp_2", iso2022);
    ASSERT_TRUE(fromEuc && fromIso2022);
    int written = 0;
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::uint16_t code = codes[k];
        const std::uint32_t u = (*fromEuc)[k];
        SCOPED_TRACE(testing::Message() << std::hex << code << " U+" << u);
        EXPECT_EQ(jisx0212::ToUnicode(static_cast<std::uint8_t>(code >> 8), code & 0xFF), u);
        EXPECT_EQ((*fromIso2022)[k], u);
        if (u == 0)
            continue;
        ASSERT_LE(u, 0xFFFF);
        std::uint8_t cp932Form[2];
        const bool bCp932Has = cp932::EncodeOne(u, cp932Form) > 0;
        written += bCp932Has ? 0 : 1;
        EXPECT_EQ(jisx0212::FromUnicode(static_cast<char16_t>(u)), bCp932Has ? 0 : code);
    }
    // Nothing else in the table.
    EXPECT_EQ(static_cast<std::size_t>(written), jisx0212::table::kFromUnicodeCount);
}

} // namespace
