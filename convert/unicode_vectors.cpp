#include "unicode_vectors.h"

#if defined(MOJIRO_X86_KERNELS)
#include <immintrin.h>

namespace unicode_vectors {
namespace {

#define MOJIRO_AVX2 __attribute__((target("avx2")))

// Byte shuffles that gather the wanted bytes of 16 to the front, indexed by
// a mask of what is wanted, with how many they are; 0x80 clears a byte.
struct ShuffleTable {
    alignas(16) std::uint8_t shuffle[256][16];
    std::uint8_t length[256];
};

// For four UTF-8 forms, each laid out in four bytes as [lead, second, third,
// unused] and shortened from the front: a unit's two mask bits say whether
// it is 0080 or above and whether it is 0800 or above, so a form keeps its
// last one, two or three bytes.
constexpr ShuffleTable MakeFormTable()
{
    ShuffleTable table{};
    for (int mask = 0; mask < 256; ++mask) {
        int n = 0;
        for (int unit = 0; unit < 4; ++unit) {
            const int length = 1 + (mask >> (2 * unit) & 1) + (mask >> (2 * unit + 1) & 1);
            for (int b = 3 - length; b < 3; ++b)
                table.shuffle[mask][n++] = static_cast<std::uint8_t>(4 * unit + b);
        }
        table.length[mask] = static_cast<std::uint8_t>(n);
        for (int k = n; k < 16; ++k)
            table.shuffle[mask][k] = 0x80;
    }
    return table;
}

// For eight 16-bit units, the units a mask bit names, in order; length in units.
constexpr ShuffleTable MakeUnitTable()
{
    ShuffleTable table{};
    for (int mask = 0; mask < 256; ++mask) {
        int n = 0;
        for (int unit = 0; unit < 8; ++unit)
            if (mask >> unit & 1) {
                table.shuffle[mask][2 * n] = static_cast<std::uint8_t>(2 * unit);
                table.shuffle[mask][2 * n + 1] = static_cast<std::uint8_t>(2 * unit + 1);
                ++n;
            }
        table.length[mask] = static_cast<std::uint8_t>(n);
        for (int k = 2 * n; k < 16; ++k)
            table.shuffle[mask][k] = 0x80;
    }
    return table;
}

constexpr ShuffleTable kForms = MakeFormTable();
constexpr ShuffleTable kUnits = MakeUnitTable();

MOJIRO_AVX2 inline __m256i Load32(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

MOJIRO_AVX2 inline __m256i Widen16(const std::uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

MOJIRO_AVX2 inline __m256i Set16(int value)
{
    return _mm256_set1_epi16(static_cast<short>(value));
}

MOJIRO_AVX2 inline __m256i Set8(int value)
{
    return _mm256_set1_epi8(static_cast<char>(value));
}

MOJIRO_AVX2 inline std::uint32_t Bits(__m256i v)
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}

// Stores the bytes of v that table row mask picks; 16 bytes are stored.
MOJIRO_AVX2 inline std::uint8_t* PutPicked(std::uint8_t* q, __m128i v, const ShuffleTable& table, unsigned mask,
                                           int nUnitBytes)
{
    const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(table.shuffle[mask]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(v, shuffle));
    return q + nUnitBytes * table.length[mask];
}

// Sixteen units of one, two or three bytes each: every unit's longest form
// (a shorter one is its tail with the first byte it keeps marked as a lead)
// goes into four bytes, and the forms are shortened and joined four at a time.
MOJIRO_AVX2 std::uint8_t* PutForms(std::uint8_t* q, __m256i u, __m256i ascii)
{
    const __m256i narrow = _mm256_cmpeq_epi16(_mm256_and_si256(u, Set16(0xF800)), _mm256_setzero_si256());
    // Lead 1110xxxx, second byte 10xxxxxx, or 110xxxxx for a two-byte form.
    const __m256i front = _mm256_or_si256(
        _mm256_or_si256(_mm256_srli_epi16(u, 12), _mm256_and_si256(_mm256_slli_epi16(u, 2), Set16(0x3F00))),
        _mm256_or_si256(Set16(0x80E0), _mm256_and_si256(narrow, Set16(0x4000))));
    // Last byte 10xxxxxx, or the ASCII byte itself.
    const __m256i last =
        _mm256_blendv_epi8(_mm256_or_si256(_mm256_and_si256(u, Set16(0x3F)), Set16(0x80)), u, ascii);
    const std::uint32_t lengths =
        Bits(_mm256_or_si256(_mm256_andnot_si256(ascii, Set16(0x00FF)), _mm256_andnot_si256(narrow, Set16(0xFF00))));
    // Units 0-3 and 8-11, then 4-7 and 12-15.
    const __m256i low = _mm256_unpacklo_epi16(front, last);
    const __m256i high = _mm256_unpackhi_epi16(front, last);
    q = PutPicked(q, _mm256_castsi256_si128(low), kForms, lengths & 0xFF, 1);
    q = PutPicked(q, _mm256_castsi256_si128(high), kForms, lengths >> 8 & 0xFF, 1);
    q = PutPicked(q, _mm256_extracti128_si256(low, 1), kForms, lengths >> 16 & 0xFF, 1);
    return PutPicked(q, _mm256_extracti128_si256(high, 1), kForms, lengths >> 24, 1);
}

// How many of the 32 bytes v at p are whole well-formed forms of one to
// three bytes, cut between forms; p has kUtf8Reach bytes. A byte is a
// continuation byte where and only where a lead before it asks for one, no
// lead is C0, C1 or F0-FF, and E0 and ED are followed by what keeps their
// value from being overlong or a surrogate. *pLeads marks where the forms
// taken start.
MOJIRO_AVX2 std::int64_t WholeForms(const std::uint8_t* p, __m256i v, std::uint32_t high, std::uint32_t* pLeads)
{
    const __m256i next = Load32(p + 1);
    const std::uint32_t cont = Bits(_mm256_cmpgt_epi8(Set8(-64), v)); // 80-BF
    const std::uint32_t lead2 = high & ~cont;                           // C0-FF
    const std::uint32_t lead3 = high & Bits(_mm256_cmpgt_epi8(v, Set8(-33)));
    const std::uint32_t nextLow = Bits(_mm256_cmpgt_epi8(Set8(-96), next)); // 80-9F
    const std::uint32_t nextHigh = Bits(next) & ~nextLow;                   // A0-FF
    const std::uint32_t bad = (high & Bits(_mm256_cmpgt_epi8(v, Set8(-17)))) |
                              Bits(_mm256_cmpeq_epi8(_mm256_and_si256(v, Set8(0xFE)), Set8(0xC0))) |
                              (Bits(_mm256_cmpeq_epi8(v, Set8(0xE0))) & nextLow) |
                              (Bits(_mm256_cmpeq_epi8(v, Set8(0xED))) & nextHigh);
    const std::uint64_t wanted = std::uint64_t{lead2} << 1 | std::uint64_t{lead3} << 2;
    const std::uint64_t faults = ((wanted ^ cont) & 0xFFFFFFFFu) | bad;
    int taken;
    if (faults == 0) {
        // All but a form that goes on past the window, from one or two
        // bytes before its end: the next window's start waits on no search.
        const auto past = static_cast<int>(wanted >> 32 & 1);
        taken = 32 - past - (past & static_cast<int>(wanted >> 31 & 1));
    } else {
        // Up to the last place before the first fault where no form goes on.
        const std::uint64_t ends = ~wanted & ((std::uint64_t{2} << __builtin_ctzll(faults)) - 1);
        taken = 63 - __builtin_clzll(ends);
    }
    *pLeads = ~cont & static_cast<std::uint32_t>((std::uint64_t{1} << taken) - 1);
    return taken;
}

// The units of the forms that start where leads has a bit among the 32 bytes
// at p: each byte decoded as a lead of its kind, kept where a form starts.
MOJIRO_AVX2 std::uint8_t* PutUnits(std::uint8_t* q, const std::uint8_t* p, std::uint32_t leads)
{
    for (int half = 0; half < 32; half += 16) {
        const __m256i b0 = Widen16(p + half);
        const __m256i b1 = Widen16(p + half + 1);
        const __m256i b2 = Widen16(p + half + 2);
        const __m256i two =
            _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(b0, Set16(0x1F)), 6), _mm256_and_si256(b1, Set16(0x3F)));
        // Shifted out of 16 bits, the lead keeps the four bits a three-byte form has.
        const __m256i three = _mm256_or_si256(_mm256_slli_epi16(two, 6), _mm256_and_si256(b2, Set16(0x3F)));
        const __m256i units =
            _mm256_blendv_epi8(_mm256_blendv_epi8(b0, two, _mm256_cmpgt_epi16(b0, Set16(0xBF))), three,
                               _mm256_cmpgt_epi16(b0, Set16(0xDF)));
        q = PutPicked(q, _mm256_castsi256_si128(units), kUnits, leads >> half & 0xFF, 2);
        q = PutPicked(q, _mm256_extracti128_si256(units, 1), kUnits, leads >> (half + 8) & 0xFF, 2);
    }
    return q;
}

} // namespace

