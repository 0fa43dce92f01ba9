#include "cp932_bridge.h"

#include <bit>
#include <cstring>

#include "byte_search.h"
#include "cp932_table.h"
#include "replacement_tally.h"
#include "text_constants.h"
#include "unicode_vectors.h"
#include "utf8_forms.h"

#if defined(MOJIRO_X86_KERNELS)
#include <immintrin.h>
#endif

namespace cp932 {
namespace {

constexpr std::uint16_t kReplacement = text::kReplacementCharacter;

// The bits that make a word of 4 UTF-16LE units other than ASCII, as the word
// reads in host order.
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

// The first character of strUtf8 (not empty) as the engine decodes it, and
// the length of its form; an ill-formed start is U+FFFD.
std::uint32_t FirstCodePoint(std::string_view strUtf8, std::int64_t* pnLength)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(strUtf8.data());
    std::uint32_t cp = 0;
    *pnLength = utf8_forms::DecodeForm(p, 0, static_cast<std::int64_t>(strUtf8.size()), &cp);
    return cp;
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
    std::int64_t nForm = 0;
    const std::uint32_t cp = FirstCodePoint(strUtf8, &nForm);
    substitute.codePoint = cp;
    std::uint8_t bytes[2] = {0, 0};
    const int length = EncodeOne(cp, bytes);
    if (length > 0) {
        substitute.bytes[0] = bytes[0];
        substitute.bytes[1] = bytes[1];
        substitute.length = length;
    }
    return substitute; // "_" otherwise
}

std::string SubstituteText(std::string_view strUtf8)
{
    if (MakeSubstitute(strUtf8).length == 0)
        return {};
    std::int64_t nForm = 0;
    std::uint8_t bytes[2];
    if (EncodeOne(FirstCodePoint(strUtf8, &nForm), bytes) == 0)
        return kDefaultSubstitute;
    return std::string(strUtf8.substr(0, static_cast<std::size_t>(nForm)));
}

namespace {

// The one decoding step every direction shares: the unit for the character
// at p[i] (i < n) and the position after it. An undefined or broken pair, or
// a lead at the end, gives U+FFFD for the lead alone.
inline std::int64_t DecodeStep(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint16_t* pUnit)
{
    const std::uint8_t b = p[i];
    if (b < 0x80) {
        *pUnit = b;
        return i + 1;
    }
    const std::uint8_t row = table::kLeadRow[b];
    // Row 0 is all zero and trail 00 is never part of a pair, so single
    // bytes and a lead at the end both fall through to the single-byte case.
    const std::uint16_t cp = table::kDoubleByte[row][i + 1 < n ? p[i + 1] : 0];
    if (cp != 0) {
        *pUnit = cp;
        return i + 2;
    }
    *pUnit = row != 0 ? kReplacement : table::kSingleByte[b];
    return i + 1;
}

// The packed UTF-8 form of every pair; 0 where the pair is no character. A
// pair then costs one load and one four-byte store instead of the form's
// arithmetic.
struct Utf8PairForms {
    std::uint32_t forms[table::kLeadRows][256];

