#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#define MOJIRO_X86_KERNELS 1
#include <emmintrin.h>
#endif

// Vector searches and ASCII copies shared by the fast kernels. Each runs on
// one of the kernel paths, chosen once from the processor (or the
// MOJIRO_KERNELS environment variable: plain, sse2, avx2) and the same bytes
// come out on every path. SSE2 code runs inline on the first block, so short
// stretches pay no call; only a long stretch goes to the AVX2 loop.
namespace byte_search {

// In order: a path runs every kernel a lower one does, or a wider one.
enum class Path : std::uint8_t { Plain, Sse2, Avx2 };

// How the line ends of a text are written.
enum class EndForm : std::uint8_t { CrLf, Lf, Cr };

// The widest path this processor runs.
Path BestPath();

// Every later call runs on path, or on the best this processor runs if that
// is narrower; returns the path taken.
Path SetKernelPath(Path path);

// The path named by text ("plain", "sse2", "avx2"), or false.
bool ParsePath(const char* text, Path* pPath);

namespace detail {

inline constexpr std::uint8_t kUnchosen = 0xFF;
inline std::atomic<std::uint8_t> g_path{kUnchosen};

// Chooses on first use from the environment and the processor.
Path ChoosePath();

// Below this many bytes past the first block the inline SSE2 loop is as fast
// as a call into the wide loop.
inline constexpr std::int64_t kWide = 64;

#if defined(MOJIRO_X86_KERNELS)
// The wide loops; each starts where the inline code stopped.
std::int64_t FindCrLfAvx2(const std::uint8_t* p, std::int64_t n);
std::int64_t FindJisSpecialAvx2(const std::uint8_t* p, std::int64_t n);
std::int64_t FindEscSoSiAvx2(const std::uint8_t* p, std::int64_t n);
std::int64_t FindCrLfUnitAvx2(const std::uint8_t* p, std::int64_t n);
std::int64_t AsciiRunAvx2(const std::uint8_t* p, std::int64_t n);
std::int64_t CopyAsciiAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t* out);
std::int64_t WidenAsciiAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t* out);
std::int64_t NarrowAsciiAvx2(const std::uint8_t* p, std::int64_t nUnits, std::uint8_t* out);
bool LineEndsAreAvx2(const std::uint8_t* p, std::int64_t n, EndForm form, std::int64_t* pi, std::int64_t* pnLines);
std::int64_t CopyToCrLfAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t* out);
#endif

inline std::uint64_t Load64(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Sixteen bytes below 0x80 at p, tested a word at a time.
inline bool PlainAscii16(const std::uint8_t* p)
{
    return ((Load64(p) | Load64(p + 8)) & 0x8080808080808080ULL) == 0;
}

#if defined(MOJIRO_X86_KERNELS)
inline bool Sse2Ascii16(const std::uint8_t* p)
{
    return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0;
}

inline __m128i Load16(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline int Mask(__m128i hits)
{
    return _mm_movemask_epi8(hits);
}

inline __m128i CrLfHits(__m128i v)
{
    return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x0D)), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x0A)));
}

inline __m128i EscSoSiHits(__m128i v)
{
    return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x1B)),
                        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x0E)), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x0F))));
}

inline __m128i CrLfUnitHits(__m128i v)
{
    return _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(0x000D)), _mm_cmpeq_epi16(v, _mm_set1_epi16(0x000A)));
}

// The first hit Hits finds in p[0, n) a block of 16 at a time, after the
// first block handing a long rest to wide(); else the offset of the first
// block that was not looked at.
template <class Hits, class Wide>
inline std::int64_t FindBlocks(const std::uint8_t* p, std::int64_t n, Path path, Hits hits, Wide wide,
                               bool* pFound)
{
    std::int64_t i = 0;
    *pFound = true;
    if (n >= 16) {
        if (const int m = Mask(hits(Load16(p))); m != 0)
            return __builtin_ctz(static_cast<unsigned>(m));
        i = 16;
        if (path == Path::Avx2 && n - i >= kWide)
            return i + wide(p + i, n - i);
    }
    for (; i + 16 <= n; i += 16)
        if (const int m = Mask(hits(Load16(p + i))); m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    *pFound = false;
    return i;
}
#endif

} // namespace detail

