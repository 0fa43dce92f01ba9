#pragma once

class CConvertCommandLineInfo;

// Seeds the main dialog from the command line and runs it modally.
void RunInteractiveStartup(const CConvertCommandLineInfo& cmdInfo);