    Utf8PairForms()
    {
        for (int row = 0; row < table::kLeadRows; ++row)
            for (int trail = 0; trail < 256; ++trail)
                forms[row][trail] = utf8_forms::PackForm(table::kDoubleByte[row][trail]);
    }
};

const Utf8PairForms& PairForms()
{
    static const Utf8PairForms s_forms;
    return s_forms;
}

// Writes the CP932 form of a non-ASCII unit, or the substitute, after
// onSubstitute(unit) has had its say (a high surrogate followed by a low one
// is one character, which it consumes).
template <class OnSubstitute>
inline std::uint8_t* EncodeUnit(std::uint8_t* out, std::uint16_t unit, const std::uint8_t* sub, int nSub,
                                OnSubstitute&& onSubstitute)
{
    const std::uint16_t code = Lookup(unit);
    if (code >= 0x100) {
        out[0] = static_cast<std::uint8_t>(code >> 8);
        out[1] = static_cast<std::uint8_t>(code);
        return out + 2;
    }
    if (code != 0) {
        *out = static_cast<std::uint8_t>(code);
        return out + 1;
    }
    onSubstitute(unit);
    for (int k = 0; k < nSub; ++k)
        *out++ = sub[k];
    return out;
}

} // namespace

namespace {

// The ASCII at p in whole blocks of 16, as it is or widened to UTF-16
// units; returns the bytes taken.
template <bool ToUtf8>
inline std::int64_t PutAscii(const std::uint8_t* p, std::int64_t n, std::uint8_t** pOut, byte_search::Path path)
{
    if constexpr (ToUtf8) {
        const std::int64_t nAscii = byte_search::CopyAscii(p, n, *pOut, path);
        *pOut += nAscii;
        return nAscii;
    } else {
        const std::int64_t nAscii = byte_search::WidenAscii(p, n, *pOut, path);
        *pOut += 2 * nAscii;
        return nAscii;
    }
}

// The character of the pair at p[i] (lead row row), or of the byte alone:
// U+FFFD for a lead without its pair, the table's character for a byte that
// stands alone (row 0: half-width katakana, 80, A0, FD-FF); returns the
// bytes taken. Pairs are looked up first: they are most of the text. A pair gives three
// bytes at most for its two, and no form more than three for one: the
// fourth byte a store may write is room.
template <bool ToUtf8>
inline int PutPairAt(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t row,
                     const std::uint32_t (*forms)[256], std::uint8_t*& out, CReplacementTally* pTally)
{
    const std::uint8_t trail = i + 1 < n ? p[i + 1] : 0;
    if constexpr (ToUtf8 && utf8_forms::kPackedFormsFit) {
        const std::uint32_t form = forms[row][trail];
        if (form != 0) {
            out = utf8_forms::PutPackedForm(out, form);
            return 2;
        }
    }
    const std::uint16_t cp = table::kDoubleByte[row][trail];
    if (cp == 0 && row != 0 && pTally != nullptr)
        pTally->IllFormed(p + i, p[i]);
    const std::uint16_t unit = cp != 0 ? cp : row != 0 ? kReplacement : table::kSingleByte[p[i]];
    if constexpr (ToUtf8) {
        out = utf8_forms::PutWideUnit(out, unit);
    } else {
        StoreUnit(out, unit);
        out += 2;
    }
    return cp != 0 ? 2 : 1;
}

#if defined(MOJIRO_X86_KERNELS)
// Eight pairs at a time, while all eight are pairs whose characters take
// three bytes in UTF-8 (kana and kanji: most of Japanese text): their rows
// follow from the leads (81-9F are rows 1-31, E0-FC rows 32-60), one gather
// fetches the packed forms, and a shuffle drops their length bytes. Returns
// the bytes taken, up to the first unit that is no such pair, which goes the
// careful way. The stores write at most 28 bytes for 16 still to read: within
// the room of three bytes a byte.
__attribute__((target("avx2"))) inline __m256i Between(__m256i v, int lo, int hi)
{
    return _mm256_and_si256(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(lo - 1)),
                            _mm256_cmpgt_epi32(_mm256_set1_epi32(hi + 1), v));
}

__attribute__((target("avx2"))) std::int64_t ThreeBytePairsAvx2(const std::uint8_t* p, std::int64_t n,
                                                                 const std::uint32_t* forms, std::uint8_t*& out)
{
    const __m256i drop = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, //
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    std::int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i units = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        const __m256i lead = _mm256_and_si256(units, _mm256_set1_epi32(0xFF));
        const __m256i high = Between(lead, 0xE0, 0xFC);
        const __m256i valid = _mm256_or_si256(Between(lead, 0x81, 0x9F), high);
        const __m256i row =
            _mm256_sub_epi32(lead, _mm256_blendv_epi8(_mm256_set1_epi32(0x80), _mm256_set1_epi32(0xC0), high));
        // A lane that holds no lead reads the empty row 0.
        const __m256i at = _mm256_and_si256(_mm256_add_epi32(_mm256_slli_epi32(row, 8), _mm256_srli_epi32(units, 8)), valid);
        const __m256i f = _mm256_i32gather_epi32(reinterpret_cast<const int*>(forms), at, 4);
        const auto whole = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_srli_epi32(f, 24), _mm256_set1_epi32(3))));
        // The pairs before the first that is not one are kept all the same.
        const int nPairs = whole == ~0u ? 8 : std::countr_one(whole) / 4;
        const __m256i packed = _mm256_shuffle_epi8(f, drop);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(packed, 1));
        out += 3 * nPairs;
        if (nPairs < 8)
            return i + 2 * nPairs;
    }
    return i;
}
#endif

