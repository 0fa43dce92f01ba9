#include "byte_search.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(MOJIRO_X86_KERNELS)
#include <immintrin.h>
#endif

namespace byte_search {

Path BestPath()
{
#if defined(MOJIRO_X86_KERNELS)
    // Asks the processor once; it also says whether the system saves the
    // wide registers.
    static const Path s_best = __builtin_cpu_supports("avx2") ? Path::Avx2 : Path::Sse2;
    return s_best;
#else
    return Path::Plain;
#endif
}

Path SetKernelPath(Path path)
{
    const Path taken = path < BestPath() ? path : BestPath();
    detail::g_path.store(static_cast<std::uint8_t>(taken), std::memory_order_relaxed);
    return taken;
}

bool ParsePath(const char* text, Path* pPath)
{
    static constexpr struct {
        const char* name;
        Path path;
    } kNames[] = {{"plain", Path::Plain}, {"sse2", Path::Sse2}, {"avx2", Path::Avx2}};
    for (const auto& entry : kNames)
        if (text != nullptr && std::strcmp(text, entry.name) == 0) {
            *pPath = entry.path;
            return true;
        }
    return false;
}

namespace detail {

Path ChoosePath()
{
    Path wanted = BestPath();
    ParsePath(std::getenv("MOJIRO_KERNELS"), &wanted);
    const Path taken = wanted < BestPath() ? wanted : BestPath();
    // A path set before this first use stays.
    std::uint8_t expected = kUnchosen;
    g_path.compare_exchange_strong(expected, static_cast<std::uint8_t>(taken), std::memory_order_relaxed);
    return static_cast<Path>(g_path.load(std::memory_order_relaxed));
}

#if defined(MOJIRO_X86_KERNELS)
#define MOJIRO_AVX2 __attribute__((target("avx2")))

namespace {

MOJIRO_AVX2 inline __m256i Load32(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

MOJIRO_AVX2 inline __m256i Is(__m256i v, char b)
{
    return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(b));
}

struct CrLf {
    MOJIRO_AVX2 static __m256i Hits(__m256i v) { return _mm256_or_si256(Is(v, 0x0D), Is(v, 0x0A)); }
};

struct EscSoSi {
    MOJIRO_AVX2 static __m256i Hits(__m256i v)
    {
        return _mm256_or_si256(Is(v, 0x1B), _mm256_or_si256(Is(v, 0x0E), Is(v, 0x0F)));
    }
};

struct JisSpecial {
    MOJIRO_AVX2 static __m256i Hits(__m256i v) { return _mm256_or_si256(CrLf::Hits(v), EscSoSi::Hits(v)); }
};

struct HighBit {
    MOJIRO_AVX2 static __m256i Hits(__m256i v) { return v; }
};

struct CrLfUnit {
    MOJIRO_AVX2 static __m256i Hits(__m256i v)
    {
        return _mm256_or_si256(_mm256_cmpeq_epi16(v, _mm256_set1_epi16(0x0D)),
                               _mm256_cmpeq_epi16(v, _mm256_set1_epi16(0x0A)));
    }
};

MOJIRO_AVX2 inline std::int64_t FirstBit(__m256i hits)
{
    return __builtin_ctz(static_cast<unsigned>(_mm256_movemask_epi8(hits)));
}

// The first hit in p[0, n), n >= 32, else n: 64 bytes a step, then 32, and
// the last 32 bytes read again where they overlap (no hit lies before).
template <class M>
MOJIRO_AVX2 std::int64_t FindWide(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m256i a = M::Hits(Load32(p + i));
        const __m256i b = M::Hits(Load32(p + i + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) != 0)
            return _mm256_movemask_epi8(a) != 0 ? i + FirstBit(a) : i + 32 + FirstBit(b);
    }
    for (; i + 32 <= n; i += 32)
        if (const __m256i a = M::Hits(Load32(p + i)); _mm256_movemask_epi8(a) != 0)
            return i + FirstBit(a);
    if (i < n)
        if (const __m256i a = M::Hits(Load32(p + n - 32)); _mm256_movemask_epi8(a) != 0)
            return n - 32 + FirstBit(a);
    return n;
}

} // namespace

MOJIRO_AVX2 std::int64_t FindCrLfAvx2(const std::uint8_t* p, std::int64_t n)
{
    return FindWide<CrLf>(p, n);
}

MOJIRO_AVX2 std::int64_t FindJisSpecialAvx2(const std::uint8_t* p, std::int64_t n)
{
    return FindWide<JisSpecial>(p, n);
}

MOJIRO_AVX2 std::int64_t FindEscSoSiAvx2(const std::uint8_t* p, std::int64_t n)
{
    return FindWide<EscSoSi>(p, n);
}

MOJIRO_AVX2 std::int64_t AsciiRunAvx2(const std::uint8_t* p, std::int64_t n)
{
    return FindWide<HighBit>(p, n);
}

// Units keep their alignment: the overlapping last read starts on a unit.
MOJIRO_AVX2 std::int64_t FindCrLfUnitAvx2(const std::uint8_t* p, std::int64_t n)
{
    return FindWide<CrLfUnit>(p, n & ~std::int64_t{1});
}

MOJIRO_AVX2 std::int64_t CopyAsciiAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t* out)
{
    std::int64_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = Load32(p + i);
        if (_mm256_movemask_epi8(v) != 0)
            break;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
    }
    // The last whole block of 16, in the stretch that stopped or after it.
    if (i + 16 <= n && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0) {
        std::memcpy(out + i, p + i, 16);
        i += 16;
    }
    return i;
}

