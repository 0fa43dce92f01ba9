#pragma once

#include <cstdint>

// The bytes every walk and kernel looks for, and the characters that stand
// in for what cannot be converted.
namespace text {

inline constexpr std::uint8_t CR = 0x0D;
inline constexpr std::uint8_t LF = 0x0A;
inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t SO = 0x0E; // ISO-2022-JP: katakana until SI
inline constexpr std::uint8_t SI = 0x0F;

// What ill-formed input becomes in Unicode.
inline constexpr std::uint16_t kReplacementCharacter = 0xFFFD;

} // namespace text

// The text a character without a form in the target becomes when the
// setting gives none.
inline constexpr const char* kDefaultSubstitute = "_";