// Decodes p[0, n). Unless bFinal, a lead byte that is the last byte is left
// for the next slice: *pConsumed tells where decoding stopped.
template <bool ToUtf8>
std::uint8_t* DecodeSlice(const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                          std::int64_t* pConsumed, CReplacementTally* pTally)
{
    const auto put = [&out](std::uint16_t unit) {
        if constexpr (ToUtf8) {
            out = utf8_forms::PutUnit(out, unit);
        } else {
            StoreUnit(out, unit);
            out += 2;
        }
    };
    // Short of the end of a slice, a lead byte at the very end waits for the
    // next slice; every character that starts before end is decoded here.
    const std::int64_t end = bFinal ? n : n - 1;
    constexpr bool kFormTable = ToUtf8 && utf8_forms::kPackedFormsFit;
    const std::uint32_t(*forms)[256] = kFormTable ? PairForms().forms : nullptr;
    std::int64_t i = 0;
    [[maybe_unused]] std::int64_t nVectorFrom = 0;
    const byte_search::Path path = byte_search::KernelPath();
    while (i < end) {
        i += PutAscii<ToUtf8>(p + i, end - i, &out, path);
        // Then one character at a time. Only an ASCII byte can begin a
        // stretch of sixteen, so only after one is that looked for again,
        // and only when eight more follow: a word or a line end in Japanese
        // text goes on here. Two small lookups (lead row, then trail) beat
        // one flat table: the rows real text uses stay in the first-level
        // cache.
        while (i < end) {
            const std::uint8_t b = p[i];
            if (b < 0x80) {
                put(b);
                i += 1;
                if (end - i >= 8 && (Load64(p + i) & 0x8080808080808080ULL) == 0)
                    break;
                continue;
            }
            const std::uint8_t row = table::kLeadRow[b];
#if defined(MOJIRO_X86_KERNELS)
            if constexpr (kFormTable) {
                // From a lead; after eight pairs that were not all of three
                // bytes, the next sixteen bytes go the careful way before it
                // is tried again.
                if (row != 0 && path == byte_search::Path::Avx2 && end - i >= 16 && i >= nVectorFrom) {
                    const std::int64_t k = ThreeBytePairsAvx2(p + i, end - i, &forms[0][0], out);
                    i += k;
                    if (k > 0)
                        continue;
                    nVectorFrom = i + 16;
                }
            }
#endif
            i += PutPairAt<ToUtf8>(p, i, n, row, forms, out, pTally);
        }
    }
    if (i == n - 1 && !bFinal && table::kLeadRow[p[i]] == 0) {
        std::uint16_t unit;
        i = DecodeStep(p, i, n, &unit);
        put(unit);
    }
    *pConsumed = i < n ? i : n;
    return out;
}

} // namespace

std::int64_t Decode(const std::uint8_t* pBytes, std::int64_t nLength, std::uint8_t* pUtf16le)
{
    std::int64_t consumed;
    return (DecodeSlice<false>(pBytes, nLength, true, pUtf16le, &consumed, nullptr) - pUtf16le) / 2;
}

std::int64_t DecodePart(const std::uint8_t* pBytes, std::int64_t nLength, bool bFinal, bool bToUtf8,
                        std::uint8_t* pOut, std::int64_t* pConsumed, CReplacementTally* pTally)
{
    if (bToUtf8)
        return DecodeSlice<true>(pBytes, nLength, bFinal, pOut, pConsumed, pTally) - pOut;
    return DecodeSlice<false>(pBytes, nLength, bFinal, pOut, pConsumed, pTally) - pOut;
}

