#include "framework/file_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "../ui/support/gui_test_env.h"
#include "framework/afx_string.h"
#include "res/string_table.h"

namespace {

namespace fs = std::filesystem;

TEST(FileDialogFilter, PickerFilterStringBecomesTheToolkitsFilters)
{
    EXPECT_EQ(ConvertFilterToQt(afx::LoadString(IDS_FILE_FILTER)).toStdString(),
              "テキストファイル (*.txt) (*.txt);;HTMLファイル (*.html *.htm) (*.html *.htm);;"
              "全てのファイル (*.*) (*)");
    const struct {
        const char* pszIn;
        const char* pszOut;
    } cases[] = {
        {"", ""},
        {"||", ""},
        {"Text|*.txt||", "Text (*.txt)"},
        {"Text|*.txt", "Text (*.txt)"},
        {"Any| ; *.* ;|", "Any (*)"},
        {"No patterns||", "No patterns (*)"},
        {"A|*.a|B|*.b;*.c||ignored|*.x", "A (*.a);;B (*.b *.c)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertFilterToQt(c.pszIn).toStdString(), c.pszOut) << c.pszIn;
}

TEST(FileDialogFilter, DefaultExtensionInAnySpelling)
{
    for (const char* pszIn : {"txt", ".txt", "*.txt", " *.txt "})
        EXPECT_EQ(NormalizeDefaultExtension(pszIn).toStdString(), "txt") << pszIn;
    EXPECT_EQ(NormalizeDefaultExtension("").toStdString(), "");
    EXPECT_EQ(NormalizeDefaultExtension("*.*").toStdString(), ""); // a wildcard names no extension
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = guitest::MakeTestFolder(); }
    fs::path m_folder;
    guitest::PickerScript m_picker;
};

TEST_F(FileDialogTest, PickerShowsTheDescriptionsAsWritten)
{
    QStringList shown;
    SetFileDialogHook([&shown](QFileDialog& dialog) {
        for (QComboBox* pCombo : dialog.findChildren<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            for (int i = 0; i < pCombo->count(); ++i)
                shown << pCombo->itemText(i);
        }
        return static_cast<int>(QDialog::Rejected);
    });
    const std::string strFilter = afx::LoadString(IDS_FILE_FILTER);
    CFileDialog dlg(true, "*.txt", nullptr, OFN_HIDEREADONLY, strFilter.c_str());
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("テキストファイル (*.txt)"), QStringLiteral("HTMLファイル (*.html *.htm)"),
                                  QStringLiteral("全てのファイル (*.*)")}));
}

// At the picker's own size every column shows whole: none runs past the
// view, and none but the name is narrower than its contents.
TEST_F(FileDialogTest, ColumnsFitThePickerAtItsDefaultSize)
{
    guitest::WriteFile(m_folder / "とても長い名前のテキストファイル_2001年12月24日版.txt", std::string(123456, 'x'));
    guitest::WriteFile(m_folder / "a.txt", "x");
    std::vector<std::string> cut;
    SetFileDialogHook([this, &cut](QFileDialog& dialog) {
        dialog.setDirectory(QString::fromStdString(m_folder.string()));
        dialog.show();
        auto* pView = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        if (pView == nullptr) {
            cut.push_back("no detail view");
            return static_cast<int>(QDialog::Rejected);
        }
        QElapsedTimer waited;
        waited.start();
        while (pView->model()->rowCount(pView->rootIndex()) < 2 && waited.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        QApplication::processEvents();
        QHeaderView* pHeader = pView->header();
        if (pHeader->length() > pView->viewport()->width())
            cut.push_back("columns " + std::to_string(pHeader->length()) + " of " +
                          std::to_string(pView->viewport()->width()));
        for (int i = 1; i < pHeader->count(); ++i) {
            if (!pHeader->isSectionHidden(i) && pHeader->sectionSize(i) < static_cast<QAbstractItemView*>(pView)->sizeHintForColumn(i))
                cut.push_back("column " + std::to_string(i));
        }
        dialog.hide();
        return static_cast<int>(QDialog::Rejected);
    });
    for (bool bOpen : {true, false}) {
        CFileDialog dlg(bOpen, "*.txt", nullptr, OFN_HIDEREADONLY | OFN_ENABLESIZING, "Text|*.txt||");
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
    EXPECT_EQ(cut, std::vector<std::string>{});
}

TEST_F(FileDialogTest, OpenGivesTheFullPathOfTheChosenFile)
{
    guitest::WriteFile(m_folder / "in put.txt", "x");
    m_picker.Answer((m_folder / "in put.txt").string());
    CFileDialog dlg(true, "*.txt", nullptr, OFN_HIDEREADONLY | OFN_ENABLESIZING, "Text|*.txt||");
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), (m_folder / "in put.txt").string());
    m_picker.Cancel();
    CFileDialog cancelled(true);
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
}

TEST_F(FileDialogTest, SaveAddsTheDefaultExtensionToANameWithoutOne)
{
    const struct {
        const char* pszTyped;
        const char* pszExpected;
    } cases[] = {{"result", "result.txt"}, {"result.htm", "result.htm"}, {"結果", "結果.txt"}};
    for (const auto& c : cases) {
        m_picker.Answer((m_folder / c.pszTyped).string());
        CFileDialog dlg(false, "*.txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "Text|*.txt||");
        ASSERT_EQ(dlg.DoModal(), IDOK) << c.pszTyped;
        EXPECT_EQ(dlg.GetPathName(), (m_folder / c.pszExpected).string());
    }
}

TEST_F(FileDialogTest, SavingOverAnExistingFileAsksFirstWhenTheFlagSaysSo)
{
    guitest::WriteFile(m_folder / "exists.txt", "x");
    const struct {
        unsigned dwFlags;
        QMessageBox::StandardButton answer; // NoButton: no question expected
        int nExpected;
    } cases[] = {
        {OFN_OVERWRITEPROMPT, QMessageBox::No, IDCANCEL},
        {OFN_OVERWRITEPROMPT, QMessageBox::Yes, IDOK},
        {0, QMessageBox::NoButton, IDOK},
    };
    for (const auto& c : cases) {
        bool bAsked = false;
        if (c.answer != QMessageBox::NoButton) {
            guitest::WhenModalShown([&bAsked, answer = c.answer](QWidget* pModal) {
                auto* pBox = qobject_cast<QMessageBox*>(pModal);
                ASSERT_NE(pBox, nullptr);
                bAsked = true;
                pBox->button(answer)->click();
            });
        }
        m_picker.Answer((m_folder / "exists.txt").string());
        CFileDialog dlg(false, "*.txt", nullptr, OFN_HIDEREADONLY | c.dwFlags, "Text|*.txt||");
        EXPECT_EQ(dlg.DoModal(), c.nExpected) << c.dwFlags << "/" << c.answer;
        EXPECT_EQ(bAsked, c.answer != QMessageBox::NoButton);
    }
}

} // namespace
