#pragma once

#include <cstdint>

// What a byte starts in the three JIS-family encodings. Code page 932 takes
// only 81-9F and E0-FC as lead bytes: A1-DF are half-width katakana, and 80,
// A0 and FD-FF stand alone too. EUC-JP carries the katakana behind 8E and the
// JIS X 0212 characters as 8F and two bytes.
namespace jis_units {

constexpr bool IsShiftJisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsHalfWidthKatakana(std::uint8_t b) { return b >= 0xA1 && b <= 0xDF; }

constexpr std::uint8_t kEucKatakana = 0x8E; // single shift 2
constexpr std::uint8_t kEucJisX0212 = 0x8F; // single shift 3

// In ISO-2022-JP the katakana are the same bytes less 0x80 (21-5F).
constexpr bool IsJisKatakana(std::uint8_t b) { return b >= 0x21 && b <= 0x5F; }

} // namespace jis_units
