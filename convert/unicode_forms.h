#pragma once

#include <cstdint>

class CReplacementTally;

// UTF-16LE <-> UTF-8 as the Unicode standard defines them, over text cut
// between characters: a surrogate pair is one four-byte form, a lone
// surrogate and every ill-formed UTF-8 sequence become U+FFFD, so both
// directions write only well-formed text.
namespace unicode_forms {

// Where a piece of a longer text may end so that nothing before it depends
// on what follows: not inside a unit, nor after a high surrogate whose low
// one may follow.
std::int64_t Utf16Cut(const std::uint8_t* p, std::int64_t n);
// Before a lead byte whose form the end may cut off: no ill-formed sequence
// reaches across a lead, so the bytes before it decode the same whatever
// follows.
std::int64_t Utf8Cut(const std::uint8_t* p, std::int64_t n);

// Each writes at pOut (room for 2 * n bytes) and returns the bytes written.
// An odd last UTF-16 byte, which a cut leaves only at the end, becomes
// U+FFFD.
// What is ill-formed is told to the tally, when there is one.
std::int64_t Utf16ToUtf8(const std::uint8_t* p, std::int64_t n, std::uint8_t* pOut, CReplacementTally* pTally = nullptr);
std::int64_t Utf8ToUtf16(const std::uint8_t* p, std::int64_t n, std::uint8_t* pOut, CReplacementTally* pTally = nullptr);

} // namespace unicode_forms
