#include "windows_entry.h"

#include "../ui/interactive_startup.h"

void RunWindows(const CConvertCommandLineInfo& cmdInfo) { RunInteractiveStartup(cmdInfo); }
