// The entries the program looks up when it loads the window library. Its
// own symbols are exported, so the library works on the program's
// application object, profile and allocator rather than copies of them.
#include "../framework/qt_toolkit.h"
#include "../framework/toolkit.h"
#include "interactive_startup.h"

extern "C" {

__attribute__((visibility("default"))) const ToolkitServices* mojiro_toolkit_services() { return &QtToolkit(); }

__attribute__((visibility("default"))) void mojiro_run_interactive_startup(const CConvertCommandLineInfo& cmdInfo)
{
    RunInteractiveStartup(cmdInfo);
}

} // extern "C"
