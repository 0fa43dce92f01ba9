#include "convert_dlg.h"

#include <new>

#include <QWidget>

#include "../app/replacement_notice.h"
#include "../convert/charset.h"
#include "../framework/afx_string.h"
#include "../framework/app_icon.h"
#include "../framework/ddx.h"
#include "../framework/file_dialog.h"
#include "../framework/message_box.h"
#include "../framework/progress_window.h"
#include "../framework/url_opener.h"
#include "../res/dialog_templates.h"
#include "../res/string_table.h"
#include "about_dlg.h"
#include "option_dlg.h"
#include "../app/conversion_job.h"
#include "../app/replacement_notice.h"
#include "../app/settings.h"

namespace {

constexpr const char* kDefaultExtension = "*.txt";

// Values of nOutputFilename; any other value means no automatic name.
constexpr int kOutputNameNone = 0;
constexpr int kOutputNameSuffix = 1;
constexpr int kOutputNameSame = 2;

// The mode as one of the Options radio buttons: a value that names none of
// them would show none checked, and OK would store -1.
int OutputNameButton(int nOutputFilename)
{
    return nOutputFilename == kOutputNameSuffix || nOutputFilename == kOutputNameSame ? nOutputFilename
                                                                                       : kOutputNameNone;
}

} // namespace

CConvertDlg::CConvertDlg(CDialog* pParent, IFileSystem& fileSystem) : CDialog(IDD, pParent), m_fileSystem(fileSystem)
{
    m_hIcon = LoadAppIcon(IDR_MAINFRAME);
    LoadSettings();

    OnEditChange(IDC_INPUT_FILENAME, &CConvertDlg::OnChangeInputFilename);
    OnEditChange(IDC_OUTPUT_FILENAME, &CConvertDlg::OnChangeOutputFilename);
    OnClicked(IDC_BROWSE_INPUT, &CConvertDlg::OnBrowseInput);
    OnClicked(IDC_BROWSE_OUTPUT, &CConvertDlg::OnBrowseOutput);
    OnClicked(IDC_CONVERT, &CConvertDlg::OnConvert);
    OnClicked(IDC_OPTION, &CConvertDlg::OnOption);
    OnClicked(IDC_HOWTOUSE, &CConvertDlg::OnHowToUse);
    OnSelChange(IDC_OUTPUT_CHARSET, &CConvertDlg::OnSelchangeOutputCharset);
}

CConvertDlg::~CConvertDlg() = default;

void CConvertDlg::LoadSettings()
{
    const CSettings settings = CSettings::Load();
    m_bAutoDetermineCharset = settings.bAutoDetermineCharset;
    m_bAutoNLCode = settings.bAutoNLCode;
    m_bClearFilename = settings.bClearFilename;
    m_nOutputFilename = settings.nOutputFilename;
    m_strUnmappableDefaultChar = settings.strUnmappableDefaultChar;
}

void CConvertDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_INPUT_FILENAME, m_strInputFilename);
    DDX_CBIndex(pDX, IDC_INPUT_CHARSET, m_nInputCharset);
    DDX_Text(pDX, IDC_OUTPUT_FILENAME, m_strOutputFilename);
    DDX_CBIndex(pDX, IDC_OUTPUT_CHARSET, m_nOutputCharset);
    DDX_CBIndex(pDX, IDC_NLCODE, m_nNLCode);
}

bool CConvertDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    DragAcceptFiles(true);

    // The window manager owns the real window menu; this one is the dialog's
    // context menu.
    if (CMenu* pSysMenu = GetSystemMenu()) {
        const std::string strAboutMenu = afx::LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.empty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    // Names seeded by start-up (/F) make Convert usable at once; without
    // them the button keeps the template's disabled state.
    if (!m_strInputFilename.empty() && !m_strOutputFilename.empty())
        UpdateConvertState();
    return true;
}

