#pragma once

#include <cstdint>

// Whether bytes are made only of the forms a writer of the encoding may
// write: what another program can read back unit by unit.
namespace target_forms {

// ASCII, pairs A1-FE A1-FE, 8E A1-DF, 8F A1-FE A1-FE.
bool IsEucJp(const std::uint8_t* p, std::int64_t n);

// Seven-bit bytes; the escapes ESC ( B, ESC ( I, ESC $ B and ESC $ ( D;
// pairs of 21-7E in the two-byte modes and 21-5F in katakana mode, with
// nothing else inside them; the text ends in ASCII.
bool IsIso2022Jp(const std::uint8_t* p, std::int64_t n);

} // namespace target_forms
