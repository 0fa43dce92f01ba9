// libFuzzer target for the whole engine. Input layout:
//   byte 0 source charset (mod 5), byte 1 target charset (mod 5),
//   byte 2 line-ending code (mod 4; 3 drops line endings),
//   byte 3 substitute setting (mod the list below), then the text.
// Besides the sanitizers, it aborts when a property that holds for every
// input fails: the conversion against the one-unit-at-a-time model, the
// fast walks against the plain ones, the forms of EUC-JP and ISO-2022-JP
// output, round trips the arithmetic guarantees, repeatability of Convert,
// and the stream and the threaded stream over splits drawn from the text.
// The checks run on the kernel path MOJIRO_KERNELS names (plain, sse2,
// avx2; the widest the processor runs by default), and Convert on every
// other path must give the same bytes.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "byte_search.h"
#include "charset_detector.h"
#include "line_endings.h"
#include "parallel_text_stream.h"
#include "reference_kernels.h"
#include "reference_model.h"
#include "target_forms.h"
#include "text_converter.h"
#include "text_stream.h"

namespace {

const std::string kSubstitutes[] = {
    "_", "", "?", "\xE3\x80\x93" /* 〓 */, "\xC3\xA9" /* é: no CP932 form */, "\xFF", "ab",
    "\xEF\xBD\xB1" /* ｱ */, std::string("\0_", 2), "\xF0\x9F\x98\x80" /* beyond the BMP */,
};
constexpr std::size_t kSubstituteCount = sizeof(kSubstitutes) / sizeof(kSubstitutes[0]);

[[noreturn]] void Fail(const char* what, CharsetId source, CharsetId target, NLCode nl)
{
    std::fprintf(stderr, "invariant broken: %s (source %d, target %d, NL %d)\n", what, source, target, nl);
    std::abort();
}

bool Same(const CByteBuffer& a, const CByteBuffer& b)
{
    return a.Size() == b.Size() && (a.Size() == 0 || std::memcmp(a.Data(), b.Data(), static_cast<std::size_t>(a.Size())) == 0);
}

bool Same(const CByteBuffer& a, const std::uint8_t* p, std::int64_t n)
{
    return a.Size() == n && (n == 0 || std::memcmp(a.Data(), p, static_cast<std::size_t>(n)) == 0);
}

// Shift_JIS whose every lead is 81-9F or E0-EF with a trail of 40-7E or
// 80-FC, other high bytes half-width katakana (A1-DF), and with no byte that
// ISO-2022-JP reads as a shift (ESC, SO, SI): for such text the conversions
// to EUC-JP and ISO-2022-JP are exactly invertible.
bool IsPlainShiftJis(const std::uint8_t* p, std::int64_t n)
{
    for (std::int64_t i = 0; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b == 0x1B || b == 0x0E || b == 0x0F)
            return false;
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF))
            continue;
        if (!((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF)) || i + 1 >= n)
            return false;
        const std::uint8_t t = p[++i];
        if (t < 0x40 || t == 0x7F || t > 0xFC)
            return false;
    }
    return true;
}

// The UTF-16LE units with each surrogate that is not half of a pair made U+FFFD.
std::string WithoutLoneSurrogates(const std::uint8_t* p, std::int64_t nEven)
{
    std::string units(reinterpret_cast<const char*>(p), static_cast<std::size_t>(nEven));
    const auto unit = [&](std::int64_t k) { return p[k] | p[k + 1] << 8; };
    for (std::int64_t k = 0; k < nEven; k += 2) {
        const int u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 2 < nEven && unit(k + 2) >= 0xDC00 && unit(k + 2) <= 0xDFFF) {
            k += 2;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            units[static_cast<std::size_t>(k)] = '\xFD';
            units[static_cast<std::size_t>(k + 1)] = '\xFF';
        }
    }
    return units;
}

// In UTF-8 the line-ending pass may only rewrite CR and LF bytes: without
// them, input and output are the same bytes.
bool KeepsAllButLineEndings(const std::uint8_t* pIn, std::int64_t n, const CByteBuffer& out)
{
    std::string a;
    std::string b;
    for (std::int64_t i = 0; i < n; ++i)
        if (pIn[i] != 0x0D && pIn[i] != 0x0A)
            a += static_cast<char>(pIn[i]);
    for (std::int64_t i = 0; i < out.Size(); ++i)
        if (out.Data()[i] != 0x0D && out.Data()[i] != 0x0A)
            b += static_cast<char>(out.Data()[i]);
    return a == b;
}

