#include "option_dlg.h"

#include "../framework/ddx.h"
#include "../res/dialog_templates.h"

COptionDlg::COptionDlg(CDialog* pParent) : CDialog(IDD, pParent) {}

COptionDlg::~COptionDlg() = default;

void COptionDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Check(pDX, IDC_AUTO_DETERMINE_CHARSET, m_bAutoDetermineCharset);
    DDX_Check(pDX, IDC_AUTO_NLCODE, m_bAutoNLCode);
    DDX_Radio(pDX, IDC_OUTPUT_NONE, m_nOutputFilename);
    DDX_Text(pDX, IDC_UNMAPPABLE_DEFAULT_CHAR, m_strUnmappableDefaultChar);
    DDX_Check(pDX, IDC_CLEAR_FILENAME, m_bClearFilename);
}
