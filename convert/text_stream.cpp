#include "text_stream.h"

#include <algorithm>
#include <cstring>

#include "cp932_bridge.h"
#include "jis_slices.h"
#include "line_endings.h"
#include "text_converter.h"

// One stage of the chain: a kernel over pieces. A piece is run in blocks;
// what a kernel leaves at the end of a piece (a unit cut off, a CR whose LF
// may follow) is held in a small scratch and run again, joined to the start
// of the next piece.
class CTextStream::CStage : public IByteSink {
public:
    void Connect(IByteSink* pSink, CStage* pNextStage)
    {
        m_pSink = pSink;
        m_pNextStage = pNextStage;
    }

    void Put(const std::uint8_t* pData, std::int64_t nLength) override { Feed(pData, nLength, false); }

    void Finish()
    {
        Feed(m_scratch, 0, true);
        if (m_pNextStage != nullptr)
            m_pNextStage->Finish();
    }

protected:
    static constexpr std::int64_t kBlock = 64 * 1024;

    // Converts p[0, n) (n <= kBlock) and emits the result. Unless bFinal it
    // may stop before a tail that the next bytes decide; returns the bytes
    // taken.
    virtual std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) = 0;

    void Emit(const std::uint8_t* p, std::int64_t n)
    {
        if (n > 0)
            m_pSink->Put(p, n);
    }

    // Output buffers grow to what the pieces need, at most a block's worth:
    // a small file never pays for a large buffer.
    static void Reserve(std::vector<std::uint8_t>& buffer, std::int64_t nBytes)
    {
        if (static_cast<std::int64_t>(buffer.size()) < nBytes)
            buffer.resize(static_cast<std::size_t>(nBytes));
    }

private:
    static constexpr std::int64_t kScratch = 64; // far more than any unit

    void Feed(const std::uint8_t* p, std::int64_t n, bool bFinal)
    {
        while (m_nCarry > 0) {
            const std::int64_t take = std::min(n, kScratch - m_nCarry);
            if (take > 0)
                std::memcpy(m_scratch + m_nCarry, p, static_cast<std::size_t>(take));
            const std::int64_t have = m_nCarry + take;
            const bool bLast = bFinal && take == n;
            const std::int64_t used = Run(m_scratch, have, bLast);
            if (used >= m_nCarry) {
                p += used - m_nCarry;
                n -= used - m_nCarry;
                m_nCarry = 0;
                if (bLast)
                    return;
                break;
            }
            // Still undecided: everything taken waits in the scratch.
            std::memmove(m_scratch, m_scratch + used, static_cast<std::size_t>(have - used));
            m_nCarry = have - used;
            p += take;
            n -= take;
            if (bLast || (take == 0 && !bFinal))
                return;
        }
        while (n > 0) {
            const std::int64_t chunk = std::min(n, kBlock);
            const bool bLast = bFinal && chunk == n;
            const std::int64_t used = Run(p, chunk, bLast);
            p += used;
            n -= used;
            if (bLast)
                return;
            if (used < chunk && n == chunk - used) {
                std::memcpy(m_scratch, p, static_cast<std::size_t>(n));
                m_nCarry = n;
                return;
            }
        }
        if (bFinal)
            Run(p, 0, true); // the closing bytes, such as a return to ASCII
    }

    IByteSink* m_pSink = nullptr;
    CStage* m_pNextStage = nullptr;
    std::uint8_t m_scratch[kScratch] = {};
    std::int64_t m_nCarry = 0;
};

namespace {

using CStage = CTextStream::CStage;

class CLineEndingStage final : public CStage {
public:
    CLineEndingStage(CharsetId nCharset, NLCode nCode) : m_nCharset(nCharset), m_nCode(nCode) {}

private:
    std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) override
    {
        Reserve(m_out, 2 * n);
        std::uint8_t* q = m_out.data();
        const std::int64_t used = line_endings::WalkPart(m_nCharset, p, n, bFinal, &m_state, &q, m_nCode);
        Emit(m_out.data(), q - m_out.data());
        return used;
    }

    CharsetId m_nCharset;
    NLCode m_nCode;
    line_endings::PartState m_state;
    std::vector<std::uint8_t> m_out;
};

