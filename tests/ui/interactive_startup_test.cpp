#include "ui/interactive_startup.h"

#include <QTest>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/convert_command_line_info.h"
#include "res/dialog_templates.h"
#include "support/gui_test_env.h"
#include "ui/convert_dlg.h"

namespace {

namespace fs = std::filesystem;

struct SeedCase {
    const char* pszName;
    std::vector<std::string> files; // "@" stands for the scratch file, "!" for a missing one
    std::string strContents;        // of the scratch file
    int nS, nO, nN;                 // -1: switch not given
    std::string strPattern;         // /F
    int nExpectedS, nExpectedO, nExpectedN;
    std::string strExpectedInput;   // "@" and "!" as above
    std::string strExpectedOutput;
};

class Seeding : public ::testing::TestWithParam<SeedCase> {};

TEST_P(Seeding, FromTheCommandLine)
{
    const SeedCase& c = GetParam();
    const fs::path folder = guitest::MakeTestFolder();
    const std::string strFile = (folder / "in.txt").string();
    const std::string strMissing = (folder / "missing.txt").string();
    guitest::WriteFile(strFile, c.strContents);
    auto expand = [&](std::string str) {
        for (const auto& [strMark, strPath] : {std::pair{std::string("@"), strFile}, std::pair{std::string("!"), strMissing}}) {
            for (std::size_t n = str.find(strMark); n != std::string::npos; n = str.find(strMark, n + strPath.size()))
                str.replace(n, 1, strPath);
        }
        return str;
    };

    CConvertCommandLineInfo cmdInfo;
    for (const std::string& strName : c.files)
        cmdInfo.m_listFiles.push_back(expand(strName));
    cmdInfo.m_nInputCharset = c.nS;
    cmdInfo.m_nOutputCharset = c.nO;
    cmdInfo.m_nNLCode = c.nN;
    cmdInfo.m_strOutputPattern = c.strPattern;

    guitest::MessageRecorder messages;
    CConvertDlg dlg;
    SeedConvertDlg(dlg, cmdInfo, RealFileSystem());
    EXPECT_EQ(dlg.m_nInputCharset, c.nExpectedS);
    EXPECT_EQ(dlg.m_nOutputCharset, c.nExpectedO);
    EXPECT_EQ(dlg.m_nNLCode, c.nExpectedN);
    EXPECT_EQ(dlg.m_strInputFilename, expand(c.strExpectedInput));
    EXPECT_EQ(dlg.m_strOutputFilename, expand(c.strExpectedOutput));

    // What the window shows at its start.
    ASSERT_TRUE(dlg.Create());
    auto* pSource = qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_INPUT_CHARSET));
    EXPECT_EQ(pSource->currentIndex(), c.nExpectedS);
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_OUTPUT_CHARSET))->currentIndex(), c.nExpectedO);
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_NLCODE))->currentIndex(), c.nExpectedN);
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_INPUT_FILENAME))->text().toStdString(),
              expand(c.strExpectedInput));
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_OUTPUT_FILENAME))->text().toStdString(),
              expand(c.strExpectedOutput));
    // Convert starts enabled only when both names are seeded.
    EXPECT_EQ(dlg.GetDlgItem(IDC_CONVERT)->isEnabled(), !c.strExpectedInput.empty() && !c.strExpectedOutput.empty());
    EXPECT_TRUE(messages.Messages().empty()); // undecided detection is silent here
}

const std::string kUtf16 = std::string("\xff\xfe" "A\0", 4);

INSTANTIATE_TEST_SUITE_P(
    Cases, Seeding,
    ::testing::Values(
        SeedCase{"NoArguments", {}, "", -1, -1, -1, "", 0, 0, 0, "", ""},
        SeedCase{"TwoFilesShowTheFirst", {"@", "second.txt"}, "ascii", -1, -1, -1, "", 0, 0, 0, "@", ""},
        SeedCase{"ByteOrderMarkMeansUnicode", {"@"}, kUtf16, -1, -1, -1, "", 3, 0, 0, "@", ""},
        SeedCase{"AsciiMeansShiftJis", {"@"}, "plain", -1, -1, -1, "", 0, 0, 0, "@", ""},
        SeedCase{"EucDetected", {"@"}, "\xa4\xa2", -1, -1, -1, "", 1, 0, 0, "@", ""},
        SeedCase{"SourceGivenIsNotDetected", {"@"}, kUtf16, 2, -1, -1, "", 2, 0, 0, "@", ""},
        SeedCase{"EucTargetGetsLf", {}, "", -1, 1, -1, "", 0, 1, 1, "", ""},
        SeedCase{"CrWhateverTheTarget", {}, "", -1, 1, 2, "", 0, 1, 2, "", ""},
        SeedCase{"NoFileKeepsAGivenSource", {}, "", 4, -1, -1, "", 4, 0, 0, "", ""},
        SeedCase{"MissingFileShowsNoSource", {"!"}, "", -1, -1, -1, "", -1, 0, 0, "!", ""},
        SeedCase{"PatternSeedsTheOutput", {"@"}, "x", -1, 1, -1, "%SOURCE%.%SUFFIX%", 0, 1, 1, "@", "@.euc"},
        SeedCase{"PatternRepeatsBoth", {"@"}, "x", 0, 4, 0, "%SUFFIX%-%SOURCE%-%SUFFIX%", 0, 4, 0, "@",
                 "utf8-@-utf8"},
        SeedCase{"PatternWithoutInputSeedsNothing", {}, "", -1, -1, -1, "%SOURCE%.%SUFFIX%", 0, 0, 0, "", ""},
        SeedCase{"SourceTextIsNotRescanned", {"%SUFFIX%"}, "", 0, -1, -1, "%SOURCE%", 0, 0, 0, "%SUFFIX%",
                 "%SUFFIX%"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(InteractiveStartup, RunsTheSeededMainDialogModally)
{
    const fs::path folder = guitest::MakeTestFolder();
    guitest::WriteFile(folder / "in.txt", kUtf16);
    CConvertCommandLineInfo cmdInfo;
    cmdInfo.m_listFiles.push_back((folder / "in.txt").string());
    cmdInfo.m_nOutputCharset = 1;
    std::string strTitle;
    int nSource = -2;
    int nNL = -2;
    bool bConvertEnabled = true;
    guitest::WhenModalShown([&](QWidget* pWindow) {
        strTitle = guitest::WindowTitle(pWindow);
        nSource = pWindow->findChild<QComboBox*>(QStringLiteral("IDC_1002"))->currentIndex();
        nNL = pWindow->findChild<QComboBox*>(QStringLiteral("IDC_1006"))->currentIndex();
        bConvertEnabled = pWindow->findChild<QPushButton*>(QStringLiteral("IDC_200"))->isEnabled();
        QTest::keyClick(pWindow, Qt::Key_Escape);
    });
    RunInteractiveStartup(cmdInfo);
    EXPECT_EQ(strTitle, "Mojiro");
    EXPECT_EQ(nSource, 3);
    EXPECT_EQ(nNL, 1);
    EXPECT_FALSE(bConvertEnabled);
}

} // namespace
