#pragma once

#include <string>

class CDialog;
class QWidget;

// One direction of one UpdateData run.
class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, bool bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    // The control with this identifier; throws std::logic_error when the
    // template has none (a template and its exchange out of step).
    QWidget* PrepareCtrl(int nIDC) const;

    bool m_bSaveAndValidate; // true: controls to fields
    CDialog* m_pDlgWnd;
};

// The whole text of an edit or a static text.
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
// The selected index of a list: -1 when nothing is selected; an index out of
// range shows no selection.
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
// A check box: 0 clear, 1 checked; any non-zero value shows as checked.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// The radio group that starts at nIDC: the index of the checked button, -1
// when none is; a value with no such button checks none.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
