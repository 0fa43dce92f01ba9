#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

// Where byte buffers get their memory. The engine uses malloc by default;
// a program may install one that serves large blocks better (whole pages,
// trimmed in place) before it converts anything.
struct BlockAllocator {
    // Returns null when the memory cannot be had.
    void* (*allocate)(std::size_t nSize);
    // Shrinks a block to nNewSize bytes, keeping its first bytes; may return
    // the same or another address, or null when it cannot (the old block
    // then stays valid).
    void* (*shrink)(void* p, std::size_t nOldSize, std::size_t nNewSize);
    void (*release)(void* p, std::size_t nSize);
};

namespace byte_buffer_detail {
inline void* MallocAllocate(std::size_t n) { return std::malloc(n); }
inline void* MallocShrink(void* p, std::size_t, std::size_t n) { return std::realloc(p, n); }
inline void MallocRelease(void* p, std::size_t) { std::free(p); }
inline constexpr BlockAllocator kMalloc = {MallocAllocate, MallocShrink, MallocRelease};
inline const BlockAllocator* g_pAllocator = &kMalloc;
} // namespace byte_buffer_detail

// Installs the allocator for every buffer made from now on (null: malloc).
// Buffers remember the allocator that made them.
inline void SetBlockAllocator(const BlockAllocator* pAllocator)
{
    byte_buffer_detail::g_pAllocator = pAllocator ? pAllocator : &byte_buffer_detail::kMalloc;
}

// One heap block and its byte count, with a single owner at a time. A
// worst-case work buffer is trimmed to the produced length in place rather
// than copied: the result is still a buffer of exactly that length. Pages of
// a work buffer that are never written are never touched.
class CByteBuffer {
public:
    CByteBuffer() = default;
    ~CByteBuffer() { Reset(); }
    CByteBuffer(CByteBuffer&& other) noexcept
        : m_pData(std::exchange(other.m_pData, nullptr)), m_nSize(std::exchange(other.m_nSize, 0)),
          m_nCapacity(std::exchange(other.m_nCapacity, 0)), m_pAllocator(other.m_pAllocator)
    {
    }
    CByteBuffer& operator=(CByteBuffer&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_pData = std::exchange(other.m_pData, nullptr);
            m_nSize = std::exchange(other.m_nSize, 0);
            m_nCapacity = std::exchange(other.m_nCapacity, 0);
            m_pAllocator = other.m_pAllocator;
        }
        return *this;
    }
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;

    // Throws std::bad_alloc when the memory cannot be had.
    static CByteBuffer Allocate(std::int64_t nSize)
    {
        if (nSize < 0 || static_cast<std::uint64_t>(nSize) > SIZE_MAX / 4)
            throw std::bad_alloc();
        CByteBuffer buffer;
        buffer.m_pAllocator = byte_buffer_detail::g_pAllocator;
        // Keep a real block for empty buffers so that Data() is never null.
        const std::size_t nBytes = nSize > 0 ? static_cast<std::size_t>(nSize) : 1;
        buffer.m_pData = static_cast<std::uint8_t*>(buffer.m_pAllocator->allocate(nBytes));
        if (buffer.m_pData == nullptr)
            throw std::bad_alloc();
        buffer.m_nSize = nSize;
        buffer.m_nCapacity = nBytes;
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
        if (nSize >= m_nSize || m_pData == nullptr)
            return;
        const std::size_t nBytes = nSize > 0 ? static_cast<std::size_t>(nSize) : 1;
        if (void* p = m_pAllocator->shrink(m_pData, m_nCapacity, nBytes)) {
            m_pData = static_cast<std::uint8_t*>(p);
            m_nCapacity = nBytes;
        }
        // A failed shrink keeps the larger block, which is still valid.
        m_nSize = nSize;
    }

    std::uint8_t* Data() noexcept { return m_pData; }
    const std::uint8_t* Data() const noexcept { return m_pData; }
    std::int64_t Size() const noexcept { return m_nSize; }
    bool Empty() const noexcept { return m_nSize == 0; }

    void Reset() noexcept
    {
        if (m_pData != nullptr)
            m_pAllocator->release(m_pData, m_nCapacity);
        m_pData = nullptr;
        m_nSize = 0;
        m_nCapacity = 0;
    }

private:
    std::uint8_t* m_pData = nullptr;
    std::int64_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
    const BlockAllocator* m_pAllocator = &byte_buffer_detail::kMalloc;
};