// The path the kernels run on.
inline Path KernelPath()
{
    const std::uint8_t path = detail::g_path.load(std::memory_order_relaxed);
    return path != detail::kUnchosen ? static_cast<Path>(path) : detail::ChoosePath();
}

// Offset of the first byte in p[0, n) that isByte() takes, or n; the vector
// code finds the same with hits().
template <class IsByte, class Hits, class Wide>
inline std::int64_t FindByte(const std::uint8_t* p, std::int64_t n, IsByte isByte, [[maybe_unused]] Hits hits,
                             [[maybe_unused]] Wide wide)
{
    std::int64_t i = 0;
#if defined(MOJIRO_X86_KERNELS)
    if (const Path path = KernelPath(); path != Path::Plain) {
        bool bFound;
        i = detail::FindBlocks(p, n, path, hits, wide, &bFound);
        if (bFound)
            return i;
    }
#endif
    for (; i < n; ++i)
        if (isByte(p[i]))
            return i;
    return n;
}

#if defined(MOJIRO_X86_KERNELS)
#define MOJIRO_HITS(f) [](__m128i v) { return detail::f(v); }
#define MOJIRO_WIDE(f) detail::f
#else
#define MOJIRO_HITS(f) 0
#define MOJIRO_WIDE(f) 0
#endif

// Offset of the first CR or LF in p[0, n), or n.
inline std::int64_t FindCrLf(const std::uint8_t* p, std::int64_t n)
{
    return FindByte(
        p, n, [](std::uint8_t b) { return b == 0x0D || b == 0x0A; }, MOJIRO_HITS(CrLfHits), MOJIRO_WIDE(FindCrLfAvx2));
}

// Copies p[0, c) to out and returns c, the offset of the first CR or LF in
// p[0, n) (or n): the line-ending walk's copy and search in one pass. It may
// write anything into out[c, n), which the caller must have as room.
inline std::int64_t CopyToCrLf(const std::uint8_t* p, std::int64_t n, std::uint8_t* out)
{
#if defined(MOJIRO_X86_KERNELS)
    if (const Path path = KernelPath(); path != Path::Plain) {
        std::int64_t i = 0;
        if (n >= 16) {
            const __m128i v = detail::Load16(p);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
            if (const int m = detail::Mask(detail::CrLfHits(v)); m != 0)
                return __builtin_ctz(static_cast<unsigned>(m));
            i = 16;
            if (path == Path::Avx2 && n - i >= detail::kWide)
                return i + detail::CopyToCrLfAvx2(p + i, n - i, out + i);
        }
        for (; i + 16 <= n; i += 16) {
            const __m128i v = detail::Load16(p + i);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
            if (const int m = detail::Mask(detail::CrLfHits(v)); m != 0)
                return i + __builtin_ctz(static_cast<unsigned>(m));
        }
        for (; i < n && p[i] != 0x0D && p[i] != 0x0A; ++i)
            out[i] = p[i];
        return i;
    }
#endif
    const std::int64_t c = FindCrLf(p, n);
    std::memcpy(out, p, static_cast<std::size_t>(c));
    return c;
}

// Offset of the first byte that is CR, LF, ESC, SO or SI in p[0, n), or n.
inline std::int64_t FindJisSpecial(const std::uint8_t* p, std::int64_t n)
{
#if defined(MOJIRO_X86_KERNELS)
    const auto hits = [](__m128i v) { return _mm_or_si128(detail::CrLfHits(v), detail::EscSoSiHits(v)); };
#else
    const int hits = 0;
#endif
    return FindByte(
        p, n, [](std::uint8_t b) { return b == 0x0D || b == 0x0A || b == 0x1B || b == 0x0E || b == 0x0F; }, hits,
        MOJIRO_WIDE(FindJisSpecialAvx2));
}

// Offset of the first ESC, SO or SI in p[0, n), or n.
inline std::int64_t FindEscSoSi(const std::uint8_t* p, std::int64_t n)
{
    return FindByte(
        p, n, [](std::uint8_t b) { return b == 0x1B || b == 0x0E || b == 0x0F; }, MOJIRO_HITS(EscSoSiHits),
        MOJIRO_WIDE(FindEscSoSiAvx2));
}

