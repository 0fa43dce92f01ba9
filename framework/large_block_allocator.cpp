#include "large_block_allocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr std::size_t kLargeBlock = 4u << 20; // below this malloc serves well
constexpr std::size_t kHugePage = 2u << 20;

std::size_t PageSize()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t RoundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

bool IsLarge(std::size_t n) { return n >= kLargeBlock; }

} // namespace

void* large_blocks::Allocate(std::size_t n)
{
    if (!IsLarge(n))
        return std::malloc(n);
    const std::size_t mapped = RoundUp(n, PageSize());
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
#ifdef MADV_HUGEPAGE
    if (mapped >= kHugePage)
        (void)madvise(p, mapped, MADV_HUGEPAGE); // advice only: fine if refused
#endif
    return p;
}

void large_blocks::Release(void* p, std::size_t n)
{
    if (!IsLarge(n))
        std::free(p);
    else
        munmap(p, RoundUp(n, PageSize()));
}

void* large_blocks::Shrink(void* p, std::size_t nOld, std::size_t nNew)
{
    if (!IsLarge(nOld))
        return std::realloc(p, nNew);
    if (IsLarge(nNew)) {
        // Unmap the tail; the block stays where it is.
        const std::size_t keep = RoundUp(nNew, PageSize());
        const std::size_t had = RoundUp(nOld, PageSize());
        if (keep < had)
            munmap(static_cast<char*>(p) + keep, had - keep);
        return p;
    }
    // Small enough for malloc again: move the bytes, drop the mapping.
    void* q = std::malloc(nNew);
    if (q == nullptr)
        return nullptr;
    __builtin_memcpy(q, p, nNew);
    munmap(p, RoundUp(nOld, PageSize()));
    return q;
}
