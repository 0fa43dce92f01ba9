#include "ui/about_dlg.h"

#include <QTest>
#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/command_line_help.h"
#include "res/dialog_templates.h"
#include "support/gui_test_env.h"

namespace {

namespace fs = std::filesystem;

class AboutDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        m_folder = guitest::MakeTestFolder();
        fs::current_path(m_folder);
    }
    void TearDown() override { fs::current_path(m_previous); }

    fs::path m_previous;
    fs::path m_folder;
};

struct ShownAbout {
    std::string strTitle;
    std::string strDescription;
    std::string strCopyright;
    std::string strNotes;
};

ShownAbout RunAndRead(CAboutDlg& dlg)
{
    ShownAbout shown;
    guitest::WhenModalShown([&shown](QWidget* pWindow) {
        shown.strTitle = guitest::WindowTitle(pWindow);
        shown.strDescription = pWindow->findChild<QLabel*>(QStringLiteral("IDC_1064"))->text().toStdString();
        shown.strCopyright = pWindow->findChild<QLabel*>(QStringLiteral("IDC_1065"))->text().toStdString();
        shown.strNotes = pWindow->findChild<QPlainTextEdit*>(QStringLiteral("IDC_1000"))->toPlainText().toStdString();
        qobject_cast<QAbstractButton*>(pWindow->findChild<QWidget*>(QStringLiteral("IDC_1")))->click();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    return shown;
}

TEST_F(AboutDlgTest, ShowsTheVersionLinesOfTheRunningExecutable)
{
    CAboutDlg dlg;
    const ShownAbout shown = RunAndRead(dlg);
    EXPECT_EQ(shown.strTitle, "Mojiroのバージョン情報");
#if MOJIRO_TEST_HAS_VERSION_BLOCK
    // The version as --version gives it.
    const std::string strVersion = CCommandLineHelp::VersionText();
    const std::string strNumbers = strVersion.substr(7, strVersion.find('\n') - 7); // after "Mojiro "
    EXPECT_EQ(strVersion.substr(0, 7), "Mojiro ");
    EXPECT_NE(dlg.m_strFileDescription.find(strNumbers), std::string::npos) << dlg.m_strFileDescription;
    EXPECT_EQ(dlg.m_strFileDescription.substr(0, 7), "Mojiro ");
    EXPECT_FALSE(dlg.m_strLegalCopyright.empty());
#else
    // An executable without a version block: empty lines, no message.
    EXPECT_EQ(dlg.m_strFileDescription, "");
    EXPECT_EQ(dlg.m_strLegalCopyright, "");
#endif
    // The placeholders are replaced, also by empty text.
    EXPECT_EQ(shown.strDescription, dlg.m_strFileDescription);
    EXPECT_EQ(shown.strCopyright, dlg.m_strLegalCopyright);
}

TEST_F(AboutDlgTest, ReleaseNotesEndAtTheirFirstZeroByte)
{
    guitest::WriteFile(m_folder / "release.txt", std::string("1.01u\r\n- 修正\0hidden", 20));
    CAboutDlg dlg;
    EXPECT_EQ(dlg.m_strReleaseNote, "1.01u\r\n- 修正");
    const ShownAbout shown = RunAndRead(dlg);
    EXPECT_NE(shown.strNotes.find("- 修正"), std::string::npos);
    EXPECT_EQ(shown.strNotes.find("hidden"), std::string::npos);
}

// Notes in any of the five encodings read as the text they hold: detected
// as a picked input file would be, not taken for UTF-8.
TEST_F(AboutDlgTest, ReleaseNotesAreDecodedInTheEncodingTheyAreIn)
{
    const std::string strText = "Mojiro 1.01u リリースノート\r\n- 文字化けを修正\r\n";
    const struct {
        const char* pszName;
        std::string strBytes;
    } cases[] = {
        {"Shift_JIS", "Mojiro 1.01u \x83\x8a\x83\x8a\x81[\x83X\x83m\x81[\x83g\x0d\x0a- \x95\xb6\x8e\x9a\x89\xbb\x82\xaf\x82\xf0\x8f" "C\x90\xb3\x0d\x0a"},
        {"EUC-JP", "Mojiro 1.01u \xa5\xea\xa5\xea\xa1\xbc\xa5\xb9\xa5\xce\xa1\xbc\xa5\xc8\x0d\x0a- \xca\xb8\xbb\xfa\xb2\xbd\xa4\xb1\xa4\xf2\xbd\xa4\xc0\xb5\x0d\x0a"},
        {"ISO-2022-JP", "Mojiro 1.01u \x1b$B%j%j!<%9%N!<%H\x1b(B\x0d\x0a- \x1b$BJ8;z2=$1$r=$@5\x1b(B\x0d\x0a"},
        {"Unicode", std::string("\xff\xfeM\x00o\x00j\x00i\x00r\x00o\x00 \x00" "1\x00.\x00" "0\x00" "1\x00u\x00 \x00\xea" "0\xea" "0\xfc" "0\xb9" "0\xce" "0\xfc" "0\xc8" "0\x0d\x00\x0a\x00-\x00 \x00\x87" "eW[\x16SQ0\x92" "0\xeeOck\x0d\x00\x0a\x00", 68)},
        {"UTF-8", strText},
    };
    for (const auto& c : cases) {
        guitest::WriteFile(m_folder / "release.txt", c.strBytes);
        EXPECT_EQ(CAboutDlg().m_strReleaseNote, strText) << c.pszName;
    }
}

TEST_F(AboutDlgTest, NotesComeFromTheCurrentFolderAndAreReadAtEachOpening)
{
    guitest::WriteFile(m_folder / "release.txt", "first");
    EXPECT_EQ(CAboutDlg().m_strReleaseNote, "first");
    guitest::WriteFile(m_folder / "release.txt", "second");
    EXPECT_EQ(CAboutDlg().m_strReleaseNote, "second");

    const fs::path other = m_folder / "elsewhere";
    fs::create_directories(other);
    fs::current_path(other);
    CAboutDlg dlgNone;
    EXPECT_EQ(dlgNone.m_strReleaseNote, "");
    EXPECT_EQ(RunAndRead(dlgNone).strNotes, "");
}

TEST_F(AboutDlgTest, UnreadableNotesGiveAnEmptyBox)
{
    fs::create_directories(m_folder / "release.txt"); // a folder of that name
    guitest::MessageRecorder messages;
    CAboutDlg dlg;
    EXPECT_EQ(dlg.m_strReleaseNote, "");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(AboutDlgTest, EscapeClosesTheBox)
{
    CAboutDlg dlg;
    guitest::WhenModalShown([](QWidget* pWindow) { QTest::keyClick(pWindow, Qt::Key_Escape); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

} // namespace
