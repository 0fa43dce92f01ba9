#pragma once

#include <cstdint>

// The ISO-2022-JP escape sequences the engine knows, by the two bytes after
// ESC. The line-ending pass keeps the sequences that switch to double-byte
// mode or to one of the single-byte sets; the decoder knows only the first
// kind and takes every other escape for a switch to single-byte mode.
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

} // namespace jis_escapes
