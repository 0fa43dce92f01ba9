#pragma once

// Receives the command line one word at a time from CWinApp::ParseCommandLine.
class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    // bFlag: the word began with "/" or "-", which has been removed.
    // After the word "--", every later word arrives as a plain file name.
    virtual void ParseParam(const char* pszParam, bool bFlag, bool bLast) = 0;
};