MOJIRO_AVX2 std::int64_t WidenAsciiAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t* out)
{
    std::int64_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = Load32(p + i);
        if (_mm256_movemask_epi8(v) != 0)
            break;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32),
                            _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
    }
    if (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(v) == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_cvtepu8_epi16(v));
            i += 16;
        }
    }
    return i;
}

MOJIRO_AVX2 std::int64_t NarrowAsciiAvx2(const std::uint8_t* p, std::int64_t nUnits, std::uint8_t* out)
{
    const __m256i high = _mm256_set1_epi16(static_cast<short>(0xFF80));
    std::int64_t k = 0;
    for (; k + 32 <= nUnits; k += 32) {
        const __m256i a = Load32(p + 2 * k);
        const __m256i b = Load32(p + 2 * k + 32);
        if (!_mm256_testz_si256(_mm256_or_si256(a, b), high))
            break;
        // The pack works within each half; the permute puts the quarters in order.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
    }
    // Then blocks of 8 up to the first that is not all ASCII.
    for (; k + 8 <= nUnits; k += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * k));
        if (!_mm_testz_si128(v, _mm256_castsi256_si128(high)))
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(v, v));
    }
    return k;
}

MOJIRO_AVX2 std::int64_t CopyToCrLfAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t* out)
{
    std::int64_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = Load32(p + i);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
        if (const __m256i hits = CrLf::Hits(v); _mm256_movemask_epi8(hits) != 0)
            return i + FirstBit(hits);
    }
    for (; i < n && p[i] != 0x0D && p[i] != 0x0A; ++i)
        out[i] = p[i];
    return i;
}

// The blocks of p[0, n) before the last byte: *pi gets where they ended.
MOJIRO_AVX2 bool LineEndsAreAvx2(const std::uint8_t* p, std::int64_t n, EndForm form, std::int64_t* pi,
                                 std::int64_t* pnLines)
{
    std::int64_t i = 0;
    for (; i + 33 <= n; i += 32) {
        const __m256i v = Load32(p + i);
        const auto cr = static_cast<unsigned>(_mm256_movemask_epi8(Is(v, 0x0D)));
        if (form == EndForm::CrLf) {
            if (cr != static_cast<unsigned>(_mm256_movemask_epi8(Is(Load32(p + i + 1), 0x0A))))
                return false;
            *pnLines += std::popcount(cr);
            continue;
        }
        const auto lf = static_cast<unsigned>(_mm256_movemask_epi8(Is(v, 0x0A)));
        if ((form == EndForm::Lf ? cr : lf) != 0)
            return false;
        *pnLines += std::popcount(form == EndForm::Lf ? lf : cr);
    }
    *pi = i;
    return true;
}

#undef MOJIRO_AVX2
#endif

namespace {

#if defined(MOJIRO_X86_KERNELS)
bool LineEndsAreSse2(const std::uint8_t* p, std::int64_t n, EndForm form, std::int64_t* pi, std::int64_t* pnLines)
{
    const auto is = [](__m128i v, char b) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(b))));
    };
    std::int64_t i = 0;
    for (; i + 17 <= n; i += 16) {
        const __m128i v = Load16(p + i);
        const unsigned cr = is(v, 0x0D);
        if (form == EndForm::CrLf) {
            if (cr != is(Load16(p + i + 1), 0x0A))
                return false;
            *pnLines += std::popcount(cr);
            continue;
        }
        const unsigned lf = is(v, 0x0A);
        if ((form == EndForm::Lf ? cr : lf) != 0)
            return false;
        *pnLines += std::popcount(form == EndForm::Lf ? lf : cr);
    }
    *pi = i;
    return true;
}
#endif

} // namespace
} // namespace detail

bool LineEndsAre(const std::uint8_t* p, std::int64_t n, EndForm form, std::int64_t* pnLines)
{
    // An LF that opens the text has no CR before it here; the blocks see
    // every later LF with the byte before it.
    if (form == EndForm::CrLf && n > 0 && p[0] == 0x0A)
        return false;
    std::int64_t i = 0;
    std::int64_t nLines = 0;
#if defined(MOJIRO_X86_KERNELS)
    const Path path = KernelPath();
    if (path != Path::Plain &&
        !(path == Path::Avx2 ? detail::LineEndsAreAvx2 : detail::LineEndsAreSse2)(p, n, form, &i, &nLines))
        return false;
    if (form == EndForm::CrLf && i > 0 && p[i - 1] == 0x0D)
        ++i; // its LF, which the blocks saw
#endif
    for (; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b == 0x0D) {
            if (form == EndForm::Lf || (form == EndForm::CrLf && (i + 1 >= n || p[++i] != 0x0A)))
                return false;
            ++nLines;
        } else if (b == 0x0A) {
            if (form != EndForm::Lf)
                return false;
            ++nLines;
        }
    }
    *pnLines += nLines;
    return true;
}

} // namespace byte_search
