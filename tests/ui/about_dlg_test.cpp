#include "ui/about_dlg.h"

#include <QTest>
#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>

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
    EXPECT_EQ(dlg.m_strFileDescription, "Mojiro Version 1.01 (r20011224)");
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
