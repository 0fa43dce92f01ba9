#pragma once

#include "../convert/byte_buffer.h"
#include "../framework/large_block_allocator.h"

// The engine's buffers served from page-mapped large blocks; installed
// before anything converts.
inline void InstallLargeBlockAllocator()
{
    static constexpr BlockAllocator kLargeBlocks = {large_blocks::Allocate, large_blocks::Shrink,
                                                    large_blocks::Release};
    SetBlockAllocator(&kLargeBlocks);
}