// Copies p[0, n) to q. The stretches of ASCII between kanji are a few bytes
// long, for which a call to memcpy costs more than the copy.
inline void CopyBytes(std::uint8_t* q, const std::uint8_t* p, std::int64_t n)
{
    if (n > 16) {
        std::memcpy(q, p, static_cast<std::size_t>(n));
    } else if (n >= 8) { // two words that may overlap
        std::uint64_t a, b;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + n - 8, 8);
        std::memcpy(q, &a, 8);
        std::memcpy(q + n - 8, &b, 8);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        std::memcpy(q, &a, 4);
        std::memcpy(q + n - 4, &b, 4);
    } else if (n > 0) {
        q[0] = p[0];
        q[n / 2] = p[n / 2];
        q[n - 1] = p[n - 1];
    }
}

// Whether every CR and LF byte of p[0, n) is in a line end of form (CR LF
// pairs, LFs alone or CRs alone); if so *pnLines grows by the line ends. A
// text whose bytes are never CR or LF inside a character, cut after whole
// line ends.
bool LineEndsAre(const std::uint8_t* p, std::int64_t n, EndForm form, std::int64_t* pnLines);

// Offset of the first ESC in p[0, n) followed within two bytes by CR, LF,
// ESC, SO or SI, or n: no escape holds such a byte, so the line-ending pass
// and the decoders may read the text there apart.
inline std::int64_t FindEscBeforeSpecial(const std::uint8_t* p, std::int64_t n)
{
    const auto special = [](std::uint8_t b) { return b == 0x0D || b == 0x0A || b == 0x1B || b == 0x0E || b == 0x0F; };
    std::int64_t i = 0;
#if defined(MOJIRO_X86_KERNELS)
    if (KernelPath() != Path::Plain) {
        const auto specials = [](__m128i v) { return _mm_or_si128(detail::CrLfHits(v), detail::EscSoSiHits(v)); };
        for (; i + 18 <= n; i += 16) {
            const __m128i esc = _mm_cmpeq_epi8(detail::Load16(p + i), _mm_set1_epi8(0x1B));
            const __m128i next = _mm_or_si128(specials(detail::Load16(p + i + 1)), specials(detail::Load16(p + i + 2)));
            if (const int m = detail::Mask(_mm_and_si128(esc, next)); m != 0)
                return i + __builtin_ctz(static_cast<unsigned>(m));
        }
    }
#endif
    for (; i < n; ++i)
        if (p[i] == 0x1B && ((i + 1 < n && special(p[i + 1])) || (i + 2 < n && special(p[i + 2]))))
            return i;
    return n;
}

// Length of the run of bytes below 0x80 at p.
inline std::int64_t AsciiRun(const std::uint8_t* p, std::int64_t n)
{
#if defined(MOJIRO_X86_KERNELS)
    const auto hits = [](__m128i v) { return v; };
#else
    const int hits = 0;
#endif
    return FindByte(p, n, [](std::uint8_t b) { return b >= 0x80; }, hits, MOJIRO_WIDE(AsciiRunAvx2));
}

#undef MOJIRO_HITS
#undef MOJIRO_WIDE

// Offset (even) of the first 16-bit little-endian unit 000D or 000A in
// p[0, n), or the offset past the last whole unit.
inline std::int64_t FindCrLfUnit(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(MOJIRO_X86_KERNELS)
    if (const Path path = KernelPath(); path != Path::Plain) {
        bool bFound;
        i = detail::FindBlocks(p, n, path, detail::CrLfUnitHits, detail::FindCrLfUnitAvx2, &bFound);
        if (bFound)
            return i;
    }
#endif
    for (; i + 1 < n; i += 2) {
        const unsigned u = p[i] | (p[i + 1] << 8);
        if (u == 0x0D || u == 0x0A)
            return i;
    }
    return i;
}

// The copies take the path from loops that ask for it once.