// A kernel over slices: Kernel(p, n, bFinal, out, &written) returns the
// bytes taken and writes at most nPerByte * n + nExtra bytes.
template <class Kernel>
class CKernelStage final : public CStage {
public:
    CKernelStage(Kernel kernel, std::int64_t nPerByte, std::int64_t nExtra)
        : m_kernel(std::move(kernel)), m_nPerByte(nPerByte), m_nExtra(nExtra)
    {
    }

private:
    std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) override
    {
        Reserve(m_out, m_nPerByte * n + m_nExtra);
        std::int64_t written = 0;
        const std::int64_t used = m_kernel(p, n, bFinal, m_out.data(), &written);
        Emit(m_out.data(), written);
        return used;
    }

    Kernel m_kernel;
    std::int64_t m_nPerByte;
    std::int64_t m_nExtra;
    std::vector<std::uint8_t> m_out;
};

template <class Kernel>
std::unique_ptr<CStage> MakeKernelStage(Kernel kernel, std::int64_t nPerByte, std::int64_t nExtra)
{
    return std::make_unique<CKernelStage<Kernel>>(std::move(kernel), nPerByte, nExtra);
}

// UTF-16 and UTF-8 text is cut between characters and handed to the
// whole-text routine: nothing there depends on what came before.
using Cut = std::int64_t (*)(const std::uint8_t*, std::int64_t);

// Not inside a unit, nor after a high surrogate whose low one may follow.
std::int64_t Utf16Cut(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t c = n & ~std::int64_t{1};
    if (c >= 2 && p[c - 1] >= 0xD8 && p[c - 1] <= 0xDB)
        c -= 2;
    return c;
}

// Before a lead byte whose form the end may cut off: no ill-formed sequence
// reaches across a lead, so the bytes before it decode the same whatever
// follows.
std::int64_t Utf8Cut(const std::uint8_t* p, std::int64_t n)
{
    for (std::int64_t k = 1; k <= 3 && k <= n; ++k) {
        const std::uint8_t b = p[n - k];
        if (b < 0x80)
            break;
        if (b >= 0xC0) {
            const std::int64_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            return k < length ? n - k : n;
        }
    }
    return n;
}

class CRoutineStage final : public CStage {
public:
    CRoutineStage(ConversionRoutine routine, Cut cut, const std::string& strSubstitute)
        : m_routine(routine), m_cut(cut)
    {
        m_converter.m_strUnmappableDefaultChar = strSubstitute;
    }

private:
    std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) override
    {
        const std::int64_t c = bFinal ? n : m_cut(p, n);
        if (c > 0) {
            CByteBuffer out;
            m_routine(p, c, &out, &m_converter);
            Emit(out.Data(), out.Size());
        }
        return c;
    }

    ConversionRoutine m_routine;
    Cut m_cut;
    CTextConverter m_converter;
};

enum class Step { None, SjisToEuc, SjisToJis, EucToSjis, JisToSjis, SjisToUtf16, SjisToUtf8, Utf16ToSjis, Utf16ToUtf8,
                  Utf8ToSjis, Utf8ToUtf16 };

// The stages of each cell, source * 5 + target: the basic transcoders along
// the path, with Shift_JIS <-> UTF-8 in one step each as the table has them.
constexpr Step kCells[Charset::Count * Charset::Count][2] = {
    {Step::None, Step::None},        {Step::SjisToEuc, Step::None},   {Step::SjisToJis, Step::None},
    {Step::SjisToUtf16, Step::None}, {Step::SjisToUtf8, Step::None},  // from Shift_JIS
    {Step::EucToSjis, Step::None},   {Step::None, Step::None},        {Step::EucToSjis, Step::SjisToJis},
    {Step::EucToSjis, Step::SjisToUtf16}, {Step::EucToSjis, Step::SjisToUtf8}, // from EUC-JP
    {Step::JisToSjis, Step::None},   {Step::JisToSjis, Step::SjisToEuc}, {Step::None, Step::None},
    {Step::JisToSjis, Step::SjisToUtf16}, {Step::JisToSjis, Step::SjisToUtf8}, // from ISO-2022-JP
    {Step::Utf16ToSjis, Step::None}, {Step::Utf16ToSjis, Step::SjisToEuc}, {Step::Utf16ToSjis, Step::SjisToJis},
    {Step::None, Step::None},        {Step::Utf16ToUtf8, Step::None}, // from Unicode
    {Step::Utf8ToSjis, Step::None},  {Step::Utf8ToSjis, Step::SjisToEuc}, {Step::Utf8ToSjis, Step::SjisToJis},
    {Step::Utf8ToUtf16, Step::None}, {Step::None, Step::None}, // from UTF-8
};