MOJIRO_AVX2 std::int64_t Utf16ToUtf8Avx2(const std::uint8_t* p, std::int64_t nUnits, std::uint8_t** pq)
{
    std::uint8_t* q = *pq;
    std::int64_t k = 0;
    for (; k + kUtf16Block <= nUnits; k += kUtf16Block) {
        const __m256i u = Load32(p + 2 * k);
        const __m256i ascii = _mm256_cmpeq_epi16(_mm256_and_si256(u, Set16(0xFF80)), _mm256_setzero_si256());
        if (Bits(ascii) == 0xFFFFFFFFu) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q),
                             _mm_packus_epi16(_mm256_castsi256_si128(u), _mm256_extracti128_si256(u, 1)));
            q += 16;
            continue;
        }
        const __m256i surrogate = _mm256_cmpeq_epi16(_mm256_and_si256(u, Set16(0xF800)), Set16(0xD800));
        if (!_mm256_testz_si256(surrogate, surrogate))
            break;
        q = PutForms(q, u, ascii);
    }
    *pq = q;
    return k;
}

MOJIRO_AVX2 std::int64_t Utf8ToUtf16Avx2(const std::uint8_t* p, std::int64_t n, std::uint8_t** pq)
{
    std::uint8_t* q = *pq;
    std::int64_t i = 0;
    while (i + kUtf8Reach <= n) {
        const __m256i v = Load32(p + i);
        const std::uint32_t high = Bits(v);
        if (high == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 32), _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
            q += 64;
            i += 32;
            continue;
        }
        std::uint32_t leads;
        const std::int64_t taken = WholeForms(p + i, v, high, &leads);
        if (taken == 0)
            break;
        q = PutUnits(q, p + i, leads);
        i += taken;
    }
    *pq = q;
    return i;
}

#undef MOJIRO_AVX2

} // namespace unicode_vectors
#endif
