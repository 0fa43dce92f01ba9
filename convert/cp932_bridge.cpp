#include "cp932_bridge.h"

#include <bit>
#include <cstring>

#include "cp932_table.h"

namespace cp932 {
namespace {

constexpr std::uint16_t kReplacement = 0xFFFD;

// Masks of the bits that make a word of 8 bytes (or 4 UTF-16LE units) other
// than ASCII, as the word reads in host order.
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kNonAsciiUnits =
    std::endian::native == std::endian::little ? 0xFF80FF80FF80FF80ULL : 0x80FF80FF80FF80FFULL;

inline std::uint64_t Load64(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

inline void StoreUnit(std::uint8_t* p, std::uint16_t unit)
{
    p[0] = static_cast<std::uint8_t>(unit);
    p[1] = static_cast<std::uint8_t>(unit >> 8);
}

inline std::uint16_t LoadUnit(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline bool IsHighSurrogate(std::uint16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(std::uint16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// 0: no CP932 form. ASCII is identity; below 0x80 the table is not consulted.
inline std::uint16_t Lookup(std::uint16_t unit) { return table::kEncode[unit >> 8][unit & 0xFF]; }

// The first code point of strUtf8 if it is well-formed UTF-8 (no overlong
// forms, no surrogates); -1 otherwise.
std::int32_t FirstCodePoint(std::string_view strUtf8)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(strUtf8[i]); };
    const auto continuation = [&](std::size_t i) { return i < strUtf8.size() && (byte(i) & 0xC0) == 0x80; };
    const std::uint8_t b0 = byte(0);
    if (b0 < 0x80)
        return b0;
    if (b0 >= 0xC2 && b0 <= 0xDF && continuation(1))
        return (b0 & 0x1F) << 6 | (byte(1) & 0x3F);
    if (b0 >= 0xE0 && b0 <= 0xEF && continuation(1) && continuation(2)) {
        const std::int32_t cp = (b0 & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
            return -1;
        return cp;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && continuation(1) && continuation(2) && continuation(3)) {
        const std::int32_t cp =
            (b0 & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
        return cp >= 0x10000 && cp <= 0x10FFFF ? cp : -1;
    }
    return -1;
}

} // namespace

int EncodeOne(std::uint32_t codePoint, std::uint8_t out[2])
{
    if (codePoint < 0x80) {
        out[0] = static_cast<std::uint8_t>(codePoint);
        return 1;
    }
    if (codePoint > 0xFFFF)
        return 0;
    const std::uint16_t code = Lookup(static_cast<std::uint16_t>(codePoint));
    if (code == 0)
        return 0;
    if (code < 0x100) {
        out[0] = static_cast<std::uint8_t>(code);
        return 1;
    }
    out[0] = static_cast<std::uint8_t>(code >> 8);
    out[1] = static_cast<std::uint8_t>(code);
    return 2;
}

Substitute MakeSubstitute(std::string_view strUtf8)
{
    Substitute substitute;
    // A leading NUL ends the text as the setting stores it: treat it as empty
    // rather than writing NUL bytes into the output.
    if (strUtf8.empty() || strUtf8[0] == '\0') {
        substitute.length = 0;
        return substitute;
    }
    const std::int32_t cp = FirstCodePoint(strUtf8);
    std::uint8_t bytes[2] = {0, 0};
    const int length = cp < 0 ? 0 : EncodeOne(static_cast<std::uint32_t>(cp), bytes);
    if (length > 0) {
        substitute.bytes[0] = bytes[0];
        substitute.bytes[1] = bytes[1];
        substitute.length = length;
    }
    return substitute; // "_" otherwise
}

std::int64_t Decode(const std::uint8_t* pBytes, std::int64_t nLength, std::uint8_t* pUtf16le)
{
    std::uint8_t* out = pUtf16le;
    std::int64_t i = 0;
    while (i < nLength) {
        while (nLength - i >= 8 && (Load64(pBytes + i) & kHighBits) == 0) {
            for (int k = 0; k < 8; ++k) {
                out[2 * k] = pBytes[i + k];
                out[2 * k + 1] = 0;
            }
            i += 8;
            out += 16;
        }
        if (i >= nLength)
            break;
        const std::uint8_t b = pBytes[i];
        if (b < 0x80) {
            StoreUnit(out, b);
            ++i;
        } else if (const std::uint8_t row = table::kLeadRow[b]; row == 0) {
            StoreUnit(out, table::kSingleByte[b]);
            ++i;
        } else {
            // Trail 00 is never part of a pair, so it stands for the end of input.
            const std::uint8_t trail = i + 1 < nLength ? pBytes[i + 1] : 0;
            const std::uint16_t cp = table::kDoubleByte[row][trail];
            if (cp != 0) {
                StoreUnit(out, cp);
                i += 2;
            } else {
                // Only the lead is consumed, so a line ending after it survives.
                StoreUnit(out, kReplacement);
                ++i;
            }
        }
        out += 2;
    }
    return (out - pUtf16le) / 2;
}

std::int64_t Encode(const std::uint8_t* pUtf16le, std::int64_t nUnits, const Substitute& substitute,
                    std::uint8_t* pBytes)
{
    // At most 2 bytes per unit, whatever the caller put in the struct.
    const int nSubstitute = substitute.length < 0 ? 0 : (substitute.length > 2 ? 2 : substitute.length);
    std::uint8_t* out = pBytes;
    std::int64_t i = 0;
    while (i < nUnits) {
        while (nUnits - i >= 4 && (Load64(pUtf16le + 2 * i) & kNonAsciiUnits) == 0) {
            const std::uint8_t* in = pUtf16le + 2 * i;
            out[0] = in[0];
            out[1] = in[2];
            out[2] = in[4];
            out[3] = in[6];
            i += 4;
            out += 4;
        }
        if (i >= nUnits)
            break;
        const std::uint16_t unit = LoadUnit(pUtf16le + 2 * i);
        ++i;
        if (unit < 0x80) {
            *out++ = static_cast<std::uint8_t>(unit);
            continue;
        }
        const std::uint16_t code = Lookup(unit);
        if (code >= 0x100) {
            out[0] = static_cast<std::uint8_t>(code >> 8);
            out[1] = static_cast<std::uint8_t>(code);
            out += 2;
            continue;
        }
        if (code != 0) {
            *out++ = static_cast<std::uint8_t>(code);
            continue;
        }
        // A surrogate pair is one character beyond the BMP: one substitute.
        if (IsHighSurrogate(unit) && i < nUnits && IsLowSurrogate(LoadUnit(pUtf16le + 2 * i)))
            ++i;
        for (int k = 0; k < nSubstitute; ++k)
            *out++ = substitute.bytes[k];
    }
    return out - pBytes;
}

} // namespace cp932
