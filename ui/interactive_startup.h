#pragma once

class CConvertCommandLineInfo;
class CConvertDlg;
class IFileSystem;

// Seeds the main dialog from the command line and runs it modally.
void RunInteractiveStartup(const CConvertCommandLineInfo& cmdInfo);

// The seeding alone: the input name, the three list selections (detecting
// the source of a named file when none was given), and, with /F and a named
// input, the output name built from the pattern.
void SeedConvertDlg(CConvertDlg& dlg, const CConvertCommandLineInfo& cmdInfo, IFileSystem& fileSystem);
