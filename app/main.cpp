#include <fcntl.h>

#include <cerrno>

#include "../framework/win_app.h"
#include "../res/resources.h"
#include "large_block_buffers.h"

namespace {

// A descriptor 0-2 closed at start would be the next file opened: an output
// or a settings file would then receive messages meant for the terminal.
void OpenClosedStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDWR) != fd)
            return; // no /dev/null: nothing better to put there
    }
}

} // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardStreams();
    // Before anything can ask for a string; the window library, loaded
    // later, looks them up in this program's copy of the framework.
    RegisterResources();
    // The threaded converter's windows are large: they get page-mapped blocks.
    InstallLargeBlockAllocator();
    return AfxWinMain(argc, argv);
}
