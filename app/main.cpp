#include "../framework/large_block_allocator.h"
#include "../framework/win_app.h"

int main(int argc, char** argv)
{
    // Whole files live in memory: large ones get page-mapped blocks.
    InstallLargeBlockAllocator();
    return AfxWinMain(argc, argv);
}
