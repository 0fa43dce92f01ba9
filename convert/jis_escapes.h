#pragma once

#include <cstdint>

// The ISO-2022-JP escape sequences the engine knows, by the two bytes after
// ESC. The line-ending pass keeps the sequences that switch to double-byte
// mode or to one of the single-byte sets; the decoder tells three modes apart
// and takes every other escape for a switch to ASCII.
namespace jis_escapes {

// ESC $ @, ESC $ B, ESC & @, ESC $ D.
inline bool SelectsDoubleByte(std::uint8_t c1, std::uint8_t c2)
{
    return (c1 == 0x24 && (c2 == 0x40 || c2 == 0x42 || c2 == 0x44)) || (c1 == 0x26 && c2 == 0x40);
}

// ESC ( B, ESC ( J, ESC ( H, ESC ( I.
inline bool SelectsSingleByte(std::uint8_t c1, std::uint8_t c2)
{
    return c1 == 0x28 && (c2 == 0x42 || c2 == 0x4A || c2 == 0x48 || c2 == 0x49);
}

// The modes of the text: ASCII (ESC ( B), kanji (ESC $ B, or ESC $ ( B),
// JIS X 0201 katakana (ESC ( I, or SO up to SI) and JIS X 0212 (ESC $ ( D).
enum class Mode : std::uint8_t { Ascii, Kanji, Katakana, JisX0212 };

inline Mode ModeAfter(std::uint8_t c1, std::uint8_t c2)
{
    if (SelectsDoubleByte(c1, c2))
        return Mode::Kanji;
    return c1 == 0x28 && c2 == 0x49 ? Mode::Katakana : Mode::Ascii;
}

// The escape the writer puts before a change to each mode: the bytes after
// ESC, ending in 0.
inline constexpr std::uint8_t kEscapeFor[4][4] = {{0x28, 0x42}, {0x24, 0x42}, {0x28, 0x49}, {0x24, 0x28, 0x44}};

} // namespace jis_escapes