// Copies the ASCII at p, whole blocks of 16 while they last, to out; returns
// the bytes copied: the ASCII run rounded down to 16, on every path.
inline std::int64_t CopyAscii(const std::uint8_t* p, std::int64_t n, std::uint8_t* out,
                              [[maybe_unused]] Path path = KernelPath())
{
    std::int64_t i = 0;
#if defined(MOJIRO_X86_KERNELS)
    if (path != Path::Plain) {
        for (; i + 16 <= n && detail::Sse2Ascii16(p + i); i += 16) {
            std::memcpy(out + i, p + i, 16);
            if (i == 0 && path == Path::Avx2 && n - 16 >= detail::kWide)
                return 16 + detail::CopyAsciiAvx2(p + 16, n - 16, out + 16);
        }
        return i;
    }
#endif
    for (; i + 16 <= n && detail::PlainAscii16(p + i); i += 16)
        std::memcpy(out + i, p + i, 16);
    return i;
}

// Widens the ASCII at p, whole blocks of 16 while they last, to UTF-16LE
// units at out; returns the bytes taken: the ASCII run rounded down to 16.
inline std::int64_t WidenAscii(const std::uint8_t* p, std::int64_t n, std::uint8_t* out,
                              [[maybe_unused]] Path path = KernelPath())
{
    std::int64_t i = 0;
#if defined(MOJIRO_X86_KERNELS)
    if (path != Path::Plain) {
        for (; i + 16 <= n; i += 16) {
            const __m128i v = detail::Load16(p + i);
            if (_mm_movemask_epi8(v) != 0)
                return i;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
            if (i == 0 && path == Path::Avx2 && n - 16 >= detail::kWide)
                return 16 + detail::WidenAsciiAvx2(p + 16, n - 16, out + 32);
        }
        return i;
    }
#endif
    for (; i + 16 <= n && detail::PlainAscii16(p + i); i += 16)
        for (int k = 0; k < 16; ++k) {
            out[2 * (i + k)] = p[i + k];
            out[2 * (i + k) + 1] = 0;
        }
    return i;
}

// Narrows the UTF-16LE units below 0x80 at p, whole blocks of 8 while they
// last, to bytes at out; returns the units taken: the run rounded down to 8.
inline std::int64_t NarrowAscii(const std::uint8_t* p, std::int64_t nUnits, std::uint8_t* out,
                                [[maybe_unused]] Path path = KernelPath())
{
    std::int64_t k = 0;
#if defined(MOJIRO_X86_KERNELS)
    if (path != Path::Plain) {
        for (; k + 8 <= nUnits; k += 8) {
            const __m128i v = detail::Load16(p + 2 * k);
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-128)), _mm_setzero_si128())) !=
                0xFFFF)
                return k;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(v, v));
            if (k == 0 && path == Path::Avx2 && nUnits - 8 >= detail::kWide / 2)
                return 8 + detail::NarrowAsciiAvx2(p + 16, nUnits - 8, out + 8);
        }
        return k;
    }
#endif
    constexpr std::uint64_t kHigh =
        std::endian::native == std::endian::little ? 0xFF80FF80FF80FF80ULL : 0x80FF80FF80FF80FFULL;
    for (; k + 8 <= nUnits && ((detail::Load64(p + 2 * k) | detail::Load64(p + 2 * k + 8)) & kHigh) == 0; k += 8)
        for (int j = 0; j < 8; ++j)
            out[k + j] = p[2 * (k + j)];
    return k;
}

// Length of the run of bytes below 0x80 at p that holds no ESC, SO or SI:
// ASCII that ISO-2022-JP carries as it is.
inline std::int64_t AsciiRunWithoutShifts(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i esc = _mm_set1_epi8(0x1B);
    const __m128i so = _mm_set1_epi8(0x0E);
    const __m128i si = _mm_set1_epi8(0x0F);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i shift =
            _mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_or_si128(_mm_cmpeq_epi8(v, so), _mm_cmpeq_epi8(v, si)));
        const int m = _mm_movemask_epi8(_mm_or_si128(v, shift));
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < n; ++i)
        if (p[i] >= 0x80 || p[i] == 0x1B || p[i] == 0x0E || p[i] == 0x0F)
            return i;
    return n;
}

} // namespace byte_search
