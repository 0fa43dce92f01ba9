#include "about_dlg.h"

#include <new>

#include "../framework/ddx.h"
#include "../framework/file_system.h"
#include "../framework/version_info.h"
#include "../res/dialog_templates.h"

namespace {

constexpr const char* kReleaseNotePath = "./release.txt";
constexpr const char* kQueryFileDescription = "\\StringFileInfo\\041104b0\\FileDescription";
constexpr const char* kQueryLegalCopyright = "\\StringFileInfo\\041104b0\\LegalCopyright";

// The notes as text: up to the first zero byte, line endings as they are.
std::string ReadReleaseNote()
{
    std::string strContents;
    try {
        if (!RealFileSystem().TryReadText(kReleaseNotePath, &strContents))
            return {};
    } catch (const std::bad_alloc&) {
        return {}; // notes too large to hold: the box opens without them
    }
    return strContents.substr(0, strContents.find('\0'));
}

} // namespace

CAboutDlg::CAboutDlg() : CDialog(IDD)
{
    m_strReleaseNote = ReadReleaseNote();

    std::string strBlock;
    if (version::GetFileVersionInfo(version::GetModuleFileName(), &strBlock)) {
        m_strFileDescription = version::VerQueryValue(strBlock, kQueryFileDescription);
        m_strLegalCopyright = version::VerQueryValue(strBlock, kQueryLegalCopyright);
    }
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_LEGAL_COPYRIGHT, m_strLegalCopyright);
    DDX_Text(pDX, IDC_RELEASE_NOTE, m_strReleaseNote);
    DDX_Text(pDX, IDC_FILE_DESCRIPTION, m_strFileDescription);
}
