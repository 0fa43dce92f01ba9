#pragma once

#include <string>

#include "../framework/dialog.h"

// The Options dialog: the five settings, shown and edited; the caller loads
// and stores them.
class COptionDlg : public CDialog {
public:
    enum { IDD = 132 };

    explicit COptionDlg(CDialog* pParent = nullptr);
    ~COptionDlg() override;

    int m_bAutoDetermineCharset = 0;
    int m_bAutoNLCode = 0;
    int m_nOutputFilename = -1;
    std::string m_strUnmappableDefaultChar;
    int m_bClearFilename = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
