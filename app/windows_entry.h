#pragma once

class CConvertCommandLineInfo;

// The interactive start-up, which lives with the windows: linked into the
// tests, loaded from the window library by the program.
void RunWindows(const CConvertCommandLineInfo& cmdInfo);