void CheckRoundTrips(const std::uint8_t* p, std::int64_t n, CTextConverter* pConverter)
{
    CByteBuffer there;
    CByteBuffer back;
    if (IsPlainShiftJis(p, n)) {
        ShiftJisToEucJp(p, n, &there, pConverter);
        EucJpToShiftJis(there.Data(), there.Size(), &back, pConverter);
        if (!Same(back, p, n))
            Fail("Shift_JIS -> EUC-JP -> Shift_JIS changed plain text", 0, 1, -1);
        ShiftJisToJis(p, n, &there, pConverter);
        JisToShiftJis(there.Data(), there.Size(), &back, pConverter);
        if (!Same(back, p, n))
            Fail("Shift_JIS -> ISO-2022-JP -> Shift_JIS changed plain text", 0, 2, -1);
    }
    // UTF-16 -> UTF-8 -> UTF-16 gives every unit back but lone surrogates,
    // which become U+FFFD.
    const std::int64_t nEven = n & ~std::int64_t{1};
    UnicodeToUtf8(p, nEven, &there, pConverter);
    Utf8ToUnicode(there.Data(), there.Size(), &back, pConverter);
    const std::string units = WithoutLoneSurrogates(p, nEven);
    if (!Same(back, reinterpret_cast<const std::uint8_t*>(units.data()), static_cast<std::int64_t>(units.size())))
        Fail("UTF-16 -> UTF-8 -> UTF-16 changed more than lone surrogates", 3, 4, -1);
    // What the UTF-8 encoder writes is well-formed, so decoding and encoding
    // it again changes nothing.
    CByteBuffer utf8;
    Utf8ToUnicode(p, n, &there, pConverter);
    UnicodeToUtf8(there.Data(), there.Size(), &utf8, pConverter);
    Utf8ToUnicode(utf8.Data(), utf8.Size(), &back, pConverter);
    UnicodeToUtf8(back.Data(), back.Size(), &there, pConverter);
    if (!Same(there, utf8))
        Fail("UTF-8 written by the encoder is not well-formed", 4, 3, -1);
}

// The same bytes from the line-ending pass and Convert on every kernel path
// the processor runs; the path the run chose is set again after.
void CheckKernelPaths(CTextConverter* pConverter, const std::uint8_t* p, std::int64_t n, CharsetId source,
                      CharsetId target, NLCode nl, const CByteBuffer& normalized, const CByteBuffer& output)
{
    const byte_search::Path chosen = byte_search::KernelPath();
    for (int k = 0; k <= static_cast<int>(byte_search::BestPath()); ++k) {
        byte_search::SetKernelPath(static_cast<byte_search::Path>(k));
        CByteBuffer lines;
        CByteBuffer converted;
        pConverter->NormalizeLineEndings(p, n, source, &lines);
        const bool bConverted = pConverter->Convert(&converted);
        byte_search::SetKernelPath(chosen);
        if (!Same(lines, normalized) || !bConverted || !Same(converted, output)) {
            std::fprintf(stderr, "on kernel path %d:\n", k);
            Fail("the line-ending pass or Convert differs on another kernel path", source, target, nl);
        }
    }
}

class CCollect : public IByteSink {
public:
    void Put(const std::uint8_t* p, std::int64_t n) override { m_bytes.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)); }
    std::string m_bytes;
};