std::unique_ptr<CStage> MakeStage(Step step, const std::string& strSubstitute)
{
    using jis_slices::JisState;
    switch (step) {
    case Step::SjisToEuc:
        return MakeKernelStage(jis_slices::ShiftJisToEucJp, 2, 0);
    case Step::SjisToJis:
        return MakeKernelStage(
            [mode = jis_escapes::Mode::Ascii](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                                              std::int64_t* pWritten) mutable {
                return jis_slices::ShiftJisToJis(p, n, bFinal, &mode, out, pWritten);
            },
            4, 3);
    case Step::EucToSjis:
        return MakeKernelStage(
            [substitute = cp932::MakeSubstitute(strSubstitute)](const std::uint8_t* p, std::int64_t n, bool bFinal,
                                                                 std::uint8_t* out, std::int64_t* pWritten) {
                return jis_slices::EucJpToShiftJis(p, n, bFinal, substitute, out, pWritten);
            },
            1, 0);
    case Step::JisToSjis:
        return MakeKernelStage(
            [state = JisState{}](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                                 std::int64_t* pWritten) mutable {
                return jis_slices::JisToShiftJis(p, n, bFinal, &state, out, pWritten);
            },
            1, 0);
    case Step::SjisToUtf16:
    case Step::SjisToUtf8: {
        const bool bToUtf8 = step == Step::SjisToUtf8;
        return MakeKernelStage(
            [bToUtf8](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out, std::int64_t* pWritten) {
                std::int64_t consumed = 0;
                *pWritten = cp932::DecodePart(p, n, bFinal, bToUtf8, out, &consumed);
                return consumed;
            },
            bToUtf8 ? 3 : 2, 8);
    }
    case Step::Utf16ToSjis:
        return std::make_unique<CRoutineStage>(UnicodeToShiftJis, Utf16Cut, strSubstitute);
    case Step::Utf16ToUtf8:
        return std::make_unique<CRoutineStage>(UnicodeToUtf8, Utf16Cut, strSubstitute);
    case Step::Utf8ToSjis:
        return std::make_unique<CRoutineStage>(Utf8ToShiftJis, Utf8Cut, strSubstitute);
    case Step::Utf8ToUtf16:
        return std::make_unique<CRoutineStage>(Utf8ToUnicode, Utf8Cut, strSubstitute);
    case Step::None:
        break;
    }
    return nullptr;
}

} // namespace

CTextStream::CTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode,
                         const std::string& strUnmappableDefaultChar, IByteSink& sink)
    : m_sink(sink)
{
    m_stages.push_back(std::make_unique<CLineEndingStage>(nSource, nNLCode));
    if (Charset::IsValid(nSource) && Charset::IsValid(nTarget))
        for (Step step : kCells[nSource * Charset::Count + nTarget])
            if (step != Step::None)
                m_stages.push_back(MakeStage(step, strUnmappableDefaultChar));
    for (std::size_t k = 0; k < m_stages.size(); ++k) {
        CStage* pNext = k + 1 < m_stages.size() ? m_stages[k + 1].get() : nullptr;
        m_stages[k]->Connect(pNext != nullptr ? static_cast<IByteSink*>(pNext) : &m_sink, pNext);
    }
}

CTextStream::~CTextStream() = default;

void CTextStream::Write(const std::uint8_t* pData, std::int64_t nLength)
{
    if (nLength > 0)
        m_stages.front()->Put(pData, nLength);
}

void CTextStream::Finish() { m_stages.front()->Finish(); }
