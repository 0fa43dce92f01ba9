// Pictures of the three dialogs for a person to look at, and a check that
// no text is cut off by its box.

#include <QTest>
#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "res/dialog_templates.h"
#include "support/gui_test_env.h"
#include "ui/about_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/option_dlg.h"

namespace {

namespace fs = std::filesystem;

QString WithoutMnemonic(QString strText)
{
    strText.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    strText.remove(u'&');
    strText.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return strText;
}

// Every text-bearing control whose text needs more room than its box has.
std::vector<std::string> ClippedTexts(QWidget* pWindow)
{
    std::vector<std::string> clipped;
    for (QWidget* pWidget : pWindow->findChildren<QWidget*>()) {
        int nNeeded = 0;
        QString strText;
        if (auto* pLabel = qobject_cast<QLabel*>(pWidget); pLabel != nullptr && !pLabel->text().isEmpty()) {
            // A label with a buddy shows its mnemonic underlined, not as "&".
            strText = pLabel->buddy() != nullptr ? WithoutMnemonic(pLabel->text()) : pLabel->text();
            nNeeded = pLabel->fontMetrics().horizontalAdvance(strText);
        } else if (auto* pPush = qobject_cast<QPushButton*>(pWidget)) {
            strText = WithoutMnemonic(pPush->text());
            nNeeded = pPush->fontMetrics().horizontalAdvance(strText) + 8; // frame and padding
        } else if (qobject_cast<QCheckBox*>(pWidget) != nullptr || qobject_cast<QRadioButton*>(pWidget) != nullptr) {
            strText = static_cast<QAbstractButton*>(pWidget)->text();
            nNeeded = pWidget->sizeHint().width();
        } else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget)) {
            strText = pGroup->title();
            nNeeded = pGroup->fontMetrics().horizontalAdvance(strText) + 16;
        } else {
            continue;
        }
        if (nNeeded > pWidget->width() || pWidget->geometry().right() >= pWindow->width() ||
            pWidget->geometry().bottom() >= pWindow->height())
            clipped.push_back(strText.toStdString() + " needs " + std::to_string(nNeeded) + " of " +
                              std::to_string(pWidget->width()));
    }
    return clipped;
}

void Capture(CDialog& dlg, const char* pszFile)
{
    ASSERT_TRUE(dlg.Create());
    QDialog* pWindow = dlg.GetWindow();
    pWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pWindow));
    QTest::qWait(50);
    EXPECT_EQ(ClippedTexts(pWindow), std::vector<std::string>{}) << pszFile;
    // The Japanese face, not a fallback without kana.
    EXPECT_TRUE(QFontInfo(pWindow->font()).family().startsWith(QStringLiteral("IPA"))) << pszFile;

    const char* pszDir = std::getenv("MOJIRO_SCREENSHOT_DIR");
    const fs::path dir = pszDir != nullptr && *pszDir != '\0' ? fs::path(pszDir) : fs::path(MOJIRO_SCREENSHOT_DIR);
    fs::create_directories(dir);
    const QPixmap picture = pWindow->grab();
    EXPECT_TRUE(picture.save(QString::fromStdString((dir / pszFile).string()), "PNG")) << pszFile;
    dlg.DestroyWindow();
}

TEST(DialogScreenshots, MainDialog)
{
    guitest::ClearSettings();
    CConvertDlg dlg;
    dlg.m_strInputFilename = "/home/user/文書/メモ.txt";
    dlg.m_strOutputFilename = "/home/user/文書/メモ.txt.euc";
    dlg.m_nOutputCharset = 1;
    dlg.m_nNLCode = 1;
    Capture(dlg, "main_dialog.png");
}

TEST(DialogScreenshots, OptionsDialog)
{
    COptionDlg dlg;
    dlg.m_bAutoDetermineCharset = 1;
    dlg.m_bAutoNLCode = 1;
    dlg.m_bClearFilename = 0;
    dlg.m_nOutputFilename = 1;
    dlg.m_strUnmappableDefaultChar = std::string(1, '_');
    Capture(dlg, "options_dialog.png");
}

TEST(DialogScreenshots, AboutBox)
{
    const fs::path previous = fs::current_path();
    const fs::path folder = guitest::MakeTestFolder();
    guitest::WriteFile(folder / "release.txt",
                       "Mojiro 1.01u リリースノート\r\n\r\n- ISO-2022-JP のエスケープ処理を修正\r\n"
                       "- UTF-8 入出力に対応\r\n- 改行コードの自動設定を追加\r\n");
    fs::current_path(folder);
    CAboutDlg dlg;
    fs::current_path(previous);
    Capture(dlg, "about_box.png");
}

} // namespace