// Pieces of the lengths the text's own bytes draw, so that the fuzzer steers
// where the cuts fall; the threaded stream with windows a few bytes long.
void CheckPieces(const std::uint8_t* p, std::int64_t n, CharsetId source, CharsetId target, NLCode nl,
                 const std::string& substitute, const CByteBuffer& whole)
{
    CCollect streamed;
    CCollect threaded;
    {
        CTextStream stream(source, target, nl, substitute, streamed);
        CParallelTextStream parallel(source, target, nl, substitute, threaded, 3, 64 + (n > 0 ? p[0] : 0));
        std::uint32_t seed = static_cast<std::uint32_t>(n) * 2654435761u;
        for (std::int64_t at = 0; at < n;) {
            seed = seed * 1103515245u + 12345u;
            const std::int64_t take = std::min<std::int64_t>(n - at, 1 + (seed >> 16) % 9);
            stream.Write(p + at, take);
            parallel.Write(p + at, take);
            at += take;
        }
        stream.Finish();
        parallel.Finish();
    }
    const auto same = [&](const std::string& bytes) {
        return Same(whole, reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::int64_t>(bytes.size()));
    };
    if (!same(streamed.m_bytes))
        Fail("the stream in pieces differs from the whole text", source, target, nl);
    if (!same(threaded.m_bytes))
        Fail("the threaded stream differs from the whole text", source, target, nl);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 4)
        return 0;
    const CharsetId source = pData[0] % Charset::Count;
    const CharsetId target = pData[1] % Charset::Count;
    const NLCode nl = pData[2] % 4;
    const std::string& substitute = kSubstitutes[pData[3] % kSubstituteCount];
    const std::uint8_t* const pText = pData + 4;
    const auto n = static_cast<std::int64_t>(nSize - 4);

    CTextConverter converter;
    converter.SetInput(pText, n, source);
    converter.m_strUnmappableDefaultChar = substitute;
    converter.SetOutput(target, nl);

    const CharsetId detected = converter.DetectCharset(pText, n);
    if (detected < Charset::None || detected > Charset::Jis)
        Fail("DetectCharset outside -1..2", source, target, nl);
    // The detector in pieces, as the job feeds it: the whole text's answer,
    // and never sure of another.
    {
        const CharsetId whole = DetectFileCharset(pText, n);
        const std::int64_t nPiece = 1 + pData[3] % 7;
        CCharsetDetector detector;
        for (std::int64_t at = 0; at < n; at += nPiece) {
            detector.Feed(pText + at, std::min(nPiece, n - at));
            if (detector.Decided() && detector.Finish() != whole)
                Fail("the detector was sure of another answer than the whole text's", source, target, nl);
        }
        if (detector.Finish() != whole)
            Fail("the detector in pieces differs from the whole text", source, target, nl);
    }

    // The line-ending pass: fast walk against the reference walk.
    CByteBuffer normalized;
    converter.NormalizeLineEndings(pText, n, source, &normalized);
    if (normalized.Size() > 2 * n)
        Fail("line-ending pass grew the text more than twice", source, target, nl);
    {
        CByteBuffer work = CByteBuffer::Allocate(2 * n);
        const std::uint8_t* pEnd = reference::LineEndingWalk(source)(pText, n, work.Data(), nl);
        if (!Same(normalized, work.Data(), pEnd - work.Data()))
            Fail("fast line-ending walk differs from the reference walk", source, target, nl);
    }
    if (source == Charset::Utf8 && !KeepsAllButLineEndings(pText, n, normalized))
        Fail("UTF-8 line-ending pass changed a byte that is no CR or LF", source, target, nl);

    CByteBuffer output;
    if (!converter.Convert(&output))
        Fail("Convert returned false", source, target, nl);

    const std::int64_t nNorm = normalized.Size();
    if (source == target && !Same(output, normalized))
        Fail("same-charset cell changed more than the line endings", source, target, nl);
    if (target == Charset::Unicode && source != target && output.Size() % 2 != 0)
        Fail("UTF-16 output of odd length", source, target, nl);
    // Each writer's forms, whatever the input.
    if (source != target && target == Charset::EucJp && !target_forms::IsEucJp(output.Data(), output.Size()))
        Fail("EUC-JP output that is no EUC-JP", source, target, nl);
    if (source != target && target == Charset::Jis && !target_forms::IsIso2022Jp(output.Data(), output.Size()))
        Fail("ISO-2022-JP output that is no ISO-2022-JP", source, target, nl);
    {
        const model::Bytes in(pText, pText + n);
        const model::Bytes want = model::Convert(in, source, target, nl, substitute);
        if (!Same(output, want.data(), static_cast<std::int64_t>(want.size())))
            Fail("Convert differs from the model", source, target, nl);
    }

    // Convert changes no field: again, and on a fresh converter, the same bytes.
    CByteBuffer again;
    if (!converter.Convert(&again) || !Same(output, again))
        Fail("second Convert gave other bytes", source, target, nl);
    CTextConverter fresh;
    fresh.SetInput(pText, n, source);
    fresh.m_strUnmappableDefaultChar = substitute;
    fresh.SetOutput(target, nl);
    CByteBuffer other;
    if (!fresh.Convert(&other) || !Same(output, other))
        Fail("a fresh converter gave other bytes", source, target, nl);

    CheckKernelPaths(&converter, pText, n, source, target, nl, normalized, output);
    CheckRoundTrips(normalized.Data(), nNorm, &converter);
    CheckPieces(pText, n, source, target, nl, substitute, output);
    return 0;
}
