#pragma once

#include <string>
#include <vector>

#include <QIcon>

#include "../app/conversion_job.h"
#include "../convert/text_constants.h"
#include "../framework/dialog.h"
#include "../framework/file_system.h"

// The main dialog: input file and encoding, output file and encoding, line
// ending, Convert.
class CConvertDlg : public CDialog {
public:
    enum { IDD = 102 };

    explicit CConvertDlg(CDialog* pParent = nullptr, IFileSystem& fileSystem = RealFileSystem());
    ~CConvertDlg() override;

    // Bound to the controls.
    std::string m_strInputFilename;
    int m_nInputCharset = 0;
    std::string m_strOutputFilename;
    int m_nOutputCharset = 0;
    int m_nNLCode = 0;

    QIcon m_hIcon;

    // Copies of the settings, refreshed when Options closes with OK.
    int m_bAutoDetermineCharset = 1;
    int m_bAutoNLCode = 1;
    int m_bClearFilename = 1;
    int m_nOutputFilename = 0;
    std::string m_strUnmappableDefaultChar = kDefaultSubstitute;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnSysCommand(unsigned nID, long lParam) override;
    void OnDropFiles(const std::vector<std::string>& files) override;

    void OnChangeInputFilename();
    void OnChangeOutputFilename();
    void OnBrowseInput();
    void OnBrowseOutput();
    void OnConvert();
    void OnOption();
    void OnHowToUse();
    void OnSelchangeOutputCharset();

private:
    void AutoDetermineCharset();
    // False, after saying which, when a list has no selection.
    bool SelectionsAreValid();
    CConversionJob::Result RunConversion(std::string* pstrReason);
    // Tells the user; false when the names should stay (cancelled). An
    // unreadable input is thrown for the handler guard to report.
    bool ReportConversion(CConversionJob::Result result, const std::string& strReason);
    void UpdateConvertState();
    void LoadSettings();

    IFileSystem& m_fileSystem;
    CReplacementTally m_tally; // of the last conversion
};
