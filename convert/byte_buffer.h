#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// One heap block and its byte count, with a single owner at a time.
// Allocation goes through malloc so that a worst-case work buffer can be
// trimmed to the produced length in place (realloc) instead of copied: the
// result is still a buffer of exactly the produced length. Pages of a work
// buffer that are never written are never touched.
class CByteBuffer {
public:
    CByteBuffer() = default;
    CByteBuffer(CByteBuffer&&) noexcept = default;
    CByteBuffer& operator=(CByteBuffer&&) noexcept = default;
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;

    // Throws std::bad_alloc when the memory cannot be had.
    static CByteBuffer Allocate(std::int64_t nSize)
    {
        CByteBuffer buffer;
        if (nSize < 0 || static_cast<std::uint64_t>(nSize) > SIZE_MAX / 2)
            throw std::bad_alloc();
        // malloc(0) may return null; keep a real block so Data() is valid.
        void* p = std::malloc(nSize > 0 ? static_cast<std::size_t>(nSize) : 1);
        if (p == nullptr)
            throw std::bad_alloc();
        buffer.m_pData.reset(static_cast<std::uint8_t*>(p));
        buffer.m_nSize = nSize;
        return buffer;
    }

    static CByteBuffer CopyOf(const std::uint8_t* pSource, std::int64_t nSize)
    {
        CByteBuffer buffer = Allocate(nSize);
        if (nSize > 0)
            std::memcpy(buffer.Data(), pSource, static_cast<std::size_t>(nSize));
        return buffer;
    }

    // Shrinks the block to exactly nSize bytes (nSize <= Size()), keeping the
    // first nSize bytes.
    void Trim(std::int64_t nSize)
    {
        if (nSize >= m_nSize)
            return;
        void* p = std::realloc(m_pData.get(), nSize > 0 ? static_cast<std::size_t>(nSize) : 1);
        if (p != nullptr) {
            (void)m_pData.release();
            m_pData.reset(static_cast<std::uint8_t*>(p));
        }
        // A failed shrink leaves the larger block, which is still valid.
        m_nSize = nSize;
    }

    std::uint8_t* Data() noexcept { return m_pData.get(); }
    const std::uint8_t* Data() const noexcept { return m_pData.get(); }
    std::int64_t Size() const noexcept { return m_nSize; }
    bool Empty() const noexcept { return m_nSize == 0; }
    void Reset() noexcept
    {
        m_pData.reset();
        m_nSize = 0;
    }

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, FreeDeleter> m_pData;
    std::int64_t m_nSize = 0;
};