void CConvertDlg::OnSysCommand(unsigned nID, long lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CConvertDlg::UpdateConvertState()
{
    if (QWidget* pConvert = GetDlgItem(IDC_CONVERT))
        pConvert->setEnabled(!m_strInputFilename.empty() && !m_strOutputFilename.empty());
}

void CConvertDlg::OnChangeInputFilename()
{
    UpdateData(true);
    if (!m_strInputFilename.empty()) {
        if (m_nOutputFilename == kOutputNameSuffix) {
            m_strOutputFilename = m_strInputFilename;
            if (Charset::IsValid(m_nOutputCharset))
                m_strOutputFilename += Charset::kOutputSuffixes[m_nOutputCharset];
        } else if (m_nOutputFilename == kOutputNameSame) {
            m_strOutputFilename = m_strInputFilename;
        }
    }
    UpdateConvertState();
    UpdateData(false);
}

void CConvertDlg::OnChangeOutputFilename()
{
    UpdateData(true);
    UpdateConvertState();
}

void CConvertDlg::OnSelchangeOutputCharset()
{
    UpdateData(true);
    OnChangeInputFilename();
    if (m_bAutoNLCode != 0) {
        m_nNLCode = NewLine::DefaultFor(m_nOutputCharset);
        UpdateData(false);
    }
}

void CConvertDlg::AutoDetermineCharset()
{
    if (m_bAutoDetermineCharset == 0)
        return;
    // Detection reads only as far as it needs; an unreadable file is left
    // for Convert to report.
    if (!CConversionJob(m_fileSystem).Detect(m_strInputFilename, &m_nInputCharset))
        return;
    if (m_nInputCharset == Charset::None) {
        // Say what is taken instead, and why.
        IFileSystem::FileStamp stamp;
        const bool bEmpty = m_fileSystem.GetFileStamp(m_strInputFilename, &stamp) && stamp.nSize == 0;
        AfxMessageBox(afx::LoadString(IDS_DETECT_FAILED) + "\n" +
                          afx::LoadString(bEmpty ? IDS_DETECT_EMPTY : IDS_DETECT_ASCII),
                      MB_OK);
        m_nInputCharset = Charset::ShiftJis;
    }
}

void CConvertDlg::OnBrowseInput()
{
    UpdateData(true);
    const std::string strFilter = afx::LoadString(IDS_FILE_FILTER);
    CFileDialog dlgFile(true, kDefaultExtension, nullptr, OFN_HIDEREADONLY | OFN_ENABLESIZING, strFilter.c_str());
    if (dlgFile.DoModal() != IDOK)
        return;
    m_strInputFilename = dlgFile.GetPathName();
    AutoDetermineCharset();
    UpdateData(false);
    OnChangeInputFilename();
}

void CConvertDlg::OnBrowseOutput()
{
    UpdateData(true);
    const std::string strFilter = afx::LoadString(IDS_FILE_FILTER);
    CFileDialog dlgFile(false, kDefaultExtension, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING,
                        strFilter.c_str());
    if (dlgFile.DoModal() != IDOK)
        return;
    m_strOutputFilename = dlgFile.GetPathName();
    UpdateData(false);
    OnChangeOutputFilename();
}

void CConvertDlg::OnDropFiles(const std::vector<std::string>& files)
{
    UpdateData(true);
    if (files.empty())
        return;
    m_strInputFilename = files.front();
    AutoDetermineCharset();
    UpdateData(false);
    OnChangeInputFilename();
}

bool CConvertDlg::SelectionsAreValid()
{
    // The converter indexes its table with these; a value outside the lists
    // (no selection) must never reach it.
    if (!Charset::IsValid(m_nInputCharset)) {
        AfxMessageBox("入力ファイルの文字セットを選択してください。");
        return false;
    }
    if (!Charset::IsValid(m_nOutputCharset)) {
        AfxMessageBox("出力ファイルの文字セットを選択してください。");
        return false;
    }
    if (m_nNLCode < 0 || m_nNLCode >= NewLine::Count) {
        AfxMessageBox("改行コードを選択してください。");
        return false;
    }
    return true;
}

CConversionJob::Result CConvertDlg::RunConversion(std::string* pstrReason)
{
    // The batch run's job: the same detection, bytes and safe write. An
    // output that is the input itself is replaced only if no one has changed
    // the input meanwhile.
    CConversionJob::Request request;
    request.strInput = m_strInputFilename;
    request.strOutput = m_strOutputFilename;
    request.nSource = m_nInputCharset;
    request.nTarget = m_nOutputCharset;
    request.nNLCode = m_nNLCode;
    request.readSubstitute = [this] { return m_strUnmappableDefaultChar; };
    request.checkOutput = [this](const IFileSystem::FileStamp& input, bool* pbInPlace, std::string*) {
        IFileSystem::FileStamp output;
        *pbInPlace = m_fileSystem.GetFileStamp(m_strOutputFilename, &output) && output.IsSameFile(input);
        return true;
    };
    request.nThreads = CConversionJob::ThreadsAvailable();
    m_tally = CReplacementTally();
    request.pTally = &m_tally;
    CharsetId nSourceUsed = Charset::None;
    // Gone before any message box.
    CProgressWindow progress(this, "変換しています...");
    request.progress = [&progress](std::int64_t nDone, std::int64_t nTotal) { return progress.Step(nDone, nTotal); };
    return CConversionJob(m_fileSystem).Run(request, &nSourceUsed, pstrReason);
}

bool CConvertDlg::ReportConversion(CConversionJob::Result result, const std::string& strReason)
{
    switch (result) {
    case CConversionJob::Result::Succeeded:
        if (m_tally.Empty())
            AfxMessageBox(IDS_CONVERT_SUCCEEDED, MB_OK);
        else
            AfxMessageBox(afx::LoadString(IDS_CONVERT_SUCCEEDED) + "\n" +
                          replacement_notice::Sentence(m_tally, m_nOutputCharset));
        break;
    case CConversionJob::Result::InputFailed:
        // The handler guard reports an input that cannot be read.
        throw CFileException(m_strInputFilename, strReason);
    case CConversionJob::Result::ConvertFailed:
        AfxMessageBox(IDS_CONVERT_FAILED, MB_OK);
        break;
    case CConversionJob::Result::OutputFailed: {
        std::string strText = "出力ファイル " + m_strOutputFilename + " を作成できませんでした。";
        if (!strReason.empty())
            strText += "\n" + strReason;
        AfxMessageBox(strText);
        break;
    }
    case CConversionJob::Result::Cancelled:
        AfxMessageBox("変換を取り消しました。出力ファイルは元のままです。");
        return false;
    }
    return true;
}

void CConvertDlg::OnConvert()
{
    UpdateData(true);
    if (!SelectionsAreValid())
        return;
    std::string strReason;
    const CConversionJob::Result result = RunConversion(&strReason);
    // A cancelled conversion keeps the names for another try.
    if (!ReportConversion(result, strReason))
        return;
    if (m_bClearFilename != 0) {
        m_strInputFilename.clear();
        m_strOutputFilename.clear();
        UpdateData(false);
        UpdateConvertState();
    }
}

void CConvertDlg::OnOption()
{
    // The box shows the stored values, not this dialog's copies.
    const CSettings stored = CSettings::Load();
    COptionDlg dlgOption(this);
    dlgOption.m_bAutoDetermineCharset = stored.bAutoDetermineCharset;
    dlgOption.m_bAutoNLCode = stored.bAutoNLCode;
    dlgOption.m_bClearFilename = stored.bClearFilename;
    dlgOption.m_nOutputFilename = OutputNameButton(stored.nOutputFilename);
    dlgOption.m_strUnmappableDefaultChar = stored.strUnmappableDefaultChar;

    if (dlgOption.DoModal() != IDOK)
        return;
    CSettings edited;
    edited.bAutoDetermineCharset = dlgOption.m_bAutoDetermineCharset;
    edited.bAutoNLCode = dlgOption.m_bAutoNLCode;
    edited.bClearFilename = dlgOption.m_bClearFilename;
    edited.nOutputFilename = OutputNameButton(dlgOption.m_nOutputFilename);
    edited.strUnmappableDefaultChar = dlgOption.m_strUnmappableDefaultChar;
    edited.Save();
    // Read back: the copies hold what the store actually kept.
    LoadSettings();
}

void CConvertDlg::OnHowToUse() { OpenUrl(kProductUrl); }