namespace {

// Encodes the units from start while they begin before limit; the surrogate
// peek may look at the unit after limit, up to nUnits. Returns where it
// stopped.
std::int64_t EncodeUnits(const std::uint8_t* pUtf16le, std::int64_t nUnits, std::int64_t start, std::int64_t limit,
                         const Substitute& substitute, std::uint8_t* pBytes, std::int64_t* pWritten,
                         CReplacementTally* pTally)
{
    const int nSub = SubstituteLength(substitute);
    std::uint8_t* out = pBytes;
    std::int64_t i = start;
    while (i < limit) {
        while (limit - i >= 4 && (Load64(pUtf16le + 2 * i) & kNonAsciiUnits) == 0) {
            // Eight ASCII units in a row likely begin a long stretch: that
            // goes 8 units or more at a time. Asked only here, the kernel
            // path costs Japanese text nothing.
            if (limit - i >= 32 && (Load64(pUtf16le + 2 * i + 8) & kNonAsciiUnits) == 0) {
                const std::int64_t nAscii = byte_search::NarrowAscii(pUtf16le + 2 * i, limit - i, out);
                i += nAscii;
                out += nAscii;
                continue;
            }
            const std::uint8_t* in = pUtf16le + 2 * i;
            out[0] = in[0];
            out[1] = in[2];
            out[2] = in[4];
            out[3] = in[6];
            i += 4;
            out += 4;
        }
        const std::int64_t stop = i + 8 < limit ? i + 8 : limit;
        while (i < stop) {
            const std::uint16_t unit = LoadUnit(pUtf16le + 2 * i);
            ++i;
            // Branch on the length rather than compute it: a predicted branch
            // lets the next store go ahead without waiting for this lookup.
            if (unit < 0x80) {
                *out++ = static_cast<std::uint8_t>(unit);
                continue;
            }
            out = EncodeUnit(out, unit, substitute.bytes, nSub, [&](std::uint16_t u) {
                const std::uint8_t* const pAt = pUtf16le + 2 * (i - 1);
                if (IsHighSurrogate(u) && i < nUnits && IsLowSurrogate(LoadUnit(pUtf16le + 2 * i))) {
                    const std::uint32_t c = 0x10000 + ((u - 0xD800u) << 10) + (LoadUnit(pUtf16le + 2 * i) - 0xDC00u);
                    ++i;
                    if (pTally != nullptr)
                        pTally->NoForm(pAt, c);
                } else if (pTally != nullptr) {
                    if (IsHighSurrogate(u) || IsLowSurrogate(u))
                        pTally->IllFormed(pAt, pAt[0]);
                    else
                        pTally->NoForm(pAt, u);
                }
            });
        }
    }
    *pWritten = out - pBytes;
    return i;
}

#if defined(MOJIRO_X86_KERNELS)
// A stretch of well-formed UTF-8 at p[0, n) decoded by the Unicode forms'
// vector loop, then each unit looked up: returns the bytes taken and moves
// *pOut, or 0 (writing nothing that counts) when nothing was decoded or a
// character has no form, which the careful way then replaces and tallies.
std::int64_t EncodeUtf8Stretch(const std::uint8_t* p, std::int64_t n, std::uint8_t** pOut)
{
    constexpr std::int64_t kStretch = 256;
    std::uint8_t units[2 * kStretch + 64];
    std::uint8_t* q = units;
    const std::int64_t nTaken = unicode_vectors::Utf8ToUtf16Avx2(p, n < kStretch ? n : kStretch, &q);
    std::uint8_t* out = *pOut;
    for (const std::uint8_t* u = units; u < q; u += 2) {
        const std::uint16_t unit = static_cast<std::uint16_t>(u[0] | u[1] << 8);
        if (unit < 0x80) {
            *out++ = static_cast<std::uint8_t>(unit);
            continue;
        }
        const std::uint16_t code = Lookup(unit);
        if (code == 0)
            return 0;
        if (code >= 0x100) {
            out[0] = static_cast<std::uint8_t>(code >> 8);
            out[1] = static_cast<std::uint8_t>(code);
            out += 2;
        } else {
            *out++ = static_cast<std::uint8_t>(code);
        }
    }
    *pOut = out;
    return nTaken;
}
#endif

// The form at pUtf8[i] that is not ASCII nor a whole three-byte form: its
// CP932 form, or the substitute for a character without one, beyond the
// BMP, or ill-formed. Returns where the next form starts.
std::int64_t PutRareForm(const std::uint8_t* pUtf8, std::int64_t i, std::int64_t nLength, const Substitute& substitute,
                         std::uint8_t** pOut, CReplacementTally* pTally)
{
    const std::uint8_t* const at = pUtf8 + i;
    std::uint32_t c;
    const std::int64_t next = utf8_forms::DecodeRareForm(pUtf8, i, nLength, &c);
    const bool bIllFormed = utf8_forms::IsIllFormed(at, next - i, c);
    if (bIllFormed || c > 0xFFFF) {
        if (pTally != nullptr && bIllFormed)
            pTally->IllFormed(at, at[0]);
        else if (pTally != nullptr)
            pTally->NoForm(at, c);
        *pOut = PutSubstitute(*pOut, substitute);
        return next;
    }
    *pOut = EncodeUnit(*pOut, static_cast<std::uint16_t>(c), substitute.bytes, SubstituteLength(substitute),
                       [pTally, at](std::uint16_t u) {
                           if (pTally != nullptr)
                               pTally->NoForm(at, u);
                       });
    return next;
}

// The same for the forms of UTF-8 text that begin before limit; a form may
// read beyond limit, up to nLength. The decoder yields no surrogates: a
// character beyond the BMP arrives whole and is one unmappable character, and
// U+FFFD for an ill-formed sequence has no CP932 form either.
std::int64_t EncodeUtf8Forms(const std::uint8_t* pUtf8, std::int64_t nLength, std::int64_t start, std::int64_t limit,
                             const Substitute& substitute, std::uint8_t* pBytes, std::int64_t* pWritten,
                             CReplacementTally* pTally)
{
    const int nSub = SubstituteLength(substitute);
    // The form that began at at has no CP932 form, or was ill-formed.
    const auto noForm = [pTally](const std::uint8_t* at) {
        return [pTally, at](std::uint16_t u) {
            if (pTally != nullptr)
                pTally->NoForm(at, u);
        };
    };
    // A pair of forms from i is read whole and both begin before limit.
    const std::int64_t pairEnd = limit - 3 < nLength - 7 ? limit - 3 : nLength - 7;
    std::uint8_t* out = pBytes;
    std::int64_t i = start;
    const byte_search::Path path = byte_search::KernelPath();
    [[maybe_unused]] std::int64_t nVectorFrom = 0;
    while (i < limit) {
        const std::int64_t nAscii = byte_search::CopyAscii(pUtf8 + i, limit - i, out, path);
        out += nAscii;
        i += nAscii;
#if defined(MOJIRO_X86_KERNELS)
        // A stretch that met a character without a form is left to the
        // careful way before the vector loop is asked again.
        if (path == byte_search::Path::Avx2 && limit - i >= unicode_vectors::kUtf8Reach && i >= nVectorFrom) {
            if (const std::int64_t nTaken = EncodeUtf8Stretch(pUtf8 + i, limit - i, &out); nTaken > 0) {
                i += nTaken;
                continue;
            }
            nVectorFrom = i + 64;
        }
#endif
        const std::int64_t stop = i + 16 < limit ? i + 16 : limit;
        while (i < stop) {
            // ASCII and three-byte forms, nearly all of Japanese text, take
            // a few instructions, and a run of three-byte forms goes two at a
            // time while both begin before limit; the rest goes out of line.
            const unsigned b = pUtf8[i];
            std::uint32_t c;
            std::uint32_t c2;
            if (b < 0x80) {
                *out++ = static_cast<std::uint8_t>(b);
                i += 1;
            } else if (i + 4 <= nLength && utf8_forms::WholeThreeByteForm(pUtf8 + i, &c)) {
                out = EncodeUnit(out, static_cast<std::uint16_t>(c), substitute.bytes, nSub, noForm(pUtf8 + i));
                i += 3;
                while (i < pairEnd && utf8_forms::TwoThreeByteForms(pUtf8 + i, &c, &c2)) {
                    out = EncodeUnit(out, static_cast<std::uint16_t>(c), substitute.bytes, nSub, noForm(pUtf8 + i));
                    out = EncodeUnit(out, static_cast<std::uint16_t>(c2), substitute.bytes, nSub, noForm(pUtf8 + i + 3));
                    i += 6;
                }
            } else {
                i = PutRareForm(pUtf8, i, nLength, substitute, &out, pTally);
            }
        }
    }
    *pWritten = out - pBytes;
    return i;
}

} // namespace

std::int64_t Encode(const std::uint8_t* pUtf16le, std::int64_t nUnits, const Substitute& substitute,
                    std::uint8_t* pBytes, CReplacementTally* pTally)
{
    std::int64_t written = 0;
    EncodeUnits(pUtf16le, nUnits, 0, nUnits, substitute, pBytes, &written, pTally);
    return written;
}

std::int64_t EncodeFromUtf8(const std::uint8_t* pUtf8, std::int64_t nLength, const Substitute& substitute,
                            std::uint8_t* pBytes, CReplacementTally* pTally)
{
    std::int64_t written = 0;
    EncodeUtf8Forms(pUtf8, nLength, 0, nLength, substitute, pBytes, &written, pTally);
    return written;
}

} // namespace cp932
