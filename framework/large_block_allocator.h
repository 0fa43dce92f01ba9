#pragma once

#include <cstddef>

// Large blocks from whole pages mapped for them, with transparent huge pages
// where the kernel offers them, trimmed in place; small ones from malloc.
// Fresh pages then cost a fault per 2 MiB instead of per 4 KiB, which is most
// of the time a large conversion spends outside its own loops.
namespace large_blocks {
// Null when the memory cannot be had.
void* Allocate(std::size_t nSize);
// Keeps the first nNewSize bytes; the same or another address, or null when
// it cannot (the old block then stays valid).
void* Shrink(void* p, std::size_t nOldSize, std::size_t nNewSize);
void Release(void* p, std::size_t nSize);
} // namespace large_blocks
