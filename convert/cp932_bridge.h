#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CReplacementTally;

// Code page 932 <-> UTF-16, from the generated table. What cannot be
// converted is told to the tally, when there is one.
namespace cp932 {

// Decodes nLength bytes into UTF-16LE at pUtf16le (room for nLength units,
// any alignment). Returns the number of units written. Each undefined or incomplete lead byte becomes
// U+FFFD alone and decoding resumes at the next byte.
std::int64_t Decode(const std::uint8_t* pBytes, std::int64_t nLength, std::uint8_t* pUtf16le);

// The CP932 form (1 or 2 bytes) written for a character that cannot be encoded.
struct Substitute {
    std::uint8_t bytes[2] = {0x5F, 0};
    int length = 1; // 0: unmappable characters are dropped
    // The character the setting asked for, which the other encodings of the
    // family may hold where code page 932 does not.
    std::uint32_t codePoint = 0x5F;
};

// The bytes of a substitute that are written: at most two a character,
// whatever the caller put in the struct.
constexpr int SubstituteLength(const Substitute& substitute)
{
    return substitute.length < 0 ? 0 : (substitute.length > 2 ? 2 : substitute.length);
}

inline std::uint8_t* PutSubstitute(std::uint8_t* q, const Substitute& substitute)
{
    for (int k = 0; k < SubstituteLength(substitute); ++k)
        *q++ = substitute.bytes[k];
    return q;
}

// The substitute for the first character of strUtf8: "_" when that character
// has no CP932 form or the text is not valid UTF-8; nothing when the text is
// empty or starts with NUL.
Substitute MakeSubstitute(std::string_view strUtf8);
// The same as UTF-8 text: what users are told took a character's place.
std::string SubstituteText(std::string_view strUtf8);

// Encodes nUnits UTF-16LE units read at pUtf16le (any alignment) into pBytes
// (room for 2 * nUnits bytes).
// Returns the number of bytes written. A valid surrogate pair is one
// character; a lone surrogate is one unmappable character.
std::int64_t Encode(const std::uint8_t* pUtf16le, std::int64_t nUnits, const Substitute& substitute,
                    std::uint8_t* pBytes, CReplacementTally* pTally = nullptr);

// Decodes one slice of a longer text, to UTF-16LE or to UTF-8. Unless
// bFinal, a lead byte at the very end is left for the next slice; *pConsumed
// says how many bytes were decoded. Returns the number of bytes written.
std::int64_t DecodePart(const std::uint8_t* pBytes, std::int64_t nLength, bool bFinal, bool bToUtf8,
                        std::uint8_t* pOut, std::int64_t* pConsumed, CReplacementTally* pTally = nullptr);

// Encode applied to the characters that the engine's UTF-8 decoder makes of
// pUtf8 (each ill-formed sequence U+FFFD, so an unmappable character, a
// four-byte form one character). Room for 2 * nLength bytes: every byte may
// be a sequence of its own that gets a two-byte substitute.
std::int64_t EncodeFromUtf8(const std::uint8_t* pUtf8, std::int64_t nLength, const Substitute& substitute,
                            std::uint8_t* pBytes, CReplacementTally* pTally = nullptr);

// Single-code-point lookups (0 bytes: not mappable), for tests and tools.
int EncodeOne(std::uint32_t codePoint, std::uint8_t out[2]);

} // namespace cp932
