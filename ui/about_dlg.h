#pragma once

#include <string>

#include "../framework/dialog.h"

// The About box: description and copyright from the executable's version
// block, and the release notes from "./release.txt" in the current folder.
// Everything is gathered by the constructor, afresh for each box.
class CAboutDlg : public CDialog {
public:
    enum { IDD = 100 };

    CAboutDlg();
    ~CAboutDlg() override;

    std::string m_strLegalCopyright;
    std::string m_strReleaseNote;
    std::string m_strFileDescription;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
