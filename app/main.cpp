#include "../framework/large_block_allocator.h"
#include "../framework/win_app.h"
#include "../res/resources.h"

int main(int argc, char** argv)
{
    // Before anything can ask for a string; the window library, loaded
    // later, looks them up in this program's copy of the framework.
    RegisterResources();
    // Whole files live in memory: large ones get page-mapped blocks.
    InstallLargeBlockAllocator();
    return AfxWinMain(argc, argv);
}
