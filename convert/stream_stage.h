#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "byte_buffer.h"
#include "byte_sink.h"
#include "charset.h"
#include "replacement_tally.h"

// One stage of a conversion in pieces: a kernel run over blocks. What a
// kernel leaves at the end of a piece (a unit cut off, a CR whose LF may
// follow) is held in a small scratch and run again, joined to the start of
// the next piece: the one place where a cut-off unit is carried.
class CStreamStage : public IByteSink {
public:
    void Connect(IByteSink* pSink, CStreamStage* pNextStage)
    {
        m_pSink = pSink;
        m_pNextStage = pNextStage;
    }

    void Put(const std::uint8_t* pData, std::int64_t nLength) override
    {
        if (m_pLocating != nullptr)
            m_pLocating->SetInput(pData, nLength, m_nLocatingCharset);
        Feed(pData, nLength, false);
    }
    void Finish();

    // The tally's positions point into this stage's input, in nCharset.
    void LocateFor(CReplacementTally* pTally, CharsetId nCharset)
    {
        m_pLocating = pTally;
        m_nLocatingCharset = nCharset;
    }

    static constexpr std::int64_t kBlock = 64 * 1024;

protected:
    // Converts p[0, n) (n <= kBlock) and emits the result. Unless bFinal it
    // may stop before a tail that the next bytes decide; returns the bytes
    // taken.
    virtual std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) = 0;

    void Emit(const std::uint8_t* p, std::int64_t n)
    {
        if (n > 0)
            m_pSink->Put(p, n);
    }

    // The last stage writes into the sink's own memory where it offers it.
    std::uint8_t* DirectRoom(std::int64_t nBytes) { return m_pNextStage == nullptr ? m_pSink->Room(nBytes) : nullptr; }
    void EmitDirect(std::int64_t n) { m_pSink->Wrote(n); }

    // An output buffer of at least nBytes. Buffers grow to what the pieces
    // need, at most a block's worth: a small file never pays for a large one.
    static std::uint8_t* Room(CByteBuffer& buffer, std::int64_t nBytes)
    {
        if (buffer.Size() < nBytes)
            buffer = CByteBuffer::Allocate(nBytes);
        return buffer.Data();
    }

private:
    static constexpr std::int64_t kScratch = 64; // far more than any unit

    void Feed(const std::uint8_t* p, std::int64_t n, bool bFinal);

    IByteSink* m_pSink = nullptr;
    CStreamStage* m_pNextStage = nullptr;
    CReplacementTally* m_pLocating = nullptr;
    CharsetId m_nLocatingCharset = Charset::None;
    std::uint8_t m_scratch[kScratch] = {};
    std::int64_t m_nCarry = 0;
};

using StageList = std::vector<std::unique_ptr<CStreamStage>>;

// A stateless or self-contained kernel over slices: Kernel(p, n, bFinal,
// out, &written) returns the bytes taken and writes at most nPerByte * n +
// nExtra bytes.
template <class Kernel>
class CKernelStage final : public CStreamStage {
public:
    CKernelStage(Kernel kernel, std::int64_t nPerByte, std::int64_t nExtra)
        : m_kernel(std::move(kernel)), m_nPerByte(nPerByte), m_nExtra(nExtra)
    {
    }

private:
    std::int64_t Run(const std::uint8_t* p, std::int64_t n, bool bFinal) override
    {
        const std::int64_t nBound = m_nPerByte * n + m_nExtra;
        std::uint8_t* const direct = DirectRoom(nBound);
        std::uint8_t* const out = direct != nullptr ? direct : Room(m_out, nBound);
        std::int64_t written = 0;
        const std::int64_t used = m_kernel(p, n, bFinal, out, &written);
        if (direct != nullptr)
            EmitDirect(written);
        else
            Emit(out, written);
        return used;
    }

    Kernel m_kernel;
    std::int64_t m_nPerByte;
    std::int64_t m_nExtra;
    CByteBuffer m_out;
};

template <class Kernel>
void AddKernelStage(StageList& stages, Kernel kernel, std::int64_t nPerByte, std::int64_t nExtra)
{
    stages.push_back(std::make_unique<CKernelStage<Kernel>>(std::move(kernel), nPerByte, nExtra));
}
